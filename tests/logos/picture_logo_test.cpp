// Pictures made into logo bitmaps: what each format decodes to, the dots the
// grey values become, the bitmap's bytes as the logo library reads them, and
// the limits a picture is refused at.

#include "logos/logo_download.h"
#include "logos/logo_list.h"
#include "logos/picture_logo.h"
#include "support/harness.h"
#include "support/picture_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

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

// A JPEG whose one Huffman table holds 510 codes, more than the 256 any
// table can: the decoder would write past its tables.
const Bytes kBadHuffmanJpeg = {
    0xFF, 0xD8, 0xFF, 0xC4, 0, 19, 0x00, // start of image; tables of 17 bytes
    255,  255,  0,    0,    0, 0,  0,    0, 0, 0, 0, 0, 0, 0, 0, 0, // the 16 counts: 510 codes
    0xFF, 0xD9};                                                    // end of image

// A 1 x 1 PNG whose image data inflate to 4 MB of zeros: what the decoder
// would take in memory before seeing the size does not fit.
Bytes inflatingPng() {
    const Bytes small = pngFile(1, 1, 4, {0, 0, 0, 255});
    std::vector<unsigned char> zeros(4 << 20, 0);
    int length = 0;
    unsigned char* data =
        stbi_zlib_compress(zeros.data(), static_cast<int>(zeros.size()), &length, 9);
    Bytes png(small.begin(), small.begin() + 33); // the signature and IHDR
    for (const int shift : {24, 16, 8, 0})
        png.push_back(static_cast<std::uint8_t>(length >> shift));
    png.insert(png.end(), {'I', 'D', 'A', 'T'});
    png.insert(png.end(), data, data + length);
    png.insert(png.end(), {0, 0, 0, 0, 0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82});
    STBIW_FREE(data);
    return png;
}

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

