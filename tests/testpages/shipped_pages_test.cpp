// The eleven test pages the "Test Print" page sends: each source assembles,
// reads back as well-formed ESC/POS, starts with ESC @, ends with a cut and
// holds what its button promises. The files the build put beside the program
// must be exactly what the sources assemble to.

#include "testpage_pictures.h"
#include "testpage_source.h"
#include "testpages/escpos_walk.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iterator>
#include <set>

namespace ordalia::testpages {
namespace {

using testing::Command;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::Walk;
using testing::walkEscPos;

const char* const kPages[] = {
    "rec1.p",      "rec2.p",      "rec3.p",     "rec4.p",       "FontSize.p", "bmp1.p",
    "codepageA.p", "codepageB.p", "barpic-a.p", "cashdrawer.p", "cutter.p",
};

constexpr int k80mmDots = 576;
constexpr int k58mmDots = 384;

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> assemblePage(const std::string& page) {
    const auto path = std::filesystem::path(ORDALIA_TESTPAGE_SOURCES) / (page + ".src");
    const std::string source = readText(path);
    EXPECT_FALSE(source.empty()) << path;
    const Assembly assembly = assemble(source);
    for (const auto& error : assembly.errors)
        ADD_FAILURE() << describeError(path.string(), error);
    return assembly.bytes;
}

Walk walkPage(const std::string& page) {
    const auto bytes = assemblePage(page);
    Walk walk = walkEscPos(bytes);
    EXPECT_TRUE(walk.ok()) << page << ": " << walk.fault;
    return walk;
}

std::vector<int> parameters(const Walk& walk, const std::string& name, std::size_t index = 2) {
    std::vector<int> values;
    for (const Command* c : walk.named(name))
        values.push_back(c->bytes[index]);
    return values;
}

// The reader must refuse what a printer would not take, or the checks of the
// pages below would prove nothing.
TEST(EscPosWalk, RefusesWhatAPrinterWouldNotTake) {
    const auto fault = [](std::vector<std::uint8_t> bytes) { return walkEscPos(bytes).fault; };
    EXPECT_EQ(
        fault({0x1D, 'k', 67, 13, '5', '9', '0', '1', '2', '3', '4', '1', '2', '3', '4', '5', '8'}),
        "offset 0: EAN13 check digit is wrong");
    EXPECT_EQ(fault({0x1D, 'k', 73, 5, '{', 'B', 'a'}),
              "offset 0: GS k 73 is shorter than its count");
    EXPECT_EQ(fault({0x1D, 'k', 5, '1', '2', '3', 0}),
              "offset 0: ITF takes an even number of digits");
    EXPECT_EQ(fault({0x1D, 'k', 73, 3, 'a', 'b', 'c'}),
              "offset 0: CODE128 data must start with {A, {B or {C");
    EXPECT_EQ(fault({'x', 0x1B, 'a', 1}),
              "offset 1: ESC a in the middle of a line, where the printer ignores it");
    EXPECT_EQ(fault({0x1D, '!', 0x88}), "offset 0: GS ! 0x88 is beyond 8 x 8");
    EXPECT_EQ(fault({0x1D, 'V', 2}), "offset 0: GS V 2 is no cut");
    EXPECT_EQ(fault({0x1B, 'p', 0, 25, 5}), "offset 0: ESC p pulse times 25, 5 are not sensible");
    EXPECT_EQ(fault({0x1D, 'v', '0', 0, 2, 0, 1, 0, 0xFF}), "offset 0: GS v 0 is cut off");
    EXPECT_EQ(fault({0x1B, 'q'}), "offset 0: unknown command ESC 0x71");
    EXPECT_EQ(fault({'a', 0x00}), "offset 1: unexpected byte 0x00");
    EXPECT_TRUE(walkEscPos(std::vector<std::uint8_t>{0x1B, '@', 'A', 0x0A, 0x1D, 'V', 66, 0}).ok());
}

class ShippedPage : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedPage, StartsWithInitialiseEndsWithCutAndIsWellFormed) {
    const auto bytes = assemblePage(GetParam());
    ASSERT_GE(bytes.size(), 5u);
    EXPECT_LE(bytes.size(), kMaxPageSize);
    EXPECT_THAT(std::vector(bytes.begin(), bytes.begin() + 2), ElementsAre(0x1B /*ESC*/, '@'));

