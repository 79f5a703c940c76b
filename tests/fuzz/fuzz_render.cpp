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

namespace {

// Drawing takes time in proportion to the paper, and a short stream of feeds,
// characters, bar codes or self-test pages prints metres of it; each
// character, symbol or picture costs its own time as well. A few pages, lines
// and pictures try every part of the renderer and the page limit: the stream
// stops being read once this much paper, text or pictures are printed, which
// keeps the target at hundreds of runs a second (building a renderer takes a
// good part of a run).
constexpr long kMaxFuzzPaperDots = 1024;
constexpr std::size_t kMaxFuzzCharacters = 128;
constexpr int kMaxFuzzPictures = 4;

bool picture(ordalia::vprinter::CommandId id) {
    using ordalia::vprinter::CommandId;
    switch (id) {
    case CommandId::EscStar:
    case CommandId::Gsv:
    case CommandId::Fsp:
    case CommandId::Gsk:
    case CommandId::GsParen:
    case CommandId::EscSelfTest:
        return true;
    default:
        return false;
    }
}

// A picture prints its declared height even without the dots to fill it: a
// raster picture (GS v 0) of no width needs no data bytes, nor does a stored
// logo of no width, and either may be thousands of rows tall. Printing one
// is a single command, so it is refused before it is read: an input holding
// a raster header taller than the paper budget is skipped, and reading stops
// once a logo that tall is stored.
bool tallRaster(std::span<const std::uint8_t> line) {
    for (std::size_t i = 0; i + 8 <= line.size(); ++i) {
        if (line[i] != 0x1D || line[i + 1] != 'v' || line[i + 2] != '0')
            continue;
        const long rows = line[i + 6] | line[i + 7] << 8;
        if (rows * ((line[i + 3] & 2) ? 2 : 1) > kMaxFuzzPaperDots)
            return true;
    }
    return false;
}

bool tallLogo(const ordalia::vprinter::PrinterModel& model) {
    for (const auto& logo : model.logos())
        if (2L * logo.heightDots() > kMaxFuzzPaperDots)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ordalia::vprinter;
    if (size == 0)
        return 0;
    // The first byte picks the paper width and the page limit.
    const std::uint8_t knobs = data[0];
    const std::span<const std::uint8_t> line(data + 1, size - 1);
    if (tallRaster(line))
        return 0;

    PrinterModel model(PrinterOptions{}); // no NV folder: nothing is written
    RenderOptions options;
    options.paperDots = (knobs & 1) ? kPaperDots58mm : kPaperDots80mm;
    options.maxPageDots = 64 + 32 * (knobs >> 1 & 0x0F);
    static const FontImage placeholder = FontImage::placeholder();
    options.defaultFont = placeholder;
    PaperRenderer renderer(model, options);
    long printed = 0;
    std::size_t countedPages = 0;
    int pictures = 0;
    std::size_t countedCommands = 0;
    for (const std::uint8_t byte : line) {
        model.receive(byte, TimePoint{});
        for (; countedPages < renderer.pages().size(); ++countedPages)
            printed += renderer.pages()[countedPages].height;
        bool stop = false;
        for (; countedCommands < model.commands().size(); ++countedCommands) {
            const CommandId id = model.commands()[countedCommands].id;
            pictures += picture(id) ? 1 : 0;
            // The self-test page is a few hundred characters at once.
            stop =
                stop || id == CommandId::EscSelfTest || (id == CommandId::Fsq && tallLogo(model));
        }
        if (stop || printed + renderer.paper().height > kMaxFuzzPaperDots ||
            model.printData().size() > kMaxFuzzCharacters || pictures > kMaxFuzzPictures)
            break;
    }
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
