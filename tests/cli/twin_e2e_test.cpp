// ordalia-cli info --save and ordalia-vprinter --twin as a script runs them:
// the twin of a printer answers "info" as the printer did.

#include "link/printer_twin.h"
#include "support/harness.h"
#include "support/process.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <regex>

namespace ordalia {
namespace {

using namespace std::chrono_literals;
using namespace ordalia::testing;
using ::testing::HasSubstr;

class TwinE2E : public ::testing::Test {
protected:
    TempFolder scratch;
    std::vector<pid_t> printers;
    int runs = 0;

    void TearDown() override {
        for (const pid_t pid : printers) {
            kill(pid, SIGTERM);
            waitForExit(pid, 10s);
        }
    }

    // The virtual printer as a network printer; its address once it listens.
    std::string startPrinter(std::vector<std::string> options) {
        const auto output = scratch.path() / ("printer-" + std::to_string(printers.size()));
        options.insert(options.begin(), {ORDALIA_VPRINTER_COMMAND, "--tcp", "0", "--quiet", "--nv",
                                         (output.string() + "-nv")});
        const pid_t pid = spawnCommand(options, output);
        if (pid <= 0)
            return {};
        printers.push_back(pid);
        const std::regex listening("printer on (tcp://[0-9.:]+)\n");
        for (int i = 0; i < 1000; ++i) {
            std::smatch match;
            const std::string text = readText(output);
            if (std::regex_search(text, match, listening))
                return match[1];
            std::this_thread::sleep_for(10ms);
        }
        return {};
    }

    struct Run {
        int status;
        std::string out, err;
    };
    Run cli(const std::string& address, std::vector<std::string> words) {
        const auto out = scratch.path() / ("cli-" + std::to_string(++runs));
        words.insert(words.begin(), {ORDALIA_CLI_COMMAND, "--folder",
                                     (scratch.path() / "program").string(), "--port", address});
        const pid_t pid = spawnCommand(words, out, out.string() + "-err");
        return {pid > 0 ? waitForExit(pid, 60s) : -1, readText(out),
                readText(out.string() + "-err")};
    }
};

TEST_F(TwinE2E, TheTwinAnswersAsThePrinterDid) {
    // Settings for "2 inch" paper: the twin draws 384 dots wide.
    scratch.write("program/user_setting",
                  std::vector<std::uint8_t>{0, 0, 3, 1, 1, 1, 0, 0, 0, 0, 0, 1, 0, 0});
    const std::string real =
        startPrinter({"--model-name", "SHOP-58", "--serial", "SN 4711", "--paper", "near-end"});
    ASSERT_FALSE(real.empty());
    const auto twinFile = scratch.path() / "twin.json";
    const Run asked = cli(real, {"info", "--save", twinFile.string()});
    ASSERT_EQ(asked.status, 0) << asked.err;
    EXPECT_THAT(asked.out, HasSubstr("model name: SHOP-58\n"));
    EXPECT_THAT(asked.err, HasSubstr("twin.json"));
    const TwinRead saved = parseTwin(readText(twinFile));
    ASSERT_TRUE(saved.twin) << saved.problem;
    EXPECT_EQ(saved.twin->paperDots, 384);
    EXPECT_EQ(saved.twin->info.serialNumber.text, "SN 4711");
    EXPECT_EQ(saved.twin->info.paper.value, 0x1E); // near end

    const struct Case {
        std::vector<std::string> options;
        std::string from, to; // a line of the printer's answers, changed
    } kCases[] = {
        {{}, "", ""},
        {{"--serial", "OTHER"}, "serial number: SN 4711", "serial number: OTHER"},
        {{"--paper", "ok"}, "paper: near end", "paper: ok"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.to);
        std::vector<std::string> options = {"--twin", twinFile.string()};
        options.insert(options.end(), c.options.begin(), c.options.end());
        const std::string twin = startPrinter(options);
        ASSERT_FALSE(twin.empty());
        std::string expected = asked.out;
        if (!c.from.empty())
            expected.replace(expected.find(c.from), c.from.size(), c.to);
        const Run answered = cli(twin, {"info"});
        EXPECT_EQ(answered.status, 0) << answered.err;
        EXPECT_EQ(answered.out, expected);
    }

    // Its paper is the width the settings said: PNG's IHDR holds it at byte 16.
    const auto input = scratch.write("receipt.bin", std::string("Hello\n\x1D\x56\x00", 9));
    const pid_t drawing =
        spawnCommand({ORDALIA_VPRINTER_COMMAND, "--twin", twinFile.string(), "--input",
                      input.string(), "--quiet", "--render", (scratch.path() / "paper").string()},
                     scratch.path() / "drawing");
    ASSERT_GT(drawing, 0);
    EXPECT_EQ(waitForExit(drawing, 60s), 0);
    EXPECT_EQ(readText(scratch.path() / "paper/page-0001.png").substr(16, 4),
              std::string("\0\0\x01\x80", 4)); // 384

    // A printer that does not answer leaves no file.
    const std::string silent = startPrinter({"--silent"});
    const Run refused = cli(silent, {"info", "--save", (scratch.path() / "silent.json").string()});
    EXPECT_EQ(refused.status, 2);
    EXPECT_THAT(refused.err, HasSubstr("did not answer"));
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "silent.json"));
}

TEST_F(TwinE2E, ABadTwinStopsThePrinterBeforeItStarts) {
    const struct Case {
        const char* name;
        std::string text; // empty: no file
        const char* problem;
    } kCases[] = {
        {"missing", "", "there is no such file."},
        {"not JSON", "{\"document\":", "it is not JSON text."},
        {"serial number not text",
         R"({"document": "ordalia printer twin", "version": 1,
             "identity": {"serial_number": 4711}})",
         "\"identity.serial_number\" is a number, not a text."},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto file = scratch.path() / (std::string(c.name) + ".json");
        if (!c.text.empty())
            scratch.write(file.filename().string(), c.text);
        const auto out = scratch.path() / "out";
        const pid_t pid =
            spawnCommand({ORDALIA_VPRINTER_COMMAND, "--tcp", "0", "--twin", file.string()}, out,
                         scratch.path() / "err");
        ASSERT_GT(pid, 0);
        EXPECT_EQ(waitForExit(pid, 30s), 2);
        EXPECT_EQ(readText(out), "");
        EXPECT_EQ(readText(scratch.path() / "err"), "ordalia-vprinter: the twin " + file.string() +
                                                        " cannot be used: " + c.problem + "\n");
    }
}

} // namespace
} // namespace ordalia
