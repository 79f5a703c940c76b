#pragma once

#include "common/outcome.h"
#include "link/printer_link.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia {

// Asking the printer who it is and how it is: the standard ESC/POS queries
// GS I (identity) and DLE EOT (real-time status), each answered on its own.

// How long each answer is waited for, from when the printer has the query.
inline constexpr std::uint32_t kInfoAnswerWaitMs = 500;

// GS I n: one byte for n = 1 to 3; 0x5F, text, NUL for n = 65 and up.
inline constexpr std::uint8_t kInfoModelId = 1;
inline constexpr std::uint8_t kInfoTypeId = 2;
inline constexpr std::uint8_t kInfoRomVersion = 3;
inline constexpr std::uint8_t kInfoFirmware = 65;
inline constexpr std::uint8_t kInfoMaker = 66;
inline constexpr std::uint8_t kInfoModelName = 67;
inline constexpr std::uint8_t kInfoSerialNumber = 68;
inline constexpr std::uint8_t kInfoTextHeader = 0x5F;
inline constexpr std::uint8_t kInfoTextEnd = 0x00;
// A text longer than this is not an identity answer; the wait stops there.
inline constexpr std::size_t kInfoTextMaxBytes = 80;

// GS I 2, the printer type.
inline constexpr std::uint8_t kTypeTwoByteCharacters = 0x01;
inline constexpr std::uint8_t kTypeAutoCutter = 0x02;
inline constexpr std::uint8_t kTypeDisplay = 0x04;

// DLE EOT n (kDleEot, kStatusPrinter and the fixed bits in printer_link.h):
// one status byte each.
inline constexpr std::uint8_t kStatusOffLine = 2;
inline constexpr std::uint8_t kStatusError = 3;
inline constexpr std::uint8_t kStatusPaper = 4;
// n = 1
inline constexpr std::uint8_t kStatusOffLineBit = 0x08;
// n = 2
inline constexpr std::uint8_t kOffLineCoverOpen = 0x04;
inline constexpr std::uint8_t kOffLineFeedButton = 0x08;
inline constexpr std::uint8_t kOffLinePaperEnd = 0x20;
inline constexpr std::uint8_t kOffLineError = 0x40;
// n = 3
inline constexpr std::uint8_t kErrorAutoCutter = 0x08;
inline constexpr std::uint8_t kErrorUnrecoverable = 0x20;
inline constexpr std::uint8_t kErrorAutoRecoverable = 0x40;
// n = 4
inline constexpr std::uint8_t kPaperNearEnd = 0x0C;
inline constexpr std::uint8_t kPaperEnd = 0x60;

// What one query got back.
enum class AnswerState {
    None,    // nothing within kInfoAnswerWaitMs
    Ok,      // an answer of the form the query asks for
    Garbled, // something else arrived
    NotAsked // the printer was off line: a printer holds such a query in its
             // buffer and answers it when back on line, where the next
             // operation would take the answer for its own reply
};

struct ByteAnswer {
    AnswerState state = AnswerState::None;
    std::uint8_t value = 0; // the first byte that arrived, also when garbled
};

struct TextAnswer {
    AnswerState state = AnswerState::None;
    std::string text; // printable ASCII; any other byte shows as '?'
};

struct PrinterInfo {
    ByteAnswer model;      // GS I 1
    ByteAnswer type;       // GS I 2
    ByteAnswer romVersion; // GS I 3
    TextAnswer firmware;   // GS I 65
    TextAnswer maker;      // GS I 66
    TextAnswer modelName;  // GS I 67
    TextAnswer serialNumber;
    ByteAnswer printer; // DLE EOT 1
    ByteAnswer offLine; // DLE EOT 2
    ByteAnswer error;   // DLE EOT 3
    ByteAnswer paper;   // DLE EOT 4

    // True when any query got anything back.
    bool answered() const;
};

// The answers as they arrived, turned into values. Pure, for any bytes.
ByteAnswer parseByteAnswer(std::span<const std::uint8_t> bytes);
ByteAnswer parseStatusAnswer(std::span<const std::uint8_t> bytes);
TextAnswer parseTextAnswer(std::span<const std::uint8_t> bytes);
// True when a text answer needs no more bytes: a NUL came after its first
// byte, or it is too long to be one.
bool textAnswerComplete(std::span<const std::uint8_t> bytes);

// "name: value" lines in words, in a fixed order: the texts, the identity
// bytes, then the status. A query without an answer says "no answer".
std::vector<std::string> printerInfoLines(const PrinterInfo& info);
// The lines for a message box: each begins with a capital, one a line.
std::string printerInfoMessage(const PrinterInfo& info);

struct PrinterInfoResult {
    Outcome outcome = Outcome::Refused;
    PrinterInfo info; // what was answered, when the outcome is Done
    // A serial printer silent at the chosen settings that answered at others
    // of the list: those settings ("9600,n,8,1").
    std::string answersAt;
};

inline constexpr std::string_view kInfoChoosePortMessage =
    "Choose the printer's port in \"Interface Setting\" first.";
inline constexpr std::string_view kInfoNeedsSerialMessage =
    "The printer can only be asked over the serial link; choose \"Serial\".";

// Opens the chosen port, sends each query and waits up to kInfoAnswerWaitMs
// for its answer with the window's events pumped, then closes the port. The
// real-time statuses (DLE EOT) go first, since a printer answers them at once
// even off line; a printer that answers none of them is silent, and one that
// says it is off line is not sent the identity queries (GS I). A serial
// printer silent at the chosen settings is looked for at the others of the
// list, with nothing but DLE EOT 1, each answer checked by its fixed bits:
// a technician rarely knows the speed a printer was left at.
// Shows nothing when the printer answered (the caller shows the lines);
// otherwise shows why and returns Failed (silence, a port that failed) or
// Refused (no port chosen, another transfer running, the parallel link).
PrinterInfoResult askPrinterInfo(const Services& services, const LinkChoice& choice);

// Who a printer is, in the fewest questions: DLE EOT 1 and, when the printer
// says it is on line, its model name and serial number (GS I 67 and 68).
struct PrinterIdentity {
    Outcome outcome = Outcome::Refused; // Done when the status was answered
    ByteAnswer printer;                 // DLE EOT 1
    TextAnswer modelName;               // GS I 67, not asked off line
    TextAnswer serialNumber;            // GS I 68, not asked off line
    bool offLine() const {
        return printer.state == AnswerState::Ok && (printer.value & kStatusOffLineBit);
    }
};
// Opens the chosen port, asks, closes. Failed, with a message, when the
// printer does not answer its status or the port fails.
PrinterIdentity identifyPrinter(const Services& services, const LinkChoice& choice);

// The speed search alone: DLE EOT 1 at the chosen settings, then at the
// others of the list, and nothing else. Done with `answersAt` set to the
// first settings at which the printer answered, and a message saying so;
// Failed when it answered at none, or the port failed; Refused for a port
// with no line (no speed to find), no port chosen or another transfer running.
PrinterInfoResult findPrinterSpeed(const Services& services, const LinkChoice& choice);

} // namespace ordalia
