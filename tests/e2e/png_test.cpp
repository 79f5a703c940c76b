// The PNG pages of the virtual printer: checksums, the exact bytes of a
// stored picture, reading back what was written, and what the reader refuses.

#include "png.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string_view>

namespace ordalia::vprinter {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

Bytes ascii(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

DotImage checkerboard(int w, int h) {
    DotImage image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.set(x, y, (x + y) % 2 == 0 || x == y);
    return image;
}

std::uint32_t big32(const Bytes& b, std::size_t at) {
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 |
           std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

// Replaces a chunk's CRC after its bytes were changed on purpose.
void fixCrc(Bytes& png, std::size_t chunkAt) {
    const std::uint32_t length = big32(png, chunkAt);
    const std::uint32_t crc = crc32(std::span(png).subspan(chunkAt + 4, 4 + std::size_t{length}));
    for (int k = 0; k < 4; ++k)
        png[chunkAt + 8 + length + k] = static_cast<std::uint8_t>(crc >> (24 - 8 * k));
}

TEST(Checksums, KnownValues) {
    EXPECT_EQ(crc32(ascii("123456789")), 0xCBF43926u); // the CRC-32 check value
    EXPECT_EQ(crc32(ascii("IEND")), 0xAE426082u);      // the CRC every PNG ends with
    EXPECT_EQ(crc32({}), 0u);
    EXPECT_EQ(adler32(ascii("Wikipedia")), 0x11E60398u);
    EXPECT_EQ(adler32({}), 1u);
    // Long input: the sums are reduced often enough not to overflow.
    const Bytes ones(100000, 0xFF);
    std::uint32_t a = 1, b = 0;
    for (const auto v : ones) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    EXPECT_EQ(adler32(ones), b << 16 | a);
    // Computed in pieces, the same as at once.
    EXPECT_EQ(crc32(std::span(ones).subspan(500), crc32(std::span(ones).first(500))), crc32(ones));
}

TEST(PngEncoder, StoredPictureHasExactBytes) {
    DotImage image(3, 2);
    image.set(0, 0); // row 0: # . #
    image.set(2, 0);
    image.set(1, 1); // row 1: . # .
    const Bytes png = encodePng(image, PngCompression::Stored);

    const Bytes expectedStart = {
        0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, // signature
        0,    0,   0,   13,  'I',  'H',  'D',  'R',  // header chunk of 13 bytes
        0,    0,   0,   3,                           // width 3
        0,    0,   0,   2,                           // height 2
        1,                                           // 1 bit per dot
        0,                                           // greyscale
        0,    0,   0,                                // deflate, adaptive filters, no interlace
    };
    ASSERT_GE(png.size(), expectedStart.size() + 4);
    EXPECT_TRUE(std::equal(expectedStart.begin(), expectedStart.end(), png.begin()));
    EXPECT_EQ(big32(png, 29), crc32(std::span(png).subspan(12, 17)));

    const std::size_t idat = 33;
    EXPECT_EQ(big32(png, idat), 2u + 5 + 4 + 4); // zlib header, block header, rows, Adler-32
    const Bytes rows = {0x00, 0x5F, 0x00, 0xBF}; // filter 0, #.# as 010 (1 white); .#. as 101
    const Bytes expectedData = {
        'I',  'D',  'A',  'T',  0x78, 0x01, // zlib: deflate, 32K window, check bits
        0x01,                               // final block, stored
        0x04, 0x00, 0xFB, 0xFF,             // LEN 4, NLEN
        0x00, 0x5F, 0x00, 0xBF,             // the rows
    };
    EXPECT_TRUE(std::equal(expectedData.begin(), expectedData.end(), png.begin() + idat + 4));
    EXPECT_EQ(big32(png, idat + 4 + expectedData.size()), adler32(rows));

    const Bytes end = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    EXPECT_TRUE(std::equal(end.begin(), end.end(), png.end() - 12));
}

TEST(PngEncoder, ReadsBackWhatItWrites) {
    for (const auto& [w, h] : {std::pair{1, 1}, {8, 3}, {9, 9}, {576, 40}}) {
        const DotImage image = checkerboard(w, h);
        for (const auto compression : {PngCompression::Stored, PngCompression::Deflate}) {
            const auto read = decodePng(encodePng(image, compression));
            ASSERT_TRUE(read.ok) << read.problem;
            EXPECT_EQ(read.image.width, w);
            EXPECT_EQ(read.image.height, h);
            EXPECT_EQ(read.image.dots, image.dots);
        }
    }
}

TEST(PngEncoder, LongPictureTakesSeveralStoredBlocks) {
    const DotImage image = checkerboard(576, 1000); // 73,000 bytes of rows
    const Bytes png = encodePng(image, PngCompression::Stored);
    // The first block is full and not final: 65,535 bytes, NLEN 0.
    const std::size_t block = 33 + 8 + 2;
    EXPECT_THAT(Bytes(png.begin() + block, png.begin() + block + 5),
                ElementsAre(0x00 /*not final, stored*/, 0xFF, 0xFF, 0x00, 0x00));
    const auto read = decodePng(png);
    ASSERT_TRUE(read.ok) << read.problem;
    EXPECT_EQ(read.image.dots, image.dots);
}

TEST(PngEncoder, CompressedPagesAreSmaller) {
    if (!pngDeflateAvailable())
        GTEST_SKIP() << "built without zlib: pages are stored";
    const DotImage image(576, 2000); // blank paper
    EXPECT_LT(encodePng(image, PngCompression::Deflate).size(),
              encodePng(image, PngCompression::Stored).size() / 20);
}

TEST(PngDecoder, RefusesDamagedFiles) {
    const Bytes good = encodePng(checkerboard(16, 4), PngCompression::Stored);
    ASSERT_TRUE(decodePng(good).ok);

    EXPECT_THAT(decodePng(ascii("GIF89a")).problem, HasSubstr("not a PNG"));
    EXPECT_THAT(decodePng(Bytes(good.begin(), good.begin() + 40)).problem,
                HasSubstr("ends inside a chunk"));

    Bytes badCrc = good;
    badCrc[20] ^= 0x01; // a header byte
    EXPECT_THAT(decodePng(badCrc).problem, HasSubstr("CRC"));

    Bytes colour = good;
    colour[25] = 2; // colour type: RGB
    fixCrc(colour, 8);
    EXPECT_THAT(decodePng(colour).problem, HasSubstr("1-bit greyscale"));

    Bytes huge = good;
    huge[16] = 0x7F; // width 2^30 and more
    fixCrc(huge, 8);
    EXPECT_THAT(decodePng(huge).problem, HasSubstr("too large"));
    EXPECT_THAT(decodePng(good, 63).problem, HasSubstr("too large")); // 64 dots, limit 63

    const std::size_t idat = 33;
    Bytes filtered = good;
    filtered[idat + 8 + 2 + 5] = 1; // row 0 says "Sub"
    fixCrc(filtered, idat);
    EXPECT_FALSE(decodePng(filtered).ok); // the Adler-32 or the filter gives it away

    Bytes badLength = good;
    badLength[idat + 8 + 2 + 3] ^= 0xFF; // NLEN no longer the complement of LEN
    fixCrc(badLength, idat);
    EXPECT_THAT(decodePng(badLength).problem, HasSubstr("length check"));
}

} // namespace
} // namespace ordalia::vprinter
