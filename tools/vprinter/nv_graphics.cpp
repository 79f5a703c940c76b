#include "nv_graphics.h"

#include <algorithm>

namespace ordalia::vprinter {
namespace {

constexpr int kFirstColour = 49;
// What a definition may hold: 8192 x 2304 dots; the print buffer 2047 x 1662.
constexpr int kMaxNvWidth = 8192;
constexpr int kMaxNvHeight = 2304;
constexpr int kMaxBufferWidth = 2047;
constexpr int kMaxBufferHeight = 1662;
// Key codes listed in one block of function 64's answer.
constexpr std::size_t kKeysPerBlock = 40;

int word(std::span<const std::uint8_t> p, std::size_t at) {
    return p[at] | p[at + 1] << 8;
}

bool isKeyCode(std::uint8_t c) {
    return c >= 32 && c <= 126;
}

std::string keyName(std::uint8_t kc1, std::uint8_t kc2) {
    return std::string("\"") + static_cast<char>(kc1) + static_cast<char>(kc2) + "\"";
}

// Bytes of one colour's data: raster rows of (x + 7) / 8 bytes, or columns
// of (y + 7) / 8.
std::size_t dataBytes(bool columns, int x, int y) {
    return columns ? static_cast<std::size_t>(x) * ((y + 7) / 8)
                   : static_cast<std::size_t>((x + 7) / 8) * y;
}

DotImage picture(bool columns, int x, int y, std::span<const std::uint8_t> data) {
    DotImage image(x, y);
    const std::size_t rowBytes = (x + 7) / 8;
    const std::size_t columnBytes = (y + 7) / 8;
    for (int r = 0; r < y; ++r)
        for (int c = 0; c < x; ++c) {
            const bool on = columns ? (data[c * columnBytes + r / 8] & (0x80 >> (r % 8))) != 0
                                    : (data[r * rowBytes + c / 8] & (0x80 >> (c % 8))) != 0;
            if (on)
                image.set(c, r);
        }
    return image;
}

// The answer of functions 48 and 51: header, identifier, the number in
// decimal digits, NUL.
std::vector<std::uint8_t> capacityAnswer(std::uint8_t identifier, std::size_t value) {
    std::vector<std::uint8_t> out = {0x37, identifier};
    for (const char c : std::to_string(value))
        out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(0x00);
    return out;
}

} // namespace

std::optional<GraphicsCommand> graphicsCommand(const EscPosCommand& command) {
    // GS ( L pL pH m fn ... and GS 8 L p1 p2 p3 p4 m fn ...
    std::size_t first = 0;
    if (command.id() == CommandId::GsParen)
        first = 5;
    else if (command.id() == CommandId::GsEight)
        first = 7;
    if (first == 0 || command.malformed || command.at(2) != 'L' || command.raw.size() < first + 2 ||
        command.raw[first] != 48)
        return std::nullopt;
    return GraphicsCommand{command.raw[first + 1], command.raw.subspan(first + 2)};
}

std::optional<GraphicsPicture> bufferedGraphics(const GraphicsCommand& command,
                                                std::string& problem) {
    const auto& p = command.params;
    const bool columns = command.fn == 113;
    const std::string name = "graphics function " + std::to_string(command.fn);
    if (p.size() < 8) {
        problem = name + " is too short";
        return std::nullopt;
    }
    const int tone = p[0], bx = p[1], by = p[2], colour = p[3];
    const int x = word(p, 4), y = word(p, 6);
    if ((tone != 48 && tone != 52) || bx < 1 || bx > 2 || by < 1 || by > 2 || colour < 49 ||
        colour > 52 || x < 1 || x > kMaxBufferWidth || y < 1 || y > kMaxBufferHeight) {
        problem = name + " with parameters out of range, ignored";
        return std::nullopt;
    }
    const std::size_t k = dataBytes(columns, x, y);
    if (p.size() != 8 + k) {
        problem = name + ": " + std::to_string(p.size() - 8) + " data bytes for " +
                  std::to_string(x) + " x " + std::to_string(y) + " dots, " + std::to_string(k) +
                  " expected; ignored";
        return std::nullopt;
    }
    GraphicsPicture out;
    out.sx = bx;
    out.sy = by;
    if (colour == kFirstColour)
        out.image = picture(columns, x, y, p.subspan(8));
    else
        out.note =
            name + ": colour " + std::to_string(colour - 48) + " is not printed in one colour";
    return out;
}

std::size_t NvGraphic::bytes() const {
    return dataBytes(false, image.width, image.height);
}

std::size_t NvGraphicsStore::used() const {
    std::size_t total = 0;
    for (const auto& g : m_graphics)
        total += g.bytes();
    return total;
}

const NvGraphic* NvGraphicsStore::find(std::uint8_t kc1, std::uint8_t kc2) const {
    const auto it = std::ranges::find_if(
        m_graphics, [&](const NvGraphic& g) { return g.kc1 == kc1 && g.kc2 == kc2; });
    return it == m_graphics.end() ? nullptr : &*it;
}

std::optional<NvGraphicsStore::Outcome> NvGraphicsStore::command(const GraphicsCommand& command) {
    const auto& p = command.params;
    Outcome out;
    switch (command.fn) {
    case 0:
    case 48:
        out.reply = capacityAnswer(0x30, kCapacity);
        return out;
    case 3:
    case 51:
        out.reply = capacityAnswer(0x31, kCapacity - std::min(kCapacity, used()));
        return out;
    case 64: {
        if (p.size() != 2 || p[0] != 'K' || p[1] != 'C')
            return out;
        // Blocks of at most 40 key codes, 0x41 on all but the last; they
        // follow one another without waiting for the host's ACK.
        std::size_t i = 0;
        do {
            const std::size_t end = std::min(m_graphics.size(), i + kKeysPerBlock);
            const std::uint8_t status = end < m_graphics.size() ? 0x41 : 0x40;
            out.reply.insert(out.reply.end(), {0x37, 0x72, status});
            for (; i < end; ++i)
                out.reply.insert(out.reply.end(), {m_graphics[i].kc1, m_graphics[i].kc2});
            out.reply.push_back(0x00);
        } while (i < m_graphics.size());
        return out;
    }
    case 65:
        if (p.size() != 3 || p[0] != 'C' || p[1] != 'L' || p[2] != 'R')
            return out;
        out.note = "NV graphics: all " + std::to_string(m_graphics.size()) + " deleted";
        out.changed = !m_graphics.empty();
        m_graphics.clear();
        return out;
    case 66: {
        if (p.size() != 2)
            return out;
        const auto removed = std::erase_if(
            m_graphics, [&](const NvGraphic& g) { return g.kc1 == p[0] && g.kc2 == p[1]; });
        out.note = "NV graphics " + keyName(p[0], p[1]) + (removed ? " deleted" : " not defined");
        out.changed = removed > 0;
        return out;
    }
    case 67:
    case 68:
        return define(command);
    case 69: {
        // Printed by the paper; said here, as FS p is.
        if (p.size() != 4)
            return out;
        const NvGraphic* g = find(p[0], p[1]);
        out.note = "NV graphics " + keyName(p[0], p[1]) +
                   (g ? " printed (" + std::to_string(g->image.width) + " x " +
                            std::to_string(g->image.height) + " dots)"
                      : " is not defined: nothing printed");
        return out;
    }
    default:
        return std::nullopt;
    }
}

// a kc1 kc2 b xL xH yL yH [c d1...dk]1 ... [c d1...dk]b
NvGraphicsStore::Outcome NvGraphicsStore::define(const GraphicsCommand& command) {
    const auto& p = command.params;
    const bool columns = command.fn == 68;
    Outcome out;
    if (p.size() < 8 || p[0] != 48 || !isKeyCode(p[1]) || !isKeyCode(p[2]) || p[3] < 1 ||
        p[3] > 2) {
        out.note = "NV graphics definition with parameters out of range, ignored";
        return out;
    }
    const std::string name = "NV graphics " + keyName(p[1], p[2]);
    const int x = word(p, 4), y = word(p, 6);
    const std::size_t k =
        x >= 1 && x <= kMaxNvWidth && y >= 1 && y <= kMaxNvHeight ? dataBytes(columns, x, y) : 0;
    if (k == 0 || p.size() != 8 + p[3] * (1 + k)) {
        out.note = name + ": " + std::to_string(x) + " x " + std::to_string(y) +
                   " dots do not match the data sent, ignored";
        return out;
    }
    // A definition under a key already used replaces it.
    const NvGraphic* old = find(p[1], p[2]);
    const std::size_t left = kCapacity - used() + (old ? old->bytes() : 0);
    if (const std::size_t needed = dataBytes(false, x, y); needed > left) {
        out.note = name + ": " + std::to_string(needed) + " bytes do not fit in the " +
                   std::to_string(left) + " left, ignored";
        return out;
    }
    NvGraphic graphic{p[1], p[2], DotImage(x, y)};
    for (std::size_t at = 8; at < p.size(); at += 1 + k)
        if (p[at] == kFirstColour)
            graphic.image = picture(columns, x, y, p.subspan(at + 1, k));
    std::erase_if(m_graphics, [&](const NvGraphic& g) { return g.kc1 == p[1] && g.kc2 == p[2]; });
    m_graphics.push_back(std::move(graphic));
    out.note = name + " defined (" + std::to_string(x) + " x " + std::to_string(y) + " dots)";
    out.changed = true;
    return out;
}

std::vector<std::uint8_t> encodeGraphics(const std::vector<NvGraphic>& graphics) {
    std::vector<std::uint8_t> out;
    for (const auto& g : graphics) {
        const int x = g.image.width, y = g.image.height;
        out.insert(out.end(),
                   {g.kc1, g.kc2, static_cast<std::uint8_t>(x & 0xFF),
                    static_cast<std::uint8_t>(x >> 8), static_cast<std::uint8_t>(y & 0xFF),
                    static_cast<std::uint8_t>(y >> 8)});
        const std::size_t rowBytes = (x + 7) / 8;
        const std::size_t start = out.size();
        out.resize(start + g.bytes(), 0);
        for (int r = 0; r < y; ++r)
            for (int c = 0; c < x; ++c)
                if (g.image.dot(c, r))
                    out[start + r * rowBytes + c / 8] |= static_cast<std::uint8_t>(0x80 >> (c % 8));
    }
    return out;
}

std::optional<std::vector<NvGraphic>> decodeGraphics(std::span<const std::uint8_t> bytes) {
    std::vector<NvGraphic> out;
    std::size_t total = 0;
    for (std::size_t at = 0; at < bytes.size();) {
        if (bytes.size() - at < 6)
            return std::nullopt;
        const int x = word(bytes, at + 2), y = word(bytes, at + 4);
        if (!isKeyCode(bytes[at]) || !isKeyCode(bytes[at + 1]) || x < 1 || x > kMaxNvWidth ||
            y < 1 || y > kMaxNvHeight)
            return std::nullopt;
        const std::size_t k = dataBytes(false, x, y);
        total += k;
        if (bytes.size() - at - 6 < k || total > NvGraphicsStore::kCapacity)
            return std::nullopt;
        out.push_back({bytes[at], bytes[at + 1], picture(false, x, y, bytes.subspan(at + 6, k))});
        at += 6 + k;
    }
    return out;
}

} // namespace ordalia::vprinter
