#include "codepages/code_page_image.h"
#include "support/code_page_fonts.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using namespace ordalia::testing;

// Offsets 0x0000 to 0xEFFF as the layout puts the pattern fonts there: slot
// 0's Font A whole, the upper halves (characters 0x80 to 0xFF) of the others,
// a zero gap, then Font B the same way and another gap.
std::vector<std::uint8_t> expectedFontPart() {
    std::vector<std::uint8_t> part(0xF000, 0);
    for (std::size_t slot = 0; slot < 6; ++slot) {
        const std::size_t skipA = slot ? 3072 : 0, skipB = slot ? 2176 : 0;
        const std::size_t a = slot ? 0x3000 + (slot - 1) * 0x1800 : 0x0000;
        const std::size_t b = slot ? 0xC100 + (slot - 1) * 0x880 : 0xB000;
        for (std::size_t k = skipA; k < 6144; ++k) { // each row low byte first
            part[a + 2 * (k - skipA)] = patternA(slot, k) & 0xFF;
            part[a + 2 * (k - skipA) + 1] = patternA(slot, k) >> 8;
        }
        for (std::size_t k = skipB; k < 4352; ++k)
            part[b + k - skipB] = patternB(slot, k);
    }
    return part;
}

// The name rows, table numbers, self-test headings and maker text (0xF000 to
// 0xFFFF) are compared with tests/data/codepages/image_tail.txt. A font file
// that stops the build is the font download's to report.
TEST(CodePageImage, FontsAsLaidOutAndTheTailAsTheGoldenFile) {
    Harness h;
    CodePageSlots slots = defaultCodePageSlots();
    slots.model_name = "KV-80 Printer and more"; // its first 15 characters
    slots.Text_CP[2] = "PC\xC3\xBC";             // one '?' for a character of no single byte
    slots.Text_CP[3] = "a_name_longer_than_fourteen";
    slots.Text_CP[4] = "fourteen_chars"; // fills its row exactly
    slots.Pos_CP = {"0", "1", "2", "16", "17.5", "255"};
    writePatternFonts(h.folder, slots);
    // Blanks around a heading and lines after the last row are no matter, nor
    // the case of ".CP".
    const std::string font = formatCodePageFont(patternFont(1));
    h.folder.write("Codepage Table/katakana.cp", "  [FONT A]  " + font.substr(8) + "more\r\n");
    std::filesystem::remove(h.folder.path() / "Codepage Table/katakana.CP");
    h.folder.write("Codepage Table/test", std::vector<std::uint8_t>(70000, 0x55)); // longer
    CodePageSlots repeated = slots;
    repeated.Pos_CP[5] = "1"; // the table check comes first, and stops the build
    EXPECT_FALSE(checkAndBuildCodePageImage(h.services(), repeated));
    EXPECT_EQ(h.folder.read("Codepage Table/test").size(), 70000u);
    EXPECT_EQ(h.dialogs.texts(),
              std::vector<std::string>{"Error !! 2nd & 6th Position is repeated !!"});
    const auto image = checkAndBuildCodePageImage(h.services(), slots);
    ASSERT_TRUE(image) << h.dialogs.texts().back();
    EXPECT_TRUE(std::equal(image->begin(), image->begin() + 0xF000, expectedFontPart().begin()));
    EXPECT_EQ(h.folder.read("Codepage Table/test"), std::vector(image->begin(), image->end()));

    // After a deliberate change, regenerate with
    //   ORDALIA_WRITE_GOLDEN=1 build/tests/codepages_image_test
    // and review the diff.
    std::string dump; // 16 bytes a line: "F000: 20 20 ..."
    char hex[8];
    for (std::size_t at = 0xF000; at < 0x10000; ++at) {
        if (at % 16 == 0)
            dump += std::string(hex, std::snprintf(hex, sizeof hex, "%04zX:", at));
        std::snprintf(hex, sizeof hex, " %02X", (*image)[at]);
        dump += hex + std::string(at % 16 == 15 ? "\n" : "");
    }
    const std::string golden = std::string(ORDALIA_CODEPAGES_DATA) + "/image_tail.txt";
    if (std::getenv("ORDALIA_WRITE_GOLDEN"))
        std::ofstream(golden, std::ios::binary) << dump;
    std::ifstream in(golden, std::ios::binary);
    EXPECT_EQ(dump, std::string(std::istreambuf_iterator<char>(in), {}));
}

} // namespace
} // namespace ordalia
