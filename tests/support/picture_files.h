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

inline void appendPictureBytes(void* to, void* data, int size) {
    auto* bytes = static_cast<std::uint8_t*>(data);
    auto* out = static_cast<std::vector<std::uint8_t>*>(to);
    out->insert(out->end(), bytes, bytes + size);
}

// A PNG of w x h pixels of `channels` bytes each (1 grey, 3 RGB, 4 RGBA).
inline std::vector<std::uint8_t> pngFile(int w, int h, int channels,
                                         const std::vector<std::uint8_t>& pixels) {
    std::vector<std::uint8_t> out;
    stbi_write_png_to_func(appendPictureBytes, &out, w, h, channels, pixels.data(), w * channels);
    return out;
}

// A grey JPEG of good quality.
inline std::vector<std::uint8_t> jpegFile(int w, int h, const std::vector<std::uint8_t>& grey) {
    std::vector<std::uint8_t> out;
    stbi_write_jpg_to_func(appendPictureBytes, &out, w, h, 1, grey.data(), 95);
    return out;
}

} // namespace ordalia::testing
