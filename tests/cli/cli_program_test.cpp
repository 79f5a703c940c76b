// ordalia-cli as a script runs it: a process of its own, its exit status and
// its two output streams.

#include "support/harness.h"
#include "support/process.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace ordalia {
namespace {

using namespace std::chrono_literals;
using namespace ordalia::testing;

TEST(CliProgram, StatusAndOutputOfTheProgram) {
    TempFolder scratch;
    struct Case {
        const char* line;
        int status;
        const char *out, *err;
    } const kCases[] = {
        // The help names the settings fields' texts as the page's lists hold them, trimmed.
        {"--help", 0, "--buffer 128kB | 2kB | 6kB | 20kB\n", ""},
        {"frobnicate", 1, "", "unknown command \"frobnicate\""},
        {"--port /dev/ordalia-no-such-port test-page --self-test", 2, "",
         "/dev/ordalia-no-such-port"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.line);
        std::vector<std::string> words{ORDALIA_CLI_COMMAND, "--folder", scratch.path().string()};
        std::istringstream in(c.line);
        for (std::string word; in >> word;)
            words.push_back(word);
        const pid_t pid = spawnCommand(words, scratch.path() / "out", scratch.path() / "err");
        ASSERT_GT(pid, 0);
        EXPECT_EQ(waitForExit(pid, 60s), c.status);
        EXPECT_THAT(readText(scratch.path() / "out"), ::testing::HasSubstr(c.out));
        EXPECT_THAT(readText(scratch.path() / "err"), ::testing::HasSubstr(c.err));
    }
}

} // namespace
} // namespace ordalia
