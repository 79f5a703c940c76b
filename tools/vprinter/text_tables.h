#pragma once

#include "codepages/code_page_font.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia::vprinter {

// The file name (without ".CP") of the shipped code page font that ESC t
// `table` selects on common printers: 0 PC437, 1 Katakana, 2 PC850, 3
// PC860, 4 PC863, 5 PC865, 16 WPC1252, 17 PC866, 18 PC852, 19 PC858.
std::optional<std::string_view> standardCodePage(std::uint8_t table);

// ESC R `set`: the character byte `c` stands for in that international
// character set, where it differs from ASCII (one of # $ @ [ \ ] ^ ` { | } ~);
// 0 where it does not, or for a set not known.
char32_t internationalCharacter(std::uint8_t set, std::uint8_t c);

// The shipped code page fonts in a "Codepage Table" folder, read when first
// needed: a code page by name, and a character by what it shows.
class ShippedFonts {
public:
    explicit ShippedFonts(std::filesystem::path folder) : m_folder(std::move(folder)) {}

    // Nothing when the folder has no such font or it cannot be read.
    const CodePageFont* page(std::string_view name);
    struct Glyph {
        const CodePageFont* font = nullptr;
        std::uint8_t byte = 0;
    };
    // The first shipped code page that holds `character`.
    std::optional<Glyph> find(char32_t character);

private:
    std::filesystem::path m_folder;
    std::map<std::string, std::optional<CodePageFont>, std::less<>> m_pages;
};

// Double-byte text in Kanji mode, from a compound font: glyphs of 24 x 24
// dots, 72 bytes each (rows of 3 bytes, the leftmost dot in bit 7), in the
// order of the character set's grid, as the font's length suggests (Big5's
// 13,973 glyphs are exactly its 89 lead by 157 trail bytes). Language 1
// GB2312 and 4 Korean take EUC byte pairs (0xA1 to 0xFE), 2 Big5 its own
// (lead 0xA1 to 0xF9, trail 0x40 to 0x7E and 0xA1 to 0xFE), 3 JIS X 0208
// JIS pairs (0x21 to 0x7E) or, after FS C 1, Shift JIS.
inline constexpr int kKanjiDots = 24;
inline constexpr std::size_t kKanjiGlyphBytes = 72;

// Whether `byte` begins a double-byte character; language 0 is a printer
// with no compound font, which takes any byte from 0x80 as a lead.
bool isKanjiLead(std::uint8_t language, bool shiftJis, std::uint8_t byte);
// The glyph a lead and trail byte name; nothing for a pair outside the grid.
std::optional<std::size_t> kanjiGlyph(std::uint8_t language, bool shiftJis, std::uint8_t lead,
                                      std::uint8_t trail);
// The font as the file held it, from the blocks as they came over the line
// (each 16-byte group shuffled by the download).
std::vector<std::uint8_t> unshuffledCompound(std::span<const std::uint8_t> blocks);

} // namespace ordalia::vprinter
