#include "testpage_pictures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

namespace ordalia::testpages {

namespace {

constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kGs = 0x1D;
constexpr std::uint8_t kLf = 0x0A;

char hexDigit(int value) {
    return "0123456789ABCDEF"[value & 0x0F];
}

// 8 x 8 ordered-dither thresholds 0..63; a grey level g of 0..64 blackens
// exactly g of every 64 dots, evenly spread.
constexpr std::array<std::array<int, 8>, 8> bayerMatrix() {
    std::array<std::array<int, 8>, 8> m{};
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            int value = 0;
            for (int bit = 2; bit >= 0; --bit) {
                const int xb = (x >> (2 - bit)) & 1;
                const int yb = (y >> (2 - bit)) & 1;
                value |= ((xb ^ yb) << (2 * bit + 1)) | (yb << (2 * bit));
            }
            m[y][x] = value;
        }
    }
    return m;
}

constexpr auto kBayer = bayerMatrix();

constexpr int kFrame = 4;     // dots of the outer frame
constexpr int kMargin = 8;    // white between the frame and the contents
constexpr int kSpokes = 32;   // sectors of the star, black and white in turn
constexpr int kOutline = 3;   // dots of the circle's outline
constexpr int kRampSteps = 9; // 0 %, 12.5 %, ... 100 %

bool ditherBlack(double level, int x, int y) {
    const int grey = static_cast<int>(std::lround(std::clamp(level, 0.0, 1.0) * 64.0));
    return grey > kBayer[static_cast<std::size_t>(y & 7)][static_cast<std::size_t>(x & 7)];
}

void drawStar(MonoPicture& picture, const PictureBox& area) {
    const double cx = area.left + area.width() / 2.0;
    const double cy = area.top + area.height() / 2.0;
    const double radius = std::min(area.width(), area.height()) / 2.0;
    const double ringWidth = std::max(2.0, std::round(radius / 14.0));
    const double sector = 2.0 * std::numbers::pi / kSpokes;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const double dx = x + 0.5 - cx;
            const double dy = y + 0.5 - cy;
            const double r = std::hypot(dx, dy);
            bool black = false;
            if (r >= radius) {
                black = false;
            } else if (r >= radius - kOutline) {
                black = true;
            } else if (r >= 0.64 * radius) {
                black = static_cast<int>((radius - kOutline - r) / ringWidth) % 2 == 1;
            } else if (r < 0.58 * radius) {
                const int index =
                    static_cast<int>((std::atan2(dy, dx) + std::numbers::pi) / sector);
                black = index % 2 == 0;
            }
            if (black)
                picture.set(x, y);
        }
    }
}

// Beside the star, where the paper is wide enough: line gratings on the left
// and checkerboards on the right, 1, 2 and 4 dots fine, one block each.
void drawSamples(MonoPicture& picture, const PictureBox& area, bool checkerboard) {
    if (area.width() == 0)
        return;
    const int blockHeight = (area.height() - 2 * kMargin) / 3;
    for (int block = 0; block < 3; ++block) {
        const int size = 1 << block;
        const int top = area.top + block * (blockHeight + kMargin);
        for (int y = top; y < top + blockHeight; ++y) {
            for (int x = area.left; x < area.right; ++x) {
                const int u = (x - area.left) / size;
                const int v = (y - top) / size;
                if (checkerboard ? (u + v) % 2 == 0 : u % 2 == 0)
                    picture.set(x, y);
            }
        }
    }
}

void drawRamp(MonoPicture& picture, const PictureBox& area) {
    // A 2-dot outline, so the white end of the ramp still shows its extent.
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (x < area.left + 2 || x >= area.right - 2 || y < area.top + 2 ||
                y >= area.bottom - 2)
                picture.set(x, y);
        }
    }
    const PictureBox inner{area.left + 2, area.top + 2, area.right - 2, area.bottom - 2};
    const int middle = inner.top + inner.height() / 2;
    const double span = std::max(1, inner.width() - 1);
    for (int y = inner.top; y < inner.bottom; ++y) {
        for (int x = inner.left; x < inner.right; ++x) {
            double level = (x - inner.left) / span;
            if (y >= middle) {
                const int step = std::min(kRampSteps - 1, static_cast<int>(level * kRampSteps));
                level = step / double(kRampSteps - 1);
            }
            if (ditherBlack(level, x, y))
                picture.set(x, y);
        }
    }
}

} // namespace

bool MonoPicture::dot(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height)
        return false;
    return (bits[static_cast<std::size_t>(y * bytesPerRow() + x / 8)] >> (7 - x % 8)) & 1;
}

