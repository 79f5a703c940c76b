#pragma once

#include "unifont_hex.h"

#include <array>
#include <cstdint>

namespace ordalia::cpfonts {

// Font A: 12 x 24 dots, one 16-bit row each, the 12 dots in bits 15 to 4
// (the leftmost dot is bit 15, bits 3 to 0 stay clear).
// Font B: 8 x 17 dots, one byte a row, the leftmost dot in bit 7.
inline constexpr int kFontAWidth = 12;
inline constexpr int kFontAHeight = 24;
inline constexpr int kFontBWidth = 8;
inline constexpr int kFontBHeight = 17;

using FontAChar = std::array<std::uint16_t, kFontAHeight>;
using FontBChar = std::array<std::uint8_t, kFontBHeight>;

// Scale3x: three times the size, with the corners of diagonal steps filled in
// so that slopes stay slopes instead of becoming staircases.
Glyph scale3x(const Glyph& glyph);

// Every `fx` x `fy` block becomes one dot, set when at least half of the
// block is set.
Glyph shrink(const Glyph& glyph, int fx, int fy);

// An 8-wide glyph is made 1.5 times its size (8 x 16 to 12 x 24) by Scale3x
// and halving; a 16-wide one becomes 12 wide the same way. A glyph of any
// other size is fitted into the cell's top left corner as it is.
FontAChar renderFontA(const Glyph& glyph);

// 8 x 16 glyphs are taken dot for dot onto rows 0 to 15; 16-wide ones are
// halved across. Row 16 stays blank, except that `joinsBelow` (box drawing and
// block elements) repeats row 15 so lines meet the cell below.
FontBChar renderFontB(const Glyph& glyph, bool joinsBelow);

// A box with a cross in it, for characters the source font lacks or the code
// page leaves undefined: visible on paper, never mistaken for a blank.
FontAChar placeholderFontA();
FontBChar placeholderFontB();

} // namespace ordalia::cpfonts
