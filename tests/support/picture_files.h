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

// stb_image_write hands the file over in pieces, appended here to a vector.
inline void appendToFile(void* file, void* data, int size) {
    auto* bytes = static_cast<std::uint8_t*>(data);
    auto* out = static_cast<std::vector<std::uint8_t>*>(file);
    out->insert(out->end(), bytes, bytes + size);
}

// A picture of w x h pixels of `channels` bytes each (1 grey, 3 RGB, 4 RGBA),
// rows from the top: a PNG, or a BMP of 24 bits (32 with alpha) that stores
// its rows bottom-up.
inline std::vector<std::uint8_t> pngFile(int w, int h, int channels,
                                         const std::vector<std::uint8_t>& pixels) {
    std::vector<std::uint8_t> out;
    stbi_write_png_to_func(appendToFile, &out, w, h, channels, pixels.data(), w * channels);
    return out;
}
inline std::vector<std::uint8_t> bmpFile(int w, int h, int channels,
                                         const std::vector<std::uint8_t>& pixels) {
    std::vector<std::uint8_t> out;
    stbi_write_bmp_to_func(appendToFile, &out, w, h, channels, pixels.data());
    return out;
}

} // namespace ordalia::testing
