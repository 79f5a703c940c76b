#include "common/files.h"
#include "paper_state.h"

#include <cstdio>

namespace ordalia::vprinter {

using namespace paper_detail;

void PaperRenderer::State::reset() {
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

const FontImage& PaperRenderer::State::font() {
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

void PaperRenderer::State::useCompound(std::uint8_t language,
                                       std::span<const std::uint8_t> blocks) {
    compoundLanguage = language;
    compound = unshuffledCompound(blocks);
}

int PaperRenderer::State::paperWidthNow() const {
    std::optional<std::uint8_t> mode = nvPrinterMode;
    if (const auto& settings = model.settings())
        mode = settings->record[1];
    if (mode)
        return *mode == 0 ? kPaperDots58mm : kPaperDots80mm;
    return std::clamp(options.paperDots, 8, 4096);
}

void PaperRenderer::State::startPageIfNeeded() {
    if (paper.width == 0) {
        paper = DotImage(paperWidthNow(), 0);
        y = 0;
    }
}

int PaperRenderer::State::areaRight() const {
    const int right = areaWidth ? areaLeft() + *areaWidth : paper.width;
    return std::clamp(right, areaLeft() + 1, paper.width);
}

void PaperRenderer::State::growTo(int bottom) {
    if (bottom <= paper.height)
        return;
    paper.dots.resize(static_cast<std::size_t>(paper.width) * bottom, 0);
    paper.height = bottom;
}

void PaperRenderer::State::makeRoom(int height) {
    startPageIfNeeded();
    if (y > 0 && y + height > options.maxPageDots)
        endPage(std::nullopt);
    startPageIfNeeded();
}

void PaperRenderer::State::feed(int dots) {
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

int PaperRenderer::State::alignedX(int width) const {
    const int free = std::max(0, areaDots() - width);
    const int offset = alignment == 1 ? free / 2 : alignment == 2 ? free : 0;
    return areaLeft() + offset;
}

void PaperRenderer::State::printBlock(const DotImage& image, bool aligned) {
    printLineIfAny();
    makeRoom(image.height);
    const int x = aligned ? alignedX(image.width) : areaLeft();
    growTo(y + image.height);
    blit(paper, clipped(image, areaRight() - x), x, y);
    y += image.height;
}

void PaperRenderer::State::printLine(int feedDots) {
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
        if (upsideDown)
            composed = turnedOver(composed);
        blit(paper, composed, areaLeft(), y);
    }
    line.clear();
    lineX = 0;
    feed(std::max(height, feedDots));
}

void PaperRenderer::State::printLineIfAny() {
    if (!line.empty() || lineX > 0)
        printLine(0);
}

void PaperRenderer::State::addToLine(DotImage cell) {
    startPageIfNeeded();
    if (cell.width > areaDots())
        return;
    if (lineX + cell.width > areaDots())
        printLine(lineSpacing);
    const int x = lineX;
    lineX += cell.width;
    line.push_back({x, std::move(cell)});
}

void PaperRenderer::State::cut(const EscPosCommand& c) {
    Cut mark;
    mark.mode = c.at(2);
    mark.feed = c.raw.size() == 4 ? c.at(3) : -1;
    mark.partial =
        mark.mode == 1 || mark.mode == 49 || mark.mode == 66 || mark.mode == 98 || mark.mode == 104;
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

void PaperRenderer::State::selfTest() {
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
        textLine(f.nameRow(slot) + "  (ESC t " + std::to_string(f.tableNumber(slot)) + ")", true);
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

void PaperRenderer::State::endPage(std::optional<Cut> mark) {
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
        if (const auto error = replaceFileAtomically(path, encodePng(paper, options.compression))) {
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

void PaperRenderer::State::command(const EscPosCommand& c) {
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

void PaperRenderer::State::notDrawn(const EscPosCommand& c) {
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

void PaperRenderer::State::listNotDrawn(int page) {
    if (notDrawnOnPage.empty())
        return;
    std::string line = "page " + std::to_string(page) + ": not drawn:";
    for (std::size_t i = 0; i < notDrawnOnPage.size(); ++i)
        line += (i ? ", " : " ") + notDrawnOnPage[i];
    model.note(line);
    notDrawnOnPage.clear();
}

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
