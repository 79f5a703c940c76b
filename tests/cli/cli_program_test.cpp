// ordalia-cli as a script runs it: a process of its own, its exit status and
// its two output streams.

#include "support/harness.h"
#include "support/process.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using namespace std::chrono_literals;
using namespace ordalia::testing;

TEST(CliProgram, StatusAndOutputOfTheProgram) {
    TempFolder scratch;
    const std::string folder = scratch.path().string();
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char *out, *err;
    } const kCases[] = {
        {{"--help"}, 0, "Usage: ordalia-cli", ""},
        {{"--folder", folder, "frobnicate"}, 1, "", "unknown command \"frobnicate\""},
        {{"--folder", folder, "--port", "/dev/ordalia-no-such-port", "test-page", "--self-test"},
         2,
         "",
         "/dev/ordalia-no-such-port"},
    };
    for (const Case& c : kCases) {
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.begin(), ORDALIA_CLI_COMMAND);
        const pid_t pid = spawnCommand(arguments, scratch.path() / "out", scratch.path() / "err");
        ASSERT_GT(pid, 0);
        EXPECT_EQ(waitForExit(pid, 60s), c.status) << c.arguments.back();
        EXPECT_THAT(readText(scratch.path() / "out"), ::testing::HasSubstr(c.out));
        EXPECT_THAT(readText(scratch.path() / "err"), ::testing::HasSubstr(c.err));
    }
}

} // namespace
} // namespace ordalia
