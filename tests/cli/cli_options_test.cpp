// The command line's parsing: global options anywhere, values in both forms,
// and every mistake refused with a message instead of being guessed at.

#include "cli/cli_options.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia::cli {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Pair;

CliOptions parsed(const std::vector<std::string>& arguments) {
    const ParsedCommandLine line = parseCommandLine(arguments);
    EXPECT_TRUE(line.options.has_value()) << line.error;
    return line.options.value_or(CliOptions{});
}

std::string refusal(const std::vector<std::string>& arguments) {
    const ParsedCommandLine line = parseCommandLine(arguments);
    EXPECT_FALSE(line.options.has_value());
    return line.error;
}

TEST(CliOptions, GlobalOptionsStandBeforeOrAfterTheCommand) {
    const CliOptions o = parsed({"--port", "/dev/ttyUSB0", "logo", "print", "--quiet", "3",
                                 "--settings=9600,n,8,1", "--folder", "prog"});
    EXPECT_EQ(o.port, "/dev/ttyUSB0");
    EXPECT_EQ(o.settings, "9600,n,8,1");
    EXPECT_EQ(o.folder, std::filesystem::path("prog"));
    EXPECT_TRUE(o.quiet);
    EXPECT_THAT(o.words, ElementsAre("logo", "print", "3"));
}

TEST(CliOptions, SettingsFieldsKeepTheirOrderAndText) {
    const CliOptions o =
        parsed({"settings", "download", "--density", "Dark", "--mode=3 inch", "--near-end", "off"});
    EXPECT_THAT(o.fields, ElementsAre(Pair("density", "Dark"), Pair("mode", "3 inch"),
                                      Pair("near-end", "off")));
}

TEST(CliOptions, ParallelPortsAndFlags) {
    EXPECT_EQ(parsed({"--parallel", "lpt2", "logo", "download"}).parallelIndex, 1);
    EXPECT_EQ(parsed({"--parallel=LPT1", "test-page", "x"}).parallelIndex, 0);
    const CliOptions o = parsed({"firmware", "a.firm", "--ignore-malfunction"});
    EXPECT_TRUE(o.ignoreMalfunction);
    EXPECT_TRUE(parsed({"test-page", "--self-test"}).selfTest);
    EXPECT_TRUE(parsed({"-h"}).help);
    // After "--" a word that looks like an option is an operand (a file name).
    EXPECT_THAT(parsed({"test-page", "--", "--odd.p"}).words, ElementsAre("test-page", "--odd.p"));
}

TEST(CliOptions, MistakesAreRefusedWithAMessage) {
    EXPECT_THAT(refusal({"--prot", "COM 1", "logo", "list"}), HasSubstr("\"--prot\""));
    EXPECT_THAT(refusal({"logo", "list", "-q"}), HasSubstr("\"-q\""));
    EXPECT_THAT(refusal({"logo", "download", "--port"}), HasSubstr("--port needs a value"));
    EXPECT_THAT(refusal({"--quiet=yes", "logo", "list"}), HasSubstr("takes no value"));
    EXPECT_THAT(refusal({"--parallel", "LPT3", "logo", "download"}), HasSubstr("LPT1 or LPT2"));
    EXPECT_THAT(refusal({"--port", "COM 1", "--parallel", "LPT1", "logo", "download"}),
                HasSubstr("not both"));
    EXPECT_THAT(refusal({"--port=", "logo", "download"}), HasSubstr("--port needs"));
}

TEST(CliOptions, ComPortNumbers) {
    EXPECT_EQ(comPortNumber("COM 3"), 3);
    EXPECT_EQ(comPortNumber("com3"), 3);
    EXPECT_EQ(comPortNumber("COM  12"), 12);
    EXPECT_EQ(comPortNumber("COM 0"), std::nullopt);
    EXPECT_EQ(comPortNumber("COM 256"), std::nullopt);
    EXPECT_EQ(comPortNumber("COM"), std::nullopt);
    EXPECT_EQ(comPortNumber("COM 1a"), std::nullopt);
    EXPECT_EQ(comPortNumber("/dev/ttyS0"), std::nullopt);
    EXPECT_EQ(comPortNumber("COMPORT"), std::nullopt);
}

TEST(CliOptions, HelpNamesEveryCommandAndTheListTexts) {
    const std::string usage = usageText();
    for (const char* command :
         {"test-page FILE", "--self-test", "settings download", "firmware FILE",
          "codepage download", "codepage image OUT", "logo add BMP", "logo list", "logo clear",
          "logo download", "logo print all|N", "logo convert BMP OUT", "compound FILE",
          "burn FIRMWARE"})
        EXPECT_THAT(usage, HasSubstr(command));
    EXPECT_THAT(usage, HasSubstr("--density Low | Normal | Dark | Darkest"));
    EXPECT_THAT(usage, HasSubstr("--buffer 128kB | 2kB | 6kB | 20kB"));
    EXPECT_THAT(usage, HasSubstr("\"Save Paper\""));
}

} // namespace
} // namespace ordalia::cli
