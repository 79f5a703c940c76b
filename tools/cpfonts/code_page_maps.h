#pragma once

#include <array>
#include <string>
#include <vector>

namespace ordalia::cpfonts {

// What each of a code page's 256 bytes shows, as a Unicode code point; 0 for
// a byte the code page leaves undefined. Every map has ASCII in 0x20-0x7E and
// the IBM PC's graphic symbols in 0x01-0x1F (0x00 is blank).
struct CodePageMap {
    std::string name; // the font file's name without ".CP"
    std::array<char32_t, 256> unicode{};
};

// The shipped code pages: the six defaults first, in slot order.
const std::vector<CodePageMap>& codePageMaps();

} // namespace ordalia::cpfonts
