// The code page font files shipped beside the program, and the generator that
// draws them from GNU Unifont.

#include "code_page_maps.h"
#include "codepages/code_page_table.h"
#include "font_builder.h"
#include "glyph_render.h"
#include "unifont_hex.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace ordalia::cpfonts {
namespace {

// 8 x 16 dots with dot column `x` set on every row.
Glyph column(int x) {
    return Glyph{8, 16, std::vector<std::uint32_t>(16, 1u << (7 - x))};
}

TEST(CodePageFonts, GlyphsAreDrawnIntoBothCells) {
    // Font B dot for dot, the leftmost dot in bit 7; row 16 blank unless the
    // character joins the cell below (box drawing).
    EXPECT_EQ(renderFontB(column(0), false)[15], 0x80);
    EXPECT_EQ(renderFontB(column(3), false)[16], 0x00);
    EXPECT_EQ(renderFontB(column(3), true)[16], 0x10);
    // Font A one and a half times as large: a stroke is two dots thick
    // wherever it stands, within bits 15 to 4.
    for (int x = 0; x < 8; ++x)
        for (const std::uint16_t row : renderFontA(column(x)))
            ASSERT_TRUE(__builtin_popcount(row) == 2 && (row & 0x000F) == 0) << x;
    const Glyph full{16, 16, std::vector<std::uint32_t>(16, 0xFFFF)}; // a wide glyph fits
    EXPECT_THAT(renderFontA(full), ::testing::Each(0xFFF0));
    const FontBChar b = renderFontB(full, false);
    EXPECT_THAT(std::vector(b.begin(), b.begin() + 16), ::testing::Each(0xFF));
}

TEST(CodePageFonts, BytesAreDrawnFromTheirCharactersOrAsThePlaceholder) {
    std::istringstream in("0041:0000000018242442427E424242420000\n");
    CodePageMap map{"tiny", {}};
    map.unicode['A'] = U'A';
    map.unicode['B'] = U'B'; // not in the source
    const BuiltFont built = buildFont(map, readHexFont(in));
    EXPECT_THAT(built.lacking, ::testing::ElementsAre('B'));
    EXPECT_EQ(built.undefined.size(), 254u);
    EXPECT_EQ(built.font.fontB['A' * 17 + 4], 0x18);
    EXPECT_EQ(built.font.fontB['B' * 17 + 2], placeholderFontB()[2]);
    EXPECT_EQ(built.font.fontA[0 * 24 + 3], placeholderFontA()[3]);
}

TEST(CodePageFonts, TheSixDefaultsAreDrawnFirstInSlotOrder) {
    for (std::size_t i = 0; i < kCodePageSlotCount; ++i)
        EXPECT_EQ(codePageMaps().at(i).name, defaultCodePageSlots().Text_CP[i]);
}

// The files the build drew into the program's folder (run under ctest).
TEST(CodePageFonts, ShippedFilesParseAndShowTheirLetters) {
    const char* dir = std::getenv("ORDALIA_PROGRAM_DIR");
    if (!dir || !std::filesystem::exists(std::filesystem::path(dir) / "Codepage Table/PC437.CP"))
        GTEST_SKIP() << "no generated fonts in ORDALIA_PROGRAM_DIR";
    for (const CodePageMap& map : codePageMaps()) {
        const auto read =
            readCodePageFont(std::filesystem::path(dir) / "Codepage Table" / (map.name + ".CP"));
        ASSERT_TRUE(read.ok) << read.problem;
        const auto inked = [&](int c) {
            return std::any_of(&read.font.fontB[c * 17], &read.font.fontB[c * 17 + 17],
                               [](std::uint8_t row) { return row != 0; });
        };
        EXPECT_TRUE(inked('A') && !inked(' ') && (map.name != "katakana" || inked(0xB1)))
            << map.name;
    }
}

} // namespace
} // namespace ordalia::cpfonts
