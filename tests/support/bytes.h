#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
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

// Bytes written as hexadecimal pairs, blanks between them ignored:
// "1c c6 4b" -> {0x1C, 0xC6, 0x4B}.
inline std::vector<std::uint8_t> hexBytes(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    std::string pair;
    for (const char c : text) {
        if (c == ' ')
            continue;
        pair += c;
        if (pair.size() == 2) {
            bytes.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
            pair.clear();
        }
    }
    return bytes;
}

} // namespace ordalia::testing
