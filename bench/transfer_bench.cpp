// ordalia-bench-transfers: how long each transfer's data phase takes at
// 115200 bit/s against its floor, and how much of a core the program uses
// meanwhile.
//
// Every transfer is the real operation (the same one the window calls), run
// twice: against the UART model in this process (uart_port.h), whose output
// queue count tells the drain loop what a real port's would, and end to end
// against the virtual printer over a pseudo-terminal in its paced mode, which
// reads no faster than the line rate. A pseudo-terminal's queue count is
// always 0, so only the first run shows what the drain loop does.

#include "codepages/code_page_table.h"
#include "codepages/font_download.h"
#include "compound/compound_download.h"
#include "compound/compound_font.h"
#include "firmware/firmware_update.h"
#include "link/program_exchange.h"
#include "link/system_ports.h"
#include "logos/logo_download.h"
#include "logos/logo_list.h"
#include "phase_probe.h"
#include "printer_model.h"
#include "support/bmp_builder.h"
#include "support/bytes.h"
#include "support/harness.h"
#include "testprint/test_pages.h"
#include "uart_port.h"
#include "virtual_printer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
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
    bool endsWithReply = false;
    double floorSeconds = 0;
    // Runs the operation with these services and link choice.
    std::function<Outcome(const Services&, const LinkChoice&)> run;
};

struct Transfer {
    std::string name;
    std::string floorNote;
    // Prepares the program folder; `services` reaches a port that is not used.
    std::function<Setup(TempFolder&, const Services&)> prepare;
    // How the UART model's FIFO takes bytes, and whether the transfer runs
    // over the pseudo-terminal too (where there is no FIFO to speak of).
    UartPort::FifoLoad fifo = UartPort::FifoLoad::AsRoomFrees;
    bool overPty = true;
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
                s.floorSeconds = lineSeconds(size);
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
                s.floorSeconds = lineSeconds(kFirmwareImageSize);
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
            s.floorSeconds = lineSeconds(kCodePageImageSize);
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
                s.floorSeconds = lineSeconds(total);
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
                s.endsWithReply = true;
                // Each block is answered before the next goes: its reply byte
                // comes back over the line, too.
                s.floorSeconds = lineSeconds(blocks * (kCompoundBlockSize + 1));
                s.run = [&ui, path](const Services& services, const LinkChoice& choice) {
                    CompoundState state;
                    state.com_FilePath = path;
                    state.com_FileTitle = "ex_Korean.code";
                    return downloadCompound(services, choice, state, ui.label, ui.bar);
                };
                return s;
            }};
}

