// Pictures made into logo bitmaps: what each format decodes to, the dots the
// grey values become, the bitmap's bytes as the logo library reads them, and
// the limits a picture is refused at.

#include "logos/logo_download.h"
#include "logos/logo_list.h"
#include "logos/picture_logo.h"
#include "support/bmp_builder.h"
#include "support/harness.h"
#include "support/picture_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using namespace ordalia::testing;
using Bytes = std::vector<std::uint8_t>;

// 2 x 2, colours black, white, red and a fourth that is transparent.
const Bytes kPaletteGif = {
    'G',  'I',  'F',  '8',  '9',  'a',  0x02, 0x00, 0x02, 0x00, 0xF1, 0x00, 0x00, // screen
    0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF,       // palette
    0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x03, 0x00,             // colour 3 transparent
    0x2C, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00, // image 2 x 2
    0x02, 0x04, 0x04, 0x43, 0x71, 0x05, 0x00, 0x3B};            // LZW 0 1 2 3, end

PictureLogoRequest wanted(int width, std::optional<int> threshold = {},
                          std::int32_t room = kMaxLogoTotalSize,
                          std::int64_t sendRoom = kLogoBufferSize) {
    return {width, threshold, room, sendRoom};
}

// A JPEG whose one Huffman table holds 510 codes, more than the 256 any
// table can: the decoder would write past its tables.
const Bytes kBadHuffmanJpeg = {
    0xFF, 0xD8, 0xFF, 0xC4, 0, 19, 0x00, // start of image; tables of 17 bytes
    255,  255,  0,    0,    0, 0,  0,    0, 0, 0, 0, 0, 0, 0, 0, 0, // the 16 counts: 510 codes
    0xFF, 0xD9};                                                    // end of image

// A picture read as "W x H: grey values", or the message that refused it.
std::string seen(const PictureRead& read) {
    if (!read.picture)
        return read.message;
    std::string text =
        std::to_string(read.picture->width) + " x " + std::to_string(read.picture->height) + ":";
    for (const std::uint8_t g : read.picture->grey)
        text += " " + std::to_string(g);
    return text;
}

TEST(PictureLogo, EachFormatIsReadAsGreyOverWhitePaperOrRefused) {
    // Opaque red, transparent black, half-transparent black, opaque white.
    const Bytes rgba = {255, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 128, 255, 255, 255, 255};
    Bytes huge = pngFile(1, 1, 1, {0});
    putLe32(huge, 16, 0x10270000); // IHDR width and height 10,000 (big-endian)
    putLe32(huge, 20, 0x10270000);
    const struct {
        const char* name;
        Bytes file;
        std::string shown;
    } kCases[] = {
        {"PNG with alpha", pngFile(4, 1, 4, rgba), "4 x 1: 76 255 127 255"},
        {"palette GIF, transparent colour", kPaletteGif, "2 x 2: 0 255 76 255"},
        {"24-bit BMP: black, white; blue, green",
         pictureFile(PictureFormat::Bmp, 2, 2, 3, {0, 0, 0, 255, 255, 255, 0, 0, 255, 0, 255, 0}),
         "2 x 2: 0 255 29 150"},
        {"1-bit BMP", monochromeBmp({"#.", ".#"}), "2 x 2: 0 255 255 0"},
        {"grey JPEG", pictureFile(PictureFormat::Jpeg, 8, 1, 1, Bytes(8, 100)),
         "8 x 1: 100 100 100 100 100 100 100 100"},
        {"JPEG Huffman table of 510 codes", kBadHuffmanJpeg,
         "is not a picture this program can read (PNG, JPEG, GIF or BMP): a Huffman table of the "
         "JPEG file is damaged."},
        {"text", {'h', 'i'}, "The file p is not a picture this program can read (PNG, JPEG, GIF"},
        {"100 megapixels", huge, "is 10000 x 10000 pixels, more than the 25000000 pixels"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_THAT(seen(decodePicture(c.file, "p")), HasSubstr(c.shown));
    }
}

TEST(PictureLogo, PrintedShareFollowsDarknessAndTheThresholdCuts) {
    // Eight bands of 64 x 32, from black to white.
    Bytes grey;
    for (int band = 0; band < 8; ++band)
        grey.insert(grey.end(), 64 * 32, static_cast<std::uint8_t>(band * 255 / 7));
    const GreyPicture ramp{64, 8 * 32, grey};
    for (const std::optional<int> threshold : {std::optional<int>(), std::optional<int>(128)}) {
        const DotPicture dots = toDots(ramp, threshold);
        for (int band = 0; band < 8; ++band) {
            SCOPED_TRACE(band);
            const auto from = dots.dots.begin() + band * 64 * 32;
            const double share = std::count(from, from + 64 * 32, 1) / double(64 * 32);
            const double darkness = 1.0 - (band * 255 / 7) / 255.0;
            if (threshold)
                EXPECT_EQ(share, band * 255 / 7 < 128 ? 1.0 : 0.0);
            else
                EXPECT_NEAR(share, darkness, 0.02);
        }
    }
}

TEST(PictureLogo, AnAreaFilterScalesAndTheHeightFollows) {
    const GreyPicture stripes{4, 2, {0, 255, 0, 255, 0, 0, 255, 255}};
    // (0 + 255 + 0 + 0) / 4 and (0 + 255 + 255 + 255) / 4, one row high.
    EXPECT_THAT(scalePicture(stripes, 2).grey, ElementsAreArray({64, 191}));
    const GreyPicture third = scalePicture(GreyPicture{3, 1, {0, 90, 255}}, 2);
    EXPECT_THAT(third.grey, ElementsAreArray({30, 200})); // 0 and half of 90; the rest
    EXPECT_THAT(scalePicture(GreyPicture{1, 1, {7}}, 3).grey,
                ElementsAreArray({7, 7, 7, 7, 7, 7, 7, 7, 7}));
}

TEST(PictureLogo, TheDefaultWidthIsThePapersForTheSavedMode) {
    Harness h;
    const struct {
        const char* name;
        std::optional<std::uint8_t> mode;
        int pictureWidth, expected;
    } kCases[] = {
        {"2 inch", 0, 1000, 384},
        {"3 inch", 1, 1000, 576},
        {"nothing saved", {}, 1000, 576},
        {"a narrower picture", 0, 200, 200},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(h.folder.path() / "user_setting");
        if (c.mode)
            h.folder.write("user_setting", Bytes{0, *c.mode, 3, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0});
        EXPECT_EQ(defaultLogoWidth(GreyPicture{c.pictureWidth, 1, Bytes(c.pictureWidth, 0)},
                                   h.folder.path()),
                  c.expected);
    }
    // The height follows: 10 rows at 384 of 1000 dots are 3.84, rounded.
    EXPECT_EQ(makePictureLogo(GreyPicture{1000, 10, Bytes(10000, 0)}, wanted(384)).dots.height, 4);
}

// The logo list reads the header (one plane, one bit, size and offset) and
// the rows; the colours are for other programs that show the bitmap.
TEST(PictureLogo, TheBitmapIsALogoWithColumnDataOfItsDots) {
    // Top row printed across all 9 dots, the bottom row at the left only.
    DotPicture dots{9, 2, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}};
    const Bytes bmp = dotsToBmp(dots);
    EXPECT_THAT(Bytes(bmp.begin() + 54, bmp.end()),
                ElementsAreArray({0, 0, 0, 0, 255, 255, 255, 0, // black, white
                                  0x7F, 0xFF, 0, 0,             // bottom row first
                                  0x00, 0x7F, 0, 0}));
    Harness h;
    const auto file = h.folder.write("dots.bmp", bmp);
    const auto buffers = makeLogoBuffers();
    const LogoBlock block = convertLogoBitmap(file, *buffers);
    EXPECT_THAT(block.bytes,
                ElementsAreArray({2,    0,    1,    0, 0xC0, 0x80, 0x80, 0x80, 0x80, 0x80,
                                  0x80, 0x80, 0x80, 0, 0,    0,    0,    0,    0,    0}));
}

