#include "testpage_pictures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdexcept>

namespace ordalia::testpages {
namespace {

using ::testing::ElementsAre;

std::vector<std::uint8_t> slice(const std::vector<std::uint8_t>& bytes, std::size_t from,
                                std::size_t count) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(from),
            bytes.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

double blackShare(const MonoPicture& picture, const PictureBox& box) {
    int black = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
            black += picture.dot(x, y) ? 1 : 0;
    return double(black) / (box.width() * box.height());
}

TEST(CodePageChart, SelectsTheTableAndFontThenRestoresTheDefaults) {
    const auto a = codePageChart(3, ChartFont::A);
    EXPECT_THAT(slice(a, 0, 6),
                ElementsAre(0x1B /*ESC*/, 't', 3 /*table*/, 0x1B /*ESC*/, 'M', 0 /*Font A*/));
    EXPECT_THAT(slice(a, a.size() - 6, 6), ElementsAre(0x1B /*ESC*/, 'M', 0, 0x1B /*ESC*/, 't', 0));
    const auto b = codePageChart(255, ChartFont::B);
    EXPECT_THAT(slice(b, 0, 6),
                ElementsAre(0x1B /*ESC*/, 't', 255, 0x1B /*ESC*/, 'M', 1 /*Font B*/));
}

TEST(CodePageChart, FourteenLabelledRowsOfSixteenCharacters) {
    const auto chart = codePageChart(0, ChartFont::A);
    // ESC t, ESC M, heading line, 14 rows, ESC M, ESC t.
    constexpr std::size_t kLine = kChartRowLength + 1;
    ASSERT_EQ(chart.size(), 6 + kLine + kChartRows * kLine + 6);

    const std::string heading(chart.begin() + 6, chart.begin() + 6 + kLine);
    EXPECT_EQ(heading, "   0 1 2 3 4 5 6 7 8 9 A B C D E F\n");

    int code = kChartFirstCode;
    for (int row = 0; row < kChartRows; ++row) {
        SCOPED_TRACE(row);
        const auto line = slice(chart, 6 + kLine * static_cast<std::size_t>(row + 1), kLine);
        EXPECT_EQ(line[0], "23456789ABCDEF"[row]);
        EXPECT_EQ(line[1], '0');
        EXPECT_EQ(line[2], ' ');
        for (int column = 0; column < 16; ++column) {
            EXPECT_EQ(line[3 + 2 * column], code++);
            // Each character stands in the column of its heading digit.
            EXPECT_EQ(heading[3 + 2 * column], "0123456789ABCDEF"[column]);
            if (column < 15)
                EXPECT_EQ(line[4 + 2 * column], ' ');
        }
        EXPECT_EQ(line.back(), 0x0A /*LF*/);
    }
    EXPECT_EQ(code, 0x100);
}

TEST(RasterCommand, HeaderGivesBytesPerRowAndRowsLowByteFirst) {
    for (const auto& [width, height, xL, xH, yL, yH] :
         {std::tuple{576, 320, 72, 0, 0x40, 1}, std::tuple{384, 256, 48, 0, 0, 1},
          std::tuple{2040, 2303, 255, 0, 0xFF, 8}, std::tuple{64, 64, 8, 0, 64, 0}}) {
        SCOPED_TRACE(width);
        const auto command = rasterCommand(drawTestPicture(width, height));
        EXPECT_THAT(slice(command, 0, 8),
                    ElementsAre(0x1D /*GS*/, 'v', '0', 0 /*normal size*/, xL, xH, yL, yH));
        EXPECT_EQ(command.size(), 8u + std::size_t(xL + 256 * xH) * (yL + 256 * yH));
    }
}

TEST(RasterCommand, BitsAreRowsTopFirstLeftmostDotInTheHighBit) {
    MonoPicture picture{16, 2, std::vector<std::uint8_t>(4, 0)};
    picture.set(0, 0);
    picture.set(15, 1);
    picture.set(9, 0);
    picture.set(16, 0); // outside: ignored
    EXPECT_THAT(rasterCommand(picture),
                ElementsAre(0x1D, 'v', '0', 0, 2, 0, 2, 0, 0x80, 0x40, 0x00, 0x01));
    EXPECT_TRUE(picture.dot(9, 0));
    EXPECT_FALSE(picture.dot(8, 0));
    EXPECT_FALSE(picture.dot(-1, 0));
}

TEST(TestPicture, FrameOnEveryEdge) {
    const auto picture = drawTestPicture(384, 256);
    const int frame = testPictureLayout(384, 256).frame;
    ASSERT_GT(frame, 0);
    for (int i = 0; i < frame; ++i) {
        for (int x = 0; x < 384; ++x) {
            EXPECT_TRUE(picture.dot(x, i));
            EXPECT_TRUE(picture.dot(x, 255 - i));
        }
        for (int y = 0; y < 256; ++y) {
            EXPECT_TRUE(picture.dot(i, y));
            EXPECT_TRUE(picture.dot(383 - i, y));
        }
    }
    EXPECT_FALSE(picture.dot(frame, frame + 1)); // white margin inside it
}

TEST(TestPicture, RampRunsFromWhiteToBlackInEvenSteps) {
    const auto picture = drawTestPicture(576, 320);
    const auto ramp = testPictureLayout(576, 320).ramp;
    const PictureBox inside{ramp.left + 2, ramp.top + 2, ramp.right - 2, ramp.bottom - 2};
    const int middle = inside.top + inside.height() / 2;

    // Continuous half: white at the left end, black at the right, darker
    // from one eighth to the next.
    const int eighth = inside.width() / 8;
    double previous = -1;
    for (int part = 0; part < 8; ++part) {
        const PictureBox box{inside.left + part * eighth, inside.top,
                             inside.left + (part + 1) * eighth, middle};
        const double share = blackShare(picture, box);
        EXPECT_GT(share, previous) << part;
        previous = share;
    }
    EXPECT_EQ(blackShare(picture, {inside.left, inside.top, inside.left + 2, middle}), 0.0);
    EXPECT_EQ(blackShare(picture, {inside.right - 2, inside.top, inside.right, middle}), 1.0);

    // Stepped half: nine steps of k/8 black, exact over whole 8 x 8 tiles.
    const double step = inside.width() / 9.0;
    for (int k = 0; k < 9; ++k) {
        const int left = (static_cast<int>(inside.left + k * step) + 8) / 8 * 8;
        const int top = (middle + 7) / 8 * 8;
        const PictureBox tile{left, top, left + 8, top + 8};
        EXPECT_EQ(blackShare(picture, tile), k / 8.0) << "step " << k;
    }
}

TEST(TestPicture, StarAndSamplesAreHalfBlack) {
    const auto picture = drawTestPicture(576, 320);
    const auto layout = testPictureLayout(576, 320);
    const PictureBox star = layout.star;
    // The star's inner disc: sectors black and white in turn.
    const int cx = star.left + star.width() / 2;
    const int cy = star.top + star.height() / 2;
    const int r = star.width() / 4;
    EXPECT_NEAR(blackShare(picture, {cx - r / 2, cy - r / 2, cx + r / 2, cy + r / 2}), 0.5, 0.05);
    ASSERT_GT(layout.gratings.width(), 0);
    ASSERT_GT(layout.checkerboards.width(), 0);
    EXPECT_NEAR(blackShare(picture, layout.gratings), 0.5, 0.1);
    EXPECT_NEAR(blackShare(picture, layout.checkerboards), 0.5, 0.1);
    // Nothing of the star spills over the ramp.
    EXPECT_LT(star.bottom, layout.ramp.top);
}

TEST(TestPicture, SizesOutsideThePrinterRangeAreRefused) {
    EXPECT_THROW(drawTestPicture(56, 64), std::invalid_argument);
    EXPECT_THROW(drawTestPicture(100, 64), std::invalid_argument);
    EXPECT_THROW(drawTestPicture(2048, 64), std::invalid_argument);
    EXPECT_THROW(drawTestPicture(576, 63), std::invalid_argument);
    EXPECT_THROW(drawTestPicture(576, 2304), std::invalid_argument);
    EXPECT_NO_THROW(drawTestPicture(64, 64));
    // The smallest picture has no room for the samples beside the star.
    EXPECT_EQ(testPictureLayout(64, 64).gratings.width(), 0);
}

} // namespace
} // namespace ordalia::testpages
