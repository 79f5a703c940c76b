#pragma once

// Code page font files whose rows differ from slot to slot and from line to
// line, so a byte of the code page image taken from the wrong file or line
// shows.

#include "codepages/code_page_font.h"
#include "codepages/code_page_table.h"
#include "support/harness.h"

namespace ordalia::testing {

inline std::uint16_t patternA(std::size_t slot, std::size_t line) {
    return static_cast<std::uint16_t>(line * 0x9E37u + slot * 0x1234u + 1u);
}
inline std::uint8_t patternB(std::size_t slot, std::size_t line) {
    return static_cast<std::uint8_t>(line * 31u + slot * 17u + 5u);
}

inline CodePageFont patternFont(std::size_t slot) {
    CodePageFont font;
    for (std::size_t k = 0; k < kFontALines; ++k)
        font.fontA[k] = patternA(slot, k);
    for (std::size_t k = 0; k < kFontBLines; ++k)
        font.fontB[k] = patternB(slot, k);
    return font;
}

// Writes the font file of each slot, slot i's with pattern i, into the
// program folder's "Codepage Table".
inline void writePatternFonts(const TempFolder& program, const CodePageSlots& slots) {
    for (std::size_t i = 0; i < kCodePageSlotCount; ++i)
        program.write("Codepage Table/" + slots.Text_CP[i] + ".CP",
                      formatCodePageFont(patternFont(i)));
}

} // namespace ordalia::testing
