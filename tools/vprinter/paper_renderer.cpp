#include "paper_renderer.h"

#include "barcode_drawing.h"
#include "common/files.h"
#include "nv_graphics.h"
#include "text_tables.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace ordalia::vprinter {
namespace {

// The printer's defaults after ESC @.
constexpr int kDefaultLineSpacing = 30; // 1/6 inch at 180 motion units per inch
constexpr int kDefaultTabDots = 8 * 12; // every 8 Font A characters
constexpr int kDefaultBarHeight = 162;
constexpr int kDefaultModuleWidth = 3;
constexpr int kMaxTabStops = 32;

// The cut mark: a dashed line across the paper below the last print, with
// what kind of cut it was in the middle.
constexpr int kCutMarginDots = 8;
constexpr int kCutDash = 12;
constexpr int kCutGap = 4;
constexpr int kCutThickness = 2;

int clampInt(long long v, int lo, int hi) {
    return static_cast<int>(std::clamp<long long>(v, lo, hi));
}

int word(const EscPosCommand& c, std::size_t at) {
    return c.at(at) | c.at(at + 1) << 8;
}

// The picture turned a quarter turn clockwise.
DotImage turnedClockwise(const DotImage& image) {
    DotImage out(image.height, image.width);
    for (int r = 0; r < image.height; ++r)
        for (int c = 0; c < image.width; ++c)
            out.set(image.height - 1 - r, c, image.dot(c, r));
    return out;
}

// The picture turned upside down.
DotImage turnedOver(const DotImage& image) {
    DotImage out = image;
    std::ranges::reverse(out.dots);
    return out;
}

// Copies `image` onto `target` at x, y; dots are ORed, as on paper.
void blit(DotImage& target, const DotImage& image, int x, int y) {
    for (int r = 0; r < image.height; ++r)
        for (int c = 0; c < image.width; ++c)
            if (image.dots[static_cast<std::size_t>(r) * image.width + c])
                target.set(x + c, y + r);
}

} // namespace

struct PaperRenderer::State {
    State(PrinterModel& m, RenderOptions o)
        : model(m), options(std::move(o)), shipped(options.codePageFolder) {}

    PrinterModel& model;
    RenderOptions options;
    std::vector<RenderedPage> pages;
    std::vector<std::string> problems;
    int pageCount = 0;

    // --- the font ---
    std::optional<FontImage> nvFont;         // font.bin in the NV folder at start
    std::optional<FontImage> downloadedFont; // the last font download
    std::optional<std::uint8_t> nvPrinterMode;
    std::size_t seenExchanges = 0;
    const FontImage& placeholder = FontImage::placeholder();
    ShippedFonts shipped;
    // The compound font for Kanji mode: its language (0: none) and glyphs.
    std::uint8_t compoundLanguage = 0;
    std::vector<std::uint8_t> compound;
    bool noCompoundNoted = false;

    // --- the paper ---
    DotImage paper; // width 0 until the page starts
    int y = 0;      // the row the next line prints at

    // --- the line being collected ---
    struct Item {
        int x = 0;
        DotImage image;
    };
    std::vector<Item> line;
    int lineX = 0; // from the start of the print area

    // --- modes (ESC @ restores them) ---
    bool fontB = false;
    bool emphasised = false;
    bool doubleStrike = false;
    int underline = 0; // 0, 1 or 2 dots
    bool reverse = false;
    int widthScale = 1;
    int heightScale = 1;
    int rightSpacing = 0;
    std::uint8_t table = 0;
    std::uint8_t international = 0; // ESC R
    bool upsideDown = false;
    bool turned = false; // ESC V: characters a quarter turn clockwise
    int alignment = 0;   // 0 left, 1 centre, 2 right
    int lineSpacing = kDefaultLineSpacing;
    int leftMargin = 0;
    std::optional<int> areaWidth; // GS W; none: up to the paper's edge
    std::vector<int> tabStops;    // dots from the start of the print area; empty: the default
    bool customTabs = false;
    int barHeight = kDefaultBarHeight;
    int moduleWidth = kDefaultModuleWidth;
    int hriPosition = 0; // 0 none, 1 above, 2 below, 3 both
    bool hriFontB = false;
    // Kanji mode (FS & / FS .) and its own character modes.
    bool kanji = false;
    std::optional<std::uint8_t> kanjiLead; // the first byte of a pair
    bool shiftJis = false;                 // FS C
    bool kanjiWide = false;
    bool kanjiTall = false;
    int kanjiUnderline = 0;
    int kanjiLeftSpace = 0;
    int kanjiRightSpace = 0;
    SymbolStorage symbols; // GS ( k
    std::vector<std::string> notDrawnOnPage;
    std::optional<GraphicsPicture> buffered; // GS ( L function 112 until function 50
    std::optional<NvLogo> downloaded;        // GS *, printed by GS /

