// Bitmaps are chosen by the user and may be anything with a .bmp name: the
// header reader and both conversion stages must take any bytes, and any
// header values, without crashing or reading outside the logo buffers.

#include "logos/bmp_raster.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

namespace {

// Both stages take time in proportion to the bytes they move: the pixel bytes
// after the data offset and the column data. Their limits at the buffers'
// ends have unit tests of their own; here a header that would move more than
// this is not converted (one that a stage refuses outright still is), which
// keeps the target at thousands of runs a second.
constexpr std::int64_t kMaxFuzzBytes = 8192;

bool quick(const ordalia::BmpInfo& info) {
    using namespace ordalia;
    const std::int64_t pixelBytes = std::int64_t{info.FileSize} - info.DataOffset;
    const std::int64_t columnBytes = logoColumnBytes(info);
    const bool columnsRefused = logoByteColumns(info) < 0 || logoBands(info) < 0 ||
                                columnBytes > static_cast<std::int64_t>(kLogoBufferSize);
    return pixelBytes <= kMaxFuzzBytes && (columnBytes <= kMaxFuzzBytes || columnsRefused);
}

ordalia::LogoBuffers& buffers() {
    static const auto held = ordalia::makeLogoBuffers();
    return *held;
}

void convert(const ordalia::BmpInfo& info) {
    using namespace ordalia;
    if (!quick(info))
        return;
    LogoBuffers& b = buffers();
    BMP_Convert(b.LogoFileBuffer, info, b.LogoRaster);
    const auto stride = static_cast<std::uint8_t>(logoRowStride(info) % 256);
    const auto x = logoByteColumns(info);
    const auto y = logoBands(info);
    const auto k = Hoz_Convert(b.LogoRaster, stride, x, y, b.LogoColumnData);
    // A bitmap the layout check passes always converts in full.
    if (!logoLayoutFault(info) && (!k || static_cast<std::int64_t>(*k) != 8 * x * y))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ordalia;
    const std::span<const std::uint8_t> file(data, std::min(size, kMaxLogoFileBytes));
    LogoBuffers& b = buffers();
    std::copy(file.begin(), file.end(), b.LogoFileBuffer.begin());
    std::fill(b.LogoFileBuffer.begin() + static_cast<std::ptrdiff_t>(file.size()),
              b.LogoFileBuffer.end(), 0);

    (void)bmpKind(file);
    if (const auto info = ReadBmpHeader(file))
        convert(*info);

    // Random headers seldom hold small values; the same bytes cut down to
    // modest ranges reach every branch of the conversion.
    if (size >= 26) {
        const auto field = [&](std::size_t at) {
            return static_cast<std::int32_t>(data[at] | (data[at + 1] << 8) | (data[at + 2] << 16));
        };
        BmpInfo small;
        small.FileSize = field(2) % 8400;
        small.DataOffset = static_cast<std::int16_t>(data[10] | ((data[11] & 0x1F) << 8));
        small.Width = field(18) % 4200 - (data[21] & 1);
        small.Height = field(22) % 3000 - (data[25] & 1);
        convert(small);
    }
    return 0;
}
