// `ordalia-cli logo make`: what it writes, and what it refuses before
// writing anything.

#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "logos/logo_list.h"
#include "support/harness.h"
#include "support/picture_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace ordalia::cli {
namespace {

using namespace ordalia::testing;
using ::testing::HasSubstr;

TEST(CliLogoMake, WritesTheBitmapOrRefusesWithoutWriting) {
    Harness h;
    const std::string shop =
        h.folder.write("shop.png", pngFile(40, 20, 1, std::vector<std::uint8_t>(800, 90))).string();
    const std::string listed = h.folder.write("listed.bmp", "BM").string();
    h.folder.write("Logo_Path", formatLogoRecord({1, listed, "listed.bmp", 94, 8, 8}));
    const std::string out = (h.folder.path() / "out.bmp").string();
    const struct {
        std::vector<std::string> words;
        int status;
        const char* said;
    } kCases[] = {
        {{"logo", "make", shop, out, "--threshold", "300"}, kExitRefused, "0 to 255, not \"300\"."},
        {{"logo", "make", shop, out, "--width", "0"}, kExitRefused, "1 to 2016, not \"0\"."},
        {{"logo", "make", shop, shop}, kExitRefused, "would be written over"},
        {{"logo", "make", shop, listed}, kExitRefused, "is logo 1 of the logo list"},
        // 20 dots wide, 10 high: rows of 4 bytes after the 62-byte header.
        {{"logo", "make", shop, out, "--width=20"}, kExitDone, "20 x 10 dots, 102 bytes."},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.said);
        std::ostringstream stdOut, err;
        std::vector<std::string> words = c.words;
        words.insert(words.begin(), {"--folder", h.folder.path().string()});
        EXPECT_EQ(runCli(words, {h.serial, h.parallel, h.clock, stdOut, err, false, {}}), c.status);
        EXPECT_THAT(err.str(), HasSubstr(c.said));
        EXPECT_EQ(h.folder.read("out.bmp").size(), c.status == kExitDone ? 102u : 0u);
        EXPECT_EQ(h.folder.read("listed.bmp").size(), 2u); // a listed logo is left alone
    }
}

} // namespace
} // namespace ordalia::cli
