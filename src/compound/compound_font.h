#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia {

// The four double-byte fonts the printer takes. A compound font file is raw
// font data without a header; it is recognised by its file name alone, letter
// case included.
struct CompoundFont {
    std::string_view fileName; // without folder
    std::string_view language; // and its character set
    std::uint8_t languageCode; // the positions of EPPROM_Compound: 0 DISABLE, 1 to 4
    std::uint32_t dataLength;  // S: the file's positions 0 to S are sent
};

inline constexpr std::array<CompoundFont, 4> kCompoundFontTable = {{
    {"ex_SimplifiedChinese.code", "Simplified Chinese (GB2312)", 1, 600048},
    {"ex_TraditionalChinese.code", "Traditional Chinese (Big5)", 2, 1006056},
    {"ex_JISx0208.code", "Japanese (JIS X 0208)", 3, 562032},
    {"ex_Korean.code", "Korean", 4, 622656},
}};

// What a name outside the table gets: language code 0 and S = 0, one block.
inline constexpr CompoundFont kUnknownCompoundFont = {"", "", 0, 0};

// The row whose file name equals `fileTitle` exactly, else kUnknownCompoundFont.
CompoundFont lookupCompoundFont(std::string_view fileTitle);

inline constexpr std::size_t kCompoundBlockSize = 256;
inline constexpr std::size_t kCompoundGroupSize = 16;

// Blocks in the stream: every block whose first position is at most S.
constexpr std::uint32_t compoundBlockCount(std::uint32_t dataLength) {
    return dataLength / kCompoundBlockSize + 1;
}

// What choosing the file `fileTitle` will send, in words for the page beside
// the chosen path: the language and the number of blocks ("Korean, 2,433
// blocks"), or, for a name outside the table, that it goes out as language 0
// in one block. The choice itself accepts any name; this is only shown.
std::string describeCompoundFile(std::string_view fileTitle);

// CompoundImage: the font file's positions 0 to S, zero everywhere else. It is
// large enough for the last block of the longest font (positions up to
// 1,006,079).
inline constexpr std::size_t kCompoundImageSize = 1100001;
using CompoundImage = std::vector<std::uint8_t>;

// The byte order in which the printer's compound font loader takes each
// 16-byte group of a block: output byte j of a group is input byte
// CompoundShuffleOrder[j] of the same group, so a group a0..a7 b0..b7 goes out
// as b0 a0 b1 a1 ... b7 a7, its second half interleaved with its first, second
// half first. The groups keep their places.
//
// What we know of the font files: they are raw data without a header, and the
// four lengths S are all multiples of 72 bytes (600,048 = 72 x 8,334,
// 1,006,056 = 72 x 13,973, 562,032 = 72 x 7,806, 622,656 = 72 x 8,648), which
// fits glyphs of 24 x 24 dots at 72 bytes each; 13,973 is also 89 x 157, the
// whole Big5 grid of lead and trail bytes. They are not multiples of 32 (one
// is not even a multiple of 16), so they are not 16 x 16-dot glyphs. A 72-byte
// glyph does not line up with 16-byte groups: groups start at changing places
// inside the glyphs, so this order cannot follow a glyph's rows or halves. It
// is how the loader wants the stream's bytes, whatever glyph they belong to.
//
// What we assume: that this is the order the loader expects. We have no
// description of the loader, and nothing in this program or in its test
// printer (which stores the blocks as they arrive) can confirm it; only a
// printer printing a downloaded font can. A wrong order gives a scrambled
// font, so the table is fixed here, never computed or configured.
inline constexpr std::array<std::uint8_t, kCompoundGroupSize> CompoundShuffleOrder = {
    8, 0, 9, 1, 10, 2, 11, 3, 12, 4, 13, 5, 14, 6, 15, 7};

using CompoundBlock = std::array<std::uint8_t, kCompoundBlockSize>;

// Rearranges one block group by group through CompoundShuffleOrder; the
// groups keep their places.
CompoundBlock ShuffleCompoundBlock(std::span<const std::uint8_t, kCompoundBlockSize> block);

// Block k of the stream: CompoundImage positions 256k to 256k + 255, shuffled.
// `image` must hold kCompoundImageSize bytes and k must be below the block
// count of a table row.
CompoundBlock compoundStreamBlock(const CompoundImage& image, std::uint32_t k);

// The result of the compound load at the start of a download.
struct CompoundLoad {
    bool loaded = false;
    std::string error; // names the file when it could not be read
    CompoundFont font = kUnknownCompoundFont;
};

// The compound load: looks the file title up, zeroes `image` to
// kCompoundImageSize bytes and reads the file's positions 0 to S into it.
// Positions past the end of the file stay 0; bytes after S are not read.
CompoundLoad loadCompoundImage(const std::filesystem::path& filePath, std::string_view fileTitle,
                               CompoundImage& image);

} // namespace ordalia
