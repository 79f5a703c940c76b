// ordalia-bench-transfers: how long each transfer's data phase takes against
// its floor, and how much of a core the program uses meanwhile.
//
// Every transfer is the real operation (the same one the window calls), run
// on four ports: three models in this process, whose output-queue counts tell
// the link's drain loop what a real port's would (a 16550 UART, uart_port.h; a
// USB-serial adapter and a printer's own USB port, usb_ports.h), and end to
// end against the virtual printer over a pseudo-terminal in its paced mode,
// which reads no faster than the line rate. A pseudo-terminal's queue count is
// always 0, so only the models show what the drain loop does.

#include "codepages/code_page_table.h"
#include "codepages/font_download.h"
#include "compound/compound_download.h"
#include "compound/compound_font.h"
#include "firmware/firmware_update.h"
#include "link/program_exchange.h"
#include "logos/logo_download.h"
#include "logos/logo_list.h"
#include "phase_probe.h"
#include "ports/system_ports.h"
#include "printer_model.h"
#include "support/bmp_builder.h"
#include "support/bytes.h"
#include "support/harness.h"
#include "testprint/test_pages.h"
#include "uart_port.h"
#include "usb_ports.h"
#include "virtual_printer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <sys/utsname.h>
#include <thread>
#include <vector>