    void reset() {
        line.clear();
        lineX = 0;
        fontB = false;
        emphasised = false;
        doubleStrike = false;
        underline = 0;
        reverse = false;
        widthScale = 1;
        heightScale = 1;
        rightSpacing = 0;
        table = 0;
        international = 0;
        upsideDown = false;
        turned = false;
        kanji = false;
        kanjiLead.reset();
        shiftJis = false;
        kanjiWide = false;
        kanjiTall = false;
        kanjiUnderline = 0;
        kanjiLeftSpace = 0;
        kanjiRightSpace = 0;
        alignment = 0;
        lineSpacing = kDefaultLineSpacing;
        leftMargin = 0;
        areaWidth.reset();
        tabStops.clear();
        customTabs = false;
        barHeight = kDefaultBarHeight;
        moduleWidth = kDefaultModuleWidth;
        hriPosition = 0;
        hriFontB = false;
        symbols.reset();
        buffered.reset();
    }

    const FontImage& font() {
        // A font download that has finished since the last look replaces the
        // characters from then on.
        if (model.exchanges().size() != seenExchanges) {
            seenExchanges = model.exchanges().size();
            if (const auto& bytes = model.fontImage()) {
                if (!downloadedFont || downloadedFont->bytes() != *bytes)
                    downloadedFont = FontImage::fromBytes(*bytes);
            }
            const Exchange& last = model.exchanges().back();
            if (last.kind == ExchangeKind::Compound && last.end == ExchangeEnd::Completed)
                if (const auto blocks = model.compoundImage(last.language))
                    useCompound(last.language, *blocks);
        }
        if (downloadedFont)
            return *downloadedFont;
        if (nvFont)
            return *nvFont;
        if (options.defaultFont)
            return *options.defaultFont;
        return placeholder;
    }

    void useCompound(std::uint8_t language, std::span<const std::uint8_t> blocks) {
        compoundLanguage = language;
        compound = unshuffledCompound(blocks);
    }

    int paperWidthNow() const {
        std::optional<std::uint8_t> mode = nvPrinterMode;
        if (const auto& settings = model.settings())
            mode = settings->record[1];
        if (mode)
            return *mode == 0 ? kPaperDots58mm : kPaperDots80mm;
        return std::clamp(options.paperDots, 8, 4096);
    }

    void startPageIfNeeded() {
        if (paper.width == 0) {
            paper = DotImage(paperWidthNow(), 0);
            y = 0;
        }
    }

    int areaLeft() const { return std::clamp(leftMargin, 0, std::max(0, paper.width - 1)); }
    int areaRight() const {
        const int right = areaWidth ? areaLeft() + *areaWidth : paper.width;
        return std::clamp(right, areaLeft() + 1, paper.width);
    }
    int areaDots() const { return areaRight() - areaLeft(); }

    // Makes the paper long enough for rows up to `bottom` (exclusive).
    void growTo(int bottom) {
        if (bottom <= paper.height)
            return;
        paper.dots.resize(static_cast<std::size_t>(paper.width) * bottom, 0);
        paper.height = bottom;
    }

    // Room for a block of `height` rows: a page that would grow past the
    // limit is ended first.
    void makeRoom(int height) {
        startPageIfNeeded();
        if (y > 0 && y + height > options.maxPageDots)
            endPage(std::nullopt);
        startPageIfNeeded();
    }

    void feed(int dots) {
        // Fed paper is paper too; a feed longer than what is left of the page
        // goes on over the next.
        for (int left = std::max(0, dots); left > 0;) {
            startPageIfNeeded();
            const int step = std::min(left, options.maxPageDots - y);
            if (step <= 0) {
                endPage(std::nullopt);
                continue;
            }
            y += step;
            left -= step;
            growTo(y);
        }
        startPageIfNeeded();
    }

    // Where a block `width` wide starts, by the alignment.
    int alignedX(int width) const {
        const int free = std::max(0, areaDots() - width);
        const int offset = alignment == 1 ? free / 2 : alignment == 2 ? free : 0;
        return areaLeft() + offset;
    }

    // A block printed across the print area on its own: a raster image, a
    // logo, a bar code.
    void printBlock(const DotImage& image, bool aligned = true) {
        printLineIfAny();
        makeRoom(image.height);
        const int x = aligned ? alignedX(image.width) : areaLeft();
        growTo(y + image.height);
        // Clipped at the print area's right edge, as the head has no more dots.
        DotImage clipped = image;
        const int room = areaRight() - x;
        if (clipped.width > room) {
            DotImage cut(room, image.height);
            for (int r = 0; r < image.height; ++r)
                for (int c = 0; c < room; ++c)
                    cut.set(c, r, image.dot(c, r));
            clipped = std::move(cut);
        }
        blit(paper, clipped, x, y);
        y += image.height;
    }

