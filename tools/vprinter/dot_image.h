#pragma once

#include <cstdint>
#include <vector>

namespace ordalia::vprinter {

// A monochrome picture of printed paper: one byte per dot, row by row from
// the top, 1 where the head burnt a dot and 0 where the paper stayed white.
struct DotImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> dots;

    DotImage() = default;
    DotImage(int w, int h) : width(w), height(h), dots(static_cast<std::size_t>(w) * h, 0) {}

    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    // False outside the picture.
    bool dot(int x, int y) const {
        return inside(x, y) && dots[static_cast<std::size_t>(y) * width + x] != 0;
    }
    // Ignored outside the picture, so drawing may run over an edge.
    void set(int x, int y, bool on = true) {
        if (inside(x, y))
            dots[static_cast<std::size_t>(y) * width + x] = on ? 1 : 0;
    }
};

// Every dot of `image` becomes a block of sx x sy dots.
DotImage scaled(const DotImage& image, int sx, int sy);

} // namespace ordalia::vprinter
