#include "logos/bmp_raster.h"
#include "support/bmp_builder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>

namespace ordalia {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using namespace ordalia::testing;

class RasterTest : public ::testing::Test {
protected:
    // Puts the file into LogoFileBuffer from index 0, as the callers do.
    BmpInfo load(const std::vector<std::uint8_t>& file) {
        std::copy(file.begin(), file.end(), buffers->LogoFileBuffer.begin());
        const auto info = ReadBmpHeader(file);
        EXPECT_TRUE(info.has_value());
        return info.value_or(BmpInfo{});
    }
    // Both stages; the column data of the logo.
    std::vector<std::uint8_t> convert(const std::vector<std::uint8_t>& file) {
        const BmpInfo info = load(file);
        EXPECT_TRUE(BMP_Convert(buffers->LogoFileBuffer, info, buffers->LogoRaster));
        const auto stride = static_cast<std::uint8_t>(logoRowStride(info) % 256);
        const auto k = Hoz_Convert(buffers->LogoRaster, stride, logoByteColumns(info),
                                   logoBands(info), buffers->LogoColumnData);
        EXPECT_TRUE(k.has_value());
        return {buffers->LogoColumnData.begin(),
                buffers->LogoColumnData.begin() + static_cast<std::ptrdiff_t>(k.value_or(0))};
    }
    std::vector<std::uint8_t> raster(std::size_t count) const {
        return {buffers->LogoRaster.begin(),
                buffers->LogoRaster.begin() + static_cast<std::ptrdiff_t>(count)};
    }

    std::unique_ptr<LogoBuffers> buffers = makeLogoBuffers();
};

// A header whose fields are given byte for byte.
std::vector<std::uint8_t> header(std::array<std::uint8_t, 4> size,
                                 std::array<std::uint8_t, 2> offset,
                                 std::array<std::uint8_t, 4> width,
                                 std::array<std::uint8_t, 4> height) {
    std::vector<std::uint8_t> h(62, 0);
    h[0] = 'B';
    h[1] = 'M';
    std::copy(size.begin(), size.end(), h.begin() + 2);
    std::copy(offset.begin(), offset.end(), h.begin() + 10);
    std::copy(width.begin(), width.end(), h.begin() + 18);
    std::copy(height.begin(), height.end(), h.begin() + 22);
    return h;
}

// --- ReadBmpHeader ---

TEST(ReadBmpHeaderTest, ReadsTheFourFieldsLittleEndian) {
    const auto h = header({0x40, 0x9C, 0x00, 0x00}, {0x3E, 0x00}, {0x10, 0x02, 0x00, 0x00},
                          {0x01, 0x00, 0x01, 0x00});
    const auto info = ReadBmpHeader(h);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->FileSize, 40000); // 40 9C 00 00
    EXPECT_EQ(info->DataOffset, 62);
    EXPECT_EQ(info->Width, 528);
    EXPECT_EQ(info->Height, 65537);
}

TEST(ReadBmpHeaderTest, OnlyTheLowHalfOfTheDataOffsetIsRead) {
    auto h = header({0x7F, 0, 0, 0}, {0x3E, 0x00}, {8, 0, 0, 0}, {8, 0, 0, 0});
    h[12] = 0x01; // upper half of the offset field
    h[13] = 0xFF;
    ASSERT_TRUE(ReadBmpHeader(h));
    EXPECT_EQ(ReadBmpHeader(h)->DataOffset, 62);
}

TEST(ReadBmpHeaderTest, FieldsThatDoNotFitTheirSignedTypeFail) {
    const std::array<std::uint8_t, 4> ok = {8, 0, 0, 0};
    // The largest values that still fit.
    EXPECT_TRUE(ReadBmpHeader(header({0xFF, 0xFF, 0xFF, 0x7F}, {0xFF, 0x7F},
                                     {0xFF, 0xFF, 0xFF, 0x7F}, {0xFF, 0xFF, 0xFF, 0x7F})));
    EXPECT_FALSE(ReadBmpHeader(header({0, 0, 0, 0x80}, {62, 0}, ok, ok)));          // size, F[5]
    EXPECT_FALSE(ReadBmpHeader(header(ok, {62, 0x80}, ok, ok)));                    // offset, F[11]
    EXPECT_FALSE(ReadBmpHeader(header(ok, {62, 0}, {0, 0, 0, 0x80}, ok)));          // width, F[21]
    EXPECT_FALSE(ReadBmpHeader(header(ok, {62, 0}, ok, {0xFF, 0xFF, 0xFF, 0xFF}))); // height -1
    EXPECT_FALSE(ReadBmpHeader(header(ok, {62, 0}, ok, {0xF8, 0xFF, 0xFF, 0xFF}))); // top-down
}

