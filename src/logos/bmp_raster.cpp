#include "logos/bmp_raster.h"

#include <algorithm>

namespace ordalia {

std::unique_ptr<LogoBuffers> makeLogoBuffers() {
    return std::make_unique<LogoBuffers>();
}

namespace {

// A little-endian 32-bit field as a signed value; nothing when its most
// significant byte has the sign bit, so the value would not fit.
std::optional<std::int32_t> signed32(std::span<const std::uint8_t> f, std::size_t at) {
    if (f[at + 3] >= 0x80)
        return std::nullopt;
    return static_cast<std::int32_t>(f[at] | (f[at + 1] << 8) | (f[at + 2] << 16) |
                                     (f[at + 3] << 24));
}

std::optional<std::int16_t> signed16(std::span<const std::uint8_t> f, std::size_t at) {
    if (f[at + 1] >= 0x80)
        return std::nullopt;
    return static_cast<std::int16_t>(f[at] | (f[at + 1] << 8));
}

// The last header byte ReadBmpHeader needs is Height's, at offset 25.
constexpr std::size_t kHeaderBytes = 26;

} // namespace

std::optional<BmpInfo> ReadBmpHeader(std::span<const std::uint8_t> file) {
    if (file.size() < kHeaderBytes)
        return std::nullopt;
    const auto size = signed32(file, 2);
    const auto width = signed32(file, 18);
    const auto height = signed32(file, 22);
    const auto offset = signed16(file, 10);
    if (!size || !width || !height || !offset)
        return std::nullopt;
    return BmpInfo{*size, *offset, *width, *height};
}

std::int64_t logoByteColumns(const BmpInfo& info) {
    return (std::int64_t{info.Width} + 7) / 8;
}

std::int64_t logoBands(const BmpInfo& info) {
    return (std::int64_t{info.Height} + 7) / 8;
}

std::int64_t logoRowStride(const BmpInfo& info) {
    if (info.Height == 0)
        return 0;
    return (std::int64_t{info.FileSize} - info.DataOffset) / info.Height;
}

std::int64_t logoColumnBytes(const BmpInfo& info) {
    return 8 * logoByteColumns(info) * logoBands(info);
}

std::optional<LogoLayoutFault> logoLayoutFault(const BmpInfo& info) {
    if (info.Height <= 0)
        return LogoLayoutFault::ZeroHeight;
    if (info.Width <= 0)
        return LogoLayoutFault::ZeroWidth;
    if (info.Width > kMaxLogoWidth)
        return LogoLayoutFault::TooWide;
    if (static_cast<std::size_t>(info.FileSize) > kLogoBufferSize)
        return LogoLayoutFault::TooLargeForBuffer;
    const std::int64_t stride = logoRowStride(info);
    if (stride <= 0)
        return LogoLayoutFault::NoPixelData;
    if (stride > kMaxRowStride || stride < logoByteColumns(info))
        return LogoLayoutFault::SizeMismatch;
    if (logoColumnBytes(info) > static_cast<std::int64_t>(kLogoBufferSize))
        return LogoLayoutFault::TooLargeForBuffer;
    return std::nullopt;
}

std::string_view layoutFaultReason(LogoLayoutFault fault) {
    switch (fault) {
    case LogoLayoutFault::ZeroHeight:
        return "its height is 0";
    case LogoLayoutFault::ZeroWidth:
        return "its width is 0";
    case LogoLayoutFault::NoPixelData:
        return "its file size field leaves no room for picture rows after the picture data offset";
    case LogoLayoutFault::TooWide:
        return "it is wider than 2016 pixels, the widest a logo can be";
    case LogoLayoutFault::SizeMismatch:
        return "its file size field does not match its width and height";
    case LogoLayoutFault::TooLargeForBuffer:
        return "it is too large to be converted";
    }
    return "its layout cannot be converted";
}

std::string describeLayoutFault(LogoLayoutFault fault, const std::string& name) {
    return "The bitmap " + name + " cannot be a logo: " + std::string(layoutFaultReason(fault)) +
           ".";
}

BmpKind bmpKind(std::span<const std::uint8_t> file) {
    if (file.size() < 2 || file[0] != 'B' || file[1] != 'M')
        return BmpKind::NotBmp;
    if (file.size() <= 28 || file[26] != 1 || file[28] != 1)
        return BmpKind::NotMonochrome;
    return BmpKind::Monochrome;
}

bool BMP_Convert(const LogoBuffer& LogoFileBuffer, const BmpInfo& info, LogoBuffer& LogoRaster) {
    const std::int64_t S = info.FileSize;
    const std::int64_t O = info.DataOffset;
    const std::int64_t W = info.Width;
    const std::int64_t H = info.Height;
    if (S == 0)
        return false;
    // Rows are read from index S - H * R up to S - 1 and written from 0 up to
    // H * R - 1; both stay inside the buffers when these hold.
    if (H <= 0 || W < 0 || O < 0 || S < O || S > static_cast<std::int64_t>(kLogoBufferSize))
        return false;
    const std::int64_t R = (S - O) / H;

    LogoRaster.fill(0);
    // More rows than pixel bytes leaves rows of no bytes: nothing to write,
    // and no reason to count through a height of millions.
    if (R == 0)
        return true;
    for (std::int64_t i = 0; i < H; ++i) {
        const std::int64_t from = S - (i + 1) * R;
        std::uint8_t* out = LogoRaster.data() + i * R;
        for (std::int64_t c = 0; c < R; ++c) {
            const std::uint8_t inverted = static_cast<std::uint8_t>(~LogoFileBuffer[from + c]);
            // Pixels 8c + 1 to 8c + 8 of the row; those past W are padding.
            const std::int64_t firstPixel = 8 * c;
            if (firstPixel + 8 <= W)
                out[c] = inverted;
            else if (firstPixel >= W)
                out[c] = 0;
            else
                out[c] = inverted & static_cast<std::uint8_t>(0xFF << (8 - (W - firstPixel)));
        }
    }
    return true;
}

std::optional<std::size_t> Hoz_Convert(const LogoBuffer& LogoRaster, std::uint8_t stride,
                                       std::int64_t x, std::int64_t y, LogoBuffer& LogoColumnData) {
    if (x < 0 || y < 0 || x > static_cast<std::int64_t>(kLogoBufferSize) ||
        y > static_cast<std::int64_t>(kLogoBufferSize) ||
        8 * x * y > static_cast<std::int64_t>(kLogoBufferSize))
        return std::nullopt;

    const auto rasterByte = [&](std::int64_t index) -> std::uint8_t {
        return index < static_cast<std::int64_t>(LogoRaster.size())
                   ? LogoRaster[static_cast<std::size_t>(index)]
                   : 0;
    };

    LogoColumnData.fill(0);
    std::size_t n = 0;
    for (std::int64_t c = 0; c < 8 * x; ++c) {
        const std::int64_t X = c / 8;
        const std::uint8_t m = static_cast<std::uint8_t>(0x80 >> (c % 8));
        for (std::int64_t b = 0; b < y; ++b) {
            std::uint8_t out = 0;
            for (int r = 0; r < 8; ++r)
                if (rasterByte((8 * b + r) * stride + X) & m)
                    out |= static_cast<std::uint8_t>(0x80 >> r);
            LogoColumnData[n++] = out;
        }
    }
    return n;
}

} // namespace ordalia
