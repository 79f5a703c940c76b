#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace ordalia {

// A code page font file (*.CP): "[FONT A]", 24 lines of four hexadecimal
// digits (one 16-bit dot row, high byte first) for each of the 256
// characters, "[FONT B]", then 17 lines of two digits (one 8-bit row) for each
// character. The leftmost dot of a row is its highest bit.
inline constexpr std::size_t kFontCharacters = 256;
inline constexpr std::size_t kFontARows = 24;
inline constexpr std::size_t kFontBRows = 17;
inline constexpr std::size_t kFontALines = kFontCharacters * kFontARows; // 6,144
inline constexpr std::size_t kFontBLines = kFontCharacters * kFontBRows; // 4,352
inline constexpr std::string_view kFontAHeading = "[FONT A]";
inline constexpr std::string_view kFontBHeading = "[FONT B]";

// A proper file is about 54 KB; one past this limit is refused unread.
inline constexpr std::size_t kFontFileLimit = 4 * 1024 * 1024;

struct CodePageFont {
    std::array<std::uint16_t, kFontALines> fontA{}; // character c, row r at c * 24 + r
    std::array<std::uint8_t, kFontBLines> fontB{};  // character c, row r at c * 17 + r
};

struct CodePageFontRead {
    bool ok = false;
    CodePageFont font;
    std::string problem; // when not ok: what is wrong, without the file's name
};

// Each line is read as one field (leading blanks skipped, up to a comma); of a
// data line only the first four (Font A) or two (Font B) characters count, a
// missing or non-hexadecimal digit counting as 0. Lines after the last Font B
// line are not read.
CodePageFontRead parseCodePageFont(std::string_view text);

// Reads and parses the file; `problem` then names the file.
CodePageFontRead readCodePageFont(const std::filesystem::path& path);

// The text of a font file in this format, CR LF line ends: what the font
// generator writes and the reader reads back.
std::string formatCodePageFont(const CodePageFont& font);

} // namespace ordalia