TEST(ReadBmpHeaderTest, BytesEndingBeforeTheHeightFail) {
    const auto h = monochromeBmp(filledPicture(8, 8, '#'));
    EXPECT_TRUE(ReadBmpHeader(std::span(h).first(26)));
    EXPECT_FALSE(ReadBmpHeader(std::span(h).first(25)));
    EXPECT_FALSE(ReadBmpHeader({}));
}

TEST(ReadBmpHeaderTest, SignatureAndDepthAreNotItsConcern) {
    auto h = BmpBuilder{filledPicture(8, 8, '#'), 1, 24}.build();
    h[0] = 'X';
    EXPECT_TRUE(ReadBmpHeader(h));
}

// --- sizes ---

TEST(LogoSizesTest, ColumnsAndBandsAreWholeNumberCeilings) {
    const auto sizes = [](std::int32_t w, std::int32_t h) {
        const BmpInfo info{0, 0, w, h};
        return std::array<std::int64_t, 3>{logoByteColumns(info), logoBands(info),
                                           logoColumnBytes(info)};
    };
    EXPECT_THAT(sizes(20, 9), ElementsAre(3, 2, 48));
    EXPECT_THAT(sizes(12, 8), ElementsAre(2, 1, 16));
    EXPECT_THAT(sizes(16, 1), ElementsAre(2, 1, 16));
    EXPECT_THAT(sizes(13, 1), ElementsAre(2, 1, 16));
    EXPECT_THAT(sizes(32, 1), ElementsAre(4, 1, 32));
    EXPECT_THAT(sizes(1, 1), ElementsAre(1, 1, 8));
    EXPECT_THAT(sizes(8, 2048), ElementsAre(1, 256, 2048));
}

TEST(LogoSizesTest, StrideIsThePixelAreaOverTheHeightTruncated) {
    EXPECT_EQ(logoRowStride({70, 62, 16, 2}), 4);
    EXPECT_EQ(logoRowStride({73, 62, 16, 2}), 5); // 11 / 2
    EXPECT_EQ(logoRowStride({70, 62, 16, 0}), 0); // no rows: no stride
}

// --- layout checks ---

TEST(LogoLayoutTest, ConvertibleBitmapsPass) {
    EXPECT_EQ(logoLayoutFault({62 + 4 * 8, 62, 8, 8}), std::nullopt);
    // 2016 pixels make rows of 252 bytes, the widest that converts.
    EXPECT_EQ(logoLayoutFault({62 + 252, 62, 2016, 1}), std::nullopt);
}

TEST(LogoLayoutTest, TheShapeAloneIgnoresTheDeclaredSize) {
    EXPECT_EQ(logoShapeFault({40000, 62, 8, 8}), std::nullopt);
    EXPECT_EQ(logoShapeFault({0, 0, 2016, 1}), std::nullopt);
    EXPECT_EQ(logoShapeFault({0, 0, 2017, 1}), LogoLayoutFault::TooWide);
    EXPECT_EQ(logoShapeFault({0, 0, 8, 0}), LogoLayoutFault::ZeroHeight);
    EXPECT_EQ(logoShapeFault({0, 0, 0, 8}), LogoLayoutFault::ZeroWidth);
}

