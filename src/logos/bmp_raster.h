#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ordalia {

// Every logo buffer holds indices 0 to 200000.
inline constexpr std::size_t kLogoBufferSize = 200001;
// The longest bitmap file that is read at all.
inline constexpr std::size_t kMaxLogoFileBytes = 200000;
// The second stage keeps the row stride in one byte, so a row must be shorter
// than 256 bytes (bitmaps up to 2016 pixels wide).
inline constexpr std::int32_t kMaxRowStride = 255;

using LogoBuffer = std::array<std::uint8_t, kLogoBufferSize>;

// The four buffers the logo page works in, reused for every logo. They are
// 800 kB together, so the window holds them on the heap (makeLogoBuffers).
struct LogoBuffers {
    LogoBuffer LogoFileBuffer{};
    LogoBuffer LogoRaster{};
    LogoBuffer LogoColumnData{};
    LogoBuffer LogoSendBuffer{};
};

std::unique_ptr<LogoBuffers> makeLogoBuffers();

// The four header values of a bitmap file that the conversion uses. All are
// read little-endian; FileSize is the declared size, not the file's length,
// and DataOffset is only the low half of its 4-byte field.
struct BmpInfo {
    std::int32_t FileSize = 0;   // S, offset 2
    std::int16_t DataOffset = 0; // O, offset 10
    std::int32_t Width = 0;      // W, offset 18
    std::int32_t Height = 0;     // H, offset 22
    bool operator==(const BmpInfo&) const = default;
};

// Reads the header from the bytes of one bitmap file. Nothing when a field
// does not fit its signed type (the most significant byte of a 32-bit field,
// or byte 11, is 0x80 or more: negative sizes, top-down bitmaps) or when the
// bytes end before offset 26. It checks neither the "BM" signature nor the
// bit depth.
std::optional<BmpInfo> ReadBmpHeader(std::span<const std::uint8_t> file);

// Byte-columns x = ceil(W / 8) and bands y = ceil(H / 8) of the printed image.
std::int64_t logoByteColumns(const BmpInfo& info);
std::int64_t logoBands(const BmpInfo& info);
// RowStride R = (S - O) div H; 0 when H is 0.
std::int64_t logoRowStride(const BmpInfo& info);
// k = 8 * x * y, the column data bytes of the logo.
std::int64_t logoColumnBytes(const BmpInfo& info);

// Why a bitmap whose header fits still cannot be converted.
enum class LogoLayoutFault {
    ZeroHeight,        // no rows, the stride cannot be computed
    ZeroWidth,         // nothing to print
    NoPixelData,       // the declared size leaves no whole row after the data offset
    TooWide,           // wider than 2016 pixels: rows of 256 bytes or more
    SizeMismatch,      // the size field gives rows shorter than the width or of 256 bytes and more
    TooLargeForBuffer, // the declared size or the column data exceed a buffer
};

// The widest bitmap whose rows (padded to 32 bits) stay below 256 bytes.
inline constexpr std::int32_t kMaxLogoWidth = 2016;

// Nothing when the bitmap converts within the buffers: a width and height
// above 0, rows shorter than 256 bytes, and a declared size that gives rows
// of at least ceil(W / 8) and at most 255 bytes. The one check of a bitmap's
// layout, made when a logo is added and again when it is sent.
std::optional<LogoLayoutFault> logoLayoutFault(const BmpInfo& info);

// What is wrong, to end a sentence about the bitmap ("its width is 0").
std::string_view layoutFaultReason(LogoLayoutFault fault);
// "The bitmap <name> cannot be a logo: <reason>."
std::string describeLayoutFault(LogoLayoutFault fault, const std::string& name);

// What a file's first bytes say it is: "BM" at its start, then 1 in the low
// bytes of the plane count (offset 26) and of the bits per pixel (offset 28).
// A file too short to hold those bytes is no monochrome bitmap.
enum class BmpKind { NotBmp, NotMonochrome, Monochrome };
BmpKind bmpKind(std::span<const std::uint8_t> file);

// First stage: the bottom-up rows, taken from the declared end of the file
// backwards, inverted (a 0 pixel is a printed dot) and masked to the width,
// into a cleared raster, top row first. A FileSize of 0 leaves the raster as
// it was. Returns false, with the raster as it was, also when the header
// values would reach outside the buffers (a height of 0 or less, a negative
// width, a size beyond the buffer or below the data offset).
bool BMP_Convert(const LogoBuffer& LogoFileBuffer, const BmpInfo& info, LogoBuffer& LogoRaster);

// Second stage: the raster regrouped into 8-dot vertical bytes, dot column by
// dot column from the left, band by band from the top; `stride` is R mod 256.
// Returns k = 8 * x * y, the bytes written from index 0, or nothing (and the
// column data untouched) when k would not fit the buffer. Raster bytes beyond
// the buffer's end count as blank.
std::optional<std::size_t> Hoz_Convert(const LogoBuffer& LogoRaster, std::uint8_t stride,
                                       std::int64_t x, std::int64_t y, LogoBuffer& LogoColumnData);

} // namespace ordalia
