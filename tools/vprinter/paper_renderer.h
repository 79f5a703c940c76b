#pragma once

#include "dot_image.h"
#include "font_image.h"
#include "png.h"
#include "printer_model.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ordalia::vprinter {

inline constexpr int kPaperDots80mm = 576;
inline constexpr int kPaperDots58mm = 384;

struct RenderOptions {
    // Each finished page is written here as page-0001.png, page-0002.png ...;
    // empty: nothing is written.
    std::filesystem::path outputFolder{};
    // Paper width until the printer's settings say otherwise (printer mode
    // "2 inch" gives 384 dots, the others 576).
    int paperDots = kPaperDots80mm;
    PngCompression compression = PngCompression::Deflate;
    // Keep every finished page's picture in pages(); a long session that
    // only writes files leaves it off.
    bool keepPages = true;
    // The characters before any font download. Without one every character
    // prints as a box.
    std::optional<FontImage> defaultFont{};
    // The shipped code page fonts ("Codepage Table"): the characters of an
    // ESC t table the font image does not hold, and of ESC R's national
    // characters. Empty: none.
    std::filesystem::path codePageFolder{};
    // Paper longer than this without a cut is written as a page of its own
    // and continued on the next, so an endless stream cannot fill the memory.
    int maxPageDots = 16384;
    // A UPC-A, UPC-E, EAN-13 or EAN-8 check digit sent wrong is drawn as sent (and
    // noted in the log), as most printers print it; set: the printer's own,
    // as printers that compute it print it.
    bool computeCheckDigits = false;
};

struct RenderedPage {
    int number = 0; // from 1
    int width = 0;
    int height = 0;
    DotImage image;             // when keepPages
    std::optional<Cut> cut;     // the cut that ended it; none for a page ended otherwise
    std::filesystem::path file; // empty when not written
};

// The paper the virtual printer prints, dot for dot. It follows what the
// model recognises through the model's hooks: text in Font A (12 x 24) or
// Font B (9 x 17) from the code page image the printer holds, ESC t (with
// the shipped code pages for tables the image lacks), ESC R, the ESC ! and
// GS ! sizes, emphasis, underline, reverse, upside down, 90 degrees,
// alignment, margins, tabs, line spacing and feeds, double-byte text in
// Kanji mode from a downloaded compound font, GS v 0 raster, ESC * and GS *
// bit images, GS ( L graphics, NV logos printed with FS p, GS k bar codes
// bar for bar with their readable text, GS ( k QR Code and PDF417 module for
// module, the printer's own test page, and a cut mark for GS V.
// Every cut ends a page.
//
// The renderer attaches itself to `model` and must stay alive while the
// model is fed (for a VirtualPrinter: until it is stopped); after it is gone
// its hooks do nothing. It runs on the thread that feeds the model.
class PaperRenderer {
public:
    PaperRenderer(PrinterModel& model, RenderOptions options);
    ~PaperRenderer();
    PaperRenderer(const PaperRenderer&) = delete;
    PaperRenderer& operator=(const PaperRenderer&) = delete;

    const std::vector<RenderedPage>& pages() const;
    int pageCount() const;
    // The page being printed: everything since the last cut, feeds
    // included, without the line not yet printed.
    const DotImage& paper() const;
    // Prints the line waiting in the buffer and ends the page without a cut
    // when anything is on it, as tearing the paper off would.
    void finish();
    // Problems writing pages, one line each (they are in the model's log too).
    const std::vector<std::string>& problems() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace ordalia::vprinter
