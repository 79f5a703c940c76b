#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ordalia::vprinter {

// One NV bit image as FS q defines it: 8x dots wide, 8y dots high, its data
// dot column by dot column from the left, within a column band by band from
// the top, bit 7 of each byte the top dot of its band.
struct NvLogo {
    int x = 0; // byte-columns
    int y = 0; // bands of 8 rows
    std::vector<std::uint8_t> columns;

    int widthDots() const { return 8 * x; }
    int heightDots() const { return 8 * y; }
    // The dot at `column`, `row` (from the top left); false outside the image.
    bool dot(int column, int row) const;
    // Every row from the top, every dot from the left.
    std::vector<std::vector<bool>> rows() const;
    // The same as text: '#' for a dot, '.' for blank.
    std::vector<std::string> picture() const;
};

// The logo store as the printer keeps it: n, then for each image xL xH yL yH
// and its 8*x*y data bytes (the parameters of FS q).
std::vector<std::uint8_t> encodeLogos(const std::vector<NvLogo>& logos);
// Nothing when the bytes are not such a store (short, or bytes left over).
std::optional<std::vector<NvLogo>> decodeLogos(std::span<const std::uint8_t> bytes);

// A binary portable bitmap (P4) of the logo, dots black, for looking at.
std::vector<std::uint8_t> logoPbm(const NvLogo& logo);

} // namespace ordalia::vprinter
