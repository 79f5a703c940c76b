// The virtual printer's paper: small streams, written in the test page source
// language, fed to the printer model, and the dots they leave ('#' a dot, '.'
// white, '/' between rows); long paper split into pages; the shipped test
// pages drawn; and the characters it prints before any font download.

#include "barcode_drawing.h"
#include "codepages/code_page_font.h"
#include "codepages/code_page_image.h"
#include "codepages/code_page_table.h"
#include "common/files.h"
#include "compound/compound_font.h"
#include "paper_renderer.h"
#include "support/harness.h"
#include "support/process.h"
#include "testpage_source.h"

#include <gmock/gmock.h>
#include <set>
#include <sstream>
#include <zint.h>

namespace ordalia::vprinter {
namespace {

using namespace std::chrono_literals;

Bytes stream(std::string_view source) {
    const auto assembly = testpages::assemble(source);
    EXPECT_TRUE(assembly.ok()) << source;
    return assembly.bytes;
}

// The pages a fresh printer with no NV memory draws of `bytes`.
std::vector<RenderedPage> draw(const Bytes& bytes, const RenderOptions& options) {
    PrinterModel model({});
    PaperRenderer renderer(model, options);
    model.receive(bytes, TimePoint{});
    renderer.finish();
    return renderer.pages();
}

// The dots of the picture under `like`, its top left corner at x, y: rows
// of '#' (a dot) and '.' (white) split by '/', all as wide as the first.
std::string window(const DotImage& image, int x, int y, std::string_view like) {
    const int pitch = static_cast<int>(std::min(like.find('/'), like.size())) + 1; // and its '/'
    std::string out(like);
    for (int i = 0; i < std::ssize(out); ++i)
        if (out[i] != '/')
            out[i] = image.dot(x + i % pitch, y + i / pitch) ? '#' : '.';
    return out;
}

// Row `row` of the Font A character at `at`: 12 dots, the leftmost bit 15.
void fontARow(Bytes& image, std::size_t at, int row, std::uint16_t bits) {
    image[at + 2 * row] = static_cast<std::uint8_t>(bits & 0xFF); // low byte first
    image[at + 2 * row + 1] = static_cast<std::uint8_t>(bits >> 8);
}

// A code page image with a few characters drawn and the rest blank:
//   'A' Font A: a bar across row 0 (12 dots) and the left column below it
//   'B' Font A: dots in columns 0 and 11 of row 0
//   'A' Font B: row 0 full (8 dots)
//   0x80 Font A: slot 0 a dot in column 0 of row 0; slot 2 in column 5 of row 3
// Slot i holds table 10 + i, slot 0 table 0.
Bytes testFont() {
    Bytes image(FontImage::kSize, 0);
    fontARow(image, 48 * 'A', 0, 0xFFF0);
    for (int r = 1; r < 24; ++r)
        fontARow(image, 48 * 'A', r, 0x8000);
    fontARow(image, 48 * 'B', 0, 0x8010);
    image[0xB000 + 17 * 'A'] = 0xFF;
    fontARow(image, 48 * 0x80, 0, 0x8000);
    fontARow(image, 0x3000 + 1 * 0x1800, 3, 0x0400); // slot 2 starts at its character 0x80
    for (int slot = 1; slot < 6; ++slot)
        image[0xF0C0 + slot] = static_cast<std::uint8_t>(10 + slot);
    return image;
}

// FS q: one 8 x 8 logo, column 0 its top dot, column 7 all eight.
const std::string kLogo = R"(FS "q" 1 1 0 1 0 0x80 0 0 0 0 0 0 0xFF )";
// Bar codes 10 dots high, a dot a module; a QR Code holding "A", and its print.
const std::string kBars = R"(GS "h" 10 GS "w" 1 )";
const std::string kQrA = R"(GS "(k" 4 0 49 80 48 "A" )";
const std::string kQrPrint = R"(GS "(k" 3 0 49 81 48)";
// GS ( L function 112: 9 x 2 dots, dots at 0 and 8 of row 0 and 8 of row 1.
const std::string kRaster112 = R"(GS "(L" 14 0 48 112 48 1 1 49 9 0 2 0 0x80 0x80 0 0x80 )";
const std::string kPrint50 = R"( GS "(L" 2 0 48 50)";

// The dots at x, y of the page once the paper is torn off, and its height
// when it matters (0: no page at all).
struct Case {
    const char* name;
    std::string source;
    int x, y;
    const char* dots;
    int height = -1;
    bool font = true; // else the printer has no characters at all: they print as boxes
};

const Case kCases[] = {
    {"Font A, 30-dot lines", R"("AB\n")", 0, 0, "#############./#............./#.............", 30},
    {"Font B: a 9-dot pitch", R"(ESC "M" 1 "AA\n")", 0, 0, "########.########."},
    {"Font B on Font A's base line", R"(ESC "!" 1 "A" ESC "!" 0 "A\n")", 0, 7, "########.#..."},
    {"ESC t: its slot; the lower half shared", R"(0x80 ESC "t" 12 0x80 "A\n")", 0, 0,
     "#.......................#####/........................#..../........................#..../"
     ".................#......#...."},
    {"ESC t of a table not held: slot 0", R"(ESC "t" 99 0x80 LF)", 0, 0, "#..........."},
    {"GS ! 2 wide", R"(GS "!" 0x10 "B\n")", 0, 0, "##....................##"},
    {"GS ! 2 high", R"(GS "!" 0x01 "B\n")", 0, 0, "#..........#/#..........#/............", 48},
    {"ESC ! 0x30: both", R"(ESC "!" 0x30 "B\n")", 0, 0, "##../##.."},
    {"ESC @ ends every mode", R"(ESC "!" 0x30 ESC "@" "B\n")", 0, 0, "#..........#.", 30},
    {"emphasis burns twice", R"(ESC "E" 1 "B\n")", 0, 0, "##.........#"},
    {"double strike prints as emphasis", R"(ESC "G" 1 "B\n")", 0, 0, "##.........#"},
    {"ESC SP 3: the next character 15 dots on", R"(ESC " " 3 "BB\n")", 14, 0, ".#"},
    {"GS W 100: centred in 100 dots", R"(ESC "a" 1 GS "W" 100 0 "B\n")", 43, 0, ".#."},
    {"ESC \\: 10 dots on", R"("B" ESC "\\" 10 0 "B\n")", 21, 0, ".#."},
    {"2-dot underline", R"(ESC "-" 2 "B\n")", 0, 21, "............./############./############."},
    {"reverse", R"(GS "B" 1 "B\n")", 0, 0, ".##########../############."},
    {"centred: (576 - 12) / 2", R"(ESC "a" 1 "B\n")", 281, 0, ".#..........#."},
    {"right", R"(ESC "a" 2 "B\n")", 563, 0, ".#..........#"},
    {"left margin", R"(GS "L" 100 0 "B\n")", 99, 0, ".#."},
    {"tabs every 8 characters", R"("B\tB\n")", 95, 0, ".#."},
    {"tabs at 3 and 10", R"(ESC "D" 3 10 0 "\tB\tB\n")", 119, 0, ".#."},
    {"absolute position", R"(ESC "$" 200 0 "B\n")", 199, 0, ".#."},
    {"48 characters a line", ".repeat 49 \"B\"\nLF", 0, 30, "#..........#....", 60},
    {"50 + 7 + 2 x 50 + 30 dots", R"(ESC "3" 50 LF ESC "J" 7 ESC "d" 2 ESC "2" LF)", 0, 0, "", 187},
    {"raster", R"(GS "v0" 0 2 0 2 0 0x81 0x01 0x40 0x80)", 0, 0,
     "#......#.......#/.#......#.......", 2},
    {"raster, double, centred", R"(ESC "a" 1 GS "v0" 3 2 0 2 0 0x81 0x01 0x40 0x80)", 272, 0,
     "##../##../..##", 4},
    {"ESC * 24-dot", R"(ESC "*" 33 2 0 0x80 0x00 0x01 0x00 0x80 0x00 LF)", 0, 0,
     "#./../../../../../../../.#/../../../../../../../../../../../../../../#."},
    {"ESC * 8-dot single density", R"(ESC "*" 0 1 0 0x80 LF)", 0, 0, "##./##./##./..."},
    {"ESC * 8-dot double density", R"(ESC "*" 1 1 0 0x80 LF)", 0, 0, "#./#./#./.."},
    {"ESC * 24-dot single density", R"(ESC "*" 32 1 0 0x80 0 0 LF)", 0, 0, "##./.../"},
    {"FS p double", kLogo + R"(FS "p" 1 3)", 0, 0, "##............##/##............##", 16},
    // GS ( L function 112: 9 x 2 dots, rows of 2 bytes; printed by function 50.
    {"graphics 112 raster, 50", kRaster112 + kPrint50, 0, 0, "#.......#./........#.", 2},
    {"GS 8 L 112 doubled both ways",
     R"(GS "8L" 14 0 0 0 48 112 48 2 2 49 9 0 2 0 0x80 0x80 0 0x80)" + kPrint50, 0, 0,
     "##..............##/##..............##/................##", 4},
    {"graphics 113 columns", R"(GS "(L" 12 0 48 113 48 1 1 49 2 0 8 0 0x80 0x01)" + kPrint50, 0, 0,
     "#./../../../../../../.#", 8},
    {"graphics colour 2 alone: nothing", R"(GS "(L" 11 0 48 112 48 1 1 50 1 0 1 0 0x80)" + kPrint50,
     0, 0, ".", 0},
    {"graphics forgotten by ESC @", kRaster112 + R"(ESC "@" )" + kPrint50, 0, 0, ".", 0},
    {"graphics data short: nothing",
     R"(GS "(L" 13 0 48 112 48 1 1 49 9 0 2 0 0x80 0x80 0)" + kPrint50, 0, 0, ".", 0},
    // Function 67 defines "G1", 8 x 1 dots; function 69 prints it twice as wide.
    {"NV graphics 67, 69 doubled",
     R"(GS "(L" 12 0 48 67 48 "G1" 1 8 0 1 0 49 0x81 GS "(L" 6 0 48 69 "G1" 2 1)", 0, 0,
     "##............##", 1},
    {"NV graphics not defined", R"(GS "(L" 6 0 48 69 "G2" 1 1)", 0, 0, ".", 0},
    {"GS * and GS / double height", R"(GS "*" 1 1 0x80 0 0 0 0 0 0 0xFF GS "/" 2)", 0, 0,
     "#......#/#......#/.......#", 16},
    {"FS p of a logo not held", kLogo + R"(FS "p" 2 0)", 0, 0, ".", 0},
    {"EAN13: guard bars 101, 2 dots a module, 40 high, text below",
     R"(GS "h" 40 GS "w" 2 GS "H" 2 GS "k" 2 "590123412345" 0)", 0, 39, "##..##./.......", 40 + 24},
    // The check digit as sent, 0 (R 1110010), not the 7 it should be (R 1000100); the
    // EAN8 at (576 - 67) / 2.
    {"EAN13 check digit", kBars + R"(GS "k" 2 "5901234123450" 0)", 85, 0, "###..#.#.#.", 10},
    {"ITF: an odd last digit left out", kBars + R"(GS "k" 5 "123" 0)", 24, 0, "#.#..", 10},
    {"EAN8 centred", kBars + R"(ESC "a" 1 GS "k" 3 "9638507" 0)", 253, 0, ".#.#", 10},
    // Font B text, 72 dots, above the EAN8's 67, which is centred under it.
    {"text above, Font B", kBars + R"(GS "H" 1 GS "f" 1 GS "k" 3 "9638507" 0)", 1, 17, ".#.#", 27},
    {"UPC-A with a letter: nothing", R"(GS "k" 0 "0123456789A" 0)", 0, 0, ".", 0},
    {"CODABAR without start and stop: nothing", R"(GS "k" 71 .counted "12345")", 0, 0, ".", 0},
    {"CODE128 without a code set: nothing", R"(GS "k" 73 .counted "ABCDEF")", 0, 0, ".", 0},
    {"too wide: nothing", R"(GS "w" 6 GS "k" 73 .counted "{BABCDEFGHIJ")", 0, 0, ".", 0},
    // 21 modules of 4 dots: the finder pattern 28 dots wide, then white.
    {"QR module 4 dots", R"(GS "(k" 3 0 49 67 4 )" + kQrA + kQrPrint, 24, 0, "####....#", 84},
    {"QR Code data forgotten by ESC @", kQrA + R"(ESC "@" )" + kQrPrint, 0, 0, ".", 0},
    {"cut: a margin, dashes", R"("B\n" GS "V" 66 0)", 0, 46, "############....####", 55},
    {"cut after a feed", R"(GS "V" 65 20)", 0, 0, "", 45}, // the cut's: 8 dots margin, 17 mark
    // 'B' (dots 0 and 11 of row 0) at the right end of the bottom row: the line turned over.
    {"ESC { upside down", R"(ESC "{" 1 "B\n")", 564, 23, "#..........#", 30},
    // 'A' turned clockwise: its top row is the right column, its left column the top row.
    {"ESC V a quarter turn", R"(ESC "V" 1 "A\n")", 0, 0,
     "########################/.......................#", 30},
    {"Kanji mode, no compound font: boxes", R"(FS "&" 0xA4 0x40 "\n")", 0, 2,
     "..####################..", 30},
    {"FS ! double-width Kanji", R"(FS "&" FS "!" 4 0xA4 0x40 LF)", 0, 2, "....####", 30},
    {"FS . ends Kanji mode", R"(FS "&" FS "." 0x80 LF)", 0, 0, "#...", 30},
    {"no font: boxes", R"("B \n")", 0, 2, ".#########........../.#.......#..........", 30, false},
};

TEST(PaperRenderer, DotsOfEachStream) {
    const auto font = FontImage::fromBytes(testFont());
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto pages = draw(stream(c.source), {.defaultFont = c.font ? font : std::nullopt});
        ASSERT_EQ(pages.size(), c.height == 0 ? 0u : 1u);
        const DotImage page = pages.empty() ? DotImage() : pages[0].image;
        EXPECT_EQ(window(page, c.x, c.y, c.dots), c.dots);
        if (c.height >= 0) {
            EXPECT_EQ(page.height, c.height);
        }
    }
}

// A wrong UPC/EAN check digit is drawn as sent, so the preview fails to scan
// where the receipt would; a printer that computes it draws its own. The log
// names it either way.
TEST(PaperRenderer, AWrongCheckDigitAsSentOrAsComputed) {
    for (const bool compute : {false, true}) {
        PrinterModel model({});
        PaperRenderer renderer(model, {.computeCheckDigits = compute});
        model.receive(stream(kBars + R"(GS "k" 2 "5901234123450" 0 GS "k" 3 "96385074" 0)"),
                      TimePoint{});
        renderer.finish();
        // 0 is R 1110010, 7 is R 1000100; then the end guard 101.
        EXPECT_EQ(window(renderer.pages().at(0).image, 85, 0, "###########"),
                  compute ? "#...#..#.#." : "###..#.#.#.");
        EXPECT_THAT(model.log(),
                    ::testing::Contains("bar code 5901234123450: check digit 0 sent, 7 expected"));
        EXPECT_EQ(std::ranges::count_if(model.log(),
                                        [](const std::string& l) { return l.starts_with("bar"); }),
                  1); // the EAN8 sent right
    }
}

// Each QR Code and PDF417 option sent is the option the symbol is drawn
// with: the drawing equals zint's symbol made directly with those options,
// module for module at the module size sent. QR Code model 1 is not drawn.
TEST(PaperRenderer, TwoDimensionalCodesWithTheOptionsSent) {
    const std::string data = "Ordalia 2D options 0123456789";
    // GS ( k function 80: store `text` for symbol cn (49 QR Code, 48 PDF417).
    const auto stored = [](int cn, const std::string& text) {
        return R"(GS "(k" )" + std::to_string(text.size() + 3) + " 0 " + std::to_string(cn) +
               R"( 80 48 ")" + text + R"(" )";
    };
    const std::string qrData = stored(49, data), pdfData = stored(48, data);
    struct Symbol {
        const char* name;
        std::string source;
        int symbology, option1, option2, option3;
        std::string text;
        int sx, sy; // dots a module
    };
    const Symbol kSymbols[] = {
        {"QR level Q, module 5",
         R"(GS "(k" 3 0 49 69 50 GS "(k" 3 0 49 67 5 )" + qrData + R"(GS "(k" 3 0 49 81 48)",
         BARCODE_QRCODE, 3, 0, 0, data, 5, 5},
        {"QR level H, model 2",
         R"(GS "(k" 4 0 49 65 50 0 GS "(k" 3 0 49 69 51 )" + qrData + R"(GS "(k" 3 0 49 81 48)",
         BARCODE_QRCODE, 4, 0, 0, data, 3, 3},
        {"Micro QR level M",
         R"(GS "(k" 4 0 49 65 51 0 GS "(k" 3 0 49 69 49 )" + stored(49, "0123456789") +
             R"(GS "(k" 3 0 49 81 48)",
         BARCODE_MICROQR, 2, 0, 0, "0123456789", 3, 3},
        {"PDF417 4 columns, 12 rows, level 5, 2 x 5 modules",
         R"(GS "(k" 3 0 48 65 4 GS "(k" 3 0 48 66 12 GS "(k" 4 0 48 69 48 53 )"
         R"(GS "(k" 3 0 48 67 2 GS "(k" 3 0 48 68 5 )" +
             pdfData + R"(GS "(k" 3 0 48 81 48)",
         BARCODE_PDF417, 5, 4, 12, data, 2, 10},
        {"PDF417 truncated, level 1",
         R"(GS "(k" 3 0 48 70 1 GS "(k" 4 0 48 69 48 49 )" + pdfData + R"(GS "(k" 3 0 48 81 48)",
         BARCODE_PDF417COMP, 1, 0, 0, data, 3, 9},
    };
    for (const Symbol& symbol : kSymbols) {
        SCOPED_TRACE(symbol.name);
        zint_symbol* z = ZBarcode_Create();
        z->symbology = symbol.symbology;
        z->input_mode = DATA_MODE;
        z->option_1 = symbol.option1;
        z->option_2 = symbol.option2;
        z->option_3 = symbol.option3;
        ASSERT_LT(ZBarcode_Encode(z, reinterpret_cast<const unsigned char*>(symbol.text.data()),
                                  static_cast<int>(symbol.text.size())),
                  ZINT_ERROR);
        const auto pages = draw(stream(symbol.source), {});
        ASSERT_EQ(pages.size(), 1u);
        const DotImage& page = pages[0].image;
        ASSERT_EQ(page.height, z->rows * symbol.sy);
        int differing = 0;
        for (int y = 0; y < page.height; ++y)
            for (int x = 0; x < page.width; ++x) {
                const int col = x / symbol.sx, row = y / symbol.sy;
                const bool module =
                    col < z->width && ((z->encoded_data[row][col >> 3] >> (col & 7)) & 1);
                differing += page.dot(x, y) != module;
            }
        EXPECT_EQ(differing, 0);
        ZBarcode_Delete(z);
    }
    PrinterModel model({});
    PaperRenderer renderer(model, {});
    model.receive(stream(R"(GS "(k" 4 0 49 65 49 0 )" + qrData + R"(GS "(k" 3 0 49 81 48)"),
                  TimePoint{});
    renderer.finish();
    EXPECT_EQ(renderer.pageCount(), 0);
    EXPECT_THAT(model.log(),
                ::testing::Contains("QR Code model 1 is not drawn: only model 2 and Micro QR are"));
}

// The rows of the Font A cell at x, y as a code page font holds them.
std::array<std::uint16_t, 24> fontACell(const DotImage& page, int x, int y) {
    std::array<std::uint16_t, 24> rows{};
    for (int r = 0; r < 24; ++r)
        for (int col = 0; col < 16; ++col)
            if (page.dot(x + col, y + r))
                rows[r] |= static_cast<std::uint16_t>(0x8000 >> col);
    return rows;
}

// Tables the font image lacks and the national characters of ESC R come
// from the shipped code pages; Kanji mode draws the compound font.
TEST(PaperRenderer, ShippedCodePagesNationalCharactersAndKanji) {
    const std::filesystem::path program = ORDALIA_PROGRAM_FOLDER;
    struct Character {
        const char* source;
        const char* page; // the shipped font and byte whose glyph is printed
        std::uint8_t byte;
    };
    const Character kCharacters[] = {
        {R"(ESC "t" 18 0xA6 LF)", "PC852", 0xA6},      // a table the image lacks
        {R"(ESC "t" 2 0x9B LF)", "PC850", 0x9B},       // one it holds
        {R"(ESC "R" 2 "[" LF)", "PC437", 0x8E},        // Germany: A umlaut
        {R"(ESC "R" 14 "^" LF)", "PC852", 0xAC},       // Slovenia: C caron
        {R"(ESC "R" 2 ESC "@" "[" LF)", "PC437", '['}, // ESC @: U.S.A. again
    };
    for (const Character& c : kCharacters) {
        SCOPED_TRACE(c.source);
        const auto font =
            readCodePageFont(program / "Codepage Table" / (std::string(c.page) + ".CP"));
        ASSERT_TRUE(font.ok);
        std::array<std::uint16_t, 24> expected{};
        for (int r = 0; r < 24; ++r)
            expected[r] = font.font.fontA[c.byte * 24 + r] & 0xFFF0;
        const auto pages =
            draw(stream(c.source), {.defaultFont = loadDefaultFontImage(program).image,
                                    .codePageFolder = program / "Codepage Table"});
        EXPECT_EQ(fontACell(pages.at(0).image, 0, 0), expected);
    }

    // Big5, lead 0xA4 trail 0x40: glyph 3 x 157; its top row dots 0 to 7 and 23.
    testing::TempFolder nv;
    Bytes file(3930 * 256, 0);
    const std::size_t glyph = 3 * 157 * 72;
    file[glyph] = 0xFF;
    file[glyph + 2] = 0x01;
    Bytes blocks(file.size());
    for (std::size_t g = 0; g < file.size(); g += 16)
        for (std::size_t j = 0; j < 16; ++j)
            blocks[g + j] = file[g + CompoundShuffleOrder[j]];
    nv.write("compound-2.bin", blocks);
    PrinterModel model({.nvFolder = nv.path()});
    PaperRenderer renderer(model, {});
    model.receive(stream(R"(FS "&" 0xA4 0x40 0xA4 0x20 LF)"), TimePoint{});
    renderer.finish();
    // The second pair is outside Big5's grid: a box.
    EXPECT_EQ(window(renderer.pages().at(0).image, 0, 0,
                     "########...............#./.........................."),
              "########...............#./..........................");
    EXPECT_EQ(window(renderer.pages()[0].image, 24, 2, "..####"), "..####");
}

// What the paper does not show is named once a page in the log.
TEST(PaperRenderer, CommandsNotDrawnAreListedOnceAPage) {
    PrinterModel model({});
    PaperRenderer renderer(model, {});
    model.receive(stream(R"(ESC "c3" 1 GS "(L" 2 0 48 52 ESC "c3" 2 "A\n" GS "V" 0 ESC "c4" 1)"),
                  TimePoint{});
    renderer.finish();
    EXPECT_THAT(model.log(),
                ::testing::IsSupersetOf(
                    {"page 1: not drawn: ESC c, GS ( L function 52", "page 2: not drawn: ESC c"}));
}

// The NV memory of an earlier run sets the paper: "2 inch" in the settings
// prints 384 dots wide, its font replaces the default. Downloads change both.
TEST(PaperRenderer, SettingsAndFontsFromNvMemoryAndDownloads) {
    testing::TempFolder nv;
    nv.write("settings.bin", Bytes(14, 0)); // record byte 1, the printer mode, 0: "2 inch"
    Bytes font = testFont();
    fontARow(font, 48 * 'B', 0, 0x0100); // 'B' row 0: column 7 only
    nv.write("font.bin", font);
    PrinterModel model({.nvFolder = nv.path(), .programmingTime = 10ms});
    PaperRenderer renderer(model, {.defaultFont = FontImage::fromBytes(testFont())});
    model.receive(stream(R"("B\n" GS "V" 66 0)"), TimePoint{});
    EXPECT_EQ(renderer.pages().at(0).width, 384);
    EXPECT_EQ(window(renderer.pages()[0].image, 0, 0, ".......#...."), ".......#....");

    model.receive(stream(R"(FS 0xC6 "KOVIRKOVIR" 0 0 1 3 1 1 1 0 0 0 0 1 1 0 2)"), // "3 inch"
                  TimePoint{});
    model.receive(stream(R"(FS 0xC7 "KOVIRKOVIR")"), TimePoint{});
    model.receive(testFont(), TimePoint{}); // 'B' columns 0 and 11 again
    model.receive(stream(R"("B\n")"), TimePoint{} + 20ms);
    renderer.finish();
    EXPECT_EQ(renderer.pages().at(1).width, 576);
    EXPECT_EQ(window(renderer.pages()[1].image, 0, 0, "#..........#"), "#..........#");
}

// 360 dots of paper, ten 30-dot lines a page at most: the writer of the
// page files never holds an endless stream whole.
TEST(PaperRenderer, LongPaperIsSplitIntoPages) {
    const auto pages = draw(stream(".repeat 12 \"AB\\n\""),
                            {.defaultFont = FontImage::fromBytes(testFont()), .maxPageDots = 300});
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].height, 300);
    EXPECT_EQ(pages[1].height, 60);
}

TEST(DefaultFontImage, IsWhatTheFontDownloadBuildsFromTheShippedFiles) {
    const std::filesystem::path program = ORDALIA_PROGRAM_FOLDER;
    const auto load = loadDefaultFontImage(program);
    ASSERT_TRUE(load.image) << load.problem;
    testing::TempFolder copy; // the download's own build writes "test" beside the table
    std::filesystem::copy(program / "Codepage Table", copy.path() / "Codepage Table");
    const auto build = buildCodePageImage(copy.path(), loadCodePageTab(copy.path()).slots);
    ASSERT_EQ(build.outcome, Outcome::Done) << build.message;
    EXPECT_TRUE(std::equal(build.image.begin(), build.image.end(), load.image->bytes().begin()));
    EXPECT_FALSE(loadDefaultFontImage(copy.path() / "nothing").problem.empty());
}

// A shipped test page drawn by the printer with the shipped characters.
std::vector<RenderedPage> shippedPage(const std::string& name, int paperDots) {
    const std::filesystem::path program = ORDALIA_PROGRAM_FOLDER;
    const auto file = readWholeFile(program / "testpage" / name, testpages::kMaxPageSize);
    EXPECT_EQ(file.status, FileRead::Status::Ok) << name;
    return draw(file.bytes,
                {.paperDots = paperDots, .defaultFont = loadDefaultFontImage(program).image});
}

// The bands of rows taller than any text line (24 dots) with a dot on every
// row, top and bottom (exclusive): the codes of a page.
std::vector<std::pair<int, int>> codeBands(const DotImage& page) {
    std::vector<std::pair<int, int>> bands;
    for (int y = 0; y < page.height; ++y) {
        const auto row = page.dots.begin() + static_cast<std::ptrdiff_t>(y) * page.width;
        if (std::find(row, row + page.width, 1) == row + page.width)
            continue;
        if (bands.empty() || bands.back().second != y)
            bands.push_back({y, y});
        bands.back().second = y + 1;
    }
    std::erase_if(bands, [](const auto& band) { return band.second - band.first <= 32; });
    return bands;
}

// The scanner program, found as a shell would find it.
std::optional<std::filesystem::path> zbarimg() {
    std::istringstream folders(std::getenv("PATH") ? std::getenv("PATH") : "");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && std::filesystem::exists(std::filesystem::path(folder) / "zbarimg"))
            return std::filesystem::path(folder) / "zbarimg";
    return std::nullopt;
}

// Every code on the bar code test page, cut out with white around it, is
// read back by a scanner program as exactly the data sent; the PDF417,
// which it does not read, holds the modules zint encodes for its data.
TEST(PaperRenderer, EveryCodeOnTheBarCodeTestPageReadsBackAsItsData) {
    // As the scanner reports them, one file each in page order: UPC-A (the printer's check
    // digit, the one sent), UPC-E (its own digits, a UPC-A without zeros), EAN13, EAN8, CODE39
    // and ITF twice, CODABAR twice, CODE93, CODE128 sets B and C, readable text none, above,
    // both, low and wide, the QR Code.
    const std::string expected = "012345678905\n012345678905\n01234565\n04252614\n"
                                 "5901234123457\n5901234123457\n96385074\n96385074\n"
                                 "ABC-123\nTEST 39\n1234567890\n00123456\nA40156B\nC12345-67D\n"
                                 "Code 93\nOrdalia-128\n12345678\nHRI-0\nHRI-1\nHRI-3\n"
                                 "4006381333931\nhttps://ordalia.example\n";
    const DotImage page = shippedPage("barpic-a.p", kPaperDots80mm).at(0).image;
    const auto codes = codeBands(page);
    ASSERT_EQ(codes.size(), std::ranges::count(expected, '\n') + 1); // and the PDF417 last

    // PDF417: 3 columns, level 2, modules 2 x (2 x 3) dots, centred, white beside it.
    const auto pdf417 = encodePdf417("Ordalia PDF417", {.columns = 3, .level = 2});
    ASSERT_TRUE(pdf417);
    const auto [top, bottom] = codes.back();
    EXPECT_EQ(bottom - top, pdf417->height * 6);
    const int left = (page.width - pdf417->width * 2) / 2;
    int differing = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < page.width; ++x)
            differing +=
                page.dot(x, y) != (x >= left && pdf417->dot((x - left) / 2, (y - top) / 6));
    EXPECT_EQ(differing, 0);

    const auto scanner = zbarimg();
    if (!scanner)
        GTEST_SKIP() << "zbarimg (zbar-tools) is not installed";
    testing::TempFolder folder;
    std::vector<std::string> command = {scanner->string(), "--raw", "-q", "-Supca.enable",
                                        "-Supce.enable"};
    for (std::size_t i = 0; i + 1 < codes.size(); ++i) {
        constexpr int kQuiet = 24;
        const auto [top, bottom] = codes[i];
        DotImage crop(page.width, bottom - top + 2 * kQuiet);
        std::copy(page.dots.begin() + top * page.width, page.dots.begin() + bottom * page.width,
                  crop.dots.begin() + kQuiet * page.width);
        const auto png = "code" + std::to_string(i) + ".png";
        command.push_back(folder.write(png, encodePng(crop, PngCompression::Deflate)).string());
    }
    const auto output = folder.path() / "out.txt";
    const pid_t pid = testing::spawnCommand(command, output, folder.path() / "errors.txt");
    ASSERT_EQ(testing::waitForExit(pid, std::chrono::seconds(60)), 0)
        << testing::readText(folder.path() / "errors.txt");
    EXPECT_EQ(testing::readText(output), expected);
}

// UPC-E given as the UPC-A number it stands for is printed without its
// zeros, by the rule its manufacturer digits allow; other numbers print nothing.
TEST(BarcodeDrawing, UpcAWithoutItsZerosIsItsUpcE) {
    // The UPC-A number and the six digits of its UPC-E; none: nothing printed.
    const std::pair<const char*, const char*> kCases[] = {
        {"01200000345", "123450"}, {"01230000045", "123453"},  {"01234000005", "123454"},
        {"01234500007", "123457"}, {"012345000072", "123457"}, {"01234500004", ""},
        {"01200001345", ""},       {"21200000345", ""}};
    for (const auto& [upcA, upcE] : kCases) {
        SCOPED_TRACE(upcA);
        const auto printed = encodeBarcode(66, upcA);
        ASSERT_EQ(printed.has_value(), *upcE != '\0');
        if (printed) {
            EXPECT_EQ(printed->bars.dots, encodeBarcode(1, upcE)->bars.dots);
        }
    }
}

// UPC-E's check digit is its digits' parity: each of the ten patterns, for
// number systems 0 and 1, drawn from the digit sent, is zint's own; a wrong
// one draws another and is noted, unless the printer computes it.
TEST(BarcodeDrawing, UpcECheckDigitSentIsDrawnInTheParity) {
    std::set<char> checks;
    for (int n = 0; checks.size() < 20 && n < 1000; ++n) {
        const std::string seven =
            std::to_string(n % 2) + std::to_string(100000 + n * 7919 % 900000);
        const auto zint = encodeBarcode(1, seven);
        if (!zint)
            continue; // six digits that stand for no UPC-A number
        const char check = zint->readable.back();
        if (!checks.insert(static_cast<char>(check + 10 * (n % 2))).second)
            continue;
        SCOPED_TRACE(seven + check);
        EXPECT_EQ(encodeBarcode(1, seven + check)->bars.dots, zint->bars.dots);
        const char wrong = check == '9' ? '0' : static_cast<char>(check + 1);
        const auto asSent = encodeBarcode(1, seven + wrong);
        EXPECT_NE(asSent->bars.dots, zint->bars.dots);
        EXPECT_EQ(asSent->note,
                  std::string("check digit ") + wrong + " sent, " + check + " expected");
        EXPECT_EQ(encodeBarcode(1, seven + wrong, true)->bars.dots, zint->bars.dots);
    }
    EXPECT_EQ(checks.size(), 20u);
}

// The code page charts print each row on one line of either paper: the page
// is as long on 58 mm paper as on 80 mm.
TEST(PaperRenderer, CodePageChartsFitOnBothPapers) {
    for (const char* name : {"codepageA.p", "codepageB.p"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(shippedPage(name, kPaperDots58mm).at(0).height,
                  shippedPage(name, kPaperDots80mm).at(0).height);
    }
}

} // namespace
} // namespace ordalia::vprinter
