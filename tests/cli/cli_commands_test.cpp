// ordalia-cli's commands against a fake port: what is refused before anything
// is sent (every mistake refused with a message instead of being guessed at),
// and what an exception nobody foresaw does.

#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "common/unexpected.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace ordalia::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using namespace ordalia::testing;

struct CliTest : ::testing::Test {
    int run(std::vector<std::string> arguments) {
        out.str({}), err.str({});
        arguments.insert(arguments.begin(), {"--folder", h.folder.path().string()});
        return runCli(arguments, {h.serial, h.parallel, h.clock, out, err, false, {}});
    }
    Harness h;
    std::ostringstream out, err;
};

TEST_F(CliTest, MistakesAreRefusedBeforeAnythingIsOpenedOrWritten) {
    const std::pair<std::vector<std::string>, std::string> kCases[] = {
        {{}, "Usage: ordalia-cli [options] COMMAND"},
        {{"--prot", "COM 1", "logo", "list"}, "ordalia-cli: Unknown option \"--prot\".\nTry"},
        {{"logo", "list", "-q"}, "Unknown option \"-q\""},
        {{"logo", "download", "--port"}, "--port needs a value"},
        {{"--port=", "logo", "download"}, "--port needs a device"},
        {{"--folder=", "logo", "list"}, "--folder needs a folder"},
        {{"--quiet=yes", "logo", "list"}, "--quiet takes no value"},
        {{"--parallel", "LPT3", "logo", "download"}, "LPT1 or LPT2, not \"LPT3\""},
        {{"--port", "COM 1", "--parallel", "LPT1", "logo", "download"}, "not both"},
        {{"print-everything"}, "unknown command \"print-everything\".\nTry"},
        {{"--settings", "fast", "test-page", "--self-test"}, "\"fast\" are not valid"},
        {{"--folder", "/nonexistent-ordalia", "logo", "list"}, "is not a folder"},
        {{"logo", "list", "--ignore-malfunction"}, "belongs to firmware, not to logo list"},
        {{"logo", "list", "--density", "Dark"}, "--density belongs to settings download"},
        {{"--parallel", "LPT1", "test-page", "--self-test"}, "--self-test has no parallel link"},
        {{"--parallel", "LPT1", "settings", "download"}, "download has no parallel link"},
        {{"--parallel", "LPT1", "logo", "print", "all"}, "print has no parallel link"},
        {{"settings", "download", "--density", "Blackest"},
         "--density takes \"Low\", \"Normal\", \"Dark\", \"Darkest\", not \"Blackest\""},
        {{"settings", "download", "--cutter", "maybe"}, "--cutter takes on or off"},
        {{"settings", "download", "--mode", "2 inch", "--door", "on"},
         "user_setting yet, so settings download needs every field it cannot take from them. Not "
         "given: --baud, --compound, --buffer, --density, --cut-distance, --cutter, --paper-end "
         "and --near-end. Nothing was saved or sent."},
        {{"settings", "wipe"}, "Usage: ordalia-cli settings show | settings download"},
        {{"test-page"}, "Usage: ordalia-cli test-page FILE"},
        {{"test-page", "nowhere.p"}, "nowhere.p"},
        {{"compound", (h.folder.path() / "ex_Korean.code").string()}, "does not exist"},
        {{"burn", (h.folder.path() / "a.firm").string()}, "does not exist. The burn file was not"},
        {{"logo", "print", "256"}, "from 0 to 255"},
        {{"logo", "print", "all"}, "The logo list is empty"},
        {{"logo", "sort"}, "Usage: ordalia-cli logo add BMP"},
    };
    for (const auto& [arguments, message] : kCases) {
        SCOPED_TRACE(message);
        EXPECT_EQ(run(arguments), kExitRefused);
        EXPECT_THAT(err.str(), HasSubstr(message));
    }
    EXPECT_THAT(h.serial.events, IsEmpty());
    EXPECT_THAT(h.parallel.data(0x378), IsEmpty());
    EXPECT_FALSE(std::filesystem::exists(h.folder.path() / "user_setting"));
}

// Whatever is thrown ends the command, not the program: the port is closed,
// the message says so, and the status is a failure's.
TEST_F(CliTest, AnExceptionEndsTheCommandWithTheUnexpectedErrorMessage) {
    const std::runtime_error diskOnFire("disk on fire");
    const std::pair<std::vector<std::string>, std::function<void()>> kCases[] = {
        {{"test-page", h.folder.write("page.p", "text").string()}, [&] { throw diskOnFire; }},
        {{"--quiet", "test-page", "--self-test"}, [] { throw 42; }},
    };
    for (const auto& [arguments, thrower] : kCases) {
        h.serial.events.clear();
        h.serial.onWrite = [&](const auto&) { thrower(); };
        EXPECT_EQ(run(arguments), kExitFailed);
        const bool named = arguments.front() == "test-page";
        EXPECT_EQ(err.str(), unexpectedErrorMessage(named ? &diskOnFire : nullptr) + "\n");
        EXPECT_FALSE(h.serial.isOpen());
        EXPECT_EQ(h.serial.events.back().kind, FakeSerialPort::Event::Close);
    }
}

} // namespace
} // namespace ordalia::cli
