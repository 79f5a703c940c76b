#include "png.h"

#include <algorithm>
#include <array>
#include <string_view>

#ifdef ORDALIA_HAVE_ZLIB
#include <zlib.h>
#endif

namespace ordalia::vprinter {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// zlib header: deflate, 32K window, no dictionary, check bits making it a
// multiple of 31.
constexpr std::uint8_t kZlibCmf = 0x78;
constexpr std::uint8_t kZlibFlg = 0x01;
constexpr std::size_t kStoredBlockMax = 65535;

constexpr std::array<std::uint32_t, 256> makeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr auto kCrcTable = makeCrcTable();

void putBig32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 24));
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void putChunk(std::vector<std::uint8_t>& out, std::string_view type,
              std::span<const std::uint8_t> data) {
    putBig32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    putBig32(out, crc32(std::span(out).subspan(typeAt)));
}

// The rows as PNG holds them: a filter byte (0) and the row's dots, eight to a
// byte, the leftmost in bit 7, 1 for white.
std::vector<std::uint8_t> scanlines(const DotImage& image) {
    const std::size_t rowBytes = (static_cast<std::size_t>(image.width) + 7) / 8;
    std::vector<std::uint8_t> raw;
    raw.reserve((rowBytes + 1) * image.height);
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);
        for (std::size_t b = 0; b < rowBytes; ++b) {
            std::uint8_t v = 0xFF;
            for (int k = 0; k < 8; ++k)
                if (image.dot(static_cast<int>(b * 8) + k, y))
                    v &= static_cast<std::uint8_t>(~(0x80 >> k));
            raw.push_back(v);
        }
    }
    return raw;
}

std::vector<std::uint8_t> storedZlib(std::span<const std::uint8_t> raw) {
    std::vector<std::uint8_t> out = {kZlibCmf, kZlibFlg};
    std::size_t at = 0;
    do {
        const std::size_t n = std::min(kStoredBlockMax, raw.size() - at);
        const bool last = at + n == raw.size();
        out.push_back(last ? 0x01 : 0x00); // BFINAL, BTYPE 00 (stored)
        out.push_back(static_cast<std::uint8_t>(n));
        out.push_back(static_cast<std::uint8_t>(n >> 8));
        out.push_back(static_cast<std::uint8_t>(~n));
        out.push_back(static_cast<std::uint8_t>(~n >> 8));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                   raw.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
    } while (at < raw.size());
    putBig32(out, adler32(raw));
    return out;
}

#ifdef ORDALIA_HAVE_ZLIB
std::vector<std::uint8_t> deflatedZlib(std::span<const std::uint8_t> raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> out(size);
    if (compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK)
        return storedZlib(raw);
    out.resize(size);
    return out;
}
#endif

} // namespace

std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc) {
    crc = ~crc;
    for (const std::uint8_t b : bytes)
        crc = kCrcTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t adler32(std::span<const std::uint8_t> bytes, std::uint32_t adler) {
    constexpr std::uint32_t kMod = 65521;
    std::uint32_t a = adler & 0xFFFF;
    std::uint32_t b = adler >> 16;
    // 5552 bytes is the longest run whose sums cannot overflow 32 bits.
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t n = std::min<std::size_t>(5552, bytes.size() - at);
        for (std::size_t i = 0; i < n; ++i) {
            a += bytes[at + i];
            b += a;
        }
        a %= kMod;
        b %= kMod;
        at += n;
    }
    return b << 16 | a;
}

bool pngDeflateAvailable() {
#ifdef ORDALIA_HAVE_ZLIB
    return true;
#else
    return false;
#endif
}

std::vector<std::uint8_t> encodePng(const DotImage& image, PngCompression compression) {
    std::vector<std::uint8_t> out(kSignature.begin(), kSignature.end());
    std::vector<std::uint8_t> header;
    putBig32(header, static_cast<std::uint32_t>(image.width));
    putBig32(header, static_cast<std::uint32_t>(image.height));
    header.insert(header.end(), {1 /*bit depth*/, 0 /*greyscale*/, 0 /*deflate*/,
                                 0 /*adaptive filters*/, 0 /*no interlace*/});
    putChunk(out, "IHDR", header);

    const auto raw = scanlines(image);
    std::vector<std::uint8_t> data;
#ifdef ORDALIA_HAVE_ZLIB
    data = compression == PngCompression::Deflate ? deflatedZlib(raw) : storedZlib(raw);
#else
    (void)compression;
    data = storedZlib(raw);
#endif
    putChunk(out, "IDAT", data);
    putChunk(out, "IEND", {});
    return out;
}

} // namespace ordalia::vprinter