struct Measured {
    bool ok = false;
    std::string error;
    double seconds = 0;    // data phase, to the later of the program's end and the last byte's
    double cpuPercent = 0; // of one core, over the data phase
    double pollsPerWrite = 0;
    std::size_t bytes = 0; // in the data phase
    double floor = 0;      // its line time and the waits of the protocol
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

Measured runOnUart(const Transfer& transfer) {
    Ui ui;
    TempFolder folder;
    vprinter::PrinterModel printer(printerOptions());
    UartPort uart(printer, 16, transfer.fifo);
    Services prepareServices{uart,       ui.parallel, systemClock(), ui.events,
                             ui.dialogs, ui.gate,     folder.path()};
    const Setup setup = transfer.prepare(folder, prepareServices);
    PhaseProbe probe(uart, setup.dataBegin, setup.dataEnd, setup.endsWithReply);
    Services services{probe,      ui.parallel, systemClock(), ui.events,
                      ui.dialogs, ui.gate,     folder.path()};
    LinkChoice choice;
    choice.device = "uart";
    const Outcome outcome = setup.run(services, choice);
    // The last bytes may still be in the UART when the operation returns.
    const auto deadline = std::chrono::steady_clock::now() + 1s;
    while (!uart.sentAt(setup.dataEnd - 1) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
        (void)uart.outputQueueCount();
    }
    Measured m = finish(probe, outcome, ui, uart.sentAt(setup.dataEnd - 1));
    m.bytes = setup.dataEnd - setup.dataBegin;
    m.floor = setup.floorSeconds;
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
    PhaseProbe probe(*serial, setup.dataBegin, setup.dataEnd, setup.endsWithReply);
    Services services{probe,      ui.parallel, systemClock(), ui.events,
                      ui.dialogs, ui.gate,     folder.path()};
    LinkChoice choice;
    choice.device = printer.slavePath();
    const Outcome outcome = setup.run(services, choice);
    printer.waitForBytes(setup.dataEnd, 10s);
    Measured m = finish(probe, outcome, ui, printer.arrivalOf(setup.dataEnd - 1));
    m.bytes = setup.dataEnd - setup.dataBegin;
    m.floor = setup.floorSeconds;
    if (m.ok && bytesPerSecond)
        *bytesPerSecond = static_cast<double>(setup.dataEnd - setup.dataBegin) / m.seconds;
    printer.stop();
    return m;
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

std::string over(const Measured& m, double floor) {
    if (!m.ok)
        return "failed";
    const double percent = 100.0 * (m.seconds - floor) / floor;
    return (percent >= 0 ? "+" : "") + fixed(percent, 1) + " %";
}

struct Row {
    std::string name;
    std::size_t bytes = 0;
    std::string floorNote;
    double floor = 0;
    std::optional<Measured> uart;
    std::optional<Measured> pty;
    bool targeted = true;
};

std::string cell(const std::optional<Measured>& m, double floor, int part) {
    if (!m)
        return "not run";
    if (!m->ok)
        return part == 0 ? "failed" : "";
    switch (part) {
    case 0:
        return fixed(m->seconds, 2) + " s";
    case 1:
        return over(*m, floor);
    default:
        return fixed(m->cpuPercent, 1) + " %";
    }
}

bool withinTargets(const std::optional<Measured>& m, double floor) {
    return !m || (m->ok && m->seconds <= floor * 1.05 && m->cpuPercent < 15.0);
}

void usage() {
    std::cout
        << "Usage: ordalia-bench-transfers [--quick] [--uart-only | --pty-only] [--only NAME]\n"
           "  --quick      a shorter test page and logo, no compound font (about 2 minutes)\n"
           "  --uart-only  only against the UART model in this process\n"
           "  --pty-only   only end to end over the pseudo-terminal\n"
           "  --only NAME  only the transfers whose name starts with NAME\n";
}

} // namespace
} // namespace ordalia::bench

