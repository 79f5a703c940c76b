// The virtual printer's paper: whatever stream arrives, drawing it must
// neither crash nor read out of bounds, and no page may outgrow its limit by
// more than one block. Bar codes and GS ( k symbols go through zint, so any
// data and settings a stream gives reach the encoder only within the
// printer's limits.

#include "paper_renderer.h"
#include "printer_model.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ordalia::vprinter;
    if (size == 0)
        return 0;
    // The first byte picks the paper width and the page limit.
    const std::uint8_t knobs = data[0];
    const std::span<const std::uint8_t> line(data + 1, size - 1);

    PrinterModel model(PrinterOptions{}); // no NV folder: nothing is written
    RenderOptions options;
    options.paperDots = (knobs & 1) ? kPaperDots58mm : kPaperDots80mm;
    options.maxPageDots = 64 + 64 * (knobs >> 1 & 0x0F);
    options.defaultFont = FontImage::placeholder();
    PaperRenderer renderer(model, options);
    model.receive(line, TimePoint{});
    renderer.finish();
    for (const auto& page : renderer.pages()) {
        if (page.image.dots.size() != static_cast<std::size_t>(page.width) * page.height)
            std::abort();
        // A block is at most 256 rows of a picture, or a line of characters
        // 8 x 24 high with its feed.
        if (page.height > options.maxPageDots + 256 + 8 * 24 + 255)
            std::abort();
    }
    return 0;
}