    // Prints the line and feeds `feedDots` or the line's height, whichever
    // is more.
    void printLine(int feedDots) {
        startPageIfNeeded();
        int height = 0;
        for (const auto& item : line)
            height = std::max(height, item.image.height);
        makeRoom(std::max(height, feedDots));
        if (!line.empty()) {
            const int x0 = alignedX(lineX);
            growTo(y + height);
            // Characters of different heights stand on one base line; upside
            // down, the whole line across the print area is turned over.
            DotImage composed(areaDots(), height);
            for (const auto& item : line)
                blit(composed, item.image, x0 - areaLeft() + item.x, height - item.image.height);
            blit(paper, upsideDown ? turnedOver(composed) : composed, areaLeft(), y);
        }
        line.clear();
        lineX = 0;
        feed(std::max(height, feedDots));
    }

    void printLineIfAny() {
        if (!line.empty() || lineX > 0)
            printLine(0);
    }

    // Puts a cell into the line, wrapping to the next line when it does not
    // fit; a cell wider than the whole print area is dropped.
    void addToLine(DotImage cell) {
        startPageIfNeeded();
        if (cell.width > areaDots())
            return;
        if (lineX + cell.width > areaDots())
            printLine(lineSpacing);
        const int x = lineX;
        lineX += cell.width;
        line.push_back({x, std::move(cell)});
    }

    // One character as the current modes print it.
    DotImage characterCell(std::uint8_t c, bool useFontB, bool styled) {
        const FontImage& f = font();
        const int slot = f.slotForTable(table);
        // A national character of ESC R, or the upper half of a table the
        // image does not hold, comes from the shipped code pages.
        const CodePageFont* other = nullptr;
        std::uint8_t otherByte = c;
        if (const char32_t national = internationalCharacter(international, c)) {
            if (const auto glyph = shipped.find(national)) {
                other = glyph->font;
                otherByte = glyph->byte;
            }
        } else if (c >= 0x80 && !f.holdsTable(table)) {
            if (const auto page = standardCodePage(table))
                other = shipped.page(*page);
        }
        const int glyphW = useFontB ? FontImage::kFontBWidth : FontImage::kFontAWidth;
        const int pitch = useFontB ? 9 : 12;
        const int glyphH = useFontB ? FontImage::kFontBHeight : FontImage::kFontAHeight;
        const int sx = styled ? widthScale : 1;
        const int sy = styled ? heightScale : 1;
        const int spacing = styled ? rightSpacing : 0;
        DotImage base(pitch + spacing, glyphH);
        const bool bold = styled && (emphasised || doubleStrike);
        for (int r = 0; r < glyphH; ++r) {
            std::uint16_t bits = 0;
            if (other)
                bits = useFontB ? static_cast<std::uint16_t>(
                                      other->fontB[otherByte * FontImage::kFontBHeight + r] << 8)
                                : other->fontA[otherByte * FontImage::kFontAHeight + r];
            else
                bits = useFontB ? static_cast<std::uint16_t>(f.fontBRow(slot, c, r) << 8)
                                : f.fontARow(slot, c, r);
            for (int col = 0; col < glyphW; ++col) {
                bool on = (bits & (0x8000 >> col)) != 0;
                // Emphasis burns each dot twice, the second time one dot on.
                if (bold && col > 0)
                    on = on || (bits & (0x8000 >> (col - 1))) != 0;
                base.set(col, r, on);
            }
            if (bold && (bits & (0x8000 >> (glyphW - 1))))
                base.set(glyphW, r);
        }
        return styled ? styledCell(scaled(base, sx, sy), underline) : base;
    }

    // Underline, reverse and a quarter turn, as the modes print a cell; a
    // turned character is not underlined.
    DotImage styledCell(DotImage cell, int underlineDots) {
        if (!turned)
            for (int r = cell.height - underlineDots; r < cell.height; ++r)
                for (int col = 0; col < cell.width; ++col)
                    cell.set(col, r);
        if (reverse)
            for (auto& dot : cell.dots)
                dot = dot ? 0 : 1;
        return turned ? turnedClockwise(cell) : cell;
    }

    // One double-byte character of Kanji mode: its glyph in the compound
    // font, or a box where there is none.
    DotImage kanjiCell(std::uint8_t lead, std::uint8_t trail) {
        font(); // takes up a compound download that has just finished
        DotImage base(kanjiLeftSpace + kKanjiDots + kanjiRightSpace, kKanjiDots);
        const auto glyph = kanjiGlyph(compoundLanguage, shiftJis, lead, trail);
        if (glyph && (*glyph + 1) * kKanjiGlyphBytes <= compound.size()) {
            const std::uint8_t* dots = compound.data() + *glyph * kKanjiGlyphBytes;
            for (int r = 0; r < kKanjiDots; ++r)
                for (int col = 0; col < kKanjiDots; ++col)
                    if (dots[r * 3 + col / 8] & (0x80 >> (col % 8)))
                        base.set(kanjiLeftSpace + col, r);
        } else {
            if (compound.empty() && !noCompoundNoted) {
                model.note("Kanji mode without a compound font: double-byte characters print as "
                           "boxes");
                noCompoundNoted = true;
            }
            for (int i = 2; i < kKanjiDots - 2; ++i) {
                base.set(kanjiLeftSpace + i, 2);
                base.set(kanjiLeftSpace + i, kKanjiDots - 3);
                base.set(kanjiLeftSpace + 2, i);
                base.set(kanjiLeftSpace + kKanjiDots - 3, i);
            }
        }
        const int sx = std::min(8, widthScale * (kanjiWide ? 2 : 1));
        const int sy = std::min(8, heightScale * (kanjiTall ? 2 : 1));
        return styledCell(scaled(base, sx, sy), kanjiUnderline);
    }