int main(int argc, char* argv[]) {
    using namespace ordalia;
    using namespace ordalia::bench;
    bool quick = false;
    bool uart = true;
    bool pty = true;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick") {
            quick = true;
        } else if (arg == "--uart-only") {
            pty = false;
        } else if (arg == "--pty-only") {
            uart = false;
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

    Ui ui; // the captions and bars of the operations that show them
    std::vector<Transfer> transfers;
    transfers.push_back(testPageTransfer(quick ? 65535 : kTestPageBufferSize));
    transfers.push_back(firmwareTransfer(ui));
    transfers.push_back(fontTransfer(ui));
    // 1,024 x 1,016 dots is a 130,110-byte bitmap, just below the 128K limit.
    transfers.push_back(quick ? logoTransfer(256, 256) : logoTransfer(1024, 1016));
    if (!quick)
        transfers.push_back(compoundTransfer(ui));
    // A 16550 as its driver runs it takes bytes only once its FIFO has run
    // empty, so a byte-at-a-time sender has two byte times to come back.
    Transfer on16550 = testPageTransfer(65535);
    on16550.name = "Test page, 64K, 16550 FIFO";
    on16550.fifo = UartPort::FifoLoad::WhenEmpty;
    on16550.overPty = false;
    on16550.targeted = false;
    transfers.push_back(on16550);

    std::cout << "Machine: " << machine() << "\n";
    std::cout << "Load average before: " << loadAverage() << "\n";
    std::cout << "Line: " << kBaud << " bit/s, 8N1 (10 bits a byte)\n\n";

    std::vector<Row> rows;
    for (const auto& transfer : transfers) {
        if (!only.empty() && transfer.name.rfind(only, 0) != 0)
            continue;
        Row row;
        row.name = transfer.name;
        row.floorNote = transfer.floorNote;
        row.targeted = transfer.targeted;
        try {
            if (uart) {
                std::cerr << transfer.name << ": UART model ..." << std::endl;
                row.uart = runOnUart(transfer);
            }
            if (pty && transfer.overPty) {
                std::cerr << transfer.name << ": pseudo-terminal, paced ..." << std::endl;
                row.pty = runOnPty(transfer, true);
            }
        } catch (const std::exception& e) {
            std::cerr << transfer.name << ": " << e.what() << "\n";
            return 1;
        }
        const Measured& any = row.uart ? *row.uart : *row.pty;
        row.bytes = any.bytes;
        row.floor = any.floor;
        for (const auto* m : {&row.uart, &row.pty}) {
            if (*m && !(*m)->ok)
                std::cerr << transfer.name << ": " << (*m)->error << "\n";
            else if (*m)
                std::cerr << transfer.name << ": " << fixed((*m)->seconds, 3) << " s, CPU "
                          << fixed((*m)->cpuPercent, 1) << " %, " << fixed((*m)->pollsPerWrite, 2)
                          << " queue counts a write\n";
        }
        rows.push_back(row);
    }

    // Byte-at-a-time sending with nothing pacing the reader.
    std::optional<double> unpaced;
    std::optional<Measured> unpacedRun;
    if (pty && only.empty()) {
        std::cerr << "Test page, pseudo-terminal, unpaced ..." << std::endl;
        double rate = 0;
        unpacedRun = runOnPty(testPageTransfer(quick ? 65535 : kTestPageBufferSize), false, &rate);
        if (unpacedRun->ok)
            unpaced = rate;
    }

    std::cout << "| Transfer | Data | Floor | UART model | over floor | CPU | pty, paced | over "
                 "floor | CPU |\n";
    std::cout << "|---|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    bool met = true;
    for (const auto& row : rows) {
        std::cout << "| " << row.name << " | " << row.bytes << " " << row.floorNote << " | "
                  << fixed(row.floor, 2) << " s | " << cell(row.uart, row.floor, 0) << " | "
                  << cell(row.uart, row.floor, 1) << " | " << cell(row.uart, row.floor, 2) << " | "
                  << cell(row.pty, row.floor, 0) << " | " << cell(row.pty, row.floor, 1) << " | "
                  << cell(row.pty, row.floor, 2) << " |\n";
        if (row.targeted)
            met = met && withinTargets(row.uart, row.floor) && withinTargets(row.pty, row.floor);
    }
    std::cout << "\n";
    if (unpacedRun) {
        if (unpaced)
            std::cout << "Byte-at-a-time over the pseudo-terminal, unpaced: "
                      << fixed(*unpaced / 1000.0, 1) << " kB/s ("
                      << fixed(*unpaced * kBitsPerByte / kBaud, 1) << " x the line rate), CPU "
                      << fixed(unpacedRun->cpuPercent, 1) << " %\n";
        else
            std::cout << "Byte-at-a-time over the pseudo-terminal, unpaced: failed ("
                      << unpacedRun->error << ")\n";
    }
    std::cout << "Load average after: " << loadAverage() << "\n";
    std::cout
        << "Targets (each transfer's data phase within 5 % of its floor, CPU under 15 % of one "
           "core; the 16550 row is for comparison): "
        << (met ? "met" : "NOT met") << "\n";
    return met ? 0 : 3;
}