namespace ordalia::bench {
namespace {

using namespace std::chrono_literals;
using testing::pseudoRandomBytes;
using testing::TempFolder;

constexpr std::uint32_t kBaud = 115200;
constexpr int kBitsPerByte = 10; // 8N1
const std::filesystem::path kProgramDir = ORDALIA_BENCH_PROGRAM_DIR;

double lineSeconds(std::size_t bytes) {
    return static_cast<double>(bytes) * kBitsPerByte / kBaud;
}

// --- the data each transfer sends ---

// A long receipt: ESC @, numbered text lines, and a cut as the last bytes.
std::vector<std::uint8_t> testPage(std::size_t size) {
    std::vector<std::uint8_t> page = {0x1B, 0x40}; // ESC @
    for (int line = 1; page.size() < size; ++line) {
        char text[64];
        std::snprintf(text, sizeof text, "Transfer page line %06d  0123456789 ABCDEFGHIJ\n", line);
        page.insert(page.end(), text, text + std::strlen(text));
    }
    page.resize(size);
    const std::uint8_t cut[] = {0x1D, 0x56, 0x42, 0x00}; // GS V 66 0
    std::copy(std::begin(cut), std::end(cut), page.end() - 4);
    return page;
}

std::vector<std::string> logoPicture(std::size_t width, std::size_t height) {
    std::vector<std::string> picture(height, std::string(width, '.'));
    for (std::size_t r = 0; r < height; ++r)
        for (std::size_t c = 0; c < width; ++c)
            if ((r / 16 + c / 16) % 2 == 0 || r == c)
                picture[r][c] = '#';
    return picture;
}

// --- one transfer ---

struct Setup {
    std::size_t dataBegin = 0;
    std::size_t dataEnd = 0;
    // Replies the program waits for between data bytes; the data phase then
    // ends with the last one read.
    std::size_t replies = 0;
    // Runs the operation with these services and link choice.
    std::function<Outcome(const Services&, const LinkChoice&)> run;
};

struct Transfer {
    std::string name;
    std::string dataNote;
    // Prepares the program folder; `services` reaches a port that is not used.
    std::function<Setup(TempFolder&, const Services&)> prepare;
    // How the UART model's FIFO takes bytes, and whether the transfer runs
    // on the other ports too (the 16550's way of loading is for comparison
    // on that model alone).
    UartPort::FifoLoad fifo = UartPort::FifoLoad::AsRoomFrees;
    bool uartOnly = false;
    // The targets are set for the five transfers; other rows are for comparison.
    bool targeted = true;
};

struct Ui {
    testing::FakeParallelPort parallel;
    testing::CountingEventPump events;
    testing::RecordingDialogs dialogs;
    testing::RecordingLabel label;
    testing::RecordingProgressBar bar;
    TransferGate gate;
};

Transfer testPageTransfer(std::size_t size) {
    return {"Test page", "bytes", [size](TempFolder& folder, const Services&) {
                folder.write("testpage/transfer.p", testPage(size));
                Setup s;
                s.dataEnd = size;
                s.run = [](const Services& services, const LinkChoice& choice) {
                    return SendTestPage(services, choice, "testpage/transfer.p");
                };
                return s;
            }};
}

Transfer firmwareTransfer(Ui& ui) {
    return {"Firmware image", "bytes", [&ui](TempFolder& folder, const Services&) {
                const auto path =
                    folder.write("printer.firm", pseudoRandomBytes(kFirmwareImageSize, 7));
                Setup s;
                s.dataBegin = kProgramRequestSize;
                s.dataEnd = kProgramRequestSize + kFirmwareImageSize;
                s.run = [&ui, path](const Services& services, const LinkChoice& choice) {
                    FirmwareUpdateRequest request;
                    request.FirmFilePath = path;
                    return updateFirmware(services, choice, request, ui.label, ui.bar);
                };
                return s;
            }};
}

Transfer fontTransfer(Ui& ui) {
    return {
        "Font image (code pages)", "bytes", [&ui](TempFolder& folder, const Services&) {
            std::filesystem::copy(kProgramDir / "Codepage Table", folder.path() / "Codepage Table",
                                  std::filesystem::copy_options::recursive);
            std::filesystem::remove(folder.path() / "Codepage Table" / "test");
            const CodePageTabLoad load = loadCodePageTab(folder.path());
            if (load.outcome != Outcome::Done)
                throw std::runtime_error("the shipped code page table does not load: " +
                                         load.message);
            Setup s;
            s.dataBegin = kProgramRequestSize;
            s.dataEnd = kProgramRequestSize + kCodePageImageSize;
            s.run = [&ui, slots = load.slots](const Services& services, const LinkChoice& choice) {
                return downloadFonts(services, choice, slots, ui.label, ui.bar);
            };
            return s;
        }};
}

Transfer logoTransfer(std::size_t width, std::size_t height) {
    auto buffers = std::shared_ptr<LogoBuffers>(makeLogoBuffers());
    return {"Logo (" + std::to_string(width) + " x " + std::to_string(height) + " dots)", "bytes",
            [buffers, width, height](TempFolder& folder, const Services& services) {
                const auto bmp = testing::BmpBuilder{logoPicture(width, height)}.build();
                const auto path = folder.write("pictures/logo.bmp", bmp);
                LogoLibrary library;
                if (AddLogoFile(services, library, *buffers, {path, "logo.bmp"}) != Outcome::Done)
                    throw std::runtime_error("the logo is refused by the library");
                const LogoStream stream = buildLogoStream(folder.path(), *buffers);
                if (stream.status != LogoStream::Status::Ready)
                    throw std::runtime_error("the logo stream is not built: " + stream.message);
                // FS q, n, the blocks, the three-byte tail.
                const std::size_t total =
                    kDefineNvImages.size() + 1 + stream.length + kLogoStreamTail.size();
                Setup s;
                s.dataEnd = total;
                s.run = [buffers](const Services& services, const LinkChoice& choice) {
                    std::uint8_t count = 0;
                    testing::RecordingProgressBar bar;
                    return Download_Logo_Click(services, choice, *buffers, count, bar);
                };
                return s;
            }};
}

Transfer compoundTransfer(Ui& ui) {
    constexpr std::uint32_t kKoreanLength = 622656;
    const std::size_t blocks = kKoreanLength / kCompoundBlockSize + 1;
    return {"Compound font (ex_Korean.code)", "bytes, " + std::to_string(blocks) + " replies",
            [&ui, blocks](TempFolder& folder, const Services&) {
                const auto path = folder.write("fonts/ex_Korean.code",
                                               pseudoRandomBytes(kKoreanLength + 1 + 700, 4));
                Setup s;
                s.dataBegin = 4; // FS, OpCompound, 0, the language
                s.dataEnd = 4 + blocks * kCompoundBlockSize;
                // Each block is answered before the next goes.
                s.replies = blocks;
                s.run = [&ui, path](const Services& services, const LinkChoice& choice) {
                    CompoundState state;
                    state.com_FilePath = path;
                    state.com_FileTitle = "ex_Korean.code";
                    return downloadCompound(services, choice, state, ui.label, ui.bar);
                };
                return s;
            }};
}

// --- the ports ---

// UsbSerialDefaultTimer is the USB-serial model with the chip's latency
// timer as the driver leaves it, not lowered by the low-latency flag; it runs
// the compound font only, for comparison.
enum class Port { Uart, Pty, UsbSerial, UsbPrinter, UsbSerialDefaultTimer };
constexpr Port kPorts[] = {Port::Uart, Port::Pty, Port::UsbSerial, Port::UsbPrinter};

const char* portName(Port port) {
    switch (port) {
    case Port::Uart:
        return "16550 model";
    case Port::Pty:
        return "pty, paced";
    case Port::UsbSerial:
        return "USB-serial";
    case Port::UsbPrinter:
        return "USB printer port";
    case Port::UsbSerialDefaultTimer:
        return "USB-serial, 16 ms latency timer";
    }
    return "?";
}

// The least a transfer can take on `port`: the line time of its bytes and of
// the replies it waits for, or, on the printer's own USB port, the printer's
// time to take its bytes. On both USB ports a reply is only read at a frame's
// start, and the next block only moves at a frame's start: a frame a reply.
double floorOn(Port port, std::size_t bytes, std::size_t replies) {
    const double frames = static_cast<double>(replies) * kUsbFrameSeconds;
    switch (port) {
    case Port::Uart:
    case Port::Pty:
        return lineSeconds(bytes + replies);
    case Port::UsbSerial:
        return lineSeconds(bytes + replies) + frames;
    case Port::UsbSerialDefaultTimer: // at worst a whole timer a reply
        return lineSeconds(bytes + replies) +
               static_cast<double>(replies) *
                   (UsbSerialPort::kDefaultLatencyTimer + kUsbFrameSeconds);
    case Port::UsbPrinter:
        return static_cast<double>(bytes) / UsbPrinterPort::kBytesPerSecond + frames;
    }
    return 0;
}

// --- one run ---

struct Measured {
    bool ok = false;
    // Ran into its time limit; seconds and delivered say how far it got.
    bool stopped = false;
    std::string error;
    double seconds = 0;    // data phase, to the later of the program's end and the last byte's
    double cpuPercent = 0; // of one core, over the data phase
    double pollsPerWrite = 0;
    std::size_t bytes = 0;     // in the data phase
    std::size_t delivered = 0; // of those, the ones that reached the printer
    std::size_t replies = 0;
    double floor = 0;
};

Measured finish(const PhaseProbe& probe, Outcome outcome, const Ui& ui,
                std::optional<std::chrono::steady_clock::time_point> lastByte) {
    Measured m;
    if (outcome != Outcome::Done) {
        m.error = "the operation ended without success";
        for (const auto& text : ui.dialogs.texts())
            m.error += ": " + text;
        return m;
    }
    if (!probe.begin() || !probe.end() || !lastByte) {
        m.error = "the data phase was not seen";
        return m;
    }
    const auto begin = *probe.begin();
    const auto end = *probe.end();
    const auto last = std::max(end.wall, *lastByte);
    m.seconds = std::chrono::duration<double>(last - begin.wall).count();
    // The share of one core over the whole data phase: a pseudo-terminal takes
    // a burst of bytes into its buffer faster than the line empties, and the
    // program is meant to idle while the printer reads them.
    m.cpuPercent =
        m.seconds > 0
            ? 100.0 * std::chrono::duration<double>(end.cpu - begin.cpu).count() / m.seconds
            : 0;
    m.ok = true;
    m.pollsPerWrite = probe.writes() ? static_cast<double>(probe.queuePolls()) / probe.writes() : 0;
    return m;
}

vprinter::PrinterOptions printerOptions() {
    vprinter::PrinterOptions options;
    options.programmingTime = 500ms;
    return options;
}

// A run this far over its floor has missed the target by a long way; it is
// stopped there, and its rate so far tells how far it would have missed.
constexpr double kStopAfterFloors = 1.25;
constexpr double kStopAfterSeconds = 5;

std::unique_ptr<ModelPort> makeModel(Port port, vprinter::PrinterModel& printer,
                                     const Transfer& transfer) {
    switch (port) {
    case Port::UsbSerial:
        return std::make_unique<UsbSerialPort>(printer);
    case Port::UsbSerialDefaultTimer:
        return std::make_unique<UsbSerialPort>(printer, UsbSerialPort::kDefaultLatencyTimer);
    case Port::UsbPrinter:
        return std::make_unique<UsbPrinterPort>(printer);
    default:
        return std::make_unique<UartPort>(printer, 16, transfer.fifo);
    }
}

Measured runOnModel(const Transfer& transfer, Port port) {
    Ui ui;
    TempFolder folder;
    vprinter::PrinterModel printer(printerOptions());
    const auto model = makeModel(port, printer, transfer);
    Services prepareServices{*model,     ui.parallel, systemClock(), ui.events,
                             ui.dialogs, ui.gate,     folder.path()};
    const Setup setup = transfer.prepare(folder, prepareServices);
    const std::size_t bytes = setup.dataEnd - setup.dataBegin;
    const double floor = floorOn(port, bytes, setup.replies);
    model->setDeadline(
        std::chrono::steady_clock::now() +
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(floor * kStopAfterFloors + kStopAfterSeconds)),
        setup.dataEnd - 1);
    PhaseProbe probe(*model, setup.dataBegin, setup.dataEnd, setup.replies > 0);
    Services services{probe,      ui.parallel, systemClock(), ui.events,
                      ui.dialogs, ui.gate,     folder.path()};
    LinkChoice choice;
    choice.device = "model";
    const Outcome outcome = setup.run(services, choice);

