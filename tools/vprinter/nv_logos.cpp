#include "nv_logos.h"

#include <string>

namespace ordalia::vprinter {

bool NvLogo::dot(int column, int row) const {
    if (column < 0 || row < 0 || column >= widthDots() || row >= heightDots())
        return false;
    const std::size_t index = static_cast<std::size_t>(column) * static_cast<std::size_t>(y) +
                              static_cast<std::size_t>(row / 8);
    if (index >= columns.size())
        return false;
    return (columns[index] & (0x80 >> (row % 8))) != 0;
}

std::vector<std::vector<bool>> NvLogo::rows() const {
    std::vector<std::vector<bool>> out(static_cast<std::size_t>(heightDots()),
                                       std::vector<bool>(static_cast<std::size_t>(widthDots())));
    for (int r = 0; r < heightDots(); ++r)
        for (int c = 0; c < widthDots(); ++c)
            out[r][c] = dot(c, r);
    return out;
}

std::vector<std::string> NvLogo::picture() const {
    std::vector<std::string> out;
    for (const auto& row : rows()) {
        std::string line;
        for (const bool d : row)
            line += d ? '#' : '.';
        out.push_back(line);
    }
    return out;
}

std::vector<std::uint8_t> encodeLogos(const std::vector<NvLogo>& logos) {
    std::vector<std::uint8_t> out;
    out.push_back(static_cast<std::uint8_t>(logos.size()));
    for (const auto& logo : logos) {
        out.push_back(static_cast<std::uint8_t>(logo.x & 0xFF));
        out.push_back(static_cast<std::uint8_t>(logo.x >> 8));
        out.push_back(static_cast<std::uint8_t>(logo.y & 0xFF));
        out.push_back(static_cast<std::uint8_t>(logo.y >> 8));
        out.insert(out.end(), logo.columns.begin(), logo.columns.end());
    }
    return out;
}

std::optional<std::vector<NvLogo>> decodeLogos(std::span<const std::uint8_t> bytes) {
    if (bytes.empty())
        return std::nullopt;
    std::vector<NvLogo> logos;
    std::size_t pos = 1;
    for (int i = 0; i < bytes[0]; ++i) {
        if (bytes.size() - pos < 4)
            return std::nullopt;
        NvLogo logo;
        logo.x = bytes[pos] + bytes[pos + 1] * 256;
        logo.y = bytes[pos + 2] + bytes[pos + 3] * 256;
        pos += 4;
        const std::size_t k =
            std::size_t{8} * static_cast<std::size_t>(logo.x) * static_cast<std::size_t>(logo.y);
        if (bytes.size() - pos < k)
            return std::nullopt;
        logo.columns.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                            bytes.begin() + static_cast<std::ptrdiff_t>(pos + k));
        pos += k;
        logos.push_back(std::move(logo));
    }
    if (pos != bytes.size())
        return std::nullopt;
    return logos;
}

std::vector<std::uint8_t> logoPbm(const NvLogo& logo) {
    const std::string header =
        "P4\n" + std::to_string(logo.widthDots()) + " " + std::to_string(logo.heightDots()) + "\n";
    std::vector<std::uint8_t> out(header.begin(), header.end());
    // A row of 8x dots is exactly x bytes, so no row padding is needed.
    for (int r = 0; r < logo.heightDots(); ++r) {
        for (int byte = 0; byte < logo.x; ++byte) {
            std::uint8_t packed = 0;
            for (int bit = 0; bit < 8; ++bit)
                if (logo.dot(byte * 8 + bit, r))
                    packed |= static_cast<std::uint8_t>(0x80 >> bit);
            out.push_back(packed);
        }
    }
    return out;
}

} // namespace ordalia::vprinter
