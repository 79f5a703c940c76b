// What an exception nobody foresaw does to a command: it ends the command,
// not the program. The port is closed, the message says so, and the status is
// a failure's.

#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "common/unexpected.h"
#include "support/harness.h"

#include <gtest/gtest.h>
#include <sstream>

namespace ordalia::cli {
namespace {

using namespace ordalia::testing;

TEST(CliCommands, AnExceptionEndsTheCommandWithTheUnexpectedErrorMessage) {
    Harness h;
    h.folder.write("flash3", "\x12\x34");
    h.folder.write("user_setting",
                   std::string("\x00\x01\x03\x01\x01\x01\0\0\0\0\x01\x01\0\x02", 14));
    const std::runtime_error diskOnFire("disk on fire");
    const std::pair<std::vector<std::string>, std::function<void()>> kCases[] = {
        {{"test-page", h.folder.write("page.p", "text").string()}, [&] { throw diskOnFire; }},
        // Quiet: the message alone, not the record that was to be sent.
        {{"--quiet", "settings", "download", "--density", "Dark"}, [] { throw 42; }},
    };
    for (const auto& [arguments, thrower] : kCases) {
        std::ostringstream out, err;
        std::vector<std::string> words = arguments;
        words.insert(words.begin(), {"--folder", h.folder.path().string()});
        h.serial.events.clear();
        h.serial.onWrite = [&](const auto&) { thrower(); };
        EXPECT_EQ(runCli(words, {h.serial, h.parallel, h.clock, out, err, false, {}}), kExitFailed);
        const bool named = arguments.front() == "test-page";
        // After the line naming the device opened, unless quiet.
        EXPECT_EQ(err.str(), (named ? "Opened COM 1 (/dev/ttyS0).\n" : std::string()) +
                                 unexpectedErrorMessage(named ? &diskOnFire : nullptr) + "\n");
        EXPECT_FALSE(h.serial.isOpen());
        EXPECT_EQ(h.serial.events.back().kind, FakeSerialPort::Event::Close);
    }
}

// The program folder is made and filled only for a command that runs on it:
// asking for the help or the version, or naming the folder, leaves nothing.
TEST(CliFolder, MadeOnlyForACommandThatRunsOnIt) {
    Harness h;
    const std::string named = h.folder.path().string();
    const std::pair<std::vector<std::string>, int> kCases[] = {
        {{"--help"}, 0},
        {{"--version"}, 0},
        {{"--folder", named, "logo", "list"}, 0},
        {{"logo", "list", "--folder", named}, 0},
        {{"logo", "list"}, 1},
    };
    for (const auto& [words, made] : kCases) {
        std::ostringstream out, err;
        int prepared = 0;
        const CliEnvironment environment{h.serial, h.parallel, h.clock, out, err, false, "", [&] {
                                             ++prepared;
                                             return h.folder.path();
                                         }};
        EXPECT_EQ(runCli(words, environment), kExitDone) << words.front() << err.str();
        EXPECT_EQ(prepared, made) << words.front();
    }
}

} // namespace
} // namespace ordalia::cli