    // Text in one font at normal size, without the modes, for the printer's
    // own labels (bar code text, the self-test page, the cut mark).
    DotImage plainText(std::string_view text, bool useFontB) {
        const int pitch = useFontB ? 9 : 12;
        const int height = useFontB ? FontImage::kFontBHeight : FontImage::kFontAHeight;
        DotImage out(pitch * static_cast<int>(text.size()), height);
        for (std::size_t i = 0; i < text.size(); ++i)
            blit(out, characterCell(static_cast<std::uint8_t>(text[i]), useFontB, false),
                 static_cast<int>(i) * pitch, 0);
        return out;
    }

    void character(std::uint8_t c) {
        if (kanji) {
            if (kanjiLead) {
                const std::uint8_t lead = *kanjiLead;
                kanjiLead.reset();
                addToLine(kanjiCell(lead, c));
                return;
            }
            if (isKanjiLead(compoundLanguage, shiftJis, c)) {
                kanjiLead = c;
                return;
            }
        }
        if (c < 0x20)
            return; // a control the printer does not know prints nothing
        addToLine(characterCell(c, fontB, true));
    }

    // FS ! n: double width (bit 2), double height (bit 3), underline (bit 7).
    void kanjiMode(std::uint8_t n) {
        kanjiWide = (n & 0x04) != 0;
        kanjiTall = (n & 0x08) != 0;
        kanjiUnderline = (n & 0x80) ? 1 : 0;
    }

    void tab() {
        startPageIfNeeded();
        if (!customTabs) {
            const int next = (lineX / kDefaultTabDots + 1) * kDefaultTabDots;
            if (next < areaDots())
                lineX = next;
            return;
        }
        for (const int stop : tabStops)
            if (stop > lineX && stop < areaDots()) {
                lineX = stop;
                return;
            }
    }

    void setTabs(const EscPosCommand& c) {
        tabStops.clear();
        customTabs = true;
        const int column = (fontB ? 9 : 12) + rightSpacing;
        int last = 0;
        for (std::size_t i = 2; i + 1 < c.raw.size() && tabStops.size() < kMaxTabStops; ++i) {
            const int n = c.raw[i];
            if (n <= last)
                break; // positions must ascend; the rest are ignored
            tabStops.push_back(n * column);
            last = n;
        }
    }

    void printMode(std::uint8_t n) {
        fontB = (n & 0x01) != 0;
        emphasised = (n & 0x08) != 0;
        heightScale = (n & 0x10) ? 2 : 1;
        widthScale = (n & 0x20) ? 2 : 1;
        underline = (n & 0x80) ? 1 : 0;
    }

    // ESC * m nL nH d1...dk: a bit image in the line, 24 dots high in every
    // mode (the 8-dot modes print each dot three rows high).
    void bitImage(const EscPosCommand& c) {
        const int m = c.at(2);
        const int n = word(c, 3);
        const bool tall = m == 32 || m == 33;
        const int sx = (m == 0 || m == 32) ? 2 : 1;
        const int sy = tall ? 1 : 3;
        const int bands = tall ? 3 : 1;
        startPageIfNeeded();
        // Whatever does not fit on the line is not printed.
        const int room = areaDots() - lineX;
        if (room <= 0)
            return;
        const int shown = std::min(n, (room + sx - 1) / sx);
        DotImage base(shown, 8 * bands);
        for (int col = 0; col < shown; ++col)
            for (int b = 0; b < bands; ++b) {
                const std::uint8_t v = c.at(5 + static_cast<std::size_t>(col) * bands + b);
                for (int k = 0; k < 8; ++k)
                    if (v & (0x80 >> k))
                        base.set(col, 8 * b + k);
            }
        DotImage image = scaled(base, sx, sy);
        if (image.width > room) {
            DotImage cut(room, image.height);
            for (int r = 0; r < image.height; ++r)
                for (int col = 0; col < room; ++col)
                    cut.set(col, r, image.dot(col, r));
            image = std::move(cut);
        }
        const int x = lineX;
        lineX += image.width;
        line.push_back({x, std::move(image)});
    }

