#pragma once

#include "common/outcome.h"
#include "link/services.h"
#include "logos/bmp_raster.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ordalia {

struct LogoLibrary;

// Pictures of any kind (PNG, JPEG, GIF, BMP of any depth) made into the
// 1-bit bitmaps the logo library takes: grey by luminance, scaled to a width
// in printer dots, then turned into dots by error diffusion or a threshold.

// A picture file is read whole, so its length and its pixel count are
// limited before anything is decoded (a 12-megapixel photo passes).
inline constexpr std::size_t kMaxPictureFileBytes = std::size_t{64} << 20;
inline constexpr std::uint64_t kMaxPicturePixels = 25'000'000;

// The printable width of the paper, in dots, for the printer mode saved in
// user_setting: "2 inch" paper and the wider one.
inline constexpr int kNarrowPaperDots = 384;
inline constexpr int kWidePaperDots = 576;

inline constexpr std::string_view kPictureFileFilter =
    "Pictures (*.png *.jpg *.jpeg *.gif *.bmp)|*.png;*.jpg;*.jpeg;*.gif;*.bmp";

// One grey value a pixel, 0 black to 255 white, rows from the top.
struct GreyPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> grey;
    std::uint8_t at(int x, int y) const {
        return grey[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                    static_cast<std::size_t>(x)];
    }
};

// A decoded picture, or why it could not be read (a sentence naming it).
struct PictureRead {
    std::optional<GreyPicture> picture;
    std::string message;
};

// Decodes the bytes of a picture file. Transparent pixels lie on white paper:
// each pixel is laid over white by its alpha before its luminance is taken.
// `name` is how messages call the picture.
PictureRead decodePicture(std::span<const std::uint8_t> bytes, const std::string& name);
// Reads and decodes a picture file, refusing one beyond kMaxPictureFileBytes.
PictureRead readPicture(const std::filesystem::path& file);

// The picture scaled to `width` (at least 1) with an area filter: each new
// pixel is the mean of the source area it covers. The height follows the
// width, rounded, at least 1.
int scaledHeight(const GreyPicture& picture, int width);
GreyPicture scalePicture(const GreyPicture& picture, int width);

// Printed dots, one byte a dot (1 printed), rows from the top.
struct DotPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> dots;
};

// Without a threshold, Floyd-Steinberg error diffusion (serpentine rows);
// with one, a dot is printed where the grey value is below it.
DotPicture toDots(const GreyPicture& picture, std::optional<int> threshold);

// The 1-bit bitmap of the dots, as AddLogoFile takes it: "BM", one plane,
// one bit a pixel, a black and a white colour, pixel value 0 (black) for a
// printed dot, rows bottom-up padded to 4 bytes after a 62-byte header.
std::vector<std::uint8_t> dotsToBmp(const DotPicture& dots);
// The size field of that bitmap for a width and height.
std::int64_t dotsBmpSize(int width, int height);

// The width a converted picture takes by default: the paper's printable
// width for the saved printer mode, or the picture's own width if smaller.
int paperWidthDots(const std::filesystem::path& programFolder);
int defaultLogoWidth(const GreyPicture& picture, const std::filesystem::path& programFolder);

struct PictureLogoRequest {
    int width = 0;                           // dots
    std::optional<int> threshold;            // 0-255, else error diffusion
    std::int32_t totalRoom = 131071;         // bytes of the 128K total still free
    std::int64_t sendRoom = kLogoBufferSize; // bytes of LogoSendBuffer the listed logos leave
};

// A picture made into a logo bitmap, or refused with a message that says
// which limit it breaks and the widest it could be.
struct PictureLogo {
    Outcome outcome = Outcome::Refused;
    std::string message;
    DotPicture dots;
    std::vector<std::uint8_t> bmp;
};

// Refuses a width or threshold out of range, a bitmap bigger than the room
// left in the 128K total, one the layout check of the logo library refuses,
// and one whose block outgrows what is left of LogoSendBuffer.
PictureLogo makePictureLogo(const GreyPicture& picture, const PictureLogoRequest& request);

// The widest logo of the picture, up to the width asked, that fits every
// limit; 0 when none does.
int widestFittingLogo(const GreyPicture& picture, const PictureLogoRequest& request);

// What the listed logos leave of LogoSendBuffer: each takes its four size
// bytes and its column data, from the width and height the list records.
std::int64_t downloadRoom(const LogoLibrary& library);

// The folder beside the program where converted pictures are kept.
inline constexpr std::string_view kPictureLogoFolder = "logos";

// A name in `folder` after the picture that no file has yet: shop.bmp, then
// shop-2.bmp, shop-3.bmp ...
std::filesystem::path freeLogoName(const std::filesystem::path& folder,
                                   const std::filesystem::path& picture);

// Writes the bitmap into the logos folder under a free name and adds it with
// AddLogoFile and its checks and messages. When the library does not take
// it, the written file is removed again.
Outcome addPictureLogo(const Services& services, LogoLibrary& library, LogoBuffers& buffers,
                       const PictureLogo& logo, const std::filesystem::path& picture);

} // namespace ordalia
