#pragma once

#include "dot_image.h"
#include "escpos_parser.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ordalia::vprinter {

// GS ( L and GS 8 L carry the same functions; they differ only in the size
// of their length field (2 bytes or 4). Both with m 48: the function and
// the bytes after it.
struct GraphicsCommand {
    int fn = 0;
    std::span<const std::uint8_t> params; // after fn
};
std::optional<GraphicsCommand> graphicsCommand(const EscPosCommand& command);

// The picture a graphics function carries, as a monochrome printer takes it:
// the dots of the first colour (c 49), which in the tone form is the most
// significant plane. Other colours are left out, and `note` says so.
struct GraphicsPicture {
    DotImage image;
    int sx = 1; // how many times each dot is printed across
    int sy = 1; // and down
    std::string note;
};

// The picture of function 112 (raster) or 113 (column) for the print
// buffer: a bx by c xL xH yL yH d1...dk. Nothing, with `problem` set, when
// the parameters are out of range or the data are not k bytes.
std::optional<GraphicsPicture> bufferedGraphics(const GraphicsCommand& command,
                                                std::string& problem);

// One NV graphics image, by its key code.
struct NvGraphic {
    std::uint8_t kc1 = 0;
    std::uint8_t kc2 = 0;
    DotImage image;
    // What the image takes of the NV graphics memory: its raster bytes.
    std::size_t bytes() const;
};

// The NV graphics memory: functions 48 and 51 (capacity, what is left), 64
// (the key codes), 65 and 66 (delete), 67 and 68 (define).
class NvGraphicsStore {
public:
    // As much as common receipt printers have.
    static constexpr std::size_t kCapacity = 384 * 1024;

    struct Outcome {
        std::vector<std::uint8_t> reply; // bytes to send back; empty: none
        std::string note;                // for the log; empty: nothing to say
        bool changed = false;            // the memory changed: store it
    };
    // A GS ( L or GS 8 L function the store handles; nothing for the others.
    std::optional<Outcome> command(const GraphicsCommand& command);

    const NvGraphic* find(std::uint8_t kc1, std::uint8_t kc2) const;
    const std::vector<NvGraphic>& graphics() const { return m_graphics; }
    void assign(std::vector<NvGraphic> graphics) { m_graphics = std::move(graphics); }
    std::size_t used() const;

private:
    Outcome define(const GraphicsCommand& command);
    std::vector<NvGraphic> m_graphics; // in the order they were defined
};

// The store as the printer keeps it in graphics.bin: for each image kc1 kc2
// xL xH yL yH and its rows of (x + 7) / 8 bytes, the leftmost dot in bit 7.
std::vector<std::uint8_t> encodeGraphics(const std::vector<NvGraphic>& graphics);
// Nothing when the bytes are not such a store (short, out of range, or bytes
// left over).
std::optional<std::vector<NvGraphic>> decodeGraphics(std::span<const std::uint8_t> bytes);

} // namespace ordalia::vprinter
