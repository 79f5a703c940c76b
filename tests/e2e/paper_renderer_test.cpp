// The virtual printer's paper: small streams, written in the test page source
// language, fed to the printer model, and the dots they leave ('#' a dot, '.'
// white, '/' between rows); the PNG files of the pages; and the characters it
// prints before any font download.

#include "barcode_drawing.h"
#include "codepages/code_page_image.h"
#include "codepages/code_page_table.h"
#include "common/files.h"
#include "paper_renderer.h"
#include "support/harness.h"
#include "support/process.h"
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
    {"EAN13: guard bars 101, 2 dots a module, 40 high, text below",
     R"(GS "h" 40 GS "w" 2 GS "H" 2 GS "k" 2 "590123412345" 0)", 0, 39, "##..##./.......", 40 + 24},
    {"EAN13: the printer's check digit 7 (R 1000100), not the 0 sent",
     R"(GS "h" 10 GS "w" 1 GS "k" 67 .counted "5901234123450")", 85, 0, "#...#..#.#.", 10},
    {"ITF: an odd last digit left out, 27 modules", R"(GS "h" 10 GS "w" 1 GS "k" 5 "123" 0)", 24, 0,
     "#.#..", 10},
    {"EAN8 centred: (576 - 67) / 2", R"(ESC "a" 1 GS "h" 10 GS "w" 1 GS "k" 3 "9638507" 0)", 253, 0,
     ".#.#", 10},
    {"text above in Font B", R"(GS "h" 10 GS "H" 1 GS "f" 1 GS "k" 3 "9638507" 0)", 0, 17,
     "###...###", 17 + 10},
    {"UPC-A with a letter: nothing", R"(GS "k" 0 "0123456789A" 0)", 0, 0, ".", 0},
    {"CODABAR without start and stop: nothing", R"(GS "k" 71 .counted "12345")", 0, 0, ".", 0},
    {"CODE128 without a code set: nothing", R"(GS "k" 73 .counted "ABCDEF")", 0, 0, ".", 0},
    {"wider than the paper: nothing", R"(GS "w" 6 GS "k" 73 .counted "{BABCDEFGHIJ")", 0, 0, ".",
     0},
    {"QR Code: module 4 dots, 21 modules",
     R"(GS "(k" 3 0 49 67 4 GS "(k" 4 0 49 80 48 "A")"
     R"( GS "(k" 3 0 49 81 48)",
     0, 0, "############################....#", 84},
    {"QR Code data forgotten by ESC @", R"(GS "(k" 4 0 49 80 48 "A" ESC "@" GS "(k" 3 0 49 81 48)",
     0, 0, ".", 0},
    {"PDF417: start pattern, module 2, rows 3 modules high",
     R"(GS "(k" 3 0 48 65 1 GS "(k" 3 0 48 67 2 GS "(k" 4 0 48 80 48 "A" GS "(k" 3 0 48 81 48)", 0,
     0, "################..##..##..##....../################..##..##..##......", 10 * 6},
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

// A shipped test page drawn by the printer with the shipped characters.
std::vector<RenderedPage> shippedPage(const std::string& name, int paperDots) {
    const std::filesystem::path program = ORDALIA_PROGRAM_FOLDER;
    const auto file = readWholeFile(program / "testpage" / name, testpages::kMaxPageSize);
    EXPECT_EQ(file.status, FileRead::Status::Ok) << name;
    PrinterModel model({});
    PaperRenderer renderer(
        model, {.paperDots = paperDots, .defaultFont = loadDefaultFontImage(program).image});
    model.receive(file.bytes, TimePoint{});
    renderer.finish();
    return renderer.pages();
}

// The bands of rows with any dot on them, top and bottom (exclusive).
std::vector<std::pair<int, int>> printedBands(const DotImage& page) {
    std::vector<std::pair<int, int>> bands;
    for (int y = 0; y < page.height; ++y) {
        const auto row = page.dots.begin() + static_cast<std::ptrdiff_t>(y) * page.width;
        const bool inked = std::find(row, row + page.width, 1) != row + page.width;
        if (inked && (bands.empty() || bands.back().second != y))
            bands.push_back({y, y + 1});
        else if (inked)
            bands.back().second = y + 1;
    }
    return bands;
}

// The scanner program, found as a shell would find it.
std::optional<std::filesystem::path> zbarimg() {
    std::string_view folders = std::getenv("PATH") ? std::getenv("PATH") : "";
    for (std::size_t colon = 0; colon != folders.npos; folders.remove_prefix(colon + 1)) {
        colon = folders.find(':');
        const auto file = std::filesystem::path(folders.substr(0, colon)) / "zbarimg";
        if (!file.parent_path().empty() && std::filesystem::exists(file))
            return file;
        if (colon == folders.npos)
            break;
    }
    return std::nullopt;
}

// Every code on the bar code test page, cut out with white around it, is
// read back by a scanner program as exactly the data sent; the PDF417,
// which it does not read, holds the modules zint encodes for its data.
TEST(PaperRenderer, EveryCodeOnTheBarCodeTestPageReadsBackAsItsData) {
    const auto scanner = zbarimg();
    if (!scanner)
        GTEST_SKIP() << "zbarimg (zbar-tools) is not installed";
    // As the scanner reports them, in page order: UPC-A (the printer's check digit, the one
    // sent), UPC-E (its own digits, a UPC-A without zeros), EAN13, EAN8, CODE39 and ITF twice,
    // CODABAR twice, CODE93, CODE128 sets B and C, readable text none, above, both, low and
    // wide, the QR Code.
    const char* const kCodes[] = {"012345678905",  "012345678905",
                                  "01234565",      "04252614",
                                  "5901234123457", "5901234123457",
                                  "96385074",      "96385074",
                                  "ABC-123",       "TEST 39",
                                  "1234567890",    "00123456",
                                  "A40156B",       "C12345-67D",
                                  "Code 93",       "Ordalia-128",
                                  "12345678",      "HRI-0",
                                  "HRI-1",         "HRI-3",
                                  "4006381333931", "https://ordalia.example"};
    const auto pages = shippedPage("barpic-a.p", kPaperDots80mm);
    ASSERT_EQ(pages.size(), 1u);
    const DotImage& page = pages[0].image;
    // Text lines are at most 24 dots high; every code is taller.
    std::vector<std::pair<int, int>> codes;
    for (const auto& band : printedBands(page))
        if (band.second - band.first > 32)
            codes.push_back(band);
    ASSERT_EQ(codes.size(), std::size(kCodes) + 1); // and the PDF417 last

    testing::TempFolder folder;
    for (std::size_t i = 0; i < std::size(kCodes); ++i) {
        SCOPED_TRACE(kCodes[i]);
        constexpr int kQuiet = 24;
        const auto [top, bottom] = codes[i];
        DotImage crop(page.width, bottom - top + 2 * kQuiet);
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < page.width; ++x)
                crop.set(x, y - top + kQuiet, page.dot(x, y));
        const auto png = folder.write("code.png", encodePng(crop, PngCompression::Deflate));
        const auto output = folder.path() / "out.txt";
        const pid_t pid = testing::spawnCommand(
            {scanner->string(), "--raw", "-q", "-Supca.enable", "-Supce.enable", png.string()},
            output, folder.path() / "errors.txt");
        ASSERT_EQ(testing::waitForExit(pid, std::chrono::seconds(20)), 0)
            << testing::readText(folder.path() / "errors.txt");
        EXPECT_EQ(testing::readText(output), std::string(kCodes[i]) + "\n");
    }

    // PDF417: 3 columns, level 2, modules 2 x 6 dots, centred.
    const auto pdf417 = encodePdf417("Ordalia PDF417", {.columns = 3, .level = 2});
    ASSERT_TRUE(pdf417);
    const auto [top, bottom] = codes.back();
    EXPECT_EQ(bottom - top, pdf417->height * 6);
    const int left = (page.width - pdf417->width * 2) / 2;
    int differing = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < page.width; ++x)
            differing += page.dot(x, y) != pdf417->dark((x - left) / 2, (y - top) / 6) ? 1 : 0;
    for (int x = 0; x < left; ++x)
        differing += page.dot(x, top) ? 1 : 0;
    EXPECT_EQ(differing, 0);
}

// UPC-E given as the UPC-A number it stands for is printed without its
// zeros, by the rule its manufacturer digits allow; other numbers print nothing.
TEST(BarcodeDrawing, UpcAWithoutItsZerosIsItsUpcE) {
    struct Case {
        const char* upcA;
        const char* upcE; // its six digits; empty: nothing printed
    };
    const Case kCases[] = {{"01200000345", "123450"},  {"01230000045", "123453"},
                           {"01234000005", "123454"},  {"01234500007", "123457"},
                           {"012345000076", "123457"}, {"01234500004", ""},
                           {"01200001345", ""},        {"21200000345", ""}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.upcA);
        const auto printed = encodeBarcode(66, c.upcA);
        ASSERT_EQ(printed.has_value(), *c.upcE != '\0');
        if (printed)
            EXPECT_EQ(printed->bars.modules, encodeBarcode(1, c.upcE)->bars.modules);
    }
}

// The code page charts print each row on one line of either paper: the page
// is as long on 58 mm paper as on 80 mm.
TEST(PaperRenderer, CodePageChartsFitOnBothPapers) {
    for (const char* name : {"codepageA.p", "codepageB.p"}) {
        SCOPED_TRACE(name);
        const auto wide = shippedPage(name, kPaperDots80mm);
        const auto narrow = shippedPage(name, kPaperDots58mm);
        ASSERT_EQ(wide.size(), 1u);
        ASSERT_EQ(narrow.size(), 1u);
        EXPECT_EQ(narrow[0].width, kPaperDots58mm);
        EXPECT_EQ(narrow[0].height, wide[0].height);
    }
}

} // namespace
} // namespace ordalia::vprinter
