#include "code_page_maps.h"
#include "codepages/code_page_font.h"
#include "codepages/code_page_image.h"
#include "codepages/code_page_table.h"
#include "font_builder.h"
#include "glyph_render.h"
#include "support/harness.h"
#include "unifont_hex.h"

#include <cstdlib>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace ordalia::cpfonts {
namespace {

using ::testing::ElementsAre;

Glyph glyphFrom(const std::string& line) {
    char32_t cp = 0;
    Glyph glyph;
    EXPECT_TRUE(parseHexLine(line, cp, glyph)) << line;
    return glyph;
}

// A glyph 8 x 16 with one dot column `x` set on every row.
Glyph verticalLine(int x) {
    Glyph g;
    g.width = 8;
    g.height = 16;
    g.rows.assign(16, 1u << (7 - x));
    return g;
}

int dotsInRow(std::uint16_t row) {
    return __builtin_popcount(row);
}

TEST(UnifontHex, NarrowAndWideLines) {
    char32_t cp = 0;
    Glyph glyph;
    ASSERT_TRUE(parseHexLine("0041:0000000018242442427E424242420000", cp, glyph));
    EXPECT_EQ(cp, U'A');
    EXPECT_EQ(glyph.width, 8);
    EXPECT_EQ(glyph.rows[4], 0x18u);
    EXPECT_TRUE(glyph.dot(3, 4));
    EXPECT_FALSE(glyph.dot(2, 4));
    ASSERT_TRUE(
        parseHexLine("FF21:" + std::string(60, '0') + "8001\r", cp, glyph)); // CR LF files too
    EXPECT_EQ(cp, 0xFF21u);
    EXPECT_EQ(glyph.width, 16);
    EXPECT_TRUE(glyph.dot(0, 15));
    EXPECT_TRUE(glyph.dot(15, 15));

    EXPECT_FALSE(parseHexLine("0041:00", cp, glyph));
    EXPECT_FALSE(parseHexLine("zz41:0000000018242442427E424242420000", cp, glyph));
    EXPECT_FALSE(parseHexLine("0041:000000001824244242GE424242420000", cp, glyph));
    EXPECT_FALSE(parseHexLine("no colon", cp, glyph));

    std::istringstream in("0041:0000000018242442427E424242420000\n# note\n\n"
                          "0042:00000000007C4242427C424242427C00\n");
    const HexFont font = readHexFont(in);
    EXPECT_EQ(font.glyphs.size(), 2u);
    EXPECT_EQ(font.skippedLines, 1u);
}

TEST(GlyphRender, LeftmostDotIsTheHighestBit) {
    Glyph corner = verticalLine(0);
    const FontBChar b = renderFontB(corner, false);
    EXPECT_EQ(b[0], 0x80);
    EXPECT_EQ(b[15], 0x80);
    EXPECT_EQ(b[16], 0x00); // the 17th row is spacing
    const FontAChar a = renderFontA(corner);
    EXPECT_EQ(a[0] & 0x8000, 0x8000);
    // Only the 12 dots of the cell are used: bits 3 to 0 are always clear.
    for (const std::uint16_t row : renderFontA(verticalLine(7)))
        EXPECT_EQ(row & 0x000F, 0);
}

TEST(GlyphRender, FontAStrokesAreTwoDotsThickWhereverTheyStand) {
    for (int x = 0; x < 8; ++x) {
        const FontAChar a = renderFontA(verticalLine(x));
        for (int r = 0; r < kFontAHeight; ++r)
            ASSERT_EQ(dotsInRow(a[static_cast<std::size_t>(r)]), 2) << "column " << x;
    }
}

TEST(GlyphRender, BoxDrawingJoinsTheNextRowInFontB) {
    const FontBChar open = renderFontB(verticalLine(3), false);
    const FontBChar joined = renderFontB(verticalLine(3), true);
    EXPECT_EQ(open[16], 0x00);
    EXPECT_EQ(joined[16], 0x10);
}

TEST(GlyphRender, WideGlyphsAreFittedIntoTheCell) {
    const Glyph wide = glyphFrom("3042:" + std::string(64, 'F'));
    const FontBChar b = renderFontB(wide, false);
    for (std::size_t r = 0; r < 16; ++r)
        EXPECT_EQ(b[r], 0xFF);
    for (const std::uint16_t row : renderFontA(wide))
        EXPECT_EQ(row, 0xFFF0);
}

TEST(GlyphRender, PlaceholderIsAVisibleBoxWithACross) {
    const FontAChar a = placeholderFontA();
    EXPECT_EQ(a[3], 0x7FE0);  // top edge, dots 1 to 10
    EXPECT_EQ(a[20], 0x7FE0); // bottom edge
    const FontBChar b = placeholderFontB();
    EXPECT_EQ(b[2], 0xFE);
    EXPECT_EQ(b[13], 0xFE);
    EXPECT_EQ(b[7] & 0x82, 0x82); // sides
    EXPECT_NE(b[7] & 0x7C, 0);    // the cross inside
}

TEST(FontBuilder, LackingAndUndefinedBytesAreCountedAndDrawnAsPlaceholders) {
    std::istringstream in("0041:0000000018242442427E424242420000\n");
    const HexFont source = readHexFont(in);
    CodePageMap map;
    map.name = "tiny";
    map.unicode.fill(0);
    map.unicode['A'] = U'A';
    map.unicode['B'] = U'B'; // not in the source
    const BuiltFont built = buildFont(map, source);
    EXPECT_THAT(built.lacking, ElementsAre('B'));
    EXPECT_EQ(built.undefined.size(), 254u);
    EXPECT_EQ(built.font.fontB['A' * 17 + 4], 0x18);
    EXPECT_EQ(built.font.fontB['B' * 17 + 2], placeholderFontB()[2]);
    EXPECT_EQ(built.font.fontA[0 * 24 + 3], placeholderFontA()[3]);
}

TEST(CodePageMaps, ChosenBytes) {
    const auto& maps = codePageMaps();
    ASSERT_GE(maps.size(), 10u);
    const auto find = [&](const std::string& name) -> const CodePageMap& {
        for (const auto& map : maps)
            if (map.name == name)
                return map;
        ADD_FAILURE() << name;
        return maps[0];
    };
    // The six defaults come first, in slot order.
    const CodePageSlots defaults = defaultCodePageSlots();
    for (std::size_t i = 0; i < kCodePageSlotCount; ++i)
        EXPECT_EQ(maps[i].name, defaults.Text_CP[i]);

    const CodePageMap& katakana = find("katakana");
    EXPECT_EQ(katakana.unicode[0x41], U'A');
    EXPECT_EQ(katakana.unicode[0x5C], U'\\'); // ASCII below, not the yen sign
    EXPECT_EQ(katakana.unicode[0xA1], 0xFF61u);
    EXPECT_EQ(katakana.unicode[0xB1], 0xFF71u); // katakana A
    EXPECT_EQ(katakana.unicode[0xDF], 0xFF9Fu);
    EXPECT_EQ(katakana.unicode[0xA0], 0u);
    EXPECT_EQ(katakana.unicode[0xE0], 0u);

    EXPECT_EQ(find("PC437").unicode[0x01], 0x263Au);
    EXPECT_EQ(find("PC437").unicode[0x7F], 0x2302u);
    EXPECT_EQ(find("PC437").unicode[0xDB], 0x2588u);
    EXPECT_EQ(find("PC850").unicode[0xD5], 0x0131u);
    EXPECT_EQ(find("PC858").unicode[0xD5], 0x20ACu);
    EXPECT_EQ(find("PC866").unicode[0x80], 0x0410u);
    EXPECT_EQ(find("PC852").unicode[0xA5], 0x0105u);
    EXPECT_EQ(find("PC865").unicode[0x9B], 0x00F8u);
    EXPECT_EQ(find("WPC1252").unicode[0x80], 0x20ACu);
    EXPECT_EQ(find("WPC1252").unicode[0x81], 0u);
}

// The fonts the build drew into the program's folder.
class ShippedFonts : public ::testing::Test {
protected:
    void SetUp() override {
        const char* dir = std::getenv("ORDALIA_PROGRAM_DIR");
        if (!dir ||
            !std::filesystem::exists(std::filesystem::path(dir) / "Codepage Table" / "PC437.CP"))
            GTEST_SKIP() << "no generated fonts in ORDALIA_PROGRAM_DIR";
        m_folder = dir;
    }
    std::filesystem::path m_folder;
};

TEST_F(ShippedFonts, EveryFileParsesAndHasItsLetters) {
    for (const CodePageMap& map : codePageMaps()) {
        const CodePageFontRead read =
            readCodePageFont(m_folder / "Codepage Table" / (map.name + ".CP"));
        ASSERT_TRUE(read.ok) << read.problem;
        const auto inked = [&](int c) {
            for (std::size_t r = 0; r < 17; ++r)
                if (read.font.fontB[static_cast<std::size_t>(c) * 17 + r] != 0)
                    return true;
            return false;
        };
        EXPECT_TRUE(inked('A')) << map.name;
        EXPECT_FALSE(inked(' ')) << map.name;
        if (map.name == "katakana") {
            EXPECT_TRUE(inked(0xB1));
        }
    }
}

TEST_F(ShippedFonts, DefaultSlotsLoadAndBuild) {
    const CodePageTabLoad load = loadCodePageTab(m_folder);
    ASSERT_EQ(load.outcome, Outcome::Done) << load.message;
    EXPECT_EQ(load.slots.Pos_CP, defaultCodePageSlots().Pos_CP);
    EXPECT_EQ(load.slots.Text_CP, defaultCodePageSlots().Text_CP);
    EXPECT_FALSE(load.slots.model_name.empty());

    // Built in a folder of its own so the shipped "test" is not touched.
    ordalia::testing::TempFolder scratch;
    std::filesystem::copy(m_folder / "Codepage Table", scratch.path() / "Codepage Table");
    const CodePageBuild build = buildCodePageImage(scratch.path(), load.slots);
    EXPECT_EQ(build.outcome, Outcome::Done) << build.message;
}

} // namespace
} // namespace ordalia::cpfonts
