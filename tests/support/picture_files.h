#pragma once

// Picture files made in memory for the tests of the picture conversion, with
// stb_image_write (static here, so every test program may include it).

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>
#pragma GCC diagnostic pop

#include <cstdint>
#include <vector>

namespace ordalia::testing {

enum class PictureFormat { Png, Bmp, Jpeg };

// A picture of w x h pixels of `channels` bytes each (1 grey, 3 RGB, 4 RGBA):
// a PNG, a BMP of 24 bits (32 with alpha) with its rows bottom-up, or a JPEG
// of good quality.
inline std::vector<std::uint8_t> pictureFile(PictureFormat format, int w, int h, int channels,
                                             const std::vector<std::uint8_t>& pixels) {
    std::vector<std::uint8_t> out;
    const auto append = [](void* to, void* data, int size) {
        auto* bytes = static_cast<std::uint8_t*>(data);
        auto* file = static_cast<std::vector<std::uint8_t>*>(to);
        file->insert(file->end(), bytes, bytes + size);
    };
    if (format == PictureFormat::Png)
        stbi_write_png_to_func(append, &out, w, h, channels, pixels.data(), w * channels);
    else if (format == PictureFormat::Bmp)
        stbi_write_bmp_to_func(append, &out, w, h, channels, pixels.data());
    else
        stbi_write_jpg_to_func(append, &out, w, h, channels, pixels.data(), 95);
    return out;
}
inline std::vector<std::uint8_t> pngFile(int w, int h, int channels,
                                         const std::vector<std::uint8_t>& pixels) {
    return pictureFile(PictureFormat::Png, w, h, channels, pixels);
}

} // namespace ordalia::testing