TEST(LogoLayoutTest, FaultsAreNamed) {
    EXPECT_EQ(logoLayoutFault({62 + 4, 62, 8, 0}), LogoLayoutFault::ZeroHeight);
    EXPECT_EQ(logoLayoutFault({62 + 4, 62, 0, 1}), LogoLayoutFault::ZeroWidth);
    EXPECT_EQ(logoLayoutFault({0, 0, 8, 8}), LogoLayoutFault::NoPixelData);
    EXPECT_EQ(logoLayoutFault({62 + 3, 62, 8, 8}), LogoLayoutFault::NoPixelData); // R = 0
    EXPECT_EQ(logoLayoutFault({50, 62, 8, 1}), LogoLayoutFault::NoPixelData);     // S < O
    // 2017 pixels: rows of 256 bytes no longer fit the one-byte stride.
    EXPECT_EQ(logoLayoutFault({62 + 256, 62, 2017, 1}), LogoLayoutFault::TooWide);
    // Rows of 256 bytes by the size field, though 8 pixels need only 4.
    EXPECT_EQ(logoLayoutFault({62 + 256, 62, 8, 1}), LogoLayoutFault::SizeMismatch);
    EXPECT_EQ(logoLayoutFault({62 + 2, 62, 24, 1}), LogoLayoutFault::SizeMismatch);
    EXPECT_EQ(logoLayoutFault({300000, 62, 8, 8}), LogoLayoutFault::TooLargeForBuffer);
}

TEST(LogoLayoutTest, MessagesNameTheBitmap) {
    for (const auto fault : {LogoLayoutFault::ZeroHeight, LogoLayoutFault::ZeroWidth,
                             LogoLayoutFault::NoPixelData, LogoLayoutFault::TooWide,
                             LogoLayoutFault::SizeMismatch, LogoLayoutFault::TooLargeForBuffer})
        EXPECT_THAT(describeLayoutFault(fault, "shop.bmp"),
                    ::testing::StartsWith("The bitmap shop.bmp "));
    EXPECT_THAT(describeLayoutFault(LogoLayoutFault::ZeroHeight, "a.bmp"),
                ::testing::HasSubstr("height of 0"));
    EXPECT_THAT(describeLayoutFault(LogoLayoutFault::TooWide, "a.bmp"),
                ::testing::HasSubstr("2016 pixels"));
}

// --- BMP_Convert ---

TEST_F(RasterTest, WorkedExample) {
    // W 16, H 2, S - O = 8, R = 4.
    auto file = header({70, 0, 0, 0}, {62, 0}, {16, 0, 0, 0}, {2, 0, 0, 0});
    file.insert(file.end(), {0xFF, 0x00, 0x00, 0x00,   // bottom row, stored first
                             0x00, 0xFF, 0x00, 0x00}); // top row, stored last
    EXPECT_THAT(convert(file), ElementsAre(0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, // top
                                           0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40));
    EXPECT_THAT(raster(8), ElementsAre(0xFF, 0x00, 0x00, 0x00,   // inverted top file row
                                       0x00, 0xFF, 0x00, 0x00)); // inverted bottom file row
}

TEST_F(RasterTest, RowsAreTakenFromTheDeclaredEndBackwards) {
    // The size field stops 4 bytes short of the file: the real last row is
    // not used, and the row before it becomes the top.
    auto file = header({70, 0, 0, 0}, {62, 0}, {8, 0, 0, 0}, {2, 0, 0, 0});
    file.insert(file.end(), {0x0F, 0, 0, 0, 0x3C, 0, 0, 0, 0x00, 0, 0, 0});
    const BmpInfo info = load(file);
    ASSERT_TRUE(BMP_Convert(buffers->LogoFileBuffer, info, buffers->LogoRaster));
    EXPECT_THAT(raster(9), ElementsAre(0xC3, 0, 0, 0, // file bytes 66..69
                                       0xF0, 0, 0, 0, // file bytes 62..65
                                       0));
}

TEST_F(RasterTest, RemainderBytesAfterTheOffsetAreNotUsed) {
    // S - O = 9 over H = 2: R = 4, and the byte at O is left out.
    auto file = header({71, 0, 0, 0}, {62, 0}, {8, 0, 0, 0}, {2, 0, 0, 0});
    file.insert(file.end(), {0x00, 0xF0, 0, 0, 0, 0x0F, 0, 0, 0});
    const BmpInfo info = load(file);
    ASSERT_TRUE(BMP_Convert(buffers->LogoFileBuffer, info, buffers->LogoRaster));
    EXPECT_THAT(raster(8), ElementsAre(0xF0, 0, 0, 0, 0x0F, 0, 0, 0));
}

