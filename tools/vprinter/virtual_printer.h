#pragma once

#include "printer_model.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ordalia::vprinter {

struct VirtualPrinterOptions {
    // The printer itself. An empty nvFolder gets a new temporary folder,
    // removed with the printer unless keepNvFolder is set.
    PrinterOptions printer;
    bool keepNvFolder = false;
    // Every byte received is appended here as it arrives; empty: none.
    std::filesystem::path captureFile;
    // Read no faster than `baud` bits per second at 10 bits per byte.
    bool paced = false;
    std::uint32_t baud = 115200;
    // Once this many bytes have arrived in all, stop reading and answering
    // (a printer that died).
    std::optional<std::size_t> dieAfterBytes;
    // Once this many bytes have arrived in all, close the line: the program's
    // port sees a hang-up.
    std::optional<std::size_t> disconnectAfterBytes;
    // Be a network printer instead: listen on 127.0.0.1 at this port (0: any
    // free one) and take one connection after another; slavePath() is then
    // "tcp://127.0.0.1:PORT". A disconnect closes the connection and stops
    // listening.
    std::optional<std::uint16_t> tcpPort;
    // As a network printer: reset a connection nothing has come over for
    // this long, as many printers do (often after 90 s).
    std::optional<std::chrono::milliseconds> idleDisconnect;
    // A receive buffer of this many bytes, which the printer empties as it
    // prints, `printSpeed` bytes a second. Once it is full nothing more is
    // read until it is empty again: the program's writes wait, as they do on
    // a printer busy with a long receipt. None: the buffer never fills.
    std::optional<std::size_t> bufferFullAfter;
    std::uint32_t printSpeed = 4096;
};

class TcpLine;

// A printer on the far end of a pseudo-terminal. The program opens the
// slave side (slavePath()) as its serial port; the printer reads the master
// side on its own thread. It holds a slave descriptor of its own, so the line
// stays up while the program closes its port between operations.
//
// Every method may be called from any thread. Waits are bounded by their
// limit. A renderer attached through withModel runs on the printer's thread
// with the printer locked: it may read the model but not stop the printer.
class VirtualPrinter {
public:
    explicit VirtualPrinter(VirtualPrinterOptions options = {});
    ~VirtualPrinter();
    VirtualPrinter(const VirtualPrinter&) = delete;
    VirtualPrinter& operator=(const VirtualPrinter&) = delete;

    // Opens the pseudo-terminal and starts the thread. Throws
    // std::runtime_error when the terminal or the capture file cannot be had.
    void start();
    // Stops the thread and closes the line. The NV folder stays until the
    // printer is destroyed.
    void stop();
    bool running() const;

    std::string slavePath() const;
    std::filesystem::path nvFolder() const;

    // --- the line ---
    Bytes received() const;
    std::size_t receivedCount() const;
    // Every byte written back to the program.
    Bytes sent() const;
    // When byte `index` was read from the line.
    std::optional<std::chrono::steady_clock::time_point> arrivalOf(std::size_t index) const;
    // Since the last byte arrived or the receive buffer was last full (or
    // since start, before the first).
    std::chrono::milliseconds idleFor() const;
    bool dead() const;
    bool disconnected() const;

    bool waitForBytes(std::size_t count, std::chrono::milliseconds limit) const;
    // Waits until nothing has arrived for `quiet`.
    bool waitForQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds limit) const;
    bool waitForMode(PrinterMode mode, std::chrono::milliseconds limit) const;
    // Waits until `condition` holds; it is evaluated on the calling thread.
    bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) const;

    // --- what it recognised and stored ---
    PrinterMode mode() const;
    std::vector<RecordedCommand> commands() const;
    int selfTests() const;
    std::vector<Cut> cuts() const;
    std::vector<LogoPrint> logoPrints() const;
    std::vector<NvLogo> logos() const;
    Bytes printData() const;
    std::optional<SettingsDownload> settings() const;
    std::optional<Bytes> fontImage() const;
    std::optional<Bytes> firmwareImage() const;
    std::optional<Bytes> compoundImage(std::uint8_t language) const;
    std::vector<std::string> log() const;
    // Log lines from `first` on, and where the next call should start.
    std::vector<std::string> logSince(std::size_t& first) const;

    // --- faults and modes, at any time ---
    void setSilent(bool silent);
    void setWrongReply(std::optional<WrongReply> fault);
    void setStopAnsweringAtBlock(std::optional<std::size_t> block);
    void setDieAfterBytes(std::optional<std::size_t> count);
    void setDisconnectAfterBytes(std::optional<std::size_t> count);

    // --- a renderer ---
    // Runs `action` on the printer's model with the printer locked: to attach
    // a renderer (PaperRenderer) or to read one while the printer runs.
    void withModel(const std::function<void(PrinterModel&)>& action);

private:
    void run();
    void readLine(std::size_t allowance, std::chrono::steady_clock::time_point now);
    void writeReplies();
    void closeLine();
    // The program closed its connection, or it broke: the next is awaited.
    void endConnection(const std::string& why);
    std::size_t pacedAllowance(std::chrono::steady_clock::time_point now);
    // What the receive buffer takes now: nothing while it is full.
    std::size_t bufferAllowance(std::chrono::steady_clock::time_point now);
    void printFromBuffer(std::chrono::steady_clock::time_point now);

    mutable std::recursive_mutex m_mutex;
    mutable std::condition_variable_any m_changed;
    VirtualPrinterOptions m_options;
    std::filesystem::path m_nvFolder;
    bool m_ownsNvFolder = false;
    PrinterModel m_model;

    int m_master = -1; // or the connection, on a TcpLine
    std::unique_ptr<TcpLine> m_tcp;
    int m_slave = -1;
    int m_capture = -1;
    std::string m_slavePath;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    bool m_running = false;
    bool m_dead = false;
    bool m_disconnected = false;

    Bytes m_received;
    Bytes m_sent;
    Bytes m_unsent; // replies due but not yet taken by the line
    struct Arrival {
        std::size_t end; // bytes received up to and including this read
        std::chrono::steady_clock::time_point at;
    };
    std::vector<Arrival> m_arrivals;
    std::chrono::steady_clock::time_point m_lastActivity{};
    std::chrono::steady_clock::time_point m_connectedAt{};

    double m_credit = 0; // paced mode: bytes that may be read now
    std::chrono::steady_clock::time_point m_creditAt{};

    double m_buffered = 0; // bytes in the receive buffer, not yet printed
    bool m_bufferFull = false;
    std::chrono::steady_clock::time_point m_bufferedAt{};
};

} // namespace ordalia::vprinter
