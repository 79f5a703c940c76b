// ordalia-cli info --save and ordalia-vprinter --twin as a script runs them:
// the twin of a printer answers "info" as the printer did.

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

    void TearDown() override {
        for (const pid_t pid : printers) {
            kill(pid, SIGTERM);
            waitForExit(pid, 10s);
        }
    }
    std::filesystem::path file(const std::string& name) const { return scratch.path() / name; }

    // The virtual printer as a network printer; its address once it listens.
    std::string startPrinter(std::vector<std::string> options) {
        const auto output = file("printer-" + std::to_string(printers.size()));
        options.insert(options.begin(), {ORDALIA_VPRINTER_COMMAND, "--tcp", "0", "--quiet", "--nv",
                                         output.string() + "-nv"});
        printers.push_back(spawnCommand(options, output));
        const std::regex listening("printer on (tcp://[0-9.:]+)\n");
        std::smatch match;
        for (int i = 0; i < 1000; ++i, std::this_thread::sleep_for(10ms))
            if (const std::string text = readText(output);
                std::regex_search(text, match, listening))
                return match[1];
        return "tcp://127.0.0.1:1";
    }

    // The exit status; standard output and error in "out" and "err".
    int run(std::vector<std::string> args) {
        const pid_t pid = spawnCommand(args, file("out"), file("err"));
        return pid > 0 ? waitForExit(pid, 60s) : -1;
    }
    int cli(const std::string& address, std::vector<std::string> words) {
        words.insert(words.begin(), {ORDALIA_CLI_COMMAND, "--folder", file("program").string(),
                                     "--port", address});
        return run(words);
    }
};

TEST_F(TwinE2E, TheTwinAnswersAsThePrinterDid) {
    // Settings for "2 inch" paper: the twin draws 384 dots wide.
    scratch.write("program/user_setting", std::string("\0\0\3\1\1\1\0\0\0\0\0\1\0\0", 14));
    const std::string real =
        startPrinter({"--model-name", "SHOP-58", "--serial", "SN 4711", "--paper", "near-end"});
    const std::string twin = file("twin.json").string();
    ASSERT_EQ(cli(real, {"info", "--save", twin}), 0) << readText(file("err"));
    const std::string answers = readText(file("out"));
    EXPECT_THAT(answers, HasSubstr("model name: SHOP-58\nfirmware: 1.00\n"));
    EXPECT_THAT(readText(twin), HasSubstr("\"serial_number\": \"SN 4711\""));

    EXPECT_EQ(cli(startPrinter({"--twin", twin}), {"info"}), 0);
    EXPECT_EQ(readText(file("out")), answers);
    // Options given win over the twin, wherever they stand.
    std::string changed = answers;
    changed.replace(changed.find("SN 4711"), 7, "OTHER");
    EXPECT_EQ(cli(startPrinter({"--serial", "OTHER", "--twin", twin}), {"info"}), 0);
    EXPECT_EQ(readText(file("out")), changed);

    // Its paper is the width the settings said: PNG's IHDR holds it at byte 16.
    scratch.write("receipt.bin", std::string("Hello\n\x1D\x56\x00", 9));
    EXPECT_EQ(run({ORDALIA_VPRINTER_COMMAND, "--twin", twin, "--input",
                   file("receipt.bin").string(), "--quiet", "--render", file("paper").string()}),
              0);
    EXPECT_EQ(readText(file("paper/page-0001.png")).substr(16, 4), std::string("\0\0\1\x80", 4));

    // A twin that is not one stops the printer before it starts.
    scratch.write("bad.json", std::string(R"({"document": "ordalia printer twin", "version": 1,
                                              "identity": {"serial_number": 4711}})"));
    EXPECT_EQ(run({ORDALIA_VPRINTER_COMMAND, "--tcp", "0", "--twin", file("bad.json").string()}),
              2);
    EXPECT_EQ(readText(file("out")), "");
    EXPECT_EQ(readText(file("err")), "ordalia-vprinter: the twin " + file("bad.json").string() +
                                         " cannot be used: \"identity.serial_number\" is a "
                                         "number, not a text.\n");

    // A printer that does not answer leaves no file.
    EXPECT_EQ(cli(startPrinter({"--silent"}), {"info", "--save", file("silent.json").string()}), 2);
    EXPECT_THAT(readText(file("err")), HasSubstr("did not answer"));
    EXPECT_FALSE(std::filesystem::exists(file("silent.json")));
}

} // namespace
} // namespace ordalia
