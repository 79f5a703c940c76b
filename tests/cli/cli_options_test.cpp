// The command line's parsing: global options anywhere, values in both forms,
// and every mistake refused with a message instead of being guessed at.

#include "cli/cli_options.h"
#include "ports/port_names.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia::cli {
namespace {

using namespace ::testing;

TEST(CliOptions, OptionsStandAnywhereInEitherForm) {
    const auto o = parseCommandLine({"--port", "/dev/ttyUSB0", "settings", "download", "--quiet",
                                     "--settings=9600,n,8,1", "--density", "Dark", "--folder",
                                     "prog", "--mode=3 inch", "--", "--odd"})
                       .options.value();
    EXPECT_EQ(o.port, "/dev/ttyUSB0");
    EXPECT_EQ(o.settings, "9600,n,8,1");
    EXPECT_EQ(o.folder, std::filesystem::path("prog"));
    EXPECT_TRUE(o.quiet);
    EXPECT_THAT(o.fields, ElementsAre(Pair("density", "Dark"), Pair("mode", "3 inch")));
    // After "--" a word that looks like an option is an operand (a file name).
    EXPECT_THAT(o.words, ElementsAre("settings", "download", "--odd"));
    const auto flags = parseCommandLine({"-h", "--parallel=lpt2", "--self-test",
                                         "--ignore-malfunction", "--version"})
                           .options.value();
    EXPECT_TRUE(flags.help && flags.selfTest && flags.ignoreMalfunction && flags.version);
    EXPECT_EQ(flags.parallelIndex, 1);
    EXPECT_EQ(parseCommandLine({"--parallel", "LPT1"}).options.value().parallelIndex, 0);
}

TEST(CliOptions, ComPortNumbers) {
    // 0: not a port list entry but a device.
    const std::pair<const char*, int> kCases[] = {
        {"COM 3", 3},   {"com3", 3}, {"COM  12", 12}, {"COM 255", 255},  {"COM 0", 0},
        {"COM 256", 0}, {"COM", 0},  {"COM 1a", 0},   {"/dev/ttyS0", 0}, {"COMPORT", 0}};
    for (const auto& [text, number] : kCases)
        EXPECT_EQ(portEntryNumber(text).value_or(0), number) << text;
}

} // namespace
} // namespace ordalia::cli
