#pragma once

// A printer's twin: what a real printer answered to "Printer Info", saved as
// a small JSON document (ordalia-cli info --save) so that the virtual printer
// can answer the same (ordalia-vprinter --twin).
//
//   {
//     "document": "ordalia printer twin",
//     "version": 1,
//     "identity": {"model_name": "SHOP-80", "firmware": "1.00", "maker": "...",
//                  "serial_number": "...", "model_id": 32, "type_id": 2,
//                  "type_bits": {"two_byte_characters": false,
//                                "auto_cutter": true, "display": false},
//                  "rom_version": 16},
//     "status": {"printer": 18, "off_line": 18, "error": 18, "paper": 18},
//     "paper_dots": 576
//   }
//
// Bytes are numbers 0 to 255; status bytes are the DLE EOT 1 to 4 answers. A
// query the printer did not answer (or answered with something else) is null.
// type_bits is written for people and must agree with type_id.

#include "link/printer_info.h"

#include <optional>
#include <string>
#include <string_view>

namespace ordalia {

inline constexpr std::string_view kTwinDocument = "ordalia printer twin";
inline constexpr int kTwinVersion = 1;

// Paper widths at 8 dots a millimetre: 58 mm ("2 inch") and 80 mm paper.
inline constexpr int kPaperDots2Inch = 384;
inline constexpr int kPaperDots3Inch = 576;

struct PrinterTwin {
    // Answers that were Ok; every other query is None.
    PrinterInfo info;
    int paperDots = kPaperDots3Inch;
};

struct TwinRead {
    std::optional<PrinterTwin> twin;
    std::string problem; // when there is no twin: what is wrong, in a sentence
};

// The document for what `info` holds; only Ok answers are kept.
std::string twinJson(const PrinterInfo& info, int paperDots);

// Any text: a twin, or why it is not one. A paper width must be a multiple
// of 8 from 8 to 4096 dots; a text may hold at most kInfoTextMaxBytes
// printable ASCII characters, as a printer's answer would.
TwinRead parseTwin(std::string_view text);

} // namespace ordalia
