#include "testpage_pictures.h"
#include "testpage_source.h"

#include <gmock/gmock.h>

namespace ordalia::testpages {
namespace {

using Bytes = std::vector<std::uint8_t>;
using ::testing::ElementsAre;
using namespace std::string_literals;

Bytes text(std::string_view s) {
    return {s.begin(), s.end()};
}

// A one-line source and its bytes, or its one error (then it has no bytes).
struct Case {
    std::string source;
    Bytes bytes;
    std::string error = {};
};

const Case kCases[] = {
    {"NUL SOH STX ETX EOT ENQ ACK BEL BS HT LF VT FF CR SO SI DLE DC1 DC2 DC3 DC4 NAK SYN ETB",
     {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23}},
    {"CAN EM SUB ESC FS GS RS US SP DEL", {24, 25, 26, 27, 28, 29, 30, 31, 0x20, 0x7F}},
    {"0 255 27 0x00 0xff 0XFe 0x1B 007", {0, 255, 27, 0, 255, 254, 0x1B, 7}},
    {R"(ESC "@" "a\\b\"c\n\r\t\0\x7F\xfe" "")",
     {0x1B, '@', 'a', '\\', 'b', '"', 'c', '\n', '\r', '\t', 0, 0x7F, 0xFE}},
    {R"("# is no comment here" # but here "x")", text("# is no comment here")},
    {"\"  two  blanks  \"\tLF#straight after", text("  two  blanks  \n")},
    {"ESC \"@\"\r\n\r\n   \n\t# indented comment\r\nCR", {0x1B, '@', 0x0D}},
    {R"(.columns 12 "Milk" "1.09")", text("Milk    1.09\n")},
    {R"(.columns 6 "ab" "\x9Cde")", text("ab \x9C"
                                         "de\n")},
    {R"(ESC "a" 1 .repeat 3 "-=" LF)", {0x1B, 'a', 1, '-', '=', 10, '-', '=', 10, '-', '=', 10}},
    {R"(GS "k" 73 .counted "{C" 12 34)", {0x1D, 'k', 73, 4 /*n*/, '{', 'C', 12, 34}},
    {"  .chart 0x05 B   # Font B", codePageChart(5, ChartFont::B)},
    {".raster 64 64", rasterCommand(drawTestPicture(64, 64))},
    {"256", {}, "number 256 does not fit in a byte (0 to 255)"},
    {"99999999999999999999", {}, "number 99999999999999999999 is too large"},
    {"12ab", {}, "'12ab' is not a number"},
    {"0xZZ", {}, "'0xZZ' is not a hexadecimal number"},
    {"esc", {}, "unknown word 'esc' (control code names are upper case)"},
    {"\"ends in a backslash\\", {}, "unterminated string"},
    {R"("\q")", {}, "unknown escape \\q in a string"},
    {R"("\x4")", {}, "\\x needs two hexadecimal digits"},
    {"\"tab\tinside\"", {}, "byte 0x09 in a string; write it as \\x09"},
    {"LF \xC3\xA9", {}, "unexpected byte 0xC3; outside strings a source holds plain ASCII only"},
    {"ESC\"@\"", {}, "a blank must come before the string"},
    {"\"@\"ESC", {}, "a blank must follow the string"},
    {".bogus 1", {}, "unknown directive '.bogus'"},
    {R"(.columns 8 "Coffee" "7.99")",
     {},
     "\"Coffee\" and \"7.99\" do not fit in 8 columns with a blank between"},
    {R"(.columns 48 LF "x")", {}, "usage: .columns WIDTH \"left\" \"right\""},
    {R"(.columns 0 "a" "b")", {}, ".columns WIDTH must be a number from 1 to 255, not '0'"},
    {R"(.repeat 0 "-")", {}, ".repeat COUNT must be a number from 1 to 65535, not '0'"},
    {R"(.repeat "-" 3)", {}, ".repeat COUNT must be a number from 1 to 65535, not a string"},
    {".repeat 2 .chart 0 A", {}, ".chart cannot stand inside .repeat"},
    {".counted \"" + std::string(256, 'x') + "\"",
     {},
     ".counted holds 256 bytes; a count byte reaches 255"},
    {".counted \"\"", {}, "usage: .counted items..."},
    {".counted \"1\" .repeat 2 \"x\"", {}, ".repeat cannot stand inside .counted"},
    {".chart 256 A", {}, ".chart TABLE must be a number from 0 to 255, not '256'"},
    {".chart 1 a", {}, "usage: .chart TABLE FONT (TABLE 0 to 255, FONT A or B)"},
    {".raster 100 64", {}, ".raster WIDTH must be a multiple of 8, not 100"},
    {".raster 2048 64", {}, ".raster WIDTH must be a number from 64 to 2040, not '2048'"},
    {".raster 576 63", {}, ".raster HEIGHT must be a number from 64 to 2303, not '63'"},
};

TEST(TestPageSource, EachLineGivesItsBytesOrItsError) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.source.substr(0, 60));
        const Assembly assembly = assemble(c.source);
        EXPECT_EQ(assembly.bytes, c.bytes);
        std::vector<std::string> errors;
        for (const auto& error : assembly.errors)
            errors.push_back(describeError("f", error));
        EXPECT_EQ(errors,
                  c.error.empty() ? std::vector<std::string>{} : std::vector{"f:1: " + c.error});
    }
}

