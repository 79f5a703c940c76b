#include "unifont_hex.h"

namespace ordalia::cpfonts {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

bool parseHexLine(std::string_view line, char32_t& codePoint, Glyph& glyph) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.remove_suffix(1);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 6)
        return false;
    std::uint32_t cp = 0;
    for (std::size_t i = 0; i < colon; ++i) {
        const int d = hexDigit(line[i]);
        if (d < 0)
            return false;
        cp = cp * 16 + static_cast<std::uint32_t>(d);
    }
    const std::string_view bits = line.substr(colon + 1);
    int digitsPerRow = 0;
    if (bits.size() == 32)
        digitsPerRow = 2;
    else if (bits.size() == 64)
        digitsPerRow = 4;
    else
        return false;
    Glyph g;
    g.width = digitsPerRow * 4;
    g.height = 16;
    g.rows.assign(16, 0);
    for (int row = 0; row < 16; ++row) {
        for (int k = 0; k < digitsPerRow; ++k) {
            const int d = hexDigit(bits[static_cast<std::size_t>(row * digitsPerRow + k)]);
            if (d < 0)
                return false;
            g.rows[static_cast<std::size_t>(row)] =
                g.rows[static_cast<std::size_t>(row)] << 4 | static_cast<std::uint32_t>(d);
        }
    }
    codePoint = cp;
    glyph = std::move(g);
    return true;
}

HexFont readHexFont(std::istream& in) {
    HexFont font;
    std::string line;
    while (std::getline(in, line)) {
        char32_t cp = 0;
        Glyph glyph;
        if (parseHexLine(line, cp, glyph))
            font.glyphs[cp] = std::move(glyph);
        else if (!line.empty())
            ++font.skippedLines;
    }
    return font;
}

} // namespace ordalia::cpfonts