TEST_F(RasterTest, ZeroSizeLeavesTheRasterAsItWas) {
    buffers->LogoRaster.fill(0x5A);
    const auto file = header({0, 0, 0, 0}, {0, 0}, {8, 0, 0, 0}, {8, 0, 0, 0});
    EXPECT_FALSE(BMP_Convert(buffers->LogoFileBuffer, load(file), buffers->LogoRaster));
    EXPECT_THAT(buffers->LogoRaster, Each(0x5A));
}

TEST_F(RasterTest, RasterIsClearedBehindTheRows) {
    buffers->LogoRaster.fill(0x5A);
    convert(monochromeBmp(filledPicture(8, 8, '#')));
    for (std::size_t row = 0; row < 8; ++row)
        EXPECT_THAT(std::span(buffers->LogoRaster).subspan(4 * row, 4),
                    ElementsAre(0xFF, 0x00, 0x00, 0x00))
            << "row " << row;
    EXPECT_TRUE(std::all_of(buffers->LogoRaster.begin() + 32, buffers->LogoRaster.end(),
                            [](std::uint8_t b) { return b == 0; }));
}

TEST_F(RasterTest, PaddingBitsAreBlankEvenWhenTheFileHoldsZeros) {
    // Width 13: pixels 14 to 32 of each row are padding, stored as 0 bits,
    // which would otherwise print.
    BmpBuilder bmp{filledPicture(13, 1, '#')};
    bmp.paddingBitsSet = false;
    convert(bmp.build());
    EXPECT_THAT(raster(4), ElementsAre(0xFF, 0xF8, 0x00, 0x00));
}

TEST_F(RasterTest, FullWidthRowsHaveNoPadding) {
    convert(monochromeBmp(filledPicture(32, 1, '#')));
    EXPECT_THAT(raster(4), ElementsAre(0xFF, 0xFF, 0xFF, 0xFF));
}

TEST_F(RasterTest, AOnePixelIsNeverPrintedWhateverThePalette) {
    BmpBuilder bmp{filledPicture(8, 8, '.')};
    auto file = bmp.build();
    // A table that makes colour 1 black changes nothing.
    std::fill(file.begin() + 54, file.begin() + 62, 0);
    file[54] = file[55] = file[56] = 0xFF;
    EXPECT_THAT(convert(file), Each(0x00));
}

TEST_F(RasterTest, RefusesValuesThatWouldReachOutsideTheBuffers) {
    buffers->LogoRaster.fill(0x5A);
    for (const BmpInfo& info :
         {BmpInfo{70, 62, 8, 0}, BmpInfo{70, 62, 8, -1}, BmpInfo{70, 62, -8, 1},
          BmpInfo{50, 62, 8, 1}, BmpInfo{200002, 62, 8, 1}, BmpInfo{70, -2, 8, 1}}) {
        EXPECT_FALSE(BMP_Convert(buffers->LogoFileBuffer, info, buffers->LogoRaster));
    }
    EXPECT_THAT(buffers->LogoRaster, Each(0x5A));
    // A height far beyond the pixel bytes gives empty rows, at once.
    EXPECT_TRUE(BMP_Convert(buffers->LogoFileBuffer, {70, 62, 8, 0x7FFFFFFF}, buffers->LogoRaster));
    EXPECT_THAT(buffers->LogoRaster, Each(0x00));
    // The largest declared size reads up to the buffer's last index.
    EXPECT_TRUE(BMP_Convert(buffers->LogoFileBuffer, {200001, 1, 8, 1}, buffers->LogoRaster));
}

// --- Hoz_Convert and both stages ---

TEST_F(RasterTest, OnePrintedPixel) {
    EXPECT_THAT(convert(monochromeBmp({"#"})), ElementsAre(0x80, 0, 0, 0, 0, 0, 0, 0));
}

TEST_F(RasterTest, AllPrintedEightByEightIsEightFullBytes) {
    EXPECT_THAT(convert(monochromeBmp(filledPicture(8, 8, '#'))),
                ElementsAre(0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF));
}