TEST(TestPageSource, EveryFaultyLineIsNamedUpToTwentyAndAFullPageStopsThere) {
    std::string faults = "ESC \"@\"\n\"Total\" 300\nLF\nEsc \"!\" 0\r\n.chart 9 C\n\"fine\"\n";
    for (int i = 0; i < 30; ++i)
        faults += "BAD\n";
    std::vector<int> lines;
    for (const auto& error : assemble(faults).errors)
        lines.push_back(error.line);
    EXPECT_EQ(lines, (std::vector{2,  4,  5,  7,  8,  9,  10, 11, 12, 13,
                                  14, 15, 16, 17, 18, 19, 20, 21, 22, 23}));

    const std::string full = ".repeat 65535 \"0123456789\"\n"; // one byte short of the limit
    EXPECT_EQ(assemble(full + "\"A\"").bytes.size(), kMaxPageSize);
    const Assembly over = assemble(full + "\"AB\"\nFOO\n");
    ASSERT_EQ(over.errors.size(), 1u); // nothing after it is worth reporting
    EXPECT_EQ(describeError("f", over.errors[0]),
              "f:2: the page grows past 655351 bytes, the longest test page the program sends");
}

double blackShare(const MonoPicture& picture, const PictureBox& box) {
    int black = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
            black += picture.dot(x, y) ? 1 : 0;
    return double(black) / (box.width() * box.height());
}

TEST(CodePageChart, TableAndFontThenSixteenCharactersARowThenTheDefaults) {
    const Bytes chart = codePageChart(3, ChartFont::B);
    const std::string text(chart.begin(), chart.end());
    EXPECT_EQ(text.substr(0, 6), "\x1B"
                                 "t\x03\x1BM\x01"); // ESC t 3, ESC M 1 (Font B)
    EXPECT_EQ(text.substr(6, 21), "   01234567 89ABCDEF\n");
    EXPECT_EQ(text.substr(27, 21), "20  !\"#$%&' ()*+,-./\n");
    EXPECT_EQ(text.substr(6 + 14 * 21, 21),
              "F0 \xF0\xF1\xF2\xF3\xF4\xF5\xF6\xF7 \xF8\xF9\xFA\xFB\xFC\xFD\xFE\xFF\n");
    EXPECT_EQ(text.substr(6 + 15 * 21), "\x1BM\x00\x1Bt\x00"s); // ESC M 0, ESC t 0
}

TEST(RasterCommand, HeaderThenRowsTopFirstLeftmostDotInTheHighBit) {
    MonoPicture picture{16, 2, Bytes(4, 0)};
    picture.set(0, 0);
    picture.set(9, 0);
    picture.set(15, 1);
    picture.set(16, 0); // outside: ignored
    EXPECT_THAT(rasterCommand(picture),
                ElementsAre(0x1D /*GS*/, 'v', '0', 0 /*normal*/, 2, 0 /*bytes a row*/, 2,
                            0 /*rows*/, 0x80, 0x40, 0x00, 0x01));
}

TEST(TestPicture, FrameRampAndSamples) {
    const auto picture = drawTestPicture(576, 320);
    const auto layout = testPictureLayout(576, 320);
    const int f = layout.frame;
    ASSERT_GT(f, 0);
    for (const PictureBox& edge :
         {PictureBox{0, 0, 576, f}, {0, 320 - f, 576, 320}, {0, 0, f, 320}, {576 - f, 0, 576, 320}})
        EXPECT_EQ(blackShare(picture, edge), 1.0);
    EXPECT_FALSE(picture.dot(f, f + 1)); // a white margin inside it

    // The ramp's continuous half darkens from white to black, eighth by
    // eighth; its stepped half is nine steps of k/8 black over whole 8 x 8 tiles.
    const PictureBox in{layout.ramp.left + 2, layout.ramp.top + 2, layout.ramp.right - 2,
                        layout.ramp.bottom - 2};
    const int middle = in.top + in.height() / 2;
    const int eighth = in.width() / 8;
    std::vector<double> shares;
    for (int part = 0; part < 8; ++part)
        shares.push_back(blackShare(
            picture, {in.left + part * eighth, in.top, in.left + (part + 1) * eighth, middle}));
    EXPECT_EQ(std::ranges::adjacent_find(shares, std::greater_equal<>()), shares.end());
    EXPECT_EQ(blackShare(picture, {in.left, in.top, in.left + 2, middle}), 0.0);
    EXPECT_EQ(blackShare(picture, {in.right - 2, in.top, in.right, middle}), 1.0);
    for (int k = 0; k < 9; ++k) {
        const int left = (static_cast<int>(in.left + k * in.width() / 9.0) + 8) / 8 * 8;
        const int top = (middle + 7) / 8 * 8;
        EXPECT_EQ(blackShare(picture, {left, top, left + 8, top + 8}), k / 8.0) << "step " << k;
    }

    // The star's inner disc, the gratings and the checkerboards are half black.
    const PictureBox& star = layout.star;
    const int cx = star.left + star.width() / 2, cy = star.top + star.height() / 2,
              r = star.width() / 8;
    EXPECT_NEAR(blackShare(picture, {cx - r, cy - r, cx + r, cy + r}), 0.5, 0.05);
    EXPECT_NEAR(blackShare(picture, layout.gratings), 0.5, 0.1);
    EXPECT_NEAR(blackShare(picture, layout.checkerboards), 0.5, 0.1);
}

} // namespace
} // namespace ordalia::testpages