    Measured m;
    if (model->stopped() && probe.begin()) {
        const Mark stop = markNow();
        m.stopped = true;
        m.seconds = std::chrono::duration<double>(stop.wall - probe.begin()->wall).count();
        m.cpuPercent = 100.0 *
                       std::chrono::duration<double>(stop.cpu - probe.begin()->cpu).count() /
                       m.seconds;
        m.delivered =
            std::clamp(model->deliveredCount(), setup.dataBegin, setup.dataEnd) - setup.dataBegin;
        m.error = "stopped at its time limit";
    } else {
        // The last bytes may still be on their way when the operation returns.
        const auto deadline = std::chrono::steady_clock::now() + 2s;
        while (!model->deliveredAt(setup.dataEnd - 1) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
            (void)model->outputQueueCount();
        }
        m = finish(probe, outcome, ui, model->deliveredAt(setup.dataEnd - 1));
        m.delivered = bytes;
    }
    m.bytes = bytes;
    m.replies = setup.replies;
    m.floor = floor;
    return m;
}

Measured runOnPty(const Transfer& transfer, bool paced, double* bytesPerSecond = nullptr) {
    Ui ui;
    TempFolder folder;
    vprinter::VirtualPrinterOptions options;
    options.printer = printerOptions();
    options.paced = paced;
    options.baud = kBaud;
    vprinter::VirtualPrinter printer(options);
    printer.start();
    auto serial = createSystemSerialPort();
    Services prepareServices{*serial,    ui.parallel, systemClock(), ui.events,
                             ui.dialogs, ui.gate,     folder.path()};
    const Setup setup = transfer.prepare(folder, prepareServices);
    PhaseProbe probe(*serial, setup.dataBegin, setup.dataEnd, setup.replies > 0);
    Services services{probe,      ui.parallel, systemClock(), ui.events,
                      ui.dialogs, ui.gate,     folder.path()};
    LinkChoice choice;
    choice.device = printer.slavePath();
    const Outcome outcome = setup.run(services, choice);
    printer.waitForBytes(setup.dataEnd, 10s);
    Measured m = finish(probe, outcome, ui, printer.arrivalOf(setup.dataEnd - 1));
    m.bytes = setup.dataEnd - setup.dataBegin;
    m.delivered = m.bytes;
    m.replies = setup.replies;
    m.floor = floorOn(Port::Pty, m.bytes, m.replies);
    if (m.ok && bytesPerSecond)
        *bytesPerSecond = static_cast<double>(m.bytes) / m.seconds;
    printer.stop();
    return m;
}

Measured runOn(const Transfer& transfer, Port port) {
    return port == Port::Pty ? runOnPty(transfer, true) : runOnModel(transfer, port);
}

// --- the report ---

std::string firstLineOf(const std::string& file, const std::string& key) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) {
            const auto colon = line.find(':');
            return colon == std::string::npos ? line : line.substr(colon + 2);
        }
    return "unknown";
}

