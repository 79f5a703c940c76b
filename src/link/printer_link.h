#pragma once

#include "link/services.h"
#include "ports/port_names.h"
#include "ports/serial_port.h"

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia {

// The settings the link's speed list (Sbaud) offers, slowest first; a saved
// record's baud byte is a position in it.
inline constexpr std::array<std::string_view, 4> kSbaudItems = {"9600,n,8,1", "19200,n,8,1",
                                                                "38400,n,8,1", "115200,n,8,1"};
inline constexpr int kDefaultSbaud = 3;

// The interface strip as an operation sees it when it starts.
struct LinkChoice {
    int portIndex = 1;                     // SPort's selected index: 0 blank, -1 typed text
    std::string settings = "115200,n,8,1"; // Sbaud's text
    bool serialSelected = true;            // PortSelect_Serial is set
    int parallelIndex = 0;                 // 0 LPT1, 1 LPT2
    // A device opened in place of what portIndex means ("/dev/ttyUSB0"), for
    // the command line's --port; empty: the port list entry and its mapping.
    std::string device;
    // "Network" is chosen: the printer at `host` ("192.168.1.50",
    // "printer.local:9100", "[fe80::1]") is opened as tcp://host, whatever
    // portIndex and device say. The serial path is still the one taken
    // (serialSelected stays set): the printer answers on the connection.
    bool networkSelected = false;
    std::string host;
};

// A port that could not be opened, stopped taking bytes or went away. The
// operation that catches it closes the port and shows what() to the user.
class LinkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// DLE EOT n, the real-time status query: a printer answers it with one byte
// as soon as it reads it, ahead of what it still has to print.
inline constexpr std::array<std::uint8_t, 2> kDleEot = {0x10, 0x04};
inline constexpr std::uint8_t kStatusPrinter = 1;
// Every status byte has bits 1 and 4 set and bits 0 and 7 clear; a byte that
// does not is something else (a late identity text, line noise).
inline constexpr std::uint8_t kStatusFixedMask = 0x93;
inline constexpr std::uint8_t kStatusFixedBits = 0x12;
inline constexpr bool isStatusByte(std::uint8_t b) {
    return (b & kStatusFixedMask) == kStatusFixedBits;
}

// Reply outcomes of RS_ACK.
inline constexpr std::uint8_t kReplyNone = 0;     // nothing within 10,000 ms
inline constexpr std::uint8_t kReplyRefused = 1;  // first byte not 0xAA
inline constexpr std::uint8_t kReplyAccepted = 2; // first byte 0xAA
// The one path by which bytes reach the printer and replies come back.
//
// SendSerialByte keeps its meaning (the same bytes in the same order, never
// faster than the line empties) but not one write per byte: a USB serial
// adapter, or a printer whose own USB port shows up as a serial device,
// reports its output queue empty only when the adapter has taken a USB
// transfer, about one frame (1 ms) after each write, which held a
// byte-at-a-time sender to some 1,000 bytes a second. So the link holds the
// bytes it is given and writes them as one run of at most kRunLineUs of line
// time (or kRunMaxBytes), then drains the run as it drains a block. A byte
// is held only while its caller is still handing bytes over, so for well
// under a run's line time; a run older than that is written with the next
// byte.
//
// Everything held is written and drained before anything that could depend
// on the printer having it: every other public operation (RS_ACK, DelayMs,
// a block, a parallel byte, the input queue, opening, closing) and the
// destructor start with flush(). Operations end by closing the port, so the
// last run is out before any message shows.
//
// The drain keeps the line busy with few wake-ups. The link reckons when the
// line will have sent everything written to it. After a write it looks at
// the port's count once a USB frame (kDrainLookUs) until kDrainLeadUs before
// that moment, then within that lead until the count is 0, and returns as
// soon as the count is 0: the caller's next run is written while the line
// still has the lead to send, and a port with no line behind it (a printer's
// own USB port) is fed as fast as its count falls. The lead covers a USB write, which takes up to 1
// ms to reach the adapter's chip (its count is 0 while the chip still holds up to 128 bytes), and a
// late wake-up; a 16550's 16-byte FIFO, hidden from the count, gives its own lead when the count
// reaches 0. A port whose count is always 0 (a pseudo-terminal) is written as fast as it takes the
// bytes.
//
// A network printer and a printer's own USB port have no line: the settings'
// speed means nothing there. On them a run is kRunMaxBytes whatever the speed,
// the drain looks at the count every kNoLineLookUs and ends when it is 0 (on
// a network, when the printer has acknowledged every byte; after a run, when
// no more than kNoLineRunWindow bytes wait), and it fails when the count has
// not fallen for two seconds: a printer printing a long page takes bytes
// slowly but steadily.
class PrinterLink {
public:
    PrinterLink(const Services& services, LinkChoice choice);
    ~PrinterLink();
    PrinterLink(const PrinterLink&) = delete;
    PrinterLink& operator=(const PrinterLink&) = delete;

    bool SerialLinkSelected() const { return m_choice.serialSelected; }
    bool IsSerialPortChosen() const {
        if (m_choice.networkSelected)
            return !m_choice.host.empty();
        return !m_choice.device.empty() || m_choice.portIndex != 0;
    }

    // Opens the chosen port with the chosen settings. Throws LinkError with a
    // message naming the entry, the device and the reason.
    void OpenSerialPort();
    // Sends what is held, then closes. The port is closed even when that
    // send fails; the LinkError is then thrown.
    void CloseSerialPort();

    // Holds the byte for the current run; a full run is written and drained.
    void SendSerialByte(std::uint8_t b);
    // Writes what is held, then the block in one write, and waits until the
    // output queue is empty. Each drain is limited to a few times the line
    // time of its bytes; past it LinkError is thrown.
    void SendSerialBlock(std::span<const std::uint8_t> bytes);
    // Writes and drains the bytes held, if any. A failure drops them.
    void flush(std::size_t leaveWaiting = 0);
    // Waits for the printer's ready bit, writes the byte and strobes. An index
    // other than 0 or 1 writes nothing.
    void SendParallelByte(std::uint8_t b);

    // Waits up to 10,000 ms for a reply, then consumes everything waiting.
    std::uint8_t RS_ACK();
    // Waits `ms` milliseconds while the window processes its events.
    void DelayMs(std::int32_t ms);

    // Input-queue access for exchanges that wait on their own terms; like
    // every operation but SendSerialByte, they flush() first.
    int inputQueueCount();
    std::vector<std::uint8_t> readInput(); // everything waiting
    void discardInput();

    // "COM 3 (/dev/ttyUSB0)": the entry and the device it means.
    // Whether the opened device sends at the speed of a line (a serial port),
    // not at its own pace (a USB printer port, a network printer).
    bool hasLine() const { return m_hasLine; }
    std::string portDescription() const;
    const LinkChoice& choice() const { return m_choice; }
    const Services& services() const { return m_services; }

private:
    // Both return once the port holds no more than leaveWaiting bytes.
    void writeAndDrain(std::span<const std::uint8_t> bytes, std::size_t leaveWaiting = 0);
    void drainOutput(std::size_t bytesWritten, std::size_t leaveWaiting);
    // How many bytes a run may hold at the port's speed.
    std::size_t runLimit() const;
    // Time the line takes for `bytes` at the port's speed and framing.
    std::uint64_t lineMicros(std::size_t bytes) const;
    // On a port whose count does not show what the printer has taken: asks
    // DLE EOT 1 and waits for its status byte, or fails.
    void confirmDelivery();
    [[noreturn]] void fail(const std::string& what);
    // Pumps the window's events when kPumpIntervalMs have passed since the
    // last pump; sends and reads nothing.
    void keepWindowAlive();

    Services m_services;
    LinkChoice m_choice;
    SerialSettings m_settings;
    std::string m_device;
    // False for a network printer or a printer's own USB port (set at open).
    bool m_hasLine = true;
    std::string m_deviceError; // why the port list entry has no device
    PortName m_portName;       // what the port list entry named
    // When the line will have sent everything written to it, were it sending
    // at full speed (Clock::nowMicros): m_lineBytes since m_lineSinceUs. The
    // port's count does not show the bytes in its UART's FIFO; this tells how
    // long they still last. Counted from one start, so no rounding adds up.
    std::uint64_t lineDryAtUs() const { return m_lineSinceUs + lineMicros(m_lineBytes); }
    std::uint64_t m_lineSinceUs = 0;
    std::size_t m_lineBytes = 0;
    std::uint32_t m_lastPumpMs = 0;
    // The run being gathered, and when its first byte came (Clock::nowMicros).
    std::vector<std::uint8_t> m_run;
    std::uint64_t m_runSinceUs = 0;
    // The last run was drained only down to kNoLineRunWindow bytes.
    bool m_leftWaiting = false;
    // Bytes were written after which the operation has not looked for an
    // answer of the printer.
    bool m_unconfirmed = false;
};

} // namespace ordalia
