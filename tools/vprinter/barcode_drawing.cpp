#include "barcode_drawing.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <zint.h>

namespace ordalia::vprinter {
namespace {

// The symbol encoders are zint's; what a printer accepts, and how it lays
// the modules out in dots, is decided here.
struct ZintDeleter {
    void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};
using ZintSymbol = std::unique_ptr<zint_symbol, ZintDeleter>;

struct Encoded {
    ModuleGrid grid;
    std::string text; // zint's readable text
};

// Encodes `data` with zint; nothing when zint refuses it (a warning is fine).
std::optional<Encoded> encode(int symbology, std::string_view data, int option1 = -1,
                              int option2 = 0, int option3 = 0) {
    if (data.empty())
        return std::nullopt;
    ZintSymbol symbol(ZBarcode_Create());
    if (!symbol)
        return std::nullopt;
    symbol->symbology = symbology;
    symbol->input_mode = DATA_MODE;
    symbol->option_1 = option1;
    symbol->option_2 = option2;
    symbol->option_3 = option3;
    const int result =
        ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(data.data()),
                        static_cast<int>(data.size()));
    if (result >= ZINT_ERROR || symbol->rows <= 0 || symbol->width <= 0)
        return std::nullopt;
    Encoded out;
    out.grid = ModuleGrid(symbol->width, symbol->rows);
    // zint keeps each row as bits, the leftmost module in bit 0 of the first
    // byte (zint 2.11, Debian 12's; the scanner test reads every system back).
    for (int y = 0; y < out.grid.height; ++y)
        for (int x = 0; x < out.grid.width; ++x)
            out.grid.set(x, y, (symbol->encoded_data[y][x >> 3] >> (x & 7)) & 1);
    out.text = reinterpret_cast<const char*>(symbol->text);
    return out;
}

bool allDigits(std::string_view s) {
    return std::ranges::all_of(s, [](char c) { return c >= '0' && c <= '9'; });
}

bool allOf(std::string_view s, std::string_view allowed) {
    return std::ranges::all_of(s, [&](char c) { return allowed.find(c) != allowed.npos; });
}

// UPC-A data (number system 0 or 1, five manufacturer and five product
// digits) in the six digits of UPC-E, where its zeros allow it.
std::optional<std::string> suppressZeros(std::string_view a) {
    if (a[0] != '0' && a[0] != '1')
        return std::nullopt;
    const std::string_view maker = a.substr(1, 5);
    const std::string_view product = a.substr(6, 5);
    std::string six;
    if (maker.substr(2) == "000" || maker.substr(2) == "100" || maker.substr(2) == "200") {
        if (product.substr(0, 2) != "00")
            return std::nullopt;
        six = std::string(maker.substr(0, 2)) + std::string(product.substr(2)) + maker[2];
    } else if (maker.substr(3) == "00") {
        if (product.substr(0, 3) != "000")
            return std::nullopt;
        six = std::string(maker.substr(0, 3)) + std::string(product.substr(3)) + '3';
    } else if (maker[4] == '0') {
        if (product.substr(0, 4) != "0000")
            return std::nullopt;
        six = std::string(maker.substr(0, 4)) + product[4] + '4';
    } else {
        if (product.substr(0, 4) != "0000" || product[4] < '5')
            return std::nullopt;
        six = std::string(maker) + product[4];
    }
    return std::string(1, a[0]) + six;
}

// CODE128 data as the printer takes it: a code set first, '{' escapes for
// a set change ("{A" "{B" "{C"), a shift ("{S") and '{' itself ("{{"), set C
// one byte per pair of digits. Gives the characters the symbol holds. The
// function codes ("{1" to "{4") have no plain form zint takes, so a bar
// code with one is not drawn.
std::optional<std::string> code128Characters(std::string_view data) {
    if (data.size() < 2 || data[0] != '{' || data[1] < 'A' || data[1] > 'C')
        return std::nullopt;
    std::string out;
    char set = 'B';
    bool shifted = false;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (c == '{') {
            if (++i >= data.size())
                return std::nullopt;
            const char f = data[i];
            if (f == 'A' || f == 'B' || f == 'C') {
                set = f;
                continue;
            }
            if (f == 'S' && set != 'C') {
                shifted = true;
                continue;
            }
            if (f != '{' || set == 'C')
                return std::nullopt;
            out += '{';
            continue;
        }
        const char now = shifted ? (set == 'A' ? 'B' : 'A') : set;
        shifted = false;
        if (now == 'C') {
            if (c > 99)
                return std::nullopt;
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02u", static_cast<unsigned>(c));
            out += pair;
        } else if ((now == 'A' && c > 0x5F) || (now == 'B' && (c < 0x20 || c > 0x7F))) {
            return std::nullopt;
        } else {
            out += static_cast<char>(c);
        }
    }
    if (out.empty())
        return std::nullopt;
    return out;
}

