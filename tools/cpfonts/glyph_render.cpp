#include "glyph_render.h"

namespace ordalia::cpfonts {

namespace {

Glyph blank(int width, int height) {
    Glyph g;
    g.width = width;
    g.height = height;
    g.rows.assign(static_cast<std::size_t>(height), 0);
    return g;
}

void set(Glyph& g, int x, int y) {
    if (x >= 0 && y >= 0 && x < g.width && y < g.height)
        g.rows[static_cast<std::size_t>(y)] |= 1u << (g.width - 1 - x);
}

template <typename Row, std::size_t N>
std::array<Row, N> pack(const Glyph& g, int cellWidth, int rowBits) {
    std::array<Row, N> rows{};
    for (int y = 0; y < static_cast<int>(N) && y < g.height; ++y)
        for (int x = 0; x < cellWidth && x < g.width; ++x)
            if (g.dot(x, y))
                rows[static_cast<std::size_t>(y)] |= static_cast<Row>(1u << (rowBits - 1 - x));
    return rows;
}

Glyph boxWithCross(int width, int height, int left, int top, int right, int bottom) {
    Glyph g = blank(width, height);
    for (int x = left; x <= right; ++x) {
        set(g, x, top);
        set(g, x, bottom);
    }
    for (int y = top; y <= bottom; ++y) {
        set(g, left, y);
        set(g, right, y);
    }
    const int w = right - left;
    const int h = bottom - top;
    for (int y = top; y <= bottom; ++y) {
        const int x = left + ((y - top) * w + h / 2) / h;
        set(g, x, y);
        set(g, right - (x - left), y);
    }
    return g;
}

} // namespace

Glyph scale3x(const Glyph& src) {
    Glyph out = blank(src.width * 3, src.height * 3);
    for (int y = 0; y < src.height; ++y) {
        for (int x = 0; x < src.width; ++x) {
            const bool a = src.dot(x - 1, y - 1), b = src.dot(x, y - 1), c = src.dot(x + 1, y - 1);
            const bool d = src.dot(x - 1, y), e = src.dot(x, y), f = src.dot(x + 1, y);
            const bool g = src.dot(x - 1, y + 1), h = src.dot(x, y + 1), i = src.dot(x + 1, y + 1);
            bool px[9] = {e, e, e, e, e, e, e, e, e};
            if (b != h && d != f) {
                px[0] = d == b ? d : e;
                px[1] = (d == b && e != c) || (b == f && e != a) ? b : e;
                px[2] = b == f ? f : e;
                px[3] = (d == b && e != g) || (d == h && e != a) ? d : e;
                px[5] = (b == f && e != i) || (h == f && e != c) ? f : e;
                px[6] = d == h ? d : e;
                px[7] = (d == h && e != i) || (h == f && e != g) ? h : e;
                px[8] = h == f ? f : e;
            }
            for (int k = 0; k < 9; ++k)
                if (px[k])
                    set(out, x * 3 + k % 3, y * 3 + k / 3);
        }
    }
    return out;
}

Glyph shrink(const Glyph& src, int fx, int fy) {
    Glyph out = blank(src.width / fx, src.height / fy);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            int count = 0;
            for (int dy = 0; dy < fy; ++dy)
                for (int dx = 0; dx < fx; ++dx)
                    count += src.dot(x * fx + dx, y * fy + dy) ? 1 : 0;
            if (2 * count >= fx * fy)
                set(out, x, y);
        }
    }
    return out;
}

FontAChar renderFontA(const Glyph& glyph) {
    if (glyph.height == 16 && (glyph.width == 8 || glyph.width == 16)) {
        // Three times the size, then every 2 x 2 (8 wide) or 4 x 2 (16 wide)
        // block to one dot: strokes come out an even two dots thick.
        const Glyph big = scale3x(glyph);
        return pack<std::uint16_t, kFontAHeight>(shrink(big, glyph.width / 4, 2), kFontAWidth, 16);
    }
    return pack<std::uint16_t, kFontAHeight>(glyph, kFontAWidth, 16);
}

FontBChar renderFontB(const Glyph& glyph, bool joinsBelow) {
    const Glyph fitted = glyph.width == 16 ? shrink(glyph, 2, 1) : glyph;
    FontBChar rows = pack<std::uint8_t, kFontBHeight>(fitted, kFontBWidth, 8);
    if (joinsBelow && fitted.height == 16)
        rows[16] = rows[15];
    return rows;
}

FontAChar placeholderFontA() {
    return pack<std::uint16_t, kFontAHeight>(boxWithCross(kFontAWidth, kFontAHeight, 1, 3, 10, 20),
                                             kFontAWidth, 16);
}

FontBChar placeholderFontB() {
    return pack<std::uint8_t, kFontBHeight>(boxWithCross(kFontBWidth, kFontBHeight, 0, 2, 6, 13),
                                            kFontBWidth, 8);
}

} // namespace ordalia::cpfonts
