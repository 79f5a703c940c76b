#include "paper_state.h"

namespace ordalia::vprinter {

using namespace paper_detail;

void PaperRenderer::State::bitImage(const EscPosCommand& c) {
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
    DotImage image = clipped(scaled(base, sx, sy), room);
    const int x = lineX;
    lineX += image.width;
    line.push_back({x, std::move(image)});
}

void PaperRenderer::State::raster(const EscPosCommand& c) {
    const int m = c.at(3);
    const int x = word(c, 4);
    const int rows = word(c, 6);
    printPicture(8 * x, rows, (m & 1) ? 2 : 1, (m & 2) ? 2 : 1, [&](int col, int row) {
        const std::uint8_t v = c.at(8 + static_cast<std::size_t>(row) * x + col / 8);
        return (v & (0x80 >> (col % 8))) != 0;
    });
}

void PaperRenderer::State::logo(const EscPosCommand& c) {
    const int number = c.at(2);
    const int m = c.at(3);
    const auto& logos = model.logos();
    if (number < 1 || number > static_cast<int>(logos.size()))
        return; // the printer prints nothing for a logo it does not hold
    const NvLogo& logo = logos[number - 1];
    printPicture(logo.widthDots(), logo.heightDots(), (m & 1) ? 2 : 1, (m & 2) ? 2 : 1,
                 [&logo](int col, int row) { return logo.dot(col, row); });
}

bool PaperRenderer::State::graphics(const EscPosCommand& c) {
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

void PaperRenderer::State::downloadedImage(const EscPosCommand& c) {
    if (!downloaded)
        return;
    const int m = c.at(2) % 48;
    if (m > 3)
        return;
    const NvLogo& image = *downloaded;
    printPicture(image.widthDots(), image.heightDots(), (m & 1) ? 2 : 1, (m & 2) ? 2 : 1,
                 [&](int col, int row) { return image.dot(col, row); });
}

void PaperRenderer::State::barcode(const EscPosCommand& c) {
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

void PaperRenderer::State::twoDimensionalCode(const EscPosCommand& c) {
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

} // namespace ordalia::vprinter
