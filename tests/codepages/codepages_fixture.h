#pragma once

#include "codepages/code_page_font.h"
#include "codepages/code_page_table.h"
#include "support/harness.h"

#include <gtest/gtest.h>

namespace ordalia::testing {

// Row values that differ from slot to slot and from line to line, so a byte
// taken from the wrong file or line shows.
inline std::uint16_t patternA(std::size_t slot, std::size_t line) {
    return static_cast<std::uint16_t>(line * 0x9E37u + slot * 0x1234u + 1u);
}
inline std::uint8_t patternB(std::size_t slot, std::size_t line) {
    return static_cast<std::uint8_t>(line * 31u + slot * 17u + 5u);
}

inline CodePageFont font(std::size_t slot) {
    CodePageFont font;
    for (std::size_t k = 0; k < kFontALines; ++k)
        font.fontA[k] = patternA(slot, k);
    for (std::size_t k = 0; k < kFontBLines; ++k)
        font.fontB[k] = patternB(slot, k);
    return font;
}

// A program folder with the six default slots' font files.
class CodePagesFixture : public ::testing::Test {
protected:
    CodePagesFixture() { writeFonts(); }

    void writeFonts() {
        for (std::size_t i = 0; i < kCodePageSlotCount; ++i)
            h.folder.write("Codepage Table/" + slots.Text_CP[i] + ".CP",
                           formatCodePageFont(font(i)));
    }

    Harness h;
    CodePageSlots slots = defaultCodePageSlots();
};

} // namespace ordalia::testing