    // A picture of `width` x `height` dots, each printed sx x sy, printed in
    // bands: a picture far wider than the paper or longer than a page never
    // has to be held whole, and what runs past the print area is dropped as
    // the head has no dots there.
    template <typename DotAt>
    void printPicture(int width, int height, int sx, int sy, DotAt dotAt) {
        printLineIfAny();
        startPageIfNeeded();
        const long long fullWidth = static_cast<long long>(width) * sx;
        const int shownWidth = static_cast<int>(std::min<long long>(fullWidth, areaDots()));
        const long long outHeight = static_cast<long long>(height) * sy;
        constexpr int kBand = 256;
        for (long long top = 0; top < outHeight; top += kBand) {
            const int rows = static_cast<int>(std::min<long long>(kBand, outHeight - top));
            DotImage band(shownWidth, rows);
            for (int r = 0; r < rows; ++r) {
                const int sourceRow = static_cast<int>((top + r) / sy);
                for (int col = 0; col < shownWidth; ++col)
                    if (dotAt(col / sx, sourceRow))
                        band.set(col, r);
            }
            printBlock(band);
        }
    }

    // GS v 0 m xL xH yL yH d1...dk: rows of x bytes, the leftmost dot in bit 7.
    void raster(const EscPosCommand& c) {
        const int m = c.at(3);
        const int x = word(c, 4);
        const int rows = word(c, 6);
        printPicture(8 * x, rows, (m & 1) ? 2 : 1, (m & 2) ? 2 : 1, [&](int col, int row) {
            const std::uint8_t v = c.at(8 + static_cast<std::size_t>(row) * x + col / 8);
            return (v & (0x80 >> (col % 8))) != 0;
        });
    }

    void logo(const EscPosCommand& c) {
        const int number = c.at(2);
        const int m = c.at(3);
        const auto& logos = model.logos();
        if (number < 1 || number > static_cast<int>(logos.size()))
            return; // the printer prints nothing for a logo it does not hold
        const NvLogo& logo = logos[number - 1];
        printPicture(logo.widthDots(), logo.heightDots(), (m & 1) ? 2 : 1, (m & 2) ? 2 : 1,
                     [&logo](int col, int row) { return logo.dot(col, row); });
    }

    // GS ( L and GS 8 L: the print buffer's graphics and NV graphics by key
    // code; the model keeps the NV memory and answers.
    bool graphics(const EscPosCommand& c) {
        const auto g = graphicsCommand(c);
        if (!g)
            return false;
        switch (g->fn) {
        case 112:
        case 113: {
            std::string problem;
            auto picture = bufferedGraphics(*g, problem);
            if (!problem.empty())
                model.note(problem);
            if (picture && !picture->note.empty())
                model.note(picture->note);
            if (picture && picture->image.width > 0)
                buffered = std::move(picture);
            return true;
        }
        case 2:
        case 50:
            if (buffered) {
                const GraphicsPicture p = std::move(*buffered);
                buffered.reset();
                printPicture(p.image.width, p.image.height, p.sx, p.sy,
                             [&](int col, int row) { return p.image.dot(col, row); });
            }
            return true;
        case 69: {
            const auto& p = g->params;
            const NvGraphic* nv = p.size() == 4 ? model.nvGraphics().find(p[0], p[1]) : nullptr;
            if (nv && p[2] >= 1 && p[2] <= 2 && p[3] >= 1 && p[3] <= 2)
                printPicture(nv->image.width, nv->image.height, p[2], p[3],
                             [&](int col, int row) { return nv->image.dot(col, row); });
            return true;
        }
        case 0:
        case 3:
        case 48:
        case 51:
        case 64:
        case 65:
        case 66:
        case 67:
        case 68:
            return true; // the NV memory's: the model answers or stores
        default:
            return false;
        }
    }

    // GS / m: the image GS * downloaded, m's bit 0 doubling it across and
    // bit 1 down.
    void downloadedImage(const EscPosCommand& c) {
        if (!downloaded)
            return;
        const int m = c.at(2) % 48;
        if (m > 3)
            return;
        const NvLogo& image = *downloaded;
        printPicture(image.widthDots(), image.heightDots(), (m & 1) ? 2 : 1, (m & 2) ? 2 : 1,
                     [&](int col, int row) { return image.dot(col, row); });
    }

    void barcode(const EscPosCommand& c) {
        const int m = c.at(2);
        std::string data;
        if (m >= 65) {
            const std::size_t n = c.at(3);
            for (std::size_t i = 0; i < n; ++i)
                data += static_cast<char>(c.at(4 + i));
        } else {
            for (std::size_t i = 3; i < c.raw.size() && c.raw[i] != 0x00; ++i)
                data += static_cast<char>(c.raw[i]);
        }
        printLineIfAny();
        startPageIfNeeded();
        // Data the system refuses, and a bar code wider than the print
        // area, print nothing at all.
        const auto encoded = encodeBarcode(m, data, options.computeCheckDigits);
        if (encoded && !encoded->note.empty())
            model.note("bar code " + data + ": " + encoded->note);
        if (!encoded || encoded->bars.width * moduleWidth > areaDots())
            return;
        const DotImage bars = scaled(encoded->bars, moduleWidth, std::max(barHeight, 1));
        const DotImage readable = plainText(encoded->readable, hriFontB);
        const int readableWidth = std::min(readable.width, areaDots());
        // The readable text, when printed, is centred under (or over) the bars.
        const int total = hriPosition == 0 ? bars.width : std::max(bars.width, readableWidth);
        auto centred = [&](const DotImage& image) {
            DotImage out(total, image.height);
            blit(out, image, (total - image.width) / 2, 0);
            return out;
        };
        if (hriPosition == 1 || hriPosition == 3)
            printBlock(centred(readable));
        printBlock(centred(bars));
        if (hriPosition == 2 || hriPosition == 3)
            printBlock(centred(readable));
    }

