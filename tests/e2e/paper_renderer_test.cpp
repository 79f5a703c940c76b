// The virtual printer's paper: small streams, written in the test page source
// language, fed to the printer model, and the dots they leave ('#' a dot, '.'
// white, '/' between rows); the PNG files of the pages; and the characters it
// prints before any font download.

#include "codepages/code_page_image.h"
#include "codepages/code_page_table.h"
#include "paper_renderer.h"
#include "support/harness.h"
#include "testpage_source.h"

#include <gmock/gmock.h>

namespace ordalia::vprinter {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

Bytes stream(std::string_view source) {
    const auto assembly = testpages::assemble(source);
    EXPECT_TRUE(assembly.ok()) << source;
    return assembly.bytes;
}

// Rows of the picture from x, y, as wide as the first row of `like`.
std::string window(const DotImage& image, int x, int y, std::string_view like) {
    const int width = static_cast<int>(like.find('/') == like.npos ? like.size() : like.find('/'));
    std::string out;
    for (int r = y; r < y + static_cast<int>(std::ranges::count(like, '/')) + 1; ++r) {
        for (int c = x; c < x + width; ++c)
            out += image.dot(c, r) ? '#' : '.';
        out += '/';
    }
    out.pop_back();
    return out;
}

// A code page image with a few characters drawn and the rest blank:
//   'A' Font A: a bar across row 0 (12 dots) and the left column below it
//   'B' Font A: dots in columns 0 and 11 of row 0
//   'A' Font B: row 0 full (8 dots)
//   0x80 Font A: slot 0 a dot in column 0 of row 0; slot 2 in column 5 of row 3
// Slot i holds table 10 + i, slot 0 table 0.
Bytes testFont() {
    Bytes image(FontImage::kSize, 0);
    auto fontA = [&](std::size_t at, int row, std::uint16_t bits) {
        image[at + 2 * row] = static_cast<std::uint8_t>(bits & 0xFF); // low byte first
        image[at + 2 * row + 1] = static_cast<std::uint8_t>(bits >> 8);
    };
    fontA(48 * 'A', 0, 0xFFF0);
    for (int r = 1; r < 24; ++r)
        fontA(48 * 'A', r, 0x8000);
    fontA(48 * 'B', 0, 0x8010);
    image[0xB000 + 17 * 'A'] = 0xFF;
    fontA(48 * 0x80, 0, 0x8000);
    fontA(0x3000 + 1 * 0x1800, 3, 0x0400); // slot 2 starts at its character 0x80
    for (int slot = 1; slot < 6; ++slot)
        image[0xF0C0 + slot] = static_cast<std::uint8_t>(10 + slot);
    return image;
}

// FS q: one 8 x 8 logo, column 0 its top dot, column 7 all eight.
const char* const kLogo = R"(FS "q" 1 1 0 1 0 0x80 0 0 0 0 0 0 0xFF )";

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
    {"Font A; a line is 30 dots", R"("AB\n")", 0, 0,
     "#############..........#./#......................../#........................", 30},
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
    {"FS p", kLogo + R"(FS "p" 1 0)"s, 0, 0, "#......#/.......#", 8},
    {"FS p double", kLogo + R"(FS "p" 1 3)"s, 0, 0, "##............##/##............##", 16},
    {"FS p of a logo not held", kLogo + R"(FS "p" 2 0)"s, 0, 0, ".", 0},
    {"EAN13: 95 modules", R"(GS "h" 40 GS "w" 2 GS "H" 2 GS "k" 2 "590123412345" 0)", 186, 38,
     "####./####./.....", 40 + 24},
    {"CODE128: 11 x 11 + 2 modules", R"(GS "h" 40 GS "w" 2 GS "k" 73 .counted "{BABCDEFGH")", 244,
     0, "##.", 40},
    {"cut: a margin, dashes", R"("B\n" GS "V" 66 0)", 0, 46, "############....####", 55},
    {"cut after a feed", R"(GS "V" 65 20)", 0, 0, "", 45}, // the cut's: 8 dots margin, 17 mark
    {"own test page", "ESC 0x88", 0, 0, "", -1},
    {"no font: boxes", R"("B \n")", 0, 1,
     "......................../.#########............../.#.......#..............", 30, false},
};

TEST(PaperRenderer, DotsOfEachStream) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        PrinterModel model({});
        RenderOptions options;
        if (c.font)
            options.defaultFont = FontImage::fromBytes(testFont());
        PaperRenderer renderer(model, options);
        model.receive(stream(c.source), TimePoint{});
        renderer.finish();
        ASSERT_EQ(renderer.pages().size(), c.height == 0 ? 0u : 1u);
        const DotImage page = renderer.pages().empty() ? DotImage() : renderer.pages()[0].image;
        EXPECT_EQ(page.width, renderer.pages().empty() ? 0 : 576);
        EXPECT_EQ(window(page, c.x, c.y, c.dots), c.dots);
        if (c.height >= 0)
            EXPECT_EQ(page.height, c.height);
    }
}