TEST_F(RasterTest, WidthTwentyHasBlankColumnsUpToTwentyFour) {
    const auto data = convert(monochromeBmp(filledPicture(20, 8, '#')));
    ASSERT_EQ(data.size(), 24u); // x = 3, y = 1
    EXPECT_THAT(std::vector(data.begin(), data.begin() + 20), Each(0xFF));
    EXPECT_THAT(std::vector(data.begin() + 20, data.end()), Each(0x00));
}

TEST_F(RasterTest, WidthThirteenHasTwoByteColumns) {
    const auto data = convert(monochromeBmp(filledPicture(13, 8, '#')));
    ASSERT_EQ(data.size(), 16u);
    EXPECT_THAT(std::vector(data.begin(), data.begin() + 13), Each(0xFF));
    EXPECT_THAT(std::vector(data.begin() + 13, data.end()), Each(0x00));
}

TEST_F(RasterTest, NineRowsMakeTwoBandsWithTheNinthRowInBitSeven) {
    const auto data = convert(monochromeBmp(filledPicture(8, 9, '#')));
    ASSERT_EQ(data.size(), 16u);
    for (std::size_t c = 0; c < 8; ++c) {
        EXPECT_EQ(data[2 * c], 0xFF) << "column " << c << ", band 0";
        EXPECT_EQ(data[2 * c + 1], 0x80) << "column " << c << ", band 1: row 9 only";
    }
}

TEST_F(RasterTest, TheLastStoredRowIsPrintedFirst) {
    // Top row printed in column 0 only, bottom row in column 7 only.
    const auto data = convert(monochromeBmp({"#.......", "........", "........", "........",
                                             "........", "........", "........", ".......#"}));
    EXPECT_THAT(data, ElementsAre(0x80, 0, 0, 0, 0, 0, 0, 0x01));
}

TEST_F(RasterTest, EveryDotLandsAtColumnTimesBandsPlusBand) {
    // A random picture of odd size against the layout rule itself.
    std::mt19937 random(7);
    std::vector<std::string> picture(21, std::string(37, '.'));
    for (auto& row : picture)
        for (auto& dot : row)
            dot = (random() & 1) ? '#' : '.';
    const auto data = convert(monochromeBmp(picture));
    const std::size_t x = 5, y = 3;
    ASSERT_EQ(data.size(), 8 * x * y);
    for (std::size_t c = 0; c < 8 * x; ++c)
        for (std::size_t row = 0; row < 8 * y; ++row) {
            const bool source = row < 21 && c < 37 && picture[row][c] == '#';
            const bool printed = data[c * y + row / 8] & (0x80 >> (row % 8));
            ASSERT_EQ(printed, source) << "column " << c << ", row " << row;
        }
}

TEST_F(RasterTest, HozConvertUsesTheStrideGivenAndClearsTheRest) {
    buffers->LogoColumnData.fill(0x5A);
    buffers->LogoRaster.fill(0);
    buffers->LogoRaster[0] = 0x80; // row 0, stride 3
    buffers->LogoRaster[3] = 0x80; // row 1
    buffers->LogoRaster[1] = 0x01; // row 0, second byte-column: not part of x = 1
    const auto k = Hoz_Convert(buffers->LogoRaster, 3, 1, 1, buffers->LogoColumnData);
    ASSERT_EQ(k, 8u);
    EXPECT_THAT(std::span(buffers->LogoColumnData).first(8),
                ElementsAre(0xC0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_TRUE(std::all_of(buffers->LogoColumnData.begin() + 8, buffers->LogoColumnData.end(),
                            [](std::uint8_t b) { return b == 0; }));
}

TEST_F(RasterTest, HozConvertRefusesColumnDataBeyondTheBuffer) {
    buffers->LogoColumnData.fill(0x5A);
    EXPECT_FALSE(Hoz_Convert(buffers->LogoRaster, 255, 255, 99, buffers->LogoColumnData));
    EXPECT_FALSE(Hoz_Convert(buffers->LogoRaster, 1, -1, 1, buffers->LogoColumnData));
    EXPECT_THAT(buffers->LogoColumnData, Each(0x5A));
    // 25,000 bytes: inside; raster rows past the buffer's end count as blank.
    EXPECT_EQ(Hoz_Convert(buffers->LogoRaster, 255, 1, 3125, buffers->LogoColumnData), 25000u);
}

} // namespace
} // namespace ordalia
