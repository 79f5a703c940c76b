#pragma once

#include "dot_image.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia::vprinter {

// The modules of an encoded symbol, one dot each, row by row from the top; a
// linear bar code has one row. A set dot is a dark module (a bar). Drawn in
// printer dots with scaled(): the module width across, the bar height or the
// row height down.
using ModuleGrid = DotImage;

struct LinearBarcode {
    ModuleGrid bars;      // one row
    std::string readable; // the text a printer prints above or below it
    std::string note;     // for the log: "check digit 4 sent, 7 expected"
};

// GS k m: the bars of bar code system m (0 to 6, 65 to 73) for `data` as a
// printer takes it: UPC-A 11 or 12 digits, UPC-E 6, 7, 8, 11 or 12, EAN-13
// 12 or 13 and EAN-8 7 or 8. A check digit sent is drawn as sent (for UPC-E
// in the parity of its digits), as most printers do, and a wrong one is
// noted; with `computeCheckDigits` it is the printer's own. ITF
// drops an odd last digit; CODE39 may carry its '*' start and stop; CODABAR
// needs its start and stop A to D; CODE128 begins with "{A", "{B" or "{C".
// Data the system refuses gives nothing: the printer prints nothing then.
std::optional<LinearBarcode> encodeBarcode(int m, std::string_view data,
                                           bool computeCheckDigits = false);

// QR Code, error correction level 0 (L) to 3 (H); micro for the small model.
std::optional<ModuleGrid> encodeQrCode(std::string_view data, int level, bool micro = false);

struct Pdf417Shape {
    int columns = 0; // data columns 1 to 30; 0: as the data needs
    int rows = 0;    // 3 to 90; 0: as the data needs
    int level = -1;  // error correction level 0 to 8; -1: as the data needs
    bool truncated = false;
};
std::optional<ModuleGrid> encodePdf417(std::string_view data, const Pdf417Shape& shape);

// The two-dimensional codes of GS ( k: the settings and the stored data of
// QR Code (cn 49) and PDF417 (cn 48), kept until ESC @, and the picture the
// print function (fn 81) prints.
class SymbolStorage {
public:
    // One whole GS ( k command, prefix first. Gives the picture to print
    // for a print function that prints, nothing otherwise (settings, stored
    // data, a symbol the data cannot make). A print that is not drawn for
    // want of the symbol says why in `note`: a QR Code of model 1.
    std::optional<DotImage> command(std::span<const std::uint8_t> raw, std::string* note = nullptr);
    void reset() { *this = SymbolStorage(); }

    // Longest data kept: what the largest symbol of each holds.
    static constexpr std::size_t kMaxQrData = 7089;
    static constexpr std::size_t kMaxPdf417Data = 2710;

private:
    int m_qrModel = 50; // 49 model 1, 50 model 2, 51 micro
    int m_qrModule = 3;
    int m_qrLevel = 0;
    std::string m_qrData;

    Pdf417Shape m_pdfShape;
    int m_pdfModule = 3;
    int m_pdfRowHeight = 3; // times the module width
    std::string m_pdfData;
};

} // namespace ordalia::vprinter
