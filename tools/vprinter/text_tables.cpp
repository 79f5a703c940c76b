#include "text_tables.h"

#include "code_page_maps.h"
#include "compound/compound_font.h"

#include <algorithm>
#include <array>

namespace ordalia::vprinter {
namespace {

// The bytes an international character set may change, in this order.
constexpr std::array<std::uint8_t, 12> kNationalBytes = {0x23, 0x24, 0x40, 0x5B, 0x5C, 0x5D,
                                                         0x5E, 0x60, 0x7B, 0x7C, 0x7D, 0x7E};
using NationalSet = std::array<char32_t, 12>;
// ESC R 0 to 15; 0 keeps the ASCII character.
constexpr std::array<NationalSet, 16> kNationalSets = {{
    {},                                                                    // U.S.A.
    {0, 0, U'à', U'°', U'ç', U'§', 0, 0, U'é', U'ù', U'è', U'¨'},          // France
    {0, 0, U'§', U'Ä', U'Ö', U'Ü', 0, 0, U'ä', U'ö', U'ü', U'ß'},          // Germany
    {U'£', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},                               // U.K.
    {0, 0, 0, U'Æ', U'Ø', U'Å', 0, 0, U'æ', U'ø', U'å', 0},                // Denmark I
    {0, U'¤', U'É', U'Ä', U'Ö', U'Å', U'Ü', U'é', U'ä', U'ö', U'å', U'ü'}, // Sweden
    {0, 0, 0, U'°', 0, U'é', 0, U'ù', U'à', U'ò', U'è', U'ì'},             // Italy
    {U'₧', 0, 0, U'¡', U'Ñ', U'¿', 0, 0, U'¨', U'ñ', 0, 0},                // Spain I
    {0, 0, 0, 0, U'¥', 0, 0, 0, 0, 0, 0, 0},                               // Japan
    {0, U'¤', U'É', U'Æ', U'Ø', U'Å', U'Ü', U'é', U'æ', U'ø', U'å', U'ü'}, // Norway
    {0, 0, U'É', U'Æ', U'Ø', U'Å', U'Ü', U'é', U'æ', U'ø', U'å', U'ü'},    // Denmark II
    {0, 0, U'á', U'¡', U'Ñ', U'¿', U'é', 0, U'í', U'ñ', U'ó', U'ú'},       // Spain II
    {0, 0, U'á', U'¡', U'Ñ', U'¿', U'é', U'ü', U'í', U'ñ', U'ó', U'ú'},    // Latin America
    {0, 0, 0, 0, U'₩', 0, 0, 0, 0, 0, 0, 0},                               // Korea
    {0, 0, U'Ž', U'Š', U'Đ', U'Ć', U'Č', U'ž', U'š', U'đ', U'ć', U'č'},    // Slovenia/Croatia
    {0, U'¥', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},                               // China
}};

struct StandardTable {
    std::uint8_t table;
    std::string_view page;
};
constexpr StandardTable kStandardTables[] = {
    {0, "PC437"}, {1, "katakana"}, {2, "PC850"},  {3, "PC860"},  {4, "PC863"},
    {5, "PC865"}, {16, "WPC1252"}, {17, "PC866"}, {18, "PC852"}, {19, "PC858"},
};

bool in(std::uint8_t b, int first, int last) {
    return b >= first && b <= last;
}

} // namespace

std::optional<std::string_view> standardCodePage(std::uint8_t table) {
    for (const auto& t : kStandardTables)
        if (t.table == table)
            return t.page;
    return std::nullopt;
}

char32_t internationalCharacter(std::uint8_t set, std::uint8_t c) {
    if (set >= kNationalSets.size())
        return 0;
    const auto at = std::ranges::find(kNationalBytes, c);
    return at == kNationalBytes.end() ? 0 : kNationalSets[set][at - kNationalBytes.begin()];
}

const CodePageFont* ShippedFonts::page(std::string_view name) {
    auto it = m_pages.find(name);
    if (it == m_pages.end()) {
        std::optional<CodePageFont> font;
        if (!m_folder.empty()) {
            auto read = readCodePageFont(m_folder / (std::string(name) + ".CP"));
            if (read.ok)
                font = std::move(read.font);
        }
        it = m_pages.emplace(std::string(name), std::move(font)).first;
    }
    return it->second ? &*it->second : nullptr;
}

std::optional<ShippedFonts::Glyph> ShippedFonts::find(char32_t character) {
    for (const auto& map : cpfonts::codePageMaps()) {
        const auto at = std::ranges::find(map.unicode, character);
        if (at == map.unicode.end())
            continue;
        if (const CodePageFont* font = page(map.name))
            return Glyph{font, static_cast<std::uint8_t>(at - map.unicode.begin())};
    }
    return std::nullopt;
}

bool isKanjiLead(std::uint8_t language, bool shiftJis, std::uint8_t byte) {
    switch (language) {
    case 1:
    case 4:
        return in(byte, 0xA1, 0xFE);
    case 2:
        return in(byte, 0xA1, 0xF9);
    case 3:
        return shiftJis ? in(byte, 0x81, 0x9F) || in(byte, 0xE0, 0xEF) : in(byte, 0x21, 0x7E);
    default:
        return byte >= 0x80;
    }
}

std::optional<std::size_t> kanjiGlyph(std::uint8_t language, bool shiftJis, std::uint8_t lead,
                                      std::uint8_t trail) {
    if (!isKanjiLead(language, shiftJis, lead))
        return std::nullopt;
    switch (language) {
    case 1:
    case 4:
        if (!in(trail, 0xA1, 0xFE))
            return std::nullopt;
        return (lead - 0xA1) * 94 + (trail - 0xA1);
    case 2: {
        const int column = in(trail, 0x40, 0x7E)   ? trail - 0x40
                           : in(trail, 0xA1, 0xFE) ? 63 + trail - 0xA1
                                                   : -1;
        if (column < 0)
            return std::nullopt;
        return (lead - 0xA1) * 157 + column;
    }
    case 3: {
        if (!shiftJis)
            return in(trail, 0x21, 0x7E)
                       ? std::optional<std::size_t>((lead - 0x21) * 94 + (trail - 0x21))
                       : std::nullopt;
        // Shift JIS: each lead byte covers two rows of 94.
        if (!in(trail, 0x40, 0xFC) || trail == 0x7F)
            return std::nullopt;
        const int pair = lead <= 0x9F ? lead - 0x81 : lead - 0xC1;
        const int cell = trail - (trail >= 0x80 ? 0x41 : 0x40);
        return cell < 94 ? static_cast<std::size_t>(2 * pair * 94 + cell)
                         : static_cast<std::size_t>((2 * pair + 1) * 94 + cell - 94);
    }
    default:
        return std::nullopt;
    }
}

std::vector<std::uint8_t> unshuffledCompound(std::span<const std::uint8_t> blocks) {
    std::vector<std::uint8_t> out(blocks.size(), 0);
    const std::size_t whole = blocks.size() - blocks.size() % kCompoundGroupSize;
    for (std::size_t group = 0; group < whole; group += kCompoundGroupSize)
        for (std::size_t j = 0; j < kCompoundGroupSize; ++j)
            out[group + CompoundShuffleOrder[j]] = blocks[group + j];
    std::copy(blocks.begin() + whole, blocks.end(), out.begin() + whole);
    return out;
}

} // namespace ordalia::vprinter
