#pragma once

// The paper renderer's state, shared by the three files that draw:
// paper_renderer.cpp (pages, lines, feeds, cuts and the commands),
// paper_text.cpp (characters, Kanji, tabs) and paper_pictures.cpp (images,
// graphics, logos, bar codes and symbols). No one else includes it.

#include "barcode_drawing.h"
#include "nv_graphics.h"
#include "paper_renderer.h"
#include "text_tables.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia::vprinter {
namespace paper_detail {

// The printer's defaults after ESC @.
inline constexpr int kDefaultLineSpacing = 30; // 1/6 inch at 180 motion units per inch
inline constexpr int kDefaultTabDots = 8 * 12; // every 8 Font A characters
inline constexpr int kDefaultBarHeight = 162;
inline constexpr int kDefaultModuleWidth = 3;
inline constexpr int kMaxTabStops = 32;

// The cut mark: a dashed line across the paper below the last print, with
// what kind of cut it was in the middle.
inline constexpr int kCutMarginDots = 8;
inline constexpr int kCutDash = 12;
inline constexpr int kCutGap = 4;
inline constexpr int kCutThickness = 2;

inline int clampInt(long long v, int lo, int hi) {
    return static_cast<int>(std::clamp<long long>(v, lo, hi));
}

inline int word(const EscPosCommand& c, std::size_t at) {
    return c.at(at) | c.at(at + 1) << 8;
}

// The picture turned a quarter turn clockwise.
inline DotImage turnedClockwise(const DotImage& image) {
    DotImage out(image.height, image.width);
    for (int r = 0; r < image.height; ++r)
        for (int c = 0; c < image.width; ++c)
            out.set(image.height - 1 - r, c, image.dot(c, r));
    return out;
}

// The picture turned upside down.
inline DotImage turnedOver(const DotImage& image) {
    DotImage out = image;
    std::ranges::reverse(out.dots);
    return out;
}

// Copies `image` onto `target` at x, y; dots are ORed, as on paper.
inline void blit(DotImage& target, const DotImage& image, int x, int y) {
    for (int r = 0; r < image.height; ++r)
        for (int c = 0; c < image.width; ++c)
            if (image.dots[static_cast<std::size_t>(r) * image.width + c])
                target.set(x + c, y + r);
}

// The picture cut `width` columns wide: what runs past the print area's
// right edge is not printed, as the head has no dots there.
inline DotImage clipped(DotImage image, int width) {
    if (image.width <= width)
        return image;
    DotImage out(width, image.height);
    for (int r = 0; r < image.height; ++r)
        for (int c = 0; c < width; ++c)
            out.set(c, r, image.dot(c, r));
    return out;
}

} // namespace paper_detail

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
    int lineSpacing = paper_detail::kDefaultLineSpacing;
    int leftMargin = 0;
    std::optional<int> areaWidth; // GS W; none: up to the paper's edge
    std::vector<int> tabStops;    // dots from the start of the print area; empty: the default
    bool customTabs = false;
    int barHeight = paper_detail::kDefaultBarHeight;
    int moduleWidth = paper_detail::kDefaultModuleWidth;
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

    void reset();
    const FontImage& font();
    void useCompound(std::uint8_t language, std::span<const std::uint8_t> blocks);
    int paperWidthNow() const;
    void startPageIfNeeded();
    int areaLeft() const { return std::clamp(leftMargin, 0, std::max(0, paper.width - 1)); }
    int areaRight() const;
    int areaDots() const { return areaRight() - areaLeft(); }

    // Makes the paper long enough for rows up to `bottom` (exclusive).
    void growTo(int bottom);

    // Room for a block of `height` rows: a page that would grow past the
    // limit is ended first.
    void makeRoom(int height);

    // Feeds `dots` of paper; a feed longer than the page goes on over the next.
    void feed(int dots);

    // Where a block `width` wide starts, by the alignment.
    int alignedX(int width) const;

    // A block printed across the print area on its own: a raster image, a
    // logo, a bar code.
    void printBlock(const DotImage& image, bool aligned = true);

    // Prints the line and feeds `feedDots` or the line's height, whichever
    // is more.
    void printLine(int feedDots);
    void printLineIfAny();

    // Puts a cell into the line, wrapping to the next line when it does not
    // fit; a cell wider than the whole print area is dropped.
    void addToLine(DotImage cell);

    // One character as the current modes print it.
    DotImage characterCell(std::uint8_t c, bool useFontB, bool styled);

    // Underline, reverse and a quarter turn, as the modes print a cell; a
    // turned character is not underlined.
    DotImage styledCell(DotImage cell, int underlineDots);

    // One double-byte character of Kanji mode: its glyph in the compound
    // font, or a box where there is none.
    DotImage kanjiCell(std::uint8_t lead, std::uint8_t trail);

    // Text in one font at normal size, without the modes, for the printer's
    // own labels (bar code text, the self-test page, the cut mark).
    DotImage plainText(std::string_view text, bool useFontB);
    void character(std::uint8_t c);

    // FS ! n: double width (bit 2), double height (bit 3), underline (bit 7).
    void kanjiMode(std::uint8_t n);
    void tab();
    void setTabs(const EscPosCommand& c);
    void printMode(std::uint8_t n);

    // ESC * m nL nH d1...dk: a bit image in the line, 24 dots high in every
    // mode (the 8-dot modes print each dot three rows high).
    void bitImage(const EscPosCommand& c);

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
    void raster(const EscPosCommand& c);
    void logo(const EscPosCommand& c);

    // GS ( L and GS 8 L: the print buffer's graphics and NV graphics by key
    // code; the model keeps the NV memory and answers.
    bool graphics(const EscPosCommand& c);

    // GS / m: the image GS * downloaded, m's bit 0 doubling it across and
    // bit 1 down.
    void downloadedImage(const EscPosCommand& c);
    void barcode(const EscPosCommand& c);

    // GS ( k: QR Code and PDF417 settings, data and print.
    void twoDimensionalCode(const EscPosCommand& c);
    void cut(const EscPosCommand& c);

    // ESC 0x88: the heading lines and code page rows the image holds, and the
    // characters of the current table in both fonts.
    void selfTest();
    void endPage(std::optional<Cut> mark);
    void command(const EscPosCommand& c);

    // A command the printer knows whose effect the paper does not show, once
    // a page by name: a developer sees what the preview leaves out. What the
    // model answers or stores is no such command.
    void notDrawn(const EscPosCommand& c);
    void listNotDrawn(int page);
};

} // namespace ordalia::vprinter
