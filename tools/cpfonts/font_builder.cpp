#include "font_builder.h"

#include "glyph_render.h"

namespace ordalia::cpfonts {

namespace {

// Characters drawn with another one's glyph: the soft hyphen prints as a
// hyphen (the source font shows it as a marked box), the no-break space as
// a space.
char32_t drawnAs(char32_t cp) {
    switch (cp) {
    case 0x00AD:
        return U'-';
    case 0x00A0:
        return U' ';
    default:
        return cp;
    }
}

// Box drawing and block elements run to the cell's edge.
bool joinsBelow(char32_t cp) {
    return cp >= 0x2500 && cp <= 0x259F;
}

} // namespace

BuiltFont buildFont(const CodePageMap& map, const HexFont& source) {
    BuiltFont built;
    for (int b = 0; b < 256; ++b) {
        const char32_t cp = map.unicode[static_cast<std::size_t>(b)];
        FontAChar a{};
        FontBChar fb{};
        const auto glyph = cp == 0 ? source.glyphs.end() : source.glyphs.find(drawnAs(cp));
        if (cp == 0 || glyph == source.glyphs.end()) {
            (cp == 0 ? built.undefined : built.lacking).push_back(b);
            a = placeholderFontA();
            fb = placeholderFontB();
        } else {
            a = renderFontA(glyph->second);
            fb = renderFontB(glyph->second, joinsBelow(cp));
        }
        const std::size_t at = static_cast<std::size_t>(b);
        for (std::size_t r = 0; r < kFontARows; ++r)
            built.font.fontA[at * kFontARows + r] = a[r];
        for (std::size_t r = 0; r < kFontBRows; ++r)
            built.font.fontB[at * kFontBRows + r] = fb[r];
    }
    return built;
}

} // namespace ordalia::cpfonts