std::string printable(std::string_view s) {
    std::string out;
    for (const char c : s)
        if (c >= 0x20 && c < 0x7F)
            out += c;
    return out;
}

std::optional<LinearBarcode> linear(std::optional<Encoded> encoded, std::string readable) {
    if (!encoded || encoded->grid.height != 1)
        return std::nullopt;
    return LinearBarcode{std::move(encoded->grid), std::move(readable), {}};
}

// The right-hand patterns of UPC and EAN digits, where the check digit is:
// seven modules each, 1 a bar.
constexpr const char* kRightPatterns[10] = {"1110010", "1100110", "1101100", "1000010", "1011100",
                                            "1001110", "1010000", "1000100", "1001000", "1110100"};

// UPC and EAN: encoded from the digits before the check digit, with the
// check digit the symbology computes. One sent (`sentCheck`, when not
// `compute`) replaces it: its seven modules, before the end guard's three,
// and the readable text's last digit.
std::optional<LinearBarcode> upcEan(int symbology, std::string_view data,
                                    std::initializer_list<std::size_t> lengths,
                                    bool compute = true) {
    if (!allDigits(data) || std::ranges::find(lengths, data.size()) == lengths.end())
        return std::nullopt;
    const std::string_view body = data.substr(0, *lengths.begin());
    auto encoded = encode(symbology, body);
    if (!encoded)
        return std::nullopt;
    std::string text = encoded->text;
    auto barcode = linear(std::move(encoded), text);
    const char sent = data.size() > body.size() ? data.back() : '\0';
    if (!barcode || sent == '\0' || text.empty() || text.back() == sent)
        return barcode;
    barcode->note = std::string("check digit ") + sent + " sent, " + text.back() + " expected";
    if (compute)
        return barcode;
    const int end = barcode->bars.width - 3;
    for (int i = 0; i < 7 && end - 7 >= 0; ++i)
        barcode->bars.set(end - 7 + i, 0, kRightPatterns[sent - '0'][i] == '1');
    barcode->readable.back() = sent;
    return barcode;
}

// UPC-E carries its check digit in the parity of its six digits: for
// number system 0, E (even, the right-hand pattern reversed) or O (odd, its
// complement) for each, by check digit; number system 1 swaps them.
constexpr const char* kUpcEParity[10] = {"EEEOOO", "EEOEOO", "EEOOEO", "EEOOOE", "EOEEOO",
                                         "EOOEEO", "EOOOEE", "EOEOEO", "EOEOOE", "EOOEOE"};