TEST(PictureLogo, ASizeOutOfTheLimitsIsRefusedWithTheWidestThatFits) {
    const GreyPicture square{3000, 3000, Bytes(9000000, 128)};
    const GreyPicture flat{3000, 30, Bytes(90000, 128)};
    const struct {
        const char* name;
        const GreyPicture& picture;
        PictureLogoRequest request;
        const char* said;
    } kCases[] = {
        {"wider than a logo", flat, wanted(2017),
         "20 dots high cannot be made: it is wider than 2016"},
        {"beyond 128K", square, wanted(1500),
         "would be 282062 bytes, more than the 131071 bytes left"},
        {"beyond what is left", square, wanted(500, {}, 20000), "more than the 20000 bytes left"},
        // 500 x 500: 63 byte-columns of 63 bands, 31752 bytes and the four size bytes.
        {"beyond what the download has left", square, wanted(500, {}, kMaxLogoTotalSize, 30000),
         "would take 31756 bytes of the download, more than the 30000 bytes left of the 200001"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const PictureLogo logo = makePictureLogo(c.picture, c.request);
        EXPECT_EQ(logo.outcome, Outcome::Refused);
        EXPECT_THAT(logo.message, HasSubstr(c.said));
        const int widest = widestFittingLogo(c.picture, c.request);
        EXPECT_THAT(logo.message,
                    HasSubstr("The widest that fits is " + std::to_string(widest) + " dots."));
        PictureLogoRequest fits = c.request;
        fits.width = widest;
        EXPECT_EQ(makePictureLogo(c.picture, fits).outcome, Outcome::Done);
        fits.width = widest + 1;
        EXPECT_EQ(makePictureLogo(c.picture, fits).outcome, Outcome::Refused);
    }
}

TEST(PictureLogo, AddedUnderAFreeNameOrNotWrittenAtAll) {
    Harness h;
    const Services services = h.services();
    LogoLibrary library;
    const auto buffers = makeLogoBuffers();
    const PictureLogo logo = makePictureLogo(GreyPicture{16, 8, Bytes(128, 0)}, wanted(16));
    h.folder.write("logos/shop.bmp", "someone else's");
    for (const char* name : {"shop-2.bmp", "shop-3.bmp"})
        EXPECT_EQ(addPictureLogo(services, library, *buffers, logo, "/pictures/shop.png"),
                  Outcome::Done)
            << name;
    EXPECT_EQ(h.folder.read("logos/shop.bmp").size(), 14u); // "someone else's" is left alone
    EXPECT_EQ(h.folder.read("logos/shop-3.bmp"), logo.bmp);
    ASSERT_EQ(library.rows().size(), 2u);
    EXPECT_EQ(library.rows()[1], (LogoListRow{"2", "shop-3.bmp", "94"}));
    // The total refuses the next one: its message, and no file left behind.
    library.LogoTotalSize = 131000;
    EXPECT_EQ(addPictureLogo(services, library, *buffers, logo, "/pictures/shop.png"),
              Outcome::Refused);
    EXPECT_EQ(h.dialogs.texts(), std::vector<std::string>{std::string(kLogoTotalMessage)});
    EXPECT_FALSE(std::filesystem::exists(h.folder.path() / "logos/shop-4.bmp"));
}

} // namespace
} // namespace ordalia