    // GS ( k: QR Code and PDF417 settings, data and print.
    void twoDimensionalCode(const EscPosCommand& c) {
        std::string note;
        const auto picture = symbols.command(c.raw, &note);
        if (!note.empty())
            model.note(note);
        if (!picture)
            return;
        startPageIfNeeded();
        // A symbol wider than the print area prints nothing; a tall one is
        // printed in bands like any picture.
        if (picture->width > areaDots())
            return;
        printPicture(picture->width, picture->height, 1, 1,
                     [&](int col, int row) { return picture->dot(col, row); });
    }

    void cut(const EscPosCommand& c) {
        Cut mark;
        mark.mode = c.at(2);
        mark.feed = c.raw.size() == 4 ? c.at(3) : -1;
        mark.partial = mark.mode == 1 || mark.mode == 49 || mark.mode == 66 || mark.mode == 98 ||
                       mark.mode == 104;
        printLineIfAny();
        startPageIfNeeded();
        if (mark.feed > 0)
            feed(mark.feed);
        y += kCutMarginDots;
        const DotImage label = plainText(mark.partial ? "PARTIAL CUT" : "CUT", true);
        const int markHeight = std::max(label.height, kCutThickness);
        growTo(y + markHeight);
        const int lineTop = y + (markHeight - kCutThickness) / 2;
        const int gapLeft = (paper.width - label.width) / 2 - 8;
        const int gapRight = gapLeft + label.width + 16;
        for (int col = 0; col < paper.width; ++col) {
            if (col >= gapLeft && col < gapRight)
                continue;
            if (col % (kCutDash + kCutGap) >= kCutDash)
                continue;
            for (int k = 0; k < kCutThickness; ++k)
                paper.set(col, lineTop + k);
        }
        blit(paper, label, (paper.width - label.width) / 2, y);
        y += markHeight;
        endPage(mark);
    }

    // ESC 0x88: the heading lines and code page rows the image holds, and the
    // characters of the current table in both fonts.
    void selfTest() {
        printLineIfAny();
        const FontImage& f = font();
        const int savedAlignment = alignment;
        auto textLine = [&](const std::string& text, bool useFontB) {
            alignment = 0;
            printBlock(plainText(text, useFontB), false);
            feed(useFontB ? 4 : 6);
        };
        textLine(f.heading(0), false);
        textLine(f.heading(1), false);
        feed(kDefaultLineSpacing);
        for (int slot = 0; slot < FontImage::kSlots; ++slot)
            textLine(f.nameRow(slot) + "  (ESC t " + std::to_string(f.tableNumber(slot)) + ")",
                     true);
        feed(kDefaultLineSpacing);
        for (const bool useFontB : {false, true}) {
            const int perLine = useFontB ? 32 : 16;
            for (int first = 0x20; first < 0x100; first += perLine) {
                std::string row;
                for (int ch = first; ch < first + perLine && ch < 0x100; ++ch)
                    row += static_cast<char>(ch);
                textLine(row, useFontB);
            }
            feed(kDefaultLineSpacing);
        }
        alignment = savedAlignment;
        EscPosCommand command;
        static constexpr std::uint8_t kPartialCut[] = {0x1D, 0x56, 0x42, 0x00};
        command.raw = kPartialCut;
        cut(command);
    }

    void endPage(std::optional<Cut> mark) {
        if (paper.width == 0)
            return;
        growTo(y);
        RenderedPage page;
        page.number = ++pageCount;
        listNotDrawn(page.number);
        page.width = paper.width;
        page.height = paper.height;
        page.cut = mark;
        if (!options.outputFolder.empty() && paper.height > 0) {
            char name[32];
            std::snprintf(name, sizeof name, "page-%04d.png", page.number);
            const auto path = options.outputFolder / name;
            std::error_code ec;
            std::filesystem::create_directories(options.outputFolder, ec);
            if (const auto error =
                    replaceFileAtomically(path, encodePng(paper, options.compression))) {
                problems.push_back("cannot write " + path.string() + ": " + *error);
                model.note("render: " + problems.back());
            } else {
                page.file = path;
                model.note("render: page " + std::to_string(page.number) + ", " +
                           std::to_string(page.width) + " x " + std::to_string(page.height) +
                           " dots, written to " + path.string());
            }
        }
        if (options.keepPages)
            page.image = std::move(paper);
        pages.push_back(std::move(page));
        paper = DotImage();
        y = 0;
    }