std::string machine() {
    utsname u{};
    ::uname(&u);
    std::ostringstream out;
    out << firstLineOf("/proc/cpuinfo", "model name") << ", " << std::thread::hardware_concurrency()
        << " cores, " << u.sysname << " " << u.release;
    return out.str();
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

std::string fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string percentOver(double seconds, double floor) {
    const double percent = 100.0 * (seconds - floor) / floor;
    return (percent >= 0 ? "+" : "") + fixed(percent, percent >= 100 ? 0 : 1) + " %";
}

constexpr double kTimeTarget = 1.05;     // of the floor
constexpr double kCpuTargetPercent = 15; // of one core

bool withinTargets(const Measured& m) {
    return m.ok && m.seconds <= m.floor * kTimeTarget && m.cpuPercent < kCpuTargetPercent;
}

// "56.98 s, +0.2 %, CPU 3.0 %"; a stopped run gives its rate so far and the
// time it would have taken at that rate.
std::string cell(const std::optional<Measured>& m) {
    if (!m)
        return "not run";
    const std::string cpu = "CPU " + fixed(m->cpuPercent, 1) + " %";
    if (m->stopped) {
        const double rate = static_cast<double>(m->delivered) / m->seconds;
        const double whole = rate > 0 ? static_cast<double>(m->bytes) / rate : 0;
        return "stopped at " + fixed(m->seconds, 1) + " s, " + fixed(rate / 1000.0, 2) + " kB/s (" +
               (rate > 0 ? "about " + percentOver(whole, m->floor) : "nothing sent") + "), " + cpu;
    }
    if (!m->ok)
        return "failed";
    return fixed(m->seconds, 2) + " s, " + percentOver(m->seconds, m->floor) + ", " + cpu;
}

// What missed the targets, cell by cell: "USB-serial +12.3 %".
std::string verdict(const std::map<Port, Measured>& runs) {
    std::string missed;
    for (const auto& [port, m] : runs) {
        if (withinTargets(m))
            continue;
        std::string why;
        if (m.stopped || !m.ok)
            why = m.stopped ? "stopped" : "failed";
        else {
            if (m.seconds > m.floor * kTimeTarget)
                why = percentOver(m.seconds, m.floor);
            if (m.cpuPercent >= kCpuTargetPercent)
                why +=
                    (why.empty() ? "" : ", ") + std::string("CPU ") + fixed(m.cpuPercent, 1) + " %";
        }
        missed += (missed.empty() ? "" : "; ") + std::string(portName(port)) + " " + why;
    }
    return missed.empty() ? "met" : "not met (" + missed + ")";
}

struct Row {
    std::string name;
    std::string dataNote;
    std::size_t bytes = 0;
    std::size_t replies = 0;
    bool targeted = true;
    bool uartOnly = false;
    std::map<Port, Measured> runs;
};

std::optional<Measured> runOf(const Row& row, Port port) {
    const auto it = row.runs.find(port);
    return it == row.runs.end() ? std::nullopt : std::optional<Measured>(it->second);
}

void usage() {
    std::cout << "Usage: ordalia-bench-transfers [--quick] [--port NAME]... [--only NAME]\n"
                 "  --quick      a 64K test page and a 256 x 256 logo (about five minutes)\n"
                 "  --port NAME  only on this port: uart, pty, usb-serial, usb-printer\n"
                 "  --only NAME  only the transfers whose name starts with NAME\n";
}

std::optional<Port> portNamed(const std::string& name) {
    if (name == "uart")
        return Port::Uart;
    if (name == "pty")
        return Port::Pty;
    if (name == "usb-serial")
        return Port::UsbSerial;
    if (name == "usb-printer")
        return Port::UsbPrinter;
    return std::nullopt;
}

} // namespace
} // namespace ordalia::bench

