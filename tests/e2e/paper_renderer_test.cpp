// The virtual printer's paper: small streams fed to the printer model, and
// the dots they leave, compared with pictures ('#' a dot, '.' white).

#include "codepages/code_page_image.h"
#include "codepages/code_page_table.h"
#include "common/files.h"
#include "font_image.h"
#include "nv_logos.h"
#include "paper_renderer.h"
#include "png.h"
#include "printer_model.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string_view>

namespace ordalia::vprinter {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

Bytes text(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Rows `y` to `y + h - 1`, columns `x` to `x + w - 1` of the picture.
std::vector<std::string> picture(const DotImage& image, int x, int y, int w, int h) {
    std::vector<std::string> rows;
    for (int r = y; r < y + h; ++r) {
        std::string row;
        for (int c = x; c < x + w; ++c)
            row += image.dot(c, r) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

int dotCount(const DotImage& image) {
    int n = 0;
    for (const auto d : image.dots)
        n += d;
    return n;
}

// A code page image with a few drawn characters and the rest blank:
//   'A' (slot 0, Font A): a bar across row 0 and the left column below it
//   'B' (slot 0, Font A): dots at columns 0 and 11 on row 0
//   'A' (Font B): row 0 full (8 dots)
//   0x80 in slot 0: one dot at column 0, row 0; in slot 2: at column 5, row 3
// Slot i holds table number 10 + i, slot 0 table 0.
Bytes testFontBytes() {
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
    fontA(0x3000 + 1 * 0x1800 + 48 * 0, 3, 0x0400); // slot 2, character 0x80
    for (int slot = 1; slot < 6; ++slot)
        image[0xF0C0 + slot] = static_cast<std::uint8_t>(10 + slot);
    const std::string_view heading = "   TEST PRINTER  SELF-TEST";
    std::copy(heading.begin(), heading.end(), image.begin() + 0xFC00);
    return image;
}

class PaperRendererTest : public ::testing::Test {
protected:
    PrinterModel& model(PrinterOptions options = {}) {
        m_model.emplace(std::move(options));
        return *m_model;
    }
    PaperRenderer& renderer(RenderOptions options = {}) {
        if (!m_model)
            model();
        if (!options.defaultFont)
            options.defaultFont = FontImage::fromBytes(testFontBytes());
        m_renderer.emplace(*m_model, std::move(options));
        return *m_renderer;
    }
    void feed(const Bytes& bytes) { m_model->receive(bytes, now); }
    // The page a cut ended.
    const DotImage& page(std::size_t index) { return m_renderer->pages().at(index).image; }

    testing::TempFolder folder;
    TimePoint now = TimePoint{} + 1h;
    std::optional<PrinterModel> m_model;
    std::optional<PaperRenderer> m_renderer;
};

const Bytes kCut = {0x1D /*GS*/, 'V', 0x42 /*66: feed and cut partially*/, 0x00 /*no feed*/};

TEST_F(PaperRendererTest, FontACharacterIsDrawnFromTheImageAndALineFeedsThirtyDots) {
    auto& r = renderer();
    feed(text("AB\n"));
    const DotImage& paper = r.paper();
    EXPECT_EQ(paper.width, 576);
    EXPECT_EQ(paper.height, 30); // one line at the default spacing
    EXPECT_THAT(picture(paper, 0, 0, 25, 3),
                ElementsAre("#############..........#.", "#........................",
                            "#........................"));
    EXPECT_EQ(dotCount(paper), 12 + 23 + 2); // nothing else on the paper
}

TEST_F(PaperRendererTest, FontBHasANineDotPitch) {
    auto& r = renderer();
    feed(cat({{0x1B /*ESC*/, 'M', 1 /*Font B*/}, text("AA\n")}));
    EXPECT_THAT(picture(r.paper(), 0, 0, 18, 2),
                ElementsAre("########.########.", ".................."));
    // ESC ! 1 selects Font B too, and ESC ! 0 goes back to Font A.
    feed(cat({{0x1B, '!', 0x01}, text("A"), {0x1B, '!', 0x00}, text("A\n")}));
    // Font B stands on the line's base, 7 dots below the top of Font A.
    EXPECT_THAT(picture(r.paper(), 0, 30 + 7, 22, 1), ElementsAre("########.#............"));
}

TEST_F(PaperRendererTest, EscTChoosesTheSlotWhoseTableNumberMatches) {
    auto& r = renderer();
    feed({0x80, 0x1B /*ESC*/, 't', 12 /*slot 2*/, 0x80, 'A', 0x0A});
    // Slot 0's 0x80, then slot 2's, then 'A' from the lower half all tables share.
    EXPECT_THAT(picture(r.paper(), 0, 0, 36, 4),
                ElementsAre("#.......................############",
                            "........................#...........",
                            "........................#...........",
                            ".................#......#..........."));
    // A table the printer does not hold prints from slot 0.
    feed({0x1B, 't', 99, 0x80, 0x0A});
    EXPECT_THAT(picture(r.paper(), 0, 30, 12, 1), ElementsAre("#..........."));
}

TEST_F(PaperRendererTest, SizesEmphasisUnderlineAndReverse) {
    auto& r = renderer();
    feed(cat({{0x1D /*GS*/, '!', 0x10 /*2 wide, 1 high*/}, text("B\n")}));
    EXPECT_THAT(picture(r.paper(), 0, 0, 24, 1), ElementsAre("##....................##"));
    feed(cat({{0x1D, '!', 0x01 /*1 wide, 2 high*/}, text("B\n")}));
    EXPECT_THAT(picture(r.paper(), 0, 30, 12, 3),
                ElementsAre("#..........#", "#..........#", "............"));
    EXPECT_EQ(r.paper().height, 30 + 48); // the line is as high as its character
    feed(cat({{0x1D, '!', 0x00}, {0x1B, 'E', 1 /*emphasis*/}, text("B\n")}));
    EXPECT_THAT(picture(r.paper(), 0, 78, 12, 1), ElementsAre("##.........#")); // burnt twice
    feed(cat({{0x1B, 'E', 0}, {0x1B, '-', 2 /*2-dot underline*/}, text("B\n")}));
    EXPECT_THAT(picture(r.paper(), 0, 108 + 21, 13, 3),
                ElementsAre(".............", "############.", "############."));
    feed(cat({{0x1B, '-', 0}, {0x1D, 'B', 1 /*reverse*/}, text("B\n")}));
    EXPECT_THAT(picture(r.paper(), 0, 138, 13, 2), ElementsAre(".##########..", "############."));
}

TEST_F(PaperRendererTest, ModesOfEscBangAndReset) {
    auto& r = renderer();
    // ESC ! 0x30: double width and height at once.
    feed(cat({{0x1B, '!', 0x30}, text("B\n")}));
    EXPECT_THAT(picture(r.paper(), 0, 0, 24, 3),
                ElementsAre("##....................##", "##....................##",
                            "........................"));
    // ESC @ ends every mode.
    feed(cat({{0x1B, '@'}, text("B\n")}));
    EXPECT_THAT(picture(r.paper(), 0, 48, 13, 1), ElementsAre("#..........#."));
}

TEST_F(PaperRendererTest, AlignmentMarginAndTabs) {
    auto& r = renderer();
    feed(cat({{0x1B, 'a', 1 /*centre*/}, text("B\n"), {0x1B, 'a', 2 /*right*/}, text("B\n")}));
    EXPECT_TRUE(r.paper().dot(282, 0)); // (576 - 12) / 2
    EXPECT_TRUE(r.paper().dot(293, 0));
    EXPECT_TRUE(r.paper().dot(564, 30));
    EXPECT_TRUE(r.paper().dot(575, 30));
    feed(cat({{0x1B, 'a', 0}, {0x1D, 'L', 100, 0 /*left margin 100*/}, text("B\n")}));
    EXPECT_TRUE(r.paper().dot(100, 60));
    EXPECT_FALSE(r.paper().dot(0, 60));
    feed(cat({{0x1D, 'L', 0, 0}, text("B\tB\n")})); // default tabs every 8 Font A characters
    EXPECT_TRUE(r.paper().dot(96, 90));
    feed(cat({{0x1B, 'D', 3, 10, 0x00 /*tabs at 3 and 10*/}, text("\tB\tB\n")}));
    EXPECT_TRUE(r.paper().dot(36, 120));
    EXPECT_TRUE(r.paper().dot(120, 120));
    feed(cat({{0x1B, '$', 200, 0 /*absolute 200*/}, text("B\n")}));
    EXPECT_TRUE(r.paper().dot(200, 150));
}

TEST_F(PaperRendererTest, LongLineWrapsAndFeedsFollowSpacing) {
    auto& r = renderer();
    feed(Bytes(49, 'B')); // 48 fit on 576 dots
    feed({0x0A});
    EXPECT_TRUE(r.paper().dot(564, 0));
    EXPECT_TRUE(r.paper().dot(0, 30));
    EXPECT_FALSE(r.paper().dot(12, 30));
    EXPECT_EQ(r.paper().height, 60);
    feed({0x1B, '3', 50 /*spacing 50*/, 0x0A, 0x1B, 'J', 7 /*feed 7*/, 0x1B, 'd', 2 /*2 lines*/});
    EXPECT_EQ(r.paper().height, 60 + 50 + 7 + 100);
    feed({0x1B, '2', 0x0A}); // default spacing again
    EXPECT_EQ(r.paper().height, 217 + 30);
}

TEST_F(PaperRendererTest, RasterImageIsPrintedRowByRow) {
    auto& r = renderer();
    const Bytes raster = {0x1D, 'v',          '0',  0 /*normal*/, 2, 0 /*2 bytes wide*/,
                          2,    0 /*2 rows*/, 0x81, 0x01, // #......# .......#
                          0x40, 0x80};                    // .#...... #.......
    feed(raster);
    EXPECT_THAT(picture(r.paper(), 0, 0, 17, 3),
                ElementsAre("#......#.......#.", ".#......#........", "................."));
    EXPECT_EQ(r.paper().height, 2);
    Bytes wide = raster;
    wide[3] = 3; // double width and height
    feed(cat({{0x1B, 'a', 1}, wide}));
    EXPECT_THAT(picture(r.paper(), 272, 2, 4, 3), ElementsAre("##..", "##..", "..##"));
    EXPECT_EQ(r.paper().height, 2 + 4);
}

TEST_F(PaperRendererTest, BitImagesIn8And24DotModes) {
    auto& r = renderer();
    // 24-dot double density: three bytes a column, top band first.
    feed({0x1B, '*', 33, 2, 0, 0x80, 0x00, 0x01, 0x00, 0x80, 0x00, 0x0A});
    EXPECT_TRUE(r.paper().dot(0, 0));
    EXPECT_TRUE(r.paper().dot(0, 23));
    EXPECT_TRUE(r.paper().dot(1, 8));
    EXPECT_EQ(dotCount(r.paper()), 3);
    // 8-dot single density: each dot two wide and three high.
    feed({0x1B, '*', 0, 1, 0, 0x80, 0x0A});
    EXPECT_THAT(picture(r.paper(), 0, 30, 3, 4), ElementsAre("##.", "##.", "##.", "..."));
}

TEST_F(PaperRendererTest, LogoPrintedWithFsp) {
    auto& r = renderer();
    // FS q: one logo of 1 x 1 (8 x 8 dots); column 0 has its top dot, column 7 all.
    Bytes define = {0x1C, 'q', 1, 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 0, 0xFF};
    feed(define);
    feed({0x1C, 'p', 1, 0 /*normal*/});
    EXPECT_THAT(picture(r.paper(), 0, 0, 8, 2), ElementsAre("#......#", ".......#"));
    feed({0x1C, 'p', 1, 3 /*double width and height*/});
    EXPECT_THAT(picture(r.paper(), 0, 8, 16, 3),
                ElementsAre("##............##", "##............##", "..............##"));
    feed({0x1C, 'p', 2, 0}); // no such logo: nothing
    EXPECT_EQ(r.paper().height, 8 + 16);
}

TEST_F(PaperRendererTest, BarCodeIsABoxOfItsSizeWithReadableText) {
    auto& r = renderer();
    feed({0x1D, 'h', 40, 0x1D, 'w', 2, 0x1D, 'H', 2 /*text below*/});
    feed(cat({{0x1D, 'k', 2 /*EAN13*/}, text("590123412345"), {0x00}}));
    const DotImage& paper = r.paper();
    // 95 modules of 2 dots, 40 high, then the readable text in Font A.
    EXPECT_EQ(paper.height, 40 + 24);
    EXPECT_TRUE(paper.dot(0, 0));
    EXPECT_TRUE(paper.dot(189, 0));
    EXPECT_FALSE(paper.dot(190, 0));
    EXPECT_TRUE(paper.dot(0, 39));
    EXPECT_TRUE(paper.dot(189, 39));
    // CODE128 with its code set: the start and 8 letters, the check symbol
    // and the stop of 13 modules: 11 x 11 + 2 = 123 modules, 246 dots.
    feed({0x1D, 'H', 0});
    feed(cat({{0x1D, 'k', 73, 10}, text("{BABCDEFGH")}));
    EXPECT_EQ(paper.height, 64 + 40);
    EXPECT_TRUE(paper.dot(245, 64));
    EXPECT_FALSE(paper.dot(246, 64));
}

TEST_F(PaperRendererTest, CutEndsThePageWithAMark) {
    auto& r = renderer();
    feed(cat({text("B\n"), kCut, text("B\n"), {0x1D, 'V', 65 /*full cut after a feed*/, 20}}));
    ASSERT_EQ(r.pages().size(), 2u);
    EXPECT_TRUE(r.pages()[0].cut->partial);
    EXPECT_FALSE(r.pages()[1].cut->partial);
    EXPECT_EQ(r.pages()[1].cut->feed, 20);
    const DotImage& first = page(0);
    EXPECT_EQ(first.width, 576);
    EXPECT_EQ(first.height, 30 + 8 + 17); // the line, a margin, the mark
    // The dashes: 12 dots, 4 apart, across the paper.
    EXPECT_THAT(picture(first, 0, 30 + 8 + 8, 34, 1),
                ElementsAre("############....############....##"));
    EXPECT_EQ(page(1).height, 30 + 20 + 8 + 17);
    EXPECT_EQ(r.paper().width, 0); // nothing printed since
    EXPECT_EQ(r.pageCount(), 2);
}

TEST_F(PaperRendererTest, PagesAreWrittenAsPng) {
    RenderOptions options;
    options.outputFolder = folder.path() / "pages";
    options.compression = PngCompression::Stored;
    auto& r = renderer(options);
    feed(cat({text("A\n"), kCut, text("B\n"), kCut}));
    ASSERT_EQ(r.pages().size(), 2u);
    EXPECT_EQ(r.pages()[1].file, folder.path() / "pages" / "page-0002.png");
    for (const auto& page : r.pages()) {
        const auto read = decodePng(folder.read("pages/" + page.file.filename().string()));
        ASSERT_TRUE(read.ok) << read.problem;
        EXPECT_EQ(read.image.dots, page.image.dots);
    }
    EXPECT_THAT(m_model->log(), ::testing::Contains(HasSubstr("page 2, 576 x 55 dots")));
}

TEST_F(PaperRendererTest, FinishWritesThePaperAfterTheLastCut) {
    auto& r = renderer();
    r.finish(); // nothing printed: no page
    EXPECT_EQ(r.pageCount(), 0);
    feed(text("BB")); // not even a line feed
    r.finish();
    ASSERT_EQ(r.pages().size(), 1u);
    EXPECT_FALSE(r.pages()[0].cut);
    EXPECT_TRUE(page(0).dot(23, 0));
}

TEST_F(PaperRendererTest, EndlessPaperIsSplitIntoPages) {
    RenderOptions options;
    options.maxPageDots = 300;
    auto& r = renderer(options);
    for (int i = 0; i < 25; ++i)
        feed(text("B\n"));
    ASSERT_GE(r.pages().size(), 2u);
    for (const auto& page : r.pages())
        EXPECT_LE(page.height, 300);
}

TEST_F(PaperRendererTest, PaperWidthFollowsTheSettings) {
    // A printer whose NV memory says "2 inch" prints 384 dots wide.
    Bytes record(14, 0);
    folder.write("nv/settings.bin", record);
    PrinterOptions printer;
    printer.nvFolder = folder.path() / "nv";
    model(printer);
    auto& r = renderer();
    feed(text("B\n"));
    EXPECT_EQ(r.paper().width, 384);
    feed(kCut);

    // A settings download of "3 inch" widens the next page.
    feed({0x1C, 0xC6, 'K', 'O', 'V', 'I', 'R', 'K', 'O', 'V', 'I', 'R'});
    feed({0x00, 0x00,                           // flash3
          0x01,                                 // record byte 1: printer mode "3 inch"
          3, 1, 1, 1, 0, 0, 0, 0, 1, 1, 0, 2}); // bytes 2 to 13
    ASSERT_TRUE(m_model->settings());
    feed(text("B\n"));
    EXPECT_EQ(r.paper().width, 576);
}

TEST_F(PaperRendererTest, DownloadedFontReplacesTheDefault) {
    PrinterOptions printer;
    printer.programmingTime = 10ms;
    model(printer);
    auto& r = renderer();
    Bytes font = testFontBytes();
    // In the new font 'B' is a dot at column 5 of row 1.
    std::fill(font.begin() + 48 * 'B', font.begin() + 48 * 'B' + 48, 0);
    font[48 * 'B' + 2 * 1 + 1] = 0x04;
    feed({0x1C, 0xC7, 'K', 'O', 'V', 'I', 'R', 'K', 'O', 'V', 'I', 'R'});
    feed(font);
    now += 50ms;
    m_model->advance(now);
    ASSERT_EQ(m_model->mode(), PrinterMode::EscPos);
    feed(text("B\n"));
    EXPECT_THAT(picture(r.paper(), 0, 0, 12, 2), ElementsAre("............", ".....#......"));
}

TEST_F(PaperRendererTest, FontImageFromTheNvMemoryOfAnEarlierRun) {
    Bytes font = testFontBytes();
    font[48 * 'B'] = 0x00;
    font[48 * 'B' + 1] = 0x01; // row 0: the dot in column 7 only
    folder.write("nv/font.bin", font);
    PrinterOptions printer;
    printer.nvFolder = folder.path() / "nv";
    model(printer);
    auto& r = renderer();
    feed(text("B\n"));
    EXPECT_THAT(picture(r.paper(), 0, 0, 12, 1), ElementsAre(".......#...."));
}

TEST_F(PaperRendererTest, WithoutAnyFontCharactersAreBoxes) {
    model();
    m_renderer.emplace(*m_model, RenderOptions{}); // no default font
    feed(text("B \n"));
    EXPECT_THAT(picture(m_renderer->paper(), 0, 1, 24, 3),
                ElementsAre("........................", ".#########..............",
                            ".#.......#.............."));
}

TEST_F(PaperRendererTest, SelfTestPagePrintsTheHeadingAndEndsWithACut) {
    auto& r = renderer();
    feed({0x1B, 0x88});
    ASSERT_EQ(r.pages().size(), 1u);
    EXPECT_TRUE(r.pages()[0].cut->partial);
    // The test font draws little, but the chart holds 'A' and 'B'.
    EXPECT_GT(dotCount(page(0)), 12 + 23 + 2);
}

TEST_F(PaperRendererTest, RendererGoneBeforeTheModelDoesNothing) {
    model();
    m_renderer.emplace(*m_model, RenderOptions{});
    m_renderer.reset();
    feed(cat({text("B\n"), kCut})); // the hooks find no renderer and do nothing
    EXPECT_EQ(m_model->cuts().size(), 1u);
}

TEST(DefaultFontImage, SameAsTheFontDownloadBuildsFromTheShippedFiles) {
    const char* programDir = std::getenv("ORDALIA_PROGRAM_DIR");
    if (!programDir)
        GTEST_SKIP() << "ORDALIA_PROGRAM_DIR is not set";
    const std::filesystem::path program(programDir);
    const auto load = loadDefaultFontImage(program);
    ASSERT_TRUE(load.image) << load.problem;

    // The download's own build, in a copy of the folder (it writes "test").
    testing::TempFolder copy;
    std::filesystem::copy(program / "Codepage Table", copy.path() / "Codepage Table");
    const auto tab = loadCodePageTab(copy.path());
    ASSERT_EQ(tab.outcome, Outcome::Done);
    const auto build = buildCodePageImage(copy.path(), tab.slots);
    ASSERT_EQ(build.outcome, Outcome::Done) << build.message;
    EXPECT_TRUE(std::equal(build.image.begin(), build.image.end(), load.image->bytes().begin()));
    EXPECT_THAT(load.image->nameRow(0), HasSubstr("CodePage0 : PC437"));
}

// Every shipped test page, through the printer with the shipped fonts: one
// page per cut, 576 dots wide, none empty.
TEST(ShippedTestPages, EachCutGivesAPageOfPrint) {
    const char* programDir = std::getenv("ORDALIA_PROGRAM_DIR");
    if (!programDir)
        GTEST_SKIP() << "ORDALIA_PROGRAM_DIR is not set";
    const std::filesystem::path program(programDir);
    const auto fonts = loadDefaultFontImage(program);
    ASSERT_TRUE(fonts.image) << fonts.problem;
    const std::vector<std::pair<std::string, int>> expected = {
        {"rec1.p", 1},     {"rec2.p", 1},       {"rec3.p", 1},      {"rec4.p", 1},
        {"FontSize.p", 1}, {"bmp1.p", 1},       {"codepageA.p", 1}, {"codepageB.p", 1},
        {"barpic-a.p", 1}, {"cashdrawer.p", 1}, {"cutter.p", 4},
    };
    for (const auto& [name, cuts] : expected) {
        SCOPED_TRACE(name);
        const auto read = readWholeFile(program / "testpage" / name, 655351);
        ASSERT_EQ(read.status, FileRead::Status::Ok);
        PrinterModel model(PrinterOptions{});
        RenderOptions options;
        options.defaultFont = fonts.image;
        PaperRenderer renderer(model, options);
        model.receive(read.bytes, TimePoint{});
        renderer.finish();
        ASSERT_EQ(renderer.pageCount(), cuts); // every page ends with its cut
        for (const auto& page : renderer.pages()) {
            EXPECT_EQ(page.width, 576);
            EXPECT_TRUE(page.cut);
            EXPECT_GT(dotCount(page.image), 100);
            EXPECT_LT(page.height, 6000);
        }
    }
}

TEST(ShippedTestPages, ReceiptTitleIsBigAndCentred) {
    const char* programDir = std::getenv("ORDALIA_PROGRAM_DIR");
    if (!programDir)
        GTEST_SKIP() << "ORDALIA_PROGRAM_DIR is not set";
    const std::filesystem::path program(programDir);
    const auto read = readWholeFile(program / "testpage" / "rec1.p", 655351);
    ASSERT_EQ(read.status, FileRead::Status::Ok);
    PrinterModel model(PrinterOptions{});
    RenderOptions options;
    options.defaultFont = loadDefaultFontImage(program).image;
    PaperRenderer renderer(model, options);
    model.receive(read.bytes, TimePoint{});
    ASSERT_EQ(renderer.pages().size(), 1u);
    const DotImage& page = renderer.pages()[0].image;
    // "GREEN VALLEY MARKET" at double size: 19 x 24 = 456 dots, centred, 48 high.
    int left = page.width, right = -1, bottom = -1;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < page.width; ++x)
            if (page.dot(x, y)) {
                left = std::min(left, x);
                right = std::max(right, x);
                bottom = std::max(bottom, y);
            }
    EXPECT_GE(left, 60);
    EXPECT_LE(right, 576 - 60);
    EXPECT_NEAR((left + right) / 2, 288, 14);
    EXPECT_GT(bottom, 30);
}

TEST(DefaultFontImage, MissingFolderIsSaid) {
    testing::TempFolder empty;
    const auto load = loadDefaultFontImage(empty.path());
    EXPECT_FALSE(load.image);
    EXPECT_FALSE(load.problem.empty());
}

} // namespace
} // namespace ordalia::vprinter