    void command(const EscPosCommand& c) {
        if (c.malformed)
            return;
        switch (c.id()) {
        case CommandId::LineFeed:
            printLine(lineSpacing);
            break;
        case CommandId::FormFeed:
            printLineIfAny();
            break;
        case CommandId::HorizontalTab:
            tab();
            break;
        case CommandId::Cancel:
            line.clear();
            lineX = 0;
            break;
        case CommandId::EscAt:
            reset();
            break;
        case CommandId::EscBang:
            printMode(c.at(2));
            break;
        case CommandId::GsBang: {
            const int n = c.at(2);
            const int w = (n >> 4) + 1;
            const int h = (n & 0x0F) + 1;
            if (w <= 8 && h <= 8) {
                widthScale = w;
                heightScale = h;
            }
            break;
        }
        case CommandId::EscM:
            fontB = (c.at(2) & 0x01) != 0;
            break;
        case CommandId::EscE:
            emphasised = (c.at(2) & 0x01) != 0;
            break;
        case CommandId::EscG:
            doubleStrike = (c.at(2) & 0x01) != 0;
            break;
        case CommandId::EscMinus: {
            const int n = c.at(2);
            underline = (n == 1 || n == 49) ? 1 : (n == 2 || n == 50) ? 2 : 0;
            break;
        }
        case CommandId::GsB:
            reverse = (c.at(2) & 0x01) != 0;
            break;
        case CommandId::EscSpace:
            rightSpacing = c.at(2);
            break;
        case CommandId::Esct:
            table = c.at(2);
            break;
        case CommandId::EscR:
            international = c.at(2);
            break;
        case CommandId::EscBrace:
            upsideDown = (c.at(2) & 0x01) != 0;
            break;
        case CommandId::EscV: {
            const int n = c.at(2) % 48;
            turned = n == 1 || n == 2;
            break;
        }
        case CommandId::FsAmpersand:
            kanji = true;
            break;
        case CommandId::FsDot:
            kanji = false;
            kanjiLead.reset();
            break;
        case CommandId::FsBang:
            kanjiMode(c.at(2));
            break;
        case CommandId::FsW:
            kanjiWide = kanjiTall = (c.at(2) & 0x01) != 0;
            break;
        case CommandId::FsMinus: {
            const int n = c.at(2) % 48;
            kanjiUnderline = n <= 2 ? n : kanjiUnderline;
            break;
        }
        case CommandId::FsS:
            kanjiLeftSpace = std::min<int>(c.at(2), 32);
            kanjiRightSpace = std::min<int>(c.at(3), 32);
            break;
        case CommandId::FsC:
            shiftJis = c.at(2) % 48 == 1;
            break;
        case CommandId::FsParen:
            // FS ( A function 48: the 24 x 24 Kanji font, the one there is.
            if (!(c.at(2) == 'A' && c.at(5) == 48 && c.at(6) % 48 == 0))
                notDrawn(c);
            break;
        case CommandId::Esca: {
            const int n = c.at(2);
            if (n <= 2 || (n >= 48 && n <= 50))
                alignment = n % 48;
            break;
        }
        case CommandId::EscTwo:
            lineSpacing = kDefaultLineSpacing;
            break;
        case CommandId::EscThree:
            lineSpacing = c.at(2);
            break;
        case CommandId::EscJ:
            printLine(c.at(2));
            break;
        case CommandId::Escd: {
            const int n = c.at(2);
            if (n == 0)
                printLineIfAny();
            else
                printLine(lineSpacing + (n - 1) * lineSpacing);
            break;
        }
        case CommandId::EscDollar:
            startPageIfNeeded();
            lineX = clampInt(word(c, 2), 0, areaDots());
            break;
        case CommandId::EscBackslash: {
            startPageIfNeeded();
            const int step = static_cast<std::int16_t>(word(c, 2));
            lineX = clampInt(static_cast<long long>(lineX) + step, 0, areaDots());
            break;
        }
        case CommandId::EscD:
            setTabs(c);
            break;
        case CommandId::GsL:
            leftMargin = word(c, 2);
            break;
        case CommandId::GsW:
            areaWidth = word(c, 2);
            break;
        case CommandId::EscStar:
            bitImage(c);
            break;
        case CommandId::Gsv:
            if (c.at(2) == '0')
                raster(c);
            break;
        case CommandId::Fsp:
            logo(c);
            break;
        case CommandId::Gsh:
            if (c.at(2) >= 1)
                barHeight = c.at(2);
            break;
        case CommandId::Gsw: {
            const int n = c.at(2);
            if (n >= 1 && n <= 6)
                moduleWidth = n;
            break;
        }
        case CommandId::GsH:
            hriPosition = c.at(2) % 48 <= 3 ? c.at(2) % 48 : hriPosition;
            break;
        case CommandId::Gsf:
            hriFontB = (c.at(2) & 0x01) != 0;
            break;
        case CommandId::Gsk:
            barcode(c);
            break;
        case CommandId::GsParen:
            if (c.at(2) == 'k')
                twoDimensionalCode(c);
            else if (!graphics(c))
                notDrawn(c);
            break;
        case CommandId::GsEight:
            if (!graphics(c))
                notDrawn(c);
            break;
        case CommandId::GsStar: {
            NvLogo image{c.at(2), c.at(3), {}};
            image.columns.assign(c.raw.begin() + 4, c.raw.end());
            downloaded = std::move(image);
            break;
        }
        case CommandId::GsSlash:
            downloadedImage(c);
            break;
        case CommandId::GsV:
            cut(c);
            break;
        case CommandId::EscSelfTest:
            selfTest();
            break;
        default:
            notDrawn(c);
            break;
        }
    }

