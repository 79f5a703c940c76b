#include "font_image.h"

#include "codepages/code_page_font.h"
#include "codepages/code_page_image.h"
#include "codepages/code_page_table.h"

#include <algorithm>

namespace ordalia::vprinter {
namespace {

constexpr std::size_t kFontAOffset = 0x0000;
constexpr std::size_t kUpperFontAOffset = 0x3000;
constexpr std::size_t kUpperFontASize = 0x1800;
constexpr std::size_t kFontBOffset = 0xB000;
constexpr std::size_t kUpperFontBOffset = 0xC100;
constexpr std::size_t kUpperFontBSize = 0x880;
constexpr std::size_t kNameRows = 0xF000;
constexpr std::size_t kTableNumbers = 0xF0C0;
constexpr std::size_t kHeadings[2] = {0xFC00, 0xFC20};
constexpr std::size_t kHeadingLengths[2] = {31, 35};

} // namespace

std::optional<FontImage> FontImage::fromBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kSize)
        return std::nullopt;
    return FontImage(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

const FontImage& FontImage::placeholder() {
    // Built once: every page the renderer starts falls back on it.
    static const FontImage kPlaceholder = [] {
        std::vector<std::uint8_t> bytes(kSize, 0);
        auto fontA = [&](std::size_t at) {
            for (int r = 2; r < 22; ++r) {
                const std::uint16_t row = (r == 2 || r == 21) ? 0x7FC0 : 0x4040; // columns 1 to 9
                bytes[at + 2 * r] = static_cast<std::uint8_t>(row & 0xFF);
                bytes[at + 2 * r + 1] = static_cast<std::uint8_t>(row >> 8);
            }
        };
        auto fontB = [&](std::size_t at) {
            for (int r = 1; r < 15; ++r)
                bytes[at + r] = (r == 1 || r == 14) ? 0x7E : 0x42;
        };
        for (int c = 0x21; c < 256; ++c) {
            fontA(kFontAOffset + 48 * c);
            fontB(kFontBOffset + 17 * c);
        }
        for (int slot = 1; slot < kSlots; ++slot) {
            for (int c = 0; c < 128; ++c) {
                fontA(kUpperFontAOffset + (slot - 1) * kUpperFontASize + 48 * c);
                fontB(kUpperFontBOffset + (slot - 1) * kUpperFontBSize + 17 * c);
            }
            bytes[kTableNumbers + slot] = static_cast<std::uint8_t>(slot);
        }
        return FontImage(std::move(bytes));
    }();
    return kPlaceholder;
}

bool FontImage::holdsTable(std::uint8_t table) const {
    for (int slot = 0; slot < kSlots; ++slot)
        if (m_bytes[kTableNumbers + slot] == table)
            return true;
    return false;
}

int FontImage::slotForTable(std::uint8_t table) const {
    for (int slot = 0; slot < kSlots; ++slot)
        if (m_bytes[kTableNumbers + slot] == table)
            return slot;
    return 0;
}

std::uint16_t FontImage::fontARow(int slot, std::uint8_t c, int row) const {
    if (row < 0 || row >= kFontAHeight)
        return 0;
    std::size_t at;
    if (c < 0x80 || slot <= 0 || slot >= kSlots)
        at = kFontAOffset + 48 * std::size_t{c};
    else
        at = kUpperFontAOffset + (slot - 1) * kUpperFontASize + 48 * std::size_t(c - 0x80);
    at += 2 * static_cast<std::size_t>(row);
    return static_cast<std::uint16_t>(m_bytes[at] | m_bytes[at + 1] << 8);
}

std::uint8_t FontImage::fontBRow(int slot, std::uint8_t c, int row) const {
    if (row < 0 || row >= kFontBHeight)
        return 0;
    std::size_t at;
    if (c < 0x80 || slot <= 0 || slot >= kSlots)
        at = kFontBOffset + 17 * std::size_t{c};
    else
        at = kUpperFontBOffset + (slot - 1) * kUpperFontBSize + 17 * std::size_t(c - 0x80);
    return m_bytes[at + static_cast<std::size_t>(row)];
}

std::uint8_t FontImage::tableNumber(int slot) const {
    return slot >= 0 && slot < kSlots ? m_bytes[kTableNumbers + slot] : 0;
}

std::string FontImage::text(std::size_t offset, std::size_t length) const {
    std::string out(m_bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                    m_bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
    while (!out.empty() && (out.back() == ' ' || out.back() == '\0'))
        out.pop_back();
    return out;
}

std::string FontImage::nameRow(int slot) const {
    if (slot < 0 || slot >= kSlots)
        return {};
    return text(kNameRows + 32 * static_cast<std::size_t>(slot), 30);
}

std::string FontImage::heading(int line) const {
    if (line < 0 || line > 1)
        return {};
    return text(kHeadings[line], kHeadingLengths[line]);
}

DefaultFontLoad loadDefaultFontImage(const std::filesystem::path& programFolder) {
    DefaultFontLoad load;
    const CodePageTabLoad tab = loadCodePageTab(programFolder);
    if (tab.outcome != Outcome::Done) {
        load.problem = tab.message;
        return load;
    }
    if (const auto fault = codePageTableFault(tab.slots.Pos_CP)) {
        load.problem = *fault;
        return load;
    }
    // Laid out as the font download lays it out; the build of the download
    // itself would also write "test" beside the program, which a printer has
    // no business doing.
    std::vector<std::uint8_t> bytes(FontImage::kSize, 0);
    auto put = [&bytes](std::size_t at, const std::string& text) {
        std::copy(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    };
    put(kMakerTextOffset, std::string(kMakerText));
    const std::string model = modelNameField(tab.slots.model_name);
    put(kHeadings[0], "   " + model + " SELF-TEST   ");
    put(kHeadings[1], "         " + model + " SELF-TEST ");
    for (std::size_t i = 0; i < kCodePageSlotCount; ++i) {
        put(kNameRows + 32 * i, ordalia::nameRow(i, tab.slots.Text_CP[i]));
        const auto path = codePageFontPath(programFolder, tab.slots.Text_CP[i]);
        const CodePageFontRead read = readCodePageFont(path);
        if (!read.ok) {
            load.problem = read.problem;
            return load;
        }
        const std::size_t first = i == 0 ? 0 : 0x80;
        const std::size_t a = i == 0 ? kFontAOffset : kUpperFontAOffset + (i - 1) * kUpperFontASize;
        const std::size_t b = i == 0 ? kFontBOffset : kUpperFontBOffset + (i - 1) * kUpperFontBSize;
        for (std::size_t k = first * kFontARows, at = a; k < kFontALines; ++k, at += 2) {
            bytes[at] = static_cast<std::uint8_t>(read.font.fontA[k] & 0xFF);
            bytes[at + 1] = static_cast<std::uint8_t>(read.font.fontA[k] >> 8);
        }
        std::copy(read.font.fontB.begin() + static_cast<std::ptrdiff_t>(first * kFontBRows),
                  read.font.fontB.end(), bytes.begin() + static_cast<std::ptrdiff_t>(b));
        bytes[kTableNumbers + i] =
            static_cast<std::uint8_t>(std::clamp(tableNumber(tab.slots.Pos_CP[i]), 0LL, 255LL));
    }
    load.image = FontImage::fromBytes(bytes);
    return load;
}

} // namespace ordalia::vprinter
