#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ordalia::testing {

// Writes little-endian fields into a byte buffer.
inline void putLe16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}
inline void putLe32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    putLe16(bytes, at, value & 0xFFFF);
    putLe16(bytes, at + 2, value >> 16);
}

// A Windows bitmap as a paint program writes it: 14-byte file header,
// 40-byte info header, a two-colour table (black, white), then the rows
// bottom-up, each padded to a multiple of 4 bytes. The picture is given from
// the top; '#' is a printed dot (pixel bit 0), anything else blank (bit 1).
struct BmpBuilder {
    std::vector<std::string> picture;
    std::uint16_t planes = 1;
    std::uint16_t bitsPerPixel = 1;
    // The padding bits after the last pixel of a row: 0 (as most writers
    // leave them) or 1.
    bool paddingBitsSet = false;
    // Bytes between the data offset and the first row, counted in the size
    // field (a pixel area that is not a whole number of rows).
    std::size_t gapBytes = 0;

    static constexpr std::uint32_t kDataOffset = 62;

    std::uint32_t width() const {
        return picture.empty() ? 0 : static_cast<std::uint32_t>(picture[0].size());
    }
    std::uint32_t height() const { return static_cast<std::uint32_t>(picture.size()); }
    std::uint32_t rowBytes() const { return (width() + 31) / 32 * 4; }

    std::vector<std::uint8_t> build() const {
        const std::uint32_t w = width();
        const std::uint32_t h = height();
        const std::uint32_t row = rowBytes();
        const std::uint32_t size = kDataOffset + static_cast<std::uint32_t>(gapBytes) + row * h;
        std::vector<std::uint8_t> out(size, 0);
        out[0] = 'B';
        out[1] = 'M';
        putLe32(out, 2, size);
        putLe32(out, 10, kDataOffset);
        putLe32(out, 14, 40);
        putLe32(out, 18, w);
        putLe32(out, 22, h);
        putLe16(out, 26, planes);
        putLe16(out, 28, bitsPerPixel);
        putLe32(out, 34, row * h + static_cast<std::uint32_t>(gapBytes));
        putLe32(out, 46, 2);
        putLe32(out, 50, 2);
        // Colour 0 black, colour 1 white.
        out[58] = 0xFF;
        out[59] = 0xFF;
        out[60] = 0xFF;
        for (std::uint32_t r = 0; r < h; ++r) {
            const std::size_t start = kDataOffset + gapBytes + std::size_t{h - 1 - r} * row;
            for (std::uint32_t bit = 0; bit < row * 8; ++bit) {
                const bool blank = bit < w ? picture[r][bit] != '#' : paddingBitsSet;
                if (blank)
                    out[start + bit / 8] |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
            }
        }
        return out;
    }
};

// A picture of `width` x `height` filled with `dot`.
inline std::vector<std::string> filledPicture(std::size_t width, std::size_t height, char dot) {
    return std::vector<std::string>(height, std::string(width, dot));
}

inline std::vector<std::uint8_t> monochromeBmp(const std::vector<std::string>& picture) {
    return BmpBuilder{picture}.build();
}

} // namespace ordalia::testing
