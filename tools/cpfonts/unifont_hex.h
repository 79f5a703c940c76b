#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia::cpfonts {

// One glyph of a bitmap font: `height` rows of `width` dots, the leftmost dot
// of a row in bit (width - 1).
struct Glyph {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rows;

    bool dot(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height && (rows[y] >> (width - 1 - x)) & 1u;
    }
};

// GNU Unifont's .hex format: one glyph a line, "XXXX:" (the code point in
// hexadecimal) then 32 hexadecimal digits (8 x 16 dots, two digits a row) or
// 64 (16 x 16, four a row). Lines of any other form are skipped and counted.
struct HexFont {
    std::map<char32_t, Glyph> glyphs;
    std::size_t skippedLines = 0;
};

// Parses one line; false when it is not a glyph line.
bool parseHexLine(std::string_view line, char32_t& codePoint, Glyph& glyph);

HexFont readHexFont(std::istream& in);

} // namespace ordalia::cpfonts
