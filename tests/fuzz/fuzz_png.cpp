// The PNG reader of the virtual printer's pages: whatever the file holds, it
// must neither crash nor read out of bounds, and a picture it accepts is as
// large as its header says.

#include "png.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

std::uint32_t big32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 |
           std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

// Gives every whole chunk its right CRC, so that mutations reach the parts
// behind the CRC check.
void fixCrcs(std::vector<std::uint8_t>& png) {
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const std::uint32_t length = big32(png, at);
        if (length > png.size() - at - 12)
            return;
        const std::uint32_t crc =
            ordalia::vprinter::crc32(std::span(png).subspan(at + 4, 4 + std::size_t{length}));
        for (int k = 0; k < 4; ++k)
            png[at + 8 + length + k] = static_cast<std::uint8_t>(crc >> (24 - 8 * k));
        at += 12 + std::size_t{length};
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ordalia::vprinter;
    if (size == 0)
        return 0;
    // The first byte says whether to mend the CRCs.
    std::vector<std::uint8_t> png(data + 1, data + size);
    if (data[0] & 1)
        fixCrcs(png);
    const PngRead read = decodePng(png, 1u << 22);
    if (read.ok) {
        if (read.image.dots.size() !=
            static_cast<std::size_t>(read.image.width) * read.image.height)
            std::abort();
        // What was read writes back and reads again the same.
        const PngRead again = decodePng(encodePng(read.image, PngCompression::Stored), 1u << 22);
        if (!again.ok || again.image.dots != read.image.dots)
            std::abort();
    }
    return 0;
}
