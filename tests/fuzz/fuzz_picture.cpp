// Pictures are whatever file the user picks: the decoder must take any bytes
// without crashing or reading outside them, refuse what it cannot read with
// a message, and whatever it reads must make a bitmap the logo list accepts.

#include "logos/bmp_raster.h"
#include "logos/picture_logo.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <stb_image.h>

namespace {

// Decoding time grows with the pixels a header declares, and the limits on
// large pictures have tests of their own: a picture larger than this is
// skipped, which keeps the target at thousands of runs a second.
constexpr std::int64_t kMaxFuzzPixels = 128 * 128;

// The size the frame header of a JPEG declares, found by walking its segments
// as the decoder does (fill bytes, then each marker's segment skipped by its
// length); 0 when there is none.
std::int64_t jpegPixels(std::span<const std::uint8_t> bytes) {
    const auto at = [&](std::size_t i) -> std::int64_t { return i < bytes.size() ? bytes[i] : 0; };
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (at(i) != 0xFF) {
            ++i;
            continue;
        }
        while (at(i + 1) == 0xFF)
            ++i;
        const std::int64_t marker = at(i + 1);
        if (marker >= 0xC0 && marker <= 0xC2)
            return (at(i + 5) << 8 | at(i + 6)) * (at(i + 7) << 8 | at(i + 8));
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9)) {
            i += 2;
            continue;
        }
        i += 2 + static_cast<std::size_t>(at(i + 2) << 8 | at(i + 3));
    }
    return 0;
}

// The pixels the header declares. A JPEG's header is walked here rather than
// by the decoder's header reader, which would build its Huffman tables before
// the program has checked them.
std::int64_t declaredPixels(std::span<const std::uint8_t> bytes) {
    if (!bytes.empty() && bytes[0] == 0xFF)
        return jpegPixels(bytes);
    int width = 0;
    int height = 0;
    int channels = 0;
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX) ||
        !stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height,
                               &channels))
        return 0;
    return std::int64_t{width} * height;
}

// The PNG decoder makes room for a data chunk by the length its header gives
// before it reads a byte of it, up to a gigabyte for a file of a hundred
// bytes. Only the memory is wasted (a chunk longer than the file then fails
// to read), but taking it costs a second a run; chunks are kept below this.
constexpr std::uint32_t kMaxFuzzChunkBytes = 1 << 20;

bool pngChunksShort(std::span<const std::uint8_t> bytes) {
    static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() < 8 || !std::equal(kSignature, kSignature + 8, bytes.begin()))
        return true;
    for (std::size_t at = 8; at + 4 <= bytes.size();) {
        const std::uint32_t length = std::uint32_t{bytes[at]} << 24 |
                                     std::uint32_t{bytes[at + 1]} << 16 |
                                     std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
        if (length > kMaxFuzzChunkBytes)
            return false;
        at += 12 + std::size_t{length};
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ordalia;
    if (declaredPixels(std::span(data, size)) > kMaxFuzzPixels ||
        !pngChunksShort(std::span(data, size)))
        return 0;
    const PictureRead read = decodePicture(std::span(data, size), "fuzz");
    if (!read.picture) {
        if (read.message.empty())
            std::abort();
        return 0;
    }
    const GreyPicture& picture = *read.picture;
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.grey.size() != std::size_t(picture.width) * std::size_t(picture.height))
        std::abort();
    // A small width keeps each run short; the last byte picks dots or a cut.
    // A narrow, tall picture still scales to a long logo, which is left out
    // like a large picture.
    PictureLogoRequest request;
    request.width = 1 + (size > 0 ? data[size / 2] % 96 : 0);
    if (size > 0 && data[size - 1] % 2)
        request.threshold = data[size - 1];
    if (std::int64_t{scaledHeight(picture, request.width)} * request.width > kMaxFuzzPixels)
        return 0;
    const PictureLogo logo = makePictureLogo(picture, request);
    if (logo.outcome != Outcome::Done)
        return 0;
    const auto info = ReadBmpHeader(logo.bmp);
    if (bmpKind(logo.bmp) != BmpKind::Monochrome || !info || logoLayoutFault(*info) ||
        info->FileSize != static_cast<std::int32_t>(logo.bmp.size()))
        std::abort();
    return 0;
}