    const Walk walk = walkEscPos(bytes);
    ASSERT_TRUE(walk.ok()) << walk.fault;
    const Command& last = walk.commands.back();
    EXPECT_EQ(last.name, "GS V");
    EXPECT_EQ(last.offset + last.bytes.size(), bytes.size());
    // The last cut feeds the printed part past the cutter first.
    EXPECT_THAT(last.bytes[2], ::testing::AnyOf(65 /*full*/, 66 /*partial*/));
    // Nothing wraps on 80 mm paper.
    EXPECT_LE(testing::widestLineDots(walk), k80mmDots);
}

TEST_P(ShippedPage, BuiltFileIsTheAssembledSource) {
    const char* dir = std::getenv("ORDALIA_PROGRAM_DIR");
    if (dir == nullptr)
        GTEST_SKIP() << "ORDALIA_PROGRAM_DIR is not set";
    const auto file = std::filesystem::path(dir) / "testpage" / GetParam();
    ASSERT_TRUE(std::filesystem::is_regular_file(file)) << file;
    const std::string text = readText(file);
    const std::vector<std::uint8_t> built(text.begin(), text.end());
    EXPECT_TRUE(built == assemblePage(GetParam())) << file << " differs from its source";
}

INSTANTIATE_TEST_SUITE_P(All, ShippedPage, ::testing::ValuesIn(kPages), [](const auto& info) {
    std::string name = info.param;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
});

TEST(ShippedPages, ReceiptsCentreTheirHeaderAndPrintTheTotalTall) {
    for (const char* page : {"rec1.p", "rec2.p", "rec3.p", "rec4.p"}) {
        SCOPED_TRACE(page);
        const Walk walk = walkPage(page);
        const auto align = parameters(walk, "ESC a");
        ASSERT_GE(align.size(), 2u);
        EXPECT_EQ(align.front(), 1); // header centred
        EXPECT_EQ(align.back(), 0);  // left again after the footer
        const bool emphasised =
            !walk.named("ESC E").empty() ||
            std::ranges::any_of(parameters(walk, "ESC !"), [](int n) { return (n & 0x08) != 0; });
        EXPECT_TRUE(emphasised);
        const auto tall = testing::tallText(walk);
        EXPECT_TRUE(
            std::ranges::any_of(tall, [](const std::string& t) { return t.starts_with("TOTAL"); }));
    }
    // The kiosk receipt is laid out for 58 mm paper.
    EXPECT_LE(testing::widestLineDots(walkPage("rec4.p")), k58mmDots);
}

TEST(ShippedPages, FontSizeShowsBothFontsAndEveryCharacterSize) {
    const Walk walk = walkPage("FontSize.p");
    const auto fonts = parameters(walk, "ESC M");
    EXPECT_THAT(std::set(fonts.begin(), fonts.end()), ElementsAre(0, 1));
    const auto sizes = parameters(walk, "GS !");
    const std::set<int> sizeSet(sizes.begin(), sizes.end());
    for (int n = 0; n < 8; ++n)
        EXPECT_TRUE(sizeSet.contains(n * 0x11)) << n + 1 << " x " << n + 1;
    const auto modes = parameters(walk, "ESC !");
    EXPECT_THAT(std::set(modes.begin(), modes.end()),
                ::testing::IsSupersetOf({0x00, 0x01, 0x08, 0x10, 0x20, 0x80}));
    EXPECT_THAT(parameters(walk, "ESC E"), ::testing::Contains(1));
    EXPECT_THAT(parameters(walk, "ESC -"), ::testing::IsSupersetOf({1, 2}));
}

TEST(ShippedPages, BitmapHoldsPicturesForBothPaperWidths) {
    const Walk walk = walkPage("bmp1.p");
    const auto rasters = walk.named("GS v 0");
    ASSERT_EQ(rasters.size(), 2u);
    EXPECT_EQ(rasters[0]->bytes, rasterCommand(drawTestPicture(k80mmDots, 320)));
    EXPECT_EQ(rasters[1]->bytes, rasterCommand(drawTestPicture(k58mmDots, 256)));
}

TEST(ShippedPages, CodePageChartsCoverTheSixTablesInTheirFont) {
    for (const auto& [page, font] :
         {std::pair{"codepageA.p", ChartFont::A}, std::pair{"codepageB.p", ChartFont::B}}) {
        SCOPED_TRACE(page);
        const auto bytes = assemblePage(page);
        std::size_t from = 0;
        for (std::uint8_t table = 0; table < 6; ++table) {
            const auto chart = codePageChart(table, font);
            const auto found = std::search(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                                           bytes.end(), chart.begin(), chart.end());
            ASSERT_NE(found, bytes.end()) << "no chart of table " << int(table);
            from = static_cast<std::size_t>(found - bytes.begin()) + chart.size();

            // The heading before it names the table.
            const std::string before(bytes.begin(), found);
            EXPECT_NE(before.rfind("Table " + std::to_string(table) + " (ESC t " +
                                   std::to_string(table) + ")"),
                      std::string::npos);
        }
        const Walk walk = walkEscPos(bytes);
        EXPECT_THAT(parameters(walk, "ESC t"),
                    ElementsAre(0, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0)); // each chart restores 0
    }
}

TEST(ShippedPages, BarcodePageUsesEverySymbologyInBothForms) {
    const Walk walk = walkPage("barpic-a.p");
    const auto systems = parameters(walk, "GS k");
    const std::set<int> used(systems.begin(), systems.end());
    // Form 1: UPC-A 0, EAN13 2, CODE39 4, ITF 5, CODABAR 6; form 2 adds 65,
    // and CODE93 72 and CODE128 73 exist only there.
    EXPECT_THAT(used, ElementsAre(0, 2, 4, 5, 6, 65, 67, 69, 70, 71, 72, 73));
    const auto positions = parameters(walk, "GS H");
    EXPECT_THAT(std::set(positions.begin(), positions.end()), ElementsAre(0, 1, 2, 3));
    EXPECT_FALSE(walk.named("GS h").empty());
    EXPECT_FALSE(walk.named("GS w").empty());
}

TEST(ShippedPages, CashDrawerKicksBothConnectorsAndSaysSo) {
    const Walk walk = walkPage("cashdrawer.p");
    const auto kicks = walk.named("ESC p");
    ASSERT_EQ(kicks.size(), 2u);
    EXPECT_THAT(kicks[0]->bytes,
                ElementsAre(0x1B /*ESC*/, 'p', 0 /*pin 2*/, 25 /*50 ms on*/, 250 /*500 ms off*/));
    EXPECT_THAT(kicks[1]->bytes, ElementsAre(0x1B /*ESC*/, 'p', 1 /*pin 5*/, 25, 250));
    std::string text;
    for (const Command* c : walk.named("text"))
        text.append(c->bytes.begin(), c->bytes.end());
    EXPECT_NE(text.find("ESC p 0 25 250"), std::string::npos);
    EXPECT_NE(text.find("ESC p 1 25 250"), std::string::npos);
}

TEST(ShippedPages, CutterPageCutsPartiallyAndFullyBothWays) {
    const Walk walk = walkPage("cutter.p");
    EXPECT_THAT(parameters(walk, "GS V"), ElementsAre(1, 0, 66, 65));
    EXPECT_THAT(walk.named("GS V").back()->bytes,
                ElementsAre(0x1D /*GS*/, 'V', 65 /*feed, full cut*/, 0 /*no extra feed*/));
}

} // namespace
} // namespace ordalia::testpages