int main(int argc, char* argv[]) {
    using namespace ordalia;
    using namespace ordalia::bench;
    bool quick = false;
    std::set<Port> ports;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick") {
            quick = true;
        } else if (arg == "--port" && i + 1 < argc && portNamed(argv[i + 1])) {
            ports.insert(*portNamed(argv[++i]));
        } else if (arg == "--only" && i + 1 < argc) {
            only = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            usage();
            return 0;
        } else {
            std::cerr << "unknown argument: " << arg << "\n";
            usage();
            return 2;
        }
    }
    if (ports.empty())
        ports.insert(std::begin(kPorts), std::end(kPorts));

    Ui ui; // the captions and bars of the operations that show them
    std::vector<Transfer> transfers;
    transfers.push_back(testPageTransfer(quick ? 65535 : kTestPageBufferSize));
    transfers.push_back(firmwareTransfer(ui));
    transfers.push_back(fontTransfer(ui));
    // 1,024 x 1,016 dots is a 130,110-byte bitmap, just below the 128K limit.
    transfers.push_back(quick ? logoTransfer(256, 256) : logoTransfer(1024, 1016));
    transfers.push_back(compoundTransfer(ui));
    // A 16550 as its driver runs it takes bytes only once its FIFO has run
    // empty, so a byte-at-a-time sender has two byte times to come back.
    Transfer on16550 = testPageTransfer(65535);
    on16550.name = "Test page, 64K, 16550 FIFO";
    on16550.fifo = UartPort::FifoLoad::WhenEmpty;
    on16550.uartOnly = true;
    on16550.targeted = false;
    transfers.push_back(on16550);

    std::cout << "Machine: " << machine() << "\n";
    std::cout << "Load average before: " << loadAverage() << "\n";
    std::cout << "Line: " << kBaud << " bit/s, 8N1 (10 bits a byte); USB printer port: "
              << fixed(UsbPrinterPort::kBytesPerSecond / 1000.0, 0) << " kB/s print speed\n";
    if (quick)
        std::cout << "Quick run: a 64K test page and a 256 x 256 logo\n";
    std::cout << "\n";

    std::vector<Row> rows;
    for (const auto& transfer : transfers) {
        if (!only.empty() && transfer.name.rfind(only, 0) != 0)
            continue;
        Row row;
        row.name = transfer.name;
        row.dataNote = transfer.dataNote;
        row.targeted = transfer.targeted;
        row.uartOnly = transfer.uartOnly;
        for (const Port port : kPorts) {
            if (!ports.count(port) || (transfer.uartOnly && port != Port::Uart))
                continue;
            std::cerr << transfer.name << ": " << portName(port) << " ..." << std::endl;
            Measured m;
            try {
                m = runOn(transfer, port);
            } catch (const std::exception& e) {
                std::cerr << transfer.name << ": " << e.what() << "\n";
                return 1;
            }
            if (!m.ok)
                std::cerr << "  " << m.error << "\n";
            else
                std::cerr << "  " << fixed(m.seconds, 3) << " s, CPU " << fixed(m.cpuPercent, 1)
                          << " %, " << fixed(m.pollsPerWrite, 2) << " queue counts a write\n";
            row.bytes = m.bytes;
            row.replies = m.replies;
            row.runs[port] = m;
        }
        if (!row.runs.empty())
            rows.push_back(row);
    }

    // Byte-at-a-time sending with nothing pacing the reader.
    std::optional<Measured> unpaced;
    double unpacedRate = 0;
    if (ports.count(Port::Pty) && only.empty()) {
        std::cerr << "Test page, pseudo-terminal, unpaced ..." << std::endl;
        unpaced =
            runOnPty(testPageTransfer(quick ? 65535 : kTestPageBufferSize), false, &unpacedRate);
    }

    std::cout << "| Transfer | Data | Line floor | 16550 model | pty, paced | USB-serial floor | "
                 "USB-serial | Printer floor | USB printer port | Targets |\n";
    std::cout << "|---|---:|---:|---:|---:|---:|---:|---:|---:|---|\n";
    bool met = true;
    for (const auto& row : rows) {
        const auto floorCell = [&](Port port) {
            return row.uartOnly && port != Port::Uart
                       ? std::string()
                       : fixed(floorOn(port, row.bytes, row.replies), 2) + " s";
        };
        std::string data = std::to_string(row.bytes) + " " + row.dataNote;
        std::cout << "| " << row.name << " | " << data << " | " << floorCell(Port::Uart) << " | "
                  << cell(runOf(row, Port::Uart)) << " | " << cell(runOf(row, Port::Pty)) << " | "
                  << floorCell(Port::UsbSerial) << " | " << cell(runOf(row, Port::UsbSerial))
                  << " | " << floorCell(Port::UsbPrinter) << " | "
                  << cell(runOf(row, Port::UsbPrinter)) << " | "
                  << (row.targeted ? "" : "for comparison: ") << verdict(row.runs) << " |\n";
        if (row.targeted)
            for (const auto& [port, m] : row.runs)
                met = met && withinTargets(m);
    }
    std::cout << "\n";
    if (unpaced) {
        if (unpaced->ok)
            std::cout << "Byte-at-a-time over the pseudo-terminal, unpaced: "
                      << fixed(unpacedRate / 1000.0, 1) << " kB/s ("
                      << fixed(unpacedRate * kBitsPerByte / kBaud, 1) << " x the line rate), CPU "
                      << fixed(unpaced->cpuPercent, 1) << " %\n";
        else
            std::cout << "Byte-at-a-time over the pseudo-terminal, unpaced: failed ("
                      << unpaced->error << ")\n";
    }
    // Each of the compound font's blocks waits for a one-byte reply, which a
    // USB-serial chip holds until its latency timer runs out.
    if (ports.count(Port::UsbSerial) && (only.empty() || only.rfind("Compound", 0) == 0)) {
        std::cerr << "Compound font: USB-serial, 16 ms latency timer ..." << std::endl;
        const auto withFlag =
            runOf(*std::find_if(rows.begin(), rows.end(),
                                [](const Row& r) { return r.name.rfind("Compound", 0) == 0; }),
                  Port::UsbSerial);
        const Measured without = runOn(compoundTransfer(ui), Port::UsbSerialDefaultTimer);
        const auto seconds = [](const std::optional<Measured>& m) {
            return m && m->ok ? fixed(m->seconds, 2) + " s, CPU " + fixed(m->cpuPercent, 1) + " %"
                              : std::string(m ? "failed" : "not run");
        };
        std::cout << "| Compound font on the USB-serial model | Latency timer | Data phase |\n"
                     "|---|---:|---:|\n"
                  << "| low-latency flag set (as the program opens a port) | 1 ms | "
                  << seconds(withFlag) << " |\n"
                  << "| the driver's default | 16 ms | " << seconds(without);
        if (withFlag && withFlag->ok && without.ok)
            std::cout << ", " << percentOver(without.seconds, withFlag->seconds);
        std::cout << " |\n\n";
    }
    std::cout << "Load average after: " << loadAverage() << "\n";
    std::cout << "Targets (each transfer within 5 % of its floor on every port, CPU under 15 % of "
                 "one core; the 16550 FIFO row is for comparison): "
              << (met ? "met" : "NOT met") << "\n";
    return met ? 0 : 3;
}
