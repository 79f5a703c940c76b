#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ordalia::testing {

// Bytes that look like an image or a font file and repeat for each seed.
inline std::vector<std::uint8_t> pseudoRandomBytes(std::size_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t x = seed;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return bytes;
}

} // namespace ordalia::testing