// UPC-E of `seven` (number system and six digits); a check digit sent is
// drawn in the parity, as a printer that takes it prints it.
std::optional<LinearBarcode> upcE(const std::string& seven, char sent, bool compute) {
    auto barcode = upcEan(BARCODE_UPCE, seven, {7});
    if (!barcode || sent == '\0' || barcode->readable.empty() || barcode->bars.width < 45)
        return barcode;
    const char right = barcode->readable.back();
    if (sent != right)
        barcode->note = std::string("check digit ") + sent + " sent, " + right + " expected";
    if (compute)
        return barcode;
    for (int i = 0; i < 6; ++i) {
        const char* pattern = kRightPatterns[seven[1 + i] - '0'];
        const bool even = (kUpcEParity[sent - '0'][i] == 'E') != (seven[0] == '1');
        for (int k = 0; k < 7; ++k)
            barcode->bars.set(3 + 7 * i + k, 0, even ? pattern[6 - k] == '1' : pattern[k] == '0');
    }
    barcode->readable.back() = sent;
    return barcode;
}

} // namespace

std::optional<LinearBarcode> encodeBarcode(int m, std::string_view data, bool computeCheckDigits) {
    const int system = m >= 65 ? m - 65 : m;
    if (m > 6 && (m < 65 || m > 73))
        return std::nullopt;
    switch (system) {
    case 0: // UPC-A
        return upcEan(BARCODE_UPCA, data, {11, 12}, computeCheckDigits);
    case 1: { // UPC-E: its own six digits or the UPC-A number it stands for
        if (!allDigits(data))
            return std::nullopt;
        std::string seven;
        if (data.size() == 6)
            seven = "0" + std::string(data);
        else if (data.size() == 7 || data.size() == 8)
            seven = data.substr(0, 7);
        else if (data.size() == 11 || data.size() == 12) {
            const auto suppressed = suppressZeros(data);
            if (!suppressed)
                return std::nullopt;
            seven = *suppressed;
        } else
            return std::nullopt;
        if (seven[0] != '0' && seven[0] != '1')
            return std::nullopt;
        const bool withCheck = data.size() == 8 || data.size() == 12;
        return upcE(seven, withCheck ? data.back() : '\0', computeCheckDigits);
    }
    case 2: // EAN-13
        return upcEan(BARCODE_EANX, data, {12, 13}, computeCheckDigits);
    case 3: // EAN-8
        return upcEan(BARCODE_EANX, data, {7, 8}, computeCheckDigits);
    case 4: { // CODE39; the '*' start and stop are the printer's to add
        std::string_view body = data;
        if (body.size() >= 2 && body.front() == '*' && body.back() == '*')
            body = body.substr(1, body.size() - 2);
        if (body.empty() || !allOf(body, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%+-./"))
            return std::nullopt;
        auto encoded = encode(BARCODE_CODE39, body);
        if (!encoded)
            return std::nullopt;
        std::string text = encoded->text;
        return linear(std::move(encoded), std::move(text));
    }
    case 5: { // ITF: pairs of digits; an odd last digit is left out
        if (!allDigits(data))
            return std::nullopt;
        const std::string_view even = data.substr(0, data.size() & ~std::size_t{1});
        return linear(encode(BARCODE_C25INTER, even), std::string(even));
    }
    case 6: { // CODABAR: start and stop A to D around the data
        if (data.size() < 2 || !allOf(data.substr(0, 1), "ABCD") ||
            !allOf(data.substr(data.size() - 1), "ABCD") ||
            !allOf(data.substr(1, data.size() - 2), "0123456789$+-./:"))
            return std::nullopt;
        return linear(encode(BARCODE_CODABAR, data), std::string(data));
    }
    case 7: // CODE93: any ASCII; zint adds the two check characters
        if (!std::ranges::all_of(data, [](char c) { return (c & 0x80) == 0; }))
            return std::nullopt;
        return linear(encode(BARCODE_CODE93, data), printable(data));
    case 8: { // CODE128
        const auto characters = code128Characters(data);
        if (!characters)
            return std::nullopt;
        return linear(encode(BARCODE_CODE128, *characters), printable(*characters));
    }
    default:
        return std::nullopt;
    }
}

std::optional<ModuleGrid> encodeQrCode(std::string_view data, int level, bool micro) {
    auto encoded =
        encode(micro ? BARCODE_MICROQR : BARCODE_QRCODE, data, std::clamp(level, 0, 3) + 1);
    if (!encoded)
        return std::nullopt;
    return std::move(encoded->grid);
}

std::optional<ModuleGrid> encodePdf417(std::string_view data, const Pdf417Shape& shape) {
    auto encoded = encode(shape.truncated ? BARCODE_PDF417COMP : BARCODE_PDF417, data, shape.level,
                          shape.columns, shape.rows);
    if (!encoded)
        return std::nullopt;
    return std::move(encoded->grid);
}

std::optional<DotImage> SymbolStorage::command(std::span<const std::uint8_t> raw,
                                               std::string* note) {
    // GS ( k pL pH cn fn [m] ...
    if (raw.size() < 7 || raw[2] != 'k')
        return std::nullopt;
    const int cn = raw[5];
    const int fn = raw[6];
    const auto at = [&](std::size_t i) -> int { return i < raw.size() ? raw[i] : -1; };
    const auto stored = [&] {
        return std::string(reinterpret_cast<const char*>(raw.data()) +
                               std::min<std::size_t>(8, raw.size()),
                           raw.size() - std::min<std::size_t>(8, raw.size()));
    };
    if (cn == 49) { // QR Code
        switch (fn) {
        case 65:
            if (at(7) >= 49 && at(7) <= 51)
                m_qrModel = at(7);
            break;
        case 67:
            if (at(7) >= 1 && at(7) <= 16)
                m_qrModule = at(7);
            break;
        case 69:
            if (at(7) >= 48 && at(7) <= 51)
                m_qrLevel = at(7) - 48;
            break;
        case 80:
            if (at(7) == 48) {
                m_qrData = stored();
                if (m_qrData.size() > kMaxQrData)
                    m_qrData.clear(); // more than any symbol holds: nothing prints
            }
            break;
        case 81: {
            if (at(7) != 48)
                break;
            // Model 1 has modules of its own that no encoder here makes;
            // drawing model 2 instead would pass what the printer prints.
            if (m_qrModel == 49) {
                if (note)
                    *note = "QR Code model 1 is not drawn: only model 2 and Micro QR are";
                break;
            }
            const auto grid = encodeQrCode(m_qrData, m_qrLevel, m_qrModel == 51);
            if (!grid)
                break;
            return scaled(*grid, m_qrModule, m_qrModule);
        }
        default:
            break;
        }
    } else if (cn == 48) { // PDF417
        switch (fn) {
        case 65:
            if (at(7) >= 0 && at(7) <= 30)
                m_pdfShape.columns = at(7);
            break;
        case 66:
            if (at(7) == 0 || (at(7) >= 3 && at(7) <= 90))
                m_pdfShape.rows = at(7);
            break;
        case 67:
            if (at(7) >= 2 && at(7) <= 8)
                m_pdfModule = at(7);
            break;
        case 68:
            if (at(7) >= 2 && at(7) <= 8)
                m_pdfRowHeight = at(7);
            break;
        case 69:
            // A level (m 48), or a share of the code words (m 49), which
            // leaves the level to the data as zint's own choice does.
            if (at(7) == 48 && at(8) >= 48 && at(8) <= 56)
                m_pdfShape.level = at(8) - 48;
            else if (at(7) == 49 && at(8) >= 1 && at(8) <= 40)
                m_pdfShape.level = -1;
            break;
        case 70:
            if (at(7) == 0 || at(7) == 1)
                m_pdfShape.truncated = at(7) == 1;
            break;
        case 80:
            if (at(7) == 48) {
                m_pdfData = stored();
                if (m_pdfData.size() > kMaxPdf417Data)
                    m_pdfData.clear();
            }
            break;
        case 81: {
            if (at(7) != 48)
                break;
            const auto grid = encodePdf417(m_pdfData, m_pdfShape);
            if (!grid)
                break;
            return scaled(*grid, m_pdfModule, m_pdfModule * m_pdfRowHeight);
        }
        default:
            break;
        }
    }
    return std::nullopt;
}

} // namespace ordalia::vprinter
