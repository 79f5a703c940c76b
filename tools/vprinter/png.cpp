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

std::uint32_t big32(std::span<const std::uint8_t> s, std::size_t at) {
    return std::uint32_t{s[at]} << 24 | std::uint32_t{s[at + 1]} << 16 |
           std::uint32_t{s[at + 2]} << 8 | std::uint32_t{s[at + 3]};
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

// The inflated scanlines of a zlib stream of stored blocks; false when it is
// not one, or holds more than `limit` bytes.
bool inflateStored(std::span<const std::uint8_t> z, std::size_t limit,
                   std::vector<std::uint8_t>& out, std::string& problem) {
    std::size_t at = 2;
    for (;;) {
        if (at + 5 > z.size()) {
            problem = "the image data ends inside a block header";
            return false;
        }
        const std::uint8_t header = z[at];
        if ((header & 0x06) != 0) {
            problem = "the image data is compressed, and this build reads stored blocks only";
            return false;
        }
        const std::size_t len = z[at + 1] | std::size_t{z[at + 2]} << 8;
        const std::size_t nlen = z[at + 3] | std::size_t{z[at + 4]} << 8;
        if ((len ^ 0xFFFF) != nlen) {
            problem = "a stored block's length check does not match";
            return false;
        }
        at += 5;
        if (len > z.size() - at) {
            problem = "the image data ends inside a stored block";
            return false;
        }
        if (out.size() + len > limit) {
            problem = "the image data is longer than the picture";
            return false;
        }
        out.insert(out.end(), z.begin() + static_cast<std::ptrdiff_t>(at),
                   z.begin() + static_cast<std::ptrdiff_t>(at + len));
        at += len;
        if (header & 0x01)
            break;
    }
    if (at + 4 > z.size() || big32(z, at) != adler32(out)) {
        problem = "the image data's Adler-32 does not match";
        return false;
    }
    return true;
}

bool inflateAny(std::span<const std::uint8_t> z, std::size_t limit, std::vector<std::uint8_t>& out,
                std::string& problem) {
    if (z.size() < 2 || (z[0] & 0x0F) != 8 || ((z[0] << 8) | z[1]) % 31 != 0 || (z[1] & 0x20)) {
        problem = "the image data is not a zlib stream";
        return false;
    }
    // Our own pictures come as stored blocks unless zlib compressed them.
    if (z.size() > 2 && (z[2] & 0x06) == 0)
        return inflateStored(z, limit, out, problem);
#ifdef ORDALIA_HAVE_ZLIB
    // zlib checks the Adler-32 itself and never writes past the buffer.
    out.resize(limit);
    uLongf size = static_cast<uLongf>(limit);
    uLong used = static_cast<uLong>(z.size());
    const int result = uncompress2(out.data(), &size, z.data(), &used);
    if (result != Z_OK) {
        out.clear();
        problem = result == Z_BUF_ERROR ? "the image data is longer than the picture"
                                        : "the image data does not inflate";
        return false;
    }
    out.resize(size);
    return true;
#else
    problem = "the image data is compressed, and this build reads stored blocks only";
    return false;
#endif
}

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

PngRead decodePng(std::span<const std::uint8_t> bytes, std::size_t maxDots) {
    PngRead read;
    auto refuse = [&read](std::string problem) {
        read.problem = std::move(problem);
        return read;
    };
    if (bytes.size() < kSignature.size() ||
        !std::equal(kSignature.begin(), kSignature.end(), bytes.begin()))
        return refuse("not a PNG file");

    std::size_t at = kSignature.size();
    bool seenHeader = false;
    bool seenEnd = false;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> data;
    while (!seenEnd) {
        if (at + 12 > bytes.size())
            return refuse("the file ends inside a chunk");
        const std::uint32_t length = big32(bytes, at);
        if (length > bytes.size() - at - 12)
            return refuse("a chunk runs past the end of the file");
        const auto typeAndData = bytes.subspan(at + 4, 4 + std::size_t{length});
        if (crc32(typeAndData) != big32(bytes, at + 8 + length))
            return refuse("a chunk's CRC does not match");
        const std::string_view type(reinterpret_cast<const char*>(typeAndData.data()), 4);
        const auto body = typeAndData.subspan(4);
        if (!seenHeader && type != "IHDR")
            return refuse("the first chunk is not IHDR");
        if (type == "IHDR") {
            if (seenHeader || length != 13)
                return refuse("a bad IHDR chunk");
            width = big32(body, 0);
            height = big32(body, 4);
            if (body[8] != 1 || body[9] != 0 || body[10] != 0 || body[11] != 0 || body[12] != 0)
                return refuse("not a 1-bit greyscale picture without interlace");
            if (width == 0 || height == 0 || width > (1u << 24) || height > (1u << 24) ||
                std::uint64_t{width} * height > maxDots)
                return refuse("the picture is empty or too large");
            seenHeader = true;
        } else if (type == "IDAT") {
            data.insert(data.end(), body.begin(), body.end());
        } else if (type == "IEND") {
            seenEnd = true;
        } else if (!(type[0] & 0x20)) {
            return refuse("an unknown critical chunk");
        }
        at += 12 + std::size_t{length};
    }

    const std::size_t rowBytes = (std::size_t{width} + 7) / 8;
    const std::size_t expected = (rowBytes + 1) * height;
    std::vector<std::uint8_t> raw;
    if (!inflateAny(data, expected, raw, read.problem))
        return read;
    if (raw.size() != expected)
        return refuse("the image data does not fill the picture");

    DotImage image(static_cast<int>(width), static_cast<int>(height));
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = raw.data() + y * (rowBytes + 1);
        if (row[0] != 0)
            return refuse("a row uses a PNG filter other than none");
        for (std::uint32_t x = 0; x < width; ++x)
            if (!(row[1 + x / 8] & (0x80 >> (x % 8))))
                image.set(static_cast<int>(x), static_cast<int>(y));
    }
    read.ok = true;
    read.image = std::move(image);
    return read;
}

} // namespace ordalia::vprinter