void MonoPicture::set(int x, int y) {
    if (x < 0 || y < 0 || x >= width || y >= height)
        return;
    bits[static_cast<std::size_t>(y * bytesPerRow() + x / 8)] |=
        static_cast<std::uint8_t>(0x80 >> (x % 8));
}

std::vector<std::uint8_t> codePageChart(std::uint8_t table, ChartFont font) {
    std::vector<std::uint8_t> out{
        kEsc, 't', table, kEsc, 'M', static_cast<std::uint8_t>(font == ChartFont::B ? 1 : 0)};
    const auto put = [&out](std::string_view text) {
        out.insert(out.end(), text.begin(), text.end());
    };
    // 16 characters a row in two groups of 8 after the row's label: 20
    // columns, one line on 58 mm paper (32 Font A columns) as on 80 mm.
    put("   ");
    for (int column = 0; column < 16; ++column) {
        if (column == 8)
            out.push_back(' ');
        out.push_back(static_cast<std::uint8_t>(hexDigit(column)));
    }
    out.push_back(kLf);
    for (int row = 0; row < kChartRows; ++row) {
        const int first = kChartFirstCode + 16 * row;
        out.push_back(static_cast<std::uint8_t>(hexDigit(first >> 4)));
        put("0 ");
        for (int column = 0; column < 16; ++column) {
            if (column == 8)
                out.push_back(' ');
            out.push_back(static_cast<std::uint8_t>(first + column));
        }
        out.push_back(kLf);
    }
    out.insert(out.end(), {kEsc, 'M', 0, kEsc, 't', 0});
    return out;
}

PictureLayout testPictureLayout(int width, int height) {
    PictureLayout layout;
    layout.frame = kFrame;
    const int inset = kFrame + kMargin;
    const int rampHeight = std::max(16, height / 5);
    layout.ramp = {inset, height - inset - rampHeight, width - inset, height - inset};
    const int upperHeight = layout.ramp.top - kMargin - inset;
    const int starSide = std::min(width - 2 * inset, upperHeight);
    const int starLeft = (width - starSide) / 2;
    layout.star = {starLeft, inset, starLeft + starSide, inset + starSide};
    const int panelWidth = std::max(0, std::min(starLeft - kMargin - 2 * inset, starSide / 2));
    layout.gratings = {2 * inset, inset, 2 * inset + panelWidth, inset + upperHeight};
    layout.checkerboards = {width - 2 * inset - panelWidth, inset, width - 2 * inset,
                            inset + upperHeight};
    if (panelWidth < 24 || upperHeight < 3 * 8 + 2 * kMargin)
        layout.gratings = layout.checkerboards = PictureBox{};
    return layout;
}

MonoPicture drawTestPicture(int width, int height) {
    if (width < kRasterMinWidth || width > kRasterMaxWidth || width % 8 != 0)
        throw std::invalid_argument(
            "picture width " + std::to_string(width) + " is not a multiple of 8 from " +
            std::to_string(kRasterMinWidth) + " to " + std::to_string(kRasterMaxWidth));
    if (height < kRasterMinHeight || height > kRasterMaxHeight)
        throw std::invalid_argument("picture height " + std::to_string(height) + " is not from " +
                                    std::to_string(kRasterMinHeight) + " to " +
                                    std::to_string(kRasterMaxHeight));
    MonoPicture picture;
    picture.width = width;
    picture.height = height;
    picture.bits.assign(static_cast<std::size_t>(width / 8 * height), 0);

    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (x < kFrame || x >= width - kFrame || y < kFrame || y >= height - kFrame)
                picture.set(x, y);

    const PictureLayout layout = testPictureLayout(width, height);
    drawStar(picture, layout.star);
    drawSamples(picture, layout.gratings, false);
    drawSamples(picture, layout.checkerboards, true);
    drawRamp(picture, layout.ramp);
    return picture;
}

std::vector<std::uint8_t> rasterCommand(const MonoPicture& picture) {
    const int xBytes = picture.bytesPerRow();
    const std::array<std::uint8_t, 8> header{kGs,
                                             'v',
                                             '0',
                                             0, // normal size
                                             static_cast<std::uint8_t>(xBytes & 0xFF),
                                             static_cast<std::uint8_t>(xBytes >> 8),
                                             static_cast<std::uint8_t>(picture.height & 0xFF),
                                             static_cast<std::uint8_t>(picture.height >> 8)};
    std::vector<std::uint8_t> out(header.size() + picture.bits.size());
    std::copy(header.begin(), header.end(), out.begin());
    std::copy(picture.bits.begin(), picture.bits.end(), out.begin() + header.size());
    return out;
}

} // namespace ordalia::testpages
