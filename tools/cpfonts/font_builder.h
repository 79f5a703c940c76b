#pragma once

#include "code_page_maps.h"
#include "codepages/code_page_font.h"
#include "unifont_hex.h"

#include <vector>

namespace ordalia::cpfonts {

struct BuiltFont {
    CodePageFont font;
    std::vector<int> lacking;   // bytes whose character the source font lacks
    std::vector<int> undefined; // bytes the code page leaves undefined
};

// Draws every byte of the code page from the source font; a lacking or
// undefined character gets the placeholder box.
BuiltFont buildFont(const CodePageMap& map, const HexFont& source);

} // namespace ordalia::cpfonts
