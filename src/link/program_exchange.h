#pragma once

#include "link/printer_link.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ordalia {

class Clock;
class Dialogs;
class EventPump;
class ProgressBar;
class StatusLabel;

// The three operations that write the printer's memory share one exchange:
// a 12-byte request naming the operation, one reply byte (0xAA accepts), the
// operation's data, and for the font and the firmware a timed wait while the
// printer programs itself and a check that it answers again.

inline constexpr std::uint8_t OpSettings = 0xC6;
inline constexpr std::uint8_t OpFont = 0xC7;
inline constexpr std::uint8_t OpFirmware = 0xC8;

inline constexpr std::size_t kProgramRequestSize = 12;

// FS, the operation byte, then "KOVIR" twice. No length, checksum or
// terminator: the printer checks what follows and says so in its reply.
constexpr std::array<std::uint8_t, kProgramRequestSize> ProgramRequest(std::uint8_t op) {
    return {0x1C, op, 'K', 'O', 'V', 'I', 'R', 'K', 'O', 'V', 'I', 'R'};
}

inline constexpr std::string_view kConnectingErrorMessage = "Connecting Error !!";
inline constexpr std::string_view kIrcCheckErrorMessage = "IRC_CHECK Error !!";

// GS I 1: asks the printer for its ID; only the arrival of an answer counts.
inline constexpr std::array<std::uint8_t, 3> kPrinterIdQuery = {0x1D, 0x49, 0x01};
// ESC 0x88: the printer prints its own test page.
inline constexpr std::array<std::uint8_t, 2> kTestPageCommand = {0x1B, 0x88};

inline constexpr std::uint32_t kProgrammingCaptionMs = 1000;

// Writes the request for `op` a byte at a time. The port must be open.
void SendProgramRequest(PrinterLink& link, std::uint8_t op);

// Waits for the reply byte (RS_ACK). True on 0xAA. Otherwise closes the port,
// shows "Connecting Error !!" (silence) or "IRC_CHECK Error !!" (any other
// byte) and returns false; the caller then undoes its own display changes.
bool ExpectAck(PrinterLink& link, Dialogs& dialogs);

// `cycles` times: each caption in turn on `label`, then the window's events,
// then one second's wait, during which the events are pumped every
// kPumpIntervalMs. With a bar, the last caption of each cycle steps it
// (never past 100) before the events are pumped.
void ShowProgrammingWait(StatusLabel& label, std::span<const std::string_view> captions, int cycles,
                         ProgressBar* bar, Clock& clock, EventPump& events);

// How ConfirmRestart waits for the answer to the ID query: the font download
// sleeps 1 ms between polls; the firmware update polls without sleeping.
enum class RestartPoll { Sleep1Ms, Spin };

struct RestartCheck {
    bool answered = false;
    // Not answered because the port could not be reopened or failed while
    // asking (a USB adapter that comes back under another name while the
    // printer restarts): what the port said. The data had already gone out,
    // so the operation reports this as its own failure, not as a port error.
    std::optional<std::string> portFault;
};

// Reopens the port the operation used, sends the ID query and waits up to
// `timeoutMs` for any byte, pumping the window's events every
// kPumpIntervalMs. On an answer: discards it, sends the test page command,
// closes the port and returns answered. Otherwise, or on a port fault, closes
// the port and returns not answered.
RestartCheck ConfirmRestart(PrinterLink& link, std::int32_t timeoutMs, RestartPoll poll);

} // namespace ordalia
