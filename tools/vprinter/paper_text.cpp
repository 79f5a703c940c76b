#include "paper_state.h"

namespace ordalia::vprinter {

using namespace paper_detail;

DotImage PaperRenderer::State::characterCell(std::uint8_t c, bool useFontB, bool styled) {
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

DotImage PaperRenderer::State::styledCell(DotImage cell, int underlineDots) {
    if (!turned)
        for (int r = cell.height - underlineDots; r < cell.height; ++r)
            for (int col = 0; col < cell.width; ++col)
                cell.set(col, r);
    if (reverse)
        for (auto& dot : cell.dots)
            dot = dot ? 0 : 1;
    return turned ? turnedClockwise(cell) : cell;
}

DotImage PaperRenderer::State::kanjiCell(std::uint8_t lead, std::uint8_t trail) {
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

DotImage PaperRenderer::State::plainText(std::string_view text, bool useFontB) {
    const int pitch = useFontB ? 9 : 12;
    const int height = useFontB ? FontImage::kFontBHeight : FontImage::kFontAHeight;
    DotImage out(pitch * static_cast<int>(text.size()), height);
    for (std::size_t i = 0; i < text.size(); ++i)
        blit(out, characterCell(static_cast<std::uint8_t>(text[i]), useFontB, false),
             static_cast<int>(i) * pitch, 0);
    return out;
}

void PaperRenderer::State::character(std::uint8_t c) {
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

void PaperRenderer::State::kanjiMode(std::uint8_t n) {
    kanjiWide = (n & 0x04) != 0;
    kanjiTall = (n & 0x08) != 0;
    kanjiUnderline = (n & 0x80) ? 1 : 0;
}

void PaperRenderer::State::tab() {
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

void PaperRenderer::State::setTabs(const EscPosCommand& c) {
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

void PaperRenderer::State::printMode(std::uint8_t n) {
    fontB = (n & 0x01) != 0;
    emphasised = (n & 0x08) != 0;
    heightScale = (n & 0x10) ? 2 : 1;
    widthScale = (n & 0x20) ? 2 : 1;
    underline = (n & 0x80) ? 1 : 0;
}

} // namespace ordalia::vprinter