// The NV memory of an earlier run sets the paper: "2 inch" in the settings
// prints 384 dots wide, its font replaces the default. Downloads change both.
TEST(PaperRenderer, SettingsAndFontsFromNvMemoryAndDownloads) {
    testing::TempFolder nv;
    nv.write("settings.bin", Bytes(14, 0)); // record byte 1, the printer mode, 0: "2 inch"
    Bytes font = testFont();
    font[48 * 'B'] = 0;
    font[48 * 'B' + 1] = 0x01; // 'B' row 0: column 7 only
    nv.write("font.bin", font);
    PrinterModel model({.nvFolder = nv.path(), .programmingTime = 10ms});
    PaperRenderer renderer(model, {.defaultFont = FontImage::fromBytes(testFont())});
    model.receive(stream(R"("B\n" GS "V" 66 0)"), TimePoint{});
    EXPECT_EQ(renderer.pages().at(0).width, 384);
    EXPECT_EQ(window(renderer.pages()[0].image, 0, 0, ".......#...."), ".......#....");

    const std::string request = R"(FS 0xC6 "KOVIRKOVIR")";
    model.receive(stream(request + " 0 0 1 3 1 1 1 0 0 0 0 1 1 0 2"), TimePoint{}); // "3 inch"
    font[48 * 'B' + 1] = 0;
    font[48 * 'B' + 3] = 0x04; // 'B' row 1: column 5 only
    model.receive(stream(R"(FS 0xC7 "KOVIRKOVIR")"), TimePoint{});
    model.receive(font, TimePoint{});
    model.receive(stream(R"("B\n")"), TimePoint{} + 20ms);
    renderer.finish();
    EXPECT_EQ(renderer.pages().at(1).width, 576);
    const char* const kFive = "............/.....#......";
    EXPECT_EQ(window(renderer.pages()[1].image, 0, 0, kFive), kFive);
}

TEST(PaperRenderer, LongPaperIsSplitIntoPngPagesThatReadBackDotForDot) {
    testing::TempFolder folder;
    PrinterModel model({});
    PaperRenderer renderer(model, {.outputFolder = folder.path(),
                                   .defaultFont = FontImage::fromBytes(testFont()),
                                   .maxPageDots = 300});
    model.receive(stream(".repeat 12 \"AB\\n\""), TimePoint{});
    renderer.finish();
    ASSERT_EQ(renderer.pages().size(), 2u); // 360 dots of paper
    for (const auto& page : renderer.pages()) {
        EXPECT_LE(page.height, 300);
        EXPECT_EQ(decodePng(folder.read(page.file.filename().string())).image.dots,
                  page.image.dots);
    }
}

TEST(PaperRenderer, StoredPngHasExactBytes) {
    DotImage image(3, 2);
    image.set(0, 0); // # . #
    image.set(2, 0);
    image.set(1, 1); // . # .
    // The signature; the header (3 x 2 dots, 1-bit grey, no interlace) and its CRC; the data
    // (zlib 0x78 0x01, a final stored block of 4 bytes: filter 0 and #.# as 010, filter 0 and
    // .#. as 101; Adler-32) and its CRC; the end.
    const Bytes png = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D,
                       0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02,
                       0x01, 0x00, 0x00, 0x00, 0x00, 0xB5, 0x0F, 0x5B, 0xB7, 0x00, 0x00, 0x00,
                       0x0F, 0x49, 0x44, 0x41, 0x54, 0x78, 0x01, 0x01, 0x04, 0x00, 0xFB, 0xFF,
                       0x00, 0x5F, 0x00, 0xBF, 0x01, 0xE0, 0x01, 0x1F, 0xD7, 0x00, 0xD6, 0xC0,
                       0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
    EXPECT_EQ(encodePng(image, PngCompression::Stored), png);
    EXPECT_TRUE(decodePng(png).ok && decodePng(png).image.dots == image.dots);
}

TEST(DefaultFontImage, IsWhatTheFontDownloadBuildsFromTheShippedFiles) {
    const std::filesystem::path program = ORDALIA_PROGRAM_FOLDER;
    const auto load = loadDefaultFontImage(program);
    ASSERT_TRUE(load.image) << load.problem;
    testing::TempFolder copy; // the download's own build writes "test" beside the table
    std::filesystem::copy(program / "Codepage Table", copy.path() / "Codepage Table");
    const auto tab = loadCodePageTab(copy.path());
    ASSERT_EQ(tab.outcome, Outcome::Done);
    const auto build = buildCodePageImage(copy.path(), tab.slots);
    ASSERT_EQ(build.outcome, Outcome::Done) << build.message;
    EXPECT_TRUE(std::equal(build.image.begin(), build.image.end(), load.image->bytes().begin()));
    EXPECT_FALSE(loadDefaultFontImage(copy.path() / "nothing").problem.empty());
}

} // namespace
} // namespace ordalia::vprinter
