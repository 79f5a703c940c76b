#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ordalia::vprinter {

// Reads characters out of the 65,536-byte code page and font image the
// printer holds (the one the font download sends):
//   0x0000  Font A of slot 0, 256 characters x 24 rows x 2 bytes (low byte first)
//   0x3000  Font A of slots 1 to 5, characters 0x80-0xFF, 0x1800 bytes each
//   0xB000  Font B of slot 0, 256 characters x 17 row bytes
//   0xC100  Font B of slots 1 to 5, characters 0x80-0xFF, 0x880 bytes each
//   0xF000  the name row of slot i at + 32 i (30 bytes)
//   0xF0C0  the table number of slot i at + i
//   0xFC00, 0xFC20  the two self-test heading lines (31 and 35 bytes)
// Font A dots are bits 15 to 4 of a row (12 dots), Font B dots bits 7 to 0.
class FontImage {
public:
    static constexpr std::size_t kSize = 65536;
    static constexpr int kSlots = 6;
    static constexpr int kFontAWidth = 12;
    static constexpr int kFontAHeight = 24;
    static constexpr int kFontBWidth = 8;
    static constexpr int kFontBHeight = 17;

    // An image of the wrong size gives nothing.
    static std::optional<FontImage> fromBytes(std::span<const std::uint8_t> bytes);
    // Every character an outlined box, for a printer that has no font at all:
    // text still shows where it went.
    static const FontImage& placeholder();

    // The slot ESC t `table` selects: the first whose table number is
    // `table`, else slot 0 (a table the printer does not hold leaves the
    // characters readable).
    int slotForTable(std::uint8_t table) const;
    // Whether a slot holds table `table`.
    bool holdsTable(std::uint8_t table) const;
    // Row `row` of character `c` in the slot: the lower half of every table is
    // slot 0's.
    std::uint16_t fontARow(int slot, std::uint8_t c, int row) const;
    std::uint8_t fontBRow(int slot, std::uint8_t c, int row) const;

    std::uint8_t tableNumber(int slot) const;
    // The 30 bytes of slot `slot`'s name row, trailing blanks dropped.
    std::string nameRow(int slot) const;
    // The two self-test heading lines, trailing blanks dropped.
    std::string heading(int line) const;

    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }

private:
    explicit FontImage(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    std::string text(std::size_t offset, std::size_t length) const;

    std::vector<std::uint8_t> m_bytes;
};

struct DefaultFontLoad {
    std::optional<FontImage> image;
    std::string problem; // when there is no image: why
};

// The image the shipped code page fonts make, as the font download would
// build it from the program folder's "Codepage Table" (its list "Codepage",
// "model_name" and the six *.CP files), but in memory only: nothing is
// written beside the program.
DefaultFontLoad loadDefaultFontImage(const std::filesystem::path& programFolder);

} // namespace ordalia::vprinter
