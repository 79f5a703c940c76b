// The virtual printer's receive side: whatever arrives on the line, in
// whatever pieces, the parser, the exchanges and the logo store must neither
// crash nor read out of bounds; nor must reading a logo or graphics store.

#include "nv_graphics.h"
#include "nv_logos.h"
#include "printer_model.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

namespace {

// A logo's picture takes time in proportion to its rows and dots, and a logo
// of no width needs no data bytes for thousands of rows. Drawing such a logo
// shows nothing that a small one does not: only logos up to these sizes are
// drawn, which keeps the target at thousands of runs a second.
constexpr int kMaxFuzzLogoRows = 1024;
constexpr long kMaxFuzzLogoDots = 1L << 16;

bool small(const ordalia::vprinter::NvLogo& logo) {
    return logo.heightDots() <= kMaxFuzzLogoRows &&
           static_cast<long>(logo.widthDots()) * logo.heightDots() <= kMaxFuzzLogoDots;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ordalia::vprinter;
    using namespace std::chrono_literals;
    if (size == 0)
        return 0;
    // The first byte picks the faults and the piece size, the rest is the line.
    const std::uint8_t knobs = data[0];
    const std::span<const std::uint8_t> line(data + 1, size - 1);

    PrinterOptions options; // no NV folder: nothing is written
    options.programmingTime = Millis(knobs & 0x03);
    options.transferTimeout = Millis(5);
    options.faults.silent = (knobs & 0x04) != 0;
    if (knobs & 0x08)
        options.faults.wrongReply = WrongReply{knobs >> 4, 0x00};
    if (knobs & 0x10)
        options.faults.stopAnsweringAtBlock = knobs >> 5;
    options.expectRawFirmware = (knobs & 0xE0) == 0xE0;
    PrinterModel model(options);

    TimePoint now{};
    const std::size_t piece = 1 + (knobs >> 3);
    for (std::size_t at = 0; at < line.size(); at += piece) {
        model.receive(line.subspan(at, std::min(piece, line.size() - at)), now);
        now += Millis(1 + (line[at] & 0x07));
        model.advance(now);
        (void)model.takeDueReplies(now);
    }
    for (const auto& logo : model.logos())
        if (small(logo))
            (void)logo.picture();

    if (auto logos = decodeLogos(line)) {
        for (const auto& logo : *logos) {
            if (!small(logo))
                continue;
            (void)logo.rows();
            (void)logoPbm(logo);
        }
    }
    if (auto graphics = decodeGraphics(line))
        (void)encodeGraphics(*graphics);
    return 0;
}
