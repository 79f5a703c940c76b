#pragma once

// The generated parts of the test pages: code page charts and the raster test
// picture, each as finished ESC/POS bytes.

#include <cstdint>
#include <vector>

namespace ordalia::testpages {

enum class ChartFont { A, B };

inline constexpr int kChartFirstCode = 0x20;
inline constexpr int kChartRows = 14;      // 0x20 to 0xFF, 16 a row
inline constexpr int kChartRowLength = 20; // "20 ", 8 characters, a blank, 8 characters

// ESC t `table`, ESC M for `font`, the column heading and the 14 rows, each
// ended by LF, then ESC M 0 and ESC t 0 so what follows prints as after
// ESC @.
std::vector<std::uint8_t> codePageChart(std::uint8_t table, ChartFont font);

inline constexpr int kRasterMinWidth = 64;
inline constexpr int kRasterMaxWidth = 2040; // 255 bytes a row
inline constexpr int kRasterMinHeight = 64;
inline constexpr int kRasterMaxHeight = 2303;

// A one-bit picture in the printer's raster order: rows top first, each row
// `width` / 8 bytes, the leftmost dot in the high bit, 1 printing black.
struct MonoPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bits;

    int bytesPerRow() const { return width / 8; }
    bool dot(int x, int y) const;
    void set(int x, int y);
};

struct PictureBox {
    int left = 0, top = 0, right = 0, bottom = 0; // right and bottom exclusive

    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// Where the parts of the test picture lie. The ramp's continuous half is the
// upper half of its inside (2 dots in from its outline), the stepped half the
// lower one.
struct PictureLayout {
    int frame = 0; // dots of black on every edge
    PictureBox star;
    PictureBox gratings;      // left of the star; empty when there is no room
    PictureBox checkerboards; // right of the star
    PictureBox ramp;
};

PictureLayout testPictureLayout(int width, int height);

// The test picture: a frame, a radial star inside rings in the upper part and
// a grey ramp (continuous over stepped) along the bottom. The sizes must lie
// within the limits above, the width a multiple of 8; otherwise
// std::invalid_argument.
MonoPicture drawTestPicture(int width, int height);

// GS v 0 0 xL xH yL yH followed by the picture's bits.
std::vector<std::uint8_t> rasterCommand(const MonoPicture& picture);

} // namespace ordalia::testpages