// Grey is taken by luminance (so red is darker than green) after each pixel
// is laid over white paper by its alpha.
TEST(PictureLogo, EachFormatIsReadAsGreyOverWhitePaperOrRefused) {
    // Opaque red, transparent black, half-transparent black, opaque white.
    const Bytes rgba = {255, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 128, 255, 255, 255, 255};
    const struct {
        Bytes file;
        std::string shown;
    } kCases[] = {
        {pngFile(4, 1, 4, rgba), "4 x 1: 76 255 127 255"},
        {kPaletteGif, "2 x 2: 0 255 76 255"}, // the transparent colour over white
        // 24 bits: black, white; blue, green.
        {bmpFile(2, 2, 3, {0, 0, 0, 255, 255, 255, 0, 0, 255, 0, 255, 0}), "2 x 2: 0 255 29 150"},
        {kBadHuffmanJpeg, "The file p is not a picture this program can read (PNG, JPEG, GIF or "
                          "BMP): a Huffman table of the JPEG file is damaged."},
        // The decoder takes fill bytes before the start of image.
        {[] {
             Bytes filled = kBadHuffmanJpeg;
             filled.insert(filled.begin(), {0xFF, 0xFF});
             return filled;
         }(),
         "The file p is not a picture this program can read (PNG, JPEG, GIF or BMP): a Huffman "
         "table of the JPEG file is damaged."},
        {inflatingPng(), "The file p is not a picture this program can read (PNG, JPEG, GIF or "
                         "BMP): its image data inflate to more than the 5 bytes its header "
                         "declares."},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(seen(decodePicture(c.file, "p")), c.shown);
}

// Diffused, a band prints as much of its dots as it is dark; cut by a
// threshold, all or none.
TEST(PictureLogo, PrintedShareFollowsDarknessOrTheThreshold) {
    for (const int value : {0, 36, 72, 109, 145, 182, 218, 255}) {
        SCOPED_TRACE(value);
        const GreyPicture band{64, 32, Bytes(64 * 32, static_cast<std::uint8_t>(value))};
        for (const std::optional<int> threshold : {std::optional<int>(), std::optional<int>(128)}) {
            const Bytes dots = toDots(band, threshold).dots;
            const double share = std::count(dots.begin(), dots.end(), 1) / double(dots.size());
            EXPECT_NEAR(share, threshold ? value < 128 : 1.0 - value / 255.0, threshold ? 0 : 0.02);
        }
    }
}

// The error goes 7/16 ahead, 3/16 below behind, 5/16 below and 1/16 below
// ahead, the first row rightwards and the next leftwards. Any other order of
// the four weights, every row rightwards, or the first row leftwards prints
// this picture otherwise.
TEST(PictureLogo, DiffusionWeightsAndSerpentineRows) {
    const GreyPicture picture{3, 2, {128, 40, 128, 210, 90, 40}};
    EXPECT_EQ(toDots(picture, std::nullopt).dots, Bytes({0, 1, 1, 1, 0, 1}));
}

TEST(PictureLogo, AnAreaFilterScalesAndTheHeightFollows) {
    const GreyPicture stripes{4, 2, {0, 255, 0, 255, 0, 0, 255, 255}};
    // (0 + 255 + 0 + 0) / 4 and (0 + 255 + 255 + 255) / 4, one row high.
    EXPECT_EQ(scalePicture(stripes, 2).grey, Bytes({64, 191}));
    EXPECT_EQ(scalePicture(GreyPicture{3, 1, {0, 90, 255}}, 2).grey, Bytes({30, 200}));
    // 10 rows at 384 of 1000 dots are 3.84, rounded.
    EXPECT_EQ(scaledHeight(GreyPicture{1000, 10, Bytes(10000, 0)}, 384), 4);
}

TEST(PictureLogo, APictureWiderThanThePaperIsMadeAsWideAsThePaper) {
    Harness h;
    const GreyPicture wide{1000, 1, Bytes(1000, 0)};
    EXPECT_EQ(defaultLogoWidth(wide, h.folder.path()), 576); // no printer mode saved
    for (const auto& [mode, dots] : {std::pair{0, 384}, std::pair{1, 576}}) {
        h.folder.write("user_setting",
                       Bytes{0, std::uint8_t(mode), 3, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0});
        EXPECT_EQ(defaultLogoWidth(wide, h.folder.path()), dots) << "mode " << mode;
    }
}

// The widest that fits is found by hand: 2016 is the widest logo; a bitmap
// of 448 x 4 takes 62 + 4 x 56 bytes; one of 496 x 5 has 62 byte-columns.
TEST(PictureLogo, ASizeOutOfTheLimitsIsRefusedWithTheWidestThatFits) {
    const GreyPicture flat{3000, 30, Bytes(90000, 128)};
    const struct {
        PictureLogoRequest request;
        const char* said;
    } kCases[] = {
        {{2017, {}},
         "A logo 2017 dots wide and 20 dots high cannot be made: it is wider than 2016 pixels, the "
         "widest a logo can be. The widest that fits is 2016 dots."},
        {{500, {}, 300},
         "its bitmap would be 382 bytes, more than the 300 bytes left of the 128K bytes all logos "
         "may take. The widest that fits is 448 dots."},
        {{500, {}, kMaxLogoTotalSize, 500},
         "it would take 508 bytes of the download, more than the 500 bytes left of the 200001 one "
         "download can hold. The widest that fits is 496 dots."},
    };
    for (const auto& c : kCases) {
        const PictureLogo logo = makePictureLogo(flat, c.request);
        EXPECT_EQ(logo.outcome, Outcome::Refused);
        EXPECT_THAT(logo.message, HasSubstr(c.said));
    }
}

// The logo list reads the header (one plane, one bit, size and offset) and
// the rows, the bottom row first. Where the list does not take the logo, the
// bitmap written for it goes again.
TEST(PictureLogo, AddedAsABitmapTheLogoListReadsOrNotLeftAtAll) {
    Harness h;
    LogoLibrary library;
    const auto buffers = makeLogoBuffers();
    // Top row printed across all 9 dots, the bottom row at the left only.
    const PictureLogo logo = makePictureLogo(
        GreyPicture{9, 2, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255}},
        {9, 128});
    EXPECT_EQ(addPictureLogo(h.services(), library, *buffers, logo, "/pictures/shop.png"),
              Outcome::Done);
    EXPECT_EQ(convertLogoBitmap(h.folder.path() / "logos/shop.bmp", *buffers).bytes,
              Bytes({2,    0,    1,    0, 0xC0, 0x80, 0x80, 0x80, 0x80, 0x80,
                     0x80, 0x80, 0x80, 0, 0,    0,    0,    0,    0,    0}));
    library.LogoTotalSize = 131050; // the 70 bytes of this bitmap make it more than 128K
    EXPECT_EQ(addPictureLogo(h.services(), library, *buffers, logo, "/pictures/shop.png"),
              Outcome::Refused);
    EXPECT_EQ(h.dialogs.texts(), std::vector<std::string>{std::string(kLogoTotalMessage)});
    EXPECT_FALSE(std::filesystem::exists(h.folder.path() / "logos/shop-2.bmp"));
}

} // namespace
} // namespace ordalia
