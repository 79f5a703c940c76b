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

struct PngRead {
    bool ok = false;
    DotImage image;
    std::string problem; // when not ok
};

// Reads back a 1-bit greyscale PNG as encodePng writes it: every chunk's
// CRC checked, stored deflate blocks (and compressed ones where the build has
// zlib), rows with filter 0 only. A picture of more than `maxDots` dots is
// refused before anything is allocated for it.
PngRead decodePng(std::span<const std::uint8_t> bytes, std::size_t maxDots = 64u << 20);

} // namespace ordalia::vprinter