    // A command the printer knows whose effect the paper does not show, once
    // a page by name: a developer sees what the preview leaves out. What the
    // model answers or stores is no such command.
    void notDrawn(const EscPosCommand& c) {
        switch (c.id()) {
        case CommandId::Unknown: // the model logs each one
        case CommandId::DleEot:
        case CommandId::DleEnq:
        case CommandId::DleDc4:
        case CommandId::GsI:
        case CommandId::Gsr:
        case CommandId::Escp:
        case CommandId::Fsq:
        case CommandId::FsProgramSettings:
        case CommandId::FsProgramFont:
        case CommandId::FsProgramFirmware:
        case CommandId::FsCompound:
            return;
        default:
            break;
        }
        std::string name(c.name());
        if (c.id() == CommandId::GsParen || c.id() == CommandId::GsEight ||
            c.id() == CommandId::FsParen) {
            if (c.at(2) >= 0x21 && c.at(2) <= 0x7E)
                name += std::string(" ") + static_cast<char>(c.at(2));
            if (const auto g = graphicsCommand(c))
                name += " function " + std::to_string(g->fn);
        }
        if (std::ranges::find(notDrawnOnPage, name) == notDrawnOnPage.end())
            notDrawnOnPage.push_back(std::move(name));
    }

    void listNotDrawn(int page) {
        if (notDrawnOnPage.empty())
            return;
        std::string line = "page " + std::to_string(page) + ": not drawn:";
        for (std::size_t i = 0; i < notDrawnOnPage.size(); ++i)
            line += (i ? ", " : " ") + notDrawnOnPage[i];
        model.note(line);
        notDrawnOnPage.clear();
    }
};

PaperRenderer::PaperRenderer(PrinterModel& model, RenderOptions options)
    : m_state(std::make_shared<State>(model, std::move(options))) {
    State& s = *m_state;
    s.options.maxPageDots = std::max(s.options.maxPageDots, 64);
    // What the printer kept in its NV memory from an earlier run.
    if (!model.nvFolder().empty()) {
        const auto font = readWholeFile(model.nvFolder() / "font.bin", FontImage::kSize);
        if (font.status == FileRead::Status::Ok)
            s.nvFont = FontImage::fromBytes(font.bytes);
        const auto settings = readWholeFile(model.nvFolder() / "settings.bin", 14);
        if (settings.status == FileRead::Status::Ok && settings.bytes.size() == 14)
            s.nvPrinterMode = settings.bytes[1];
        for (std::uint8_t language = 1; language <= 4 && s.compound.empty(); ++language) {
            const auto blocks =
                readWholeFile(model.nvFolder() / ("compound-" + std::to_string(language) + ".bin"),
                              compoundBlockCount(language) * kCompoundBlockBytes);
            if (blocks.status == FileRead::Status::Ok)
                s.useCompound(language, blocks.bytes);
        }
    }
    s.seenExchanges = model.exchanges().size();
    if (const auto& bytes = model.fontImage())
        s.downloadedFont = FontImage::fromBytes(*bytes);

    std::weak_ptr<State> weak = m_state;
    model.onAnyCommand([weak](const EscPosCommand& command) {
        if (const auto state = weak.lock())
            state->command(command);
    });
    model.onPrintData([weak](std::uint8_t byte) {
        if (const auto state = weak.lock())
            state->character(byte);
    });
}

PaperRenderer::~PaperRenderer() = default;

const std::vector<RenderedPage>& PaperRenderer::pages() const {
    return m_state->pages;
}

int PaperRenderer::pageCount() const {
    return m_state->pageCount;
}

const DotImage& PaperRenderer::paper() const {
    return m_state->paper;
}

void PaperRenderer::finish() {
    State& s = *m_state;
    s.printLineIfAny();
    if (s.paper.width > 0 && std::max(s.y, s.paper.height) > 0)
        s.endPage(std::nullopt);
    else
        s.paper = DotImage();
    // What came after the last page, or with no page at all.
    s.listNotDrawn(s.pageCount + 1);
}

const std::vector<std::string>& PaperRenderer::problems() const {
    return m_state->problems;
}

} // namespace ordalia::vprinter
