#include "compound/compound_font.h"

#include "common/path_text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace ordalia {

namespace {

// Checked once at compile time so that an edited table cannot lose or double
// a byte of the font.
constexpr bool isPermutation(const std::array<std::uint8_t, kCompoundGroupSize>& order) {
    std::array<bool, kCompoundGroupSize> seen{};
    for (const std::uint8_t position : order) {
        if (position >= kCompoundGroupSize || seen[position])
            return false;
        seen[position] = true;
    }
    return true;
}
static_assert(isPermutation(CompoundShuffleOrder));

constexpr bool lastBlocksFit() {
    for (const CompoundFont& font : kCompoundFontTable)
        if (std::size_t{compoundBlockCount(font.dataLength)} * kCompoundBlockSize >
            kCompoundImageSize)
            return false;
    return true;
}
static_assert(lastBlocksFit());

} // namespace

CompoundFont lookupCompoundFont(std::string_view fileTitle) {
    for (const CompoundFont& font : kCompoundFontTable)
        if (font.fileName == fileTitle)
            return font;
    return kUnknownCompoundFont;
}

namespace {

// 2433 -> "2,433", as a technician reads counts.
std::string groupedNumber(std::uint32_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t i = digits.size(); i > 3; i -= 3)
        digits.insert(i - 3, ",");
    return digits;
}

} // namespace

std::string describeCompoundFile(std::string_view fileTitle) {
    const CompoundFont font = lookupCompoundFont(fileTitle);
    if (font.languageCode != 0)
        return std::string(font.language) + ", " +
               groupedNumber(compoundBlockCount(font.dataLength)) + " blocks";
    // What the download really does with such a name: language code 0 and
    // S = 0, so one block with the file's first byte and 255 zeros.
    return "not a known compound font name: it will be sent as language 0, one block holding "
           "only the file's first byte";
}

CompoundBlock ShuffleCompoundBlock(std::span<const std::uint8_t, kCompoundBlockSize> block) {
    CompoundBlock out{};
    for (std::size_t group = 0; group < kCompoundBlockSize; group += kCompoundGroupSize)
        for (std::size_t j = 0; j < kCompoundGroupSize; ++j)
            out[group + j] = block[group + CompoundShuffleOrder[j]];
    return out;
}

CompoundBlock compoundStreamBlock(const CompoundImage& image, std::uint32_t k) {
    const std::size_t start = std::size_t{k} * kCompoundBlockSize;
    if (start + kCompoundBlockSize > image.size())
        throw std::out_of_range("compound block beyond the compound image");
    return ShuffleCompoundBlock(std::span<const std::uint8_t, kCompoundBlockSize>(
        image.data() + start, kCompoundBlockSize));
}

CompoundLoad loadCompoundImage(const std::filesystem::path& filePath, std::string_view fileTitle,
                               CompoundImage& image) {
    CompoundLoad load;
    load.font = lookupCompoundFont(fileTitle);
    image.assign(kCompoundImageSize, 0);

    std::error_code ec;
    const auto status = std::filesystem::status(filePath, ec);
    if (!std::filesystem::exists(status)) {
        load.error = "The compound font file " + pathForMessage(filePath) +
                     " no longer exists. Please choose it again with \"Open Compound File\".";
        return load;
    }
    if (std::filesystem::is_directory(status)) {
        load.error = "The compound font file " + pathForMessage(filePath) + " is a folder.";
        return load;
    }
    std::ifstream in(filePath, std::ios::binary);
    if (!in) {
        load.error = "The compound font file " + pathForMessage(filePath) +
                     " cannot be read: " + std::strerror(errno) + ".";
        return load;
    }
    const std::size_t wanted = std::size_t{load.font.dataLength} + 1;
    in.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(wanted));
    if (in.bad()) {
        std::fill(image.begin(), image.end(), 0);
        load.error = "The compound font file " + pathForMessage(filePath) + " cannot be read.";
        return load;
    }
    load.loaded = true;
    return load;
}

} // namespace ordalia
