#pragma once

#include "dot_image.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ordalia::vprinter {

// The checksums PNG and zlib streams carry.
std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);
std::uint32_t adler32(std::span<const std::uint8_t> bytes, std::uint32_t adler = 1);

enum class PngCompression {
    Stored,  // deflate blocks without compression: no library needed
    Deflate, // compressed with zlib where the build has it, else stored
};

// True when this build compresses (it found zlib).
bool pngDeflateAvailable();

// A 1-bit greyscale PNG of the picture: black dots on white paper, no
// interlace, filter 0 on every row.
std::vector<std::uint8_t> encodePng(const DotImage& image,
                                    PngCompression compression = PngCompression::Deflate);

} // namespace ordalia::vprinter
