// ordalia-vprinter: a virtual ESC/POS printer on a pseudo-terminal, for trying
// the program without a printer and for scripted end-to-end runs.

#include "font_image.h"
#include "link/printer_twin.h"
#include "paper_renderer.h"
#include "ports/port_names.h"
#include "virtual_printer.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using namespace ordalia::vprinter;

volatile std::sig_atomic_t gStop = 0;

void onSignal(int) {
    gStop = 1;
}

constexpr const char* kUsage = R"(Usage: ordalia-vprinter [options]

A virtual printer on a pseudo-terminal. The program opens the terminal's
slave side as its serial port; every byte it sends is recorded, recognised
and, where the printer would, answered.

Line and files:
  --tcp PORT              be a network printer on 127.0.0.1:PORT instead (0: any
                          free port), one connection after another
  --idle-disconnect S     with --tcp: reset a connection idle for S seconds, as
                          many network printers do
  --ports FILE            write "COM N=<slave>" into the program's port mapping file
  --com N                 the port list entry for --ports (1 to 8; default 1)
  --capture FILE          append every byte received to FILE
  --nv DIR                NV memory folder (default: a new temporary folder, kept)
  --exit-after-idle MS    end once nothing has arrived for MS milliseconds
  --quiet                 print only the slave path and errors
  --input FILE            with --render: draw the stream in FILE (- for standard
                          input) to pages and end, with no line and no waiting
  --strict                end with status 1 when a command was not understood
  --html FILE             with --render: at the end, a page showing every drawn
                          page with the log beside it
  --compute-check-digits  draw UPC-A, UPC-E, EAN-13, EAN-8 with the check digit
                          the printer computes, not the one sent (the log names
                          a wrong one either way)

Paper:
  --render DIR            draw the paper to DIR/page-0001.png, one page per cut
  --paper-dots N          paper width in dots until a settings download says
                          otherwise (default 576, 80 mm, or the twin's; 384
                          for 58 mm)
  --program DIR           the program folder whose "Codepage Table" gives the
                          characters before a font download (default: the
                          folder of this command)

Printer:
  --twin FILE             answer as the printer whose answers ordalia-cli
                          info --save wrote to FILE: its identity, its cover
                          and paper as DLE EOT reports them, and its paper
                          width; the options below and --paper-dots win over it
  --buffer-full-after K   a receive buffer of K bytes: once K bytes have come
                          and not yet been printed, read nothing more until
                          they have been (the sender's writes then wait)
  --print-speed B         bytes printed from that buffer a second (default
                          4096, about 80 lines of text)
  --programming-ms MS     silence after a font or firmware image (default 3000)
  --reply-delay-ms MS     delay of every reply (default 0)
  --transfer-timeout-ms MS  give an exchange up after MS without a byte (default 20000)
  --expect-raw-firmware   take the next 196608 bytes as a firmware image sent
                          without a request ("Ignore printer's malfunction")
  --baud N                line speed for --paced (default 115200)
  --paced                 read no faster than the line speed, 10 bits per byte

Faults:
  --silent                answer nothing at all
  --wrong-reply K[:B]     reply byte B (default 0x00) instead of 0xAA at reply
                          point K (0 is the reply to the request)
  --stop-at-block K       compound: answer no block from block K on
  --die-after-bytes K     stop reading and answering after K bytes
  --disconnect-after-bytes K  close the line after K bytes
  --help                  this text
)";

std::optional<long long> number(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const std::string copy(text);
    const long long value = std::strtoll(copy.c_str(), &end, 0);
    if (end == copy.c_str() || *end != '\0' || value < 0)
        return std::nullopt;
    return value;
}

struct Arguments {
    VirtualPrinterOptions options;
    std::string portsFile;
    int com = 1;
    std::optional<long long> exitAfterIdleMs;
    bool quiet = false;
    std::filesystem::path renderFolder;
    int paperDots = kPaperDots80mm;
    std::filesystem::path programFolder;
    std::string input; // a captured stream to draw ("-": standard input); empty: a line
    bool strict = false;
    std::filesystem::path html; // a page of the drawn pages and the log
    bool computeCheckDigits = false;
    std::filesystem::path twin;
    bool paperDotsGiven = false;
    // --paper, --model-name and the rest as given, which win over the twin.
    std::vector<std::pair<std::string_view, std::string_view>> stateOptions;
};

int usageError(const std::string& message) {
    std::cerr << "ordalia-vprinter: " << message << "\n"
              << "Try ordalia-vprinter --help.\n";
    return 2;
}

// --twin: what a real printer answered, as its identity, its status where the
// printer's state holds it (the cover, the paper roll) and its paper width.
// Nothing when it was taken; else the exit code, said why.
std::optional<int> takeTwin(Arguments& args) {
    constexpr std::uintmax_t kMaxBytes = 64 * 1024;
    std::error_code ec;
    ordalia::TwinRead read;
    if (!std::filesystem::is_regular_file(args.twin, ec)) {
        read.problem =
            std::filesystem::exists(args.twin, ec) ? "it is not a file." : "there is no such file.";
    } else if (std::filesystem::file_size(args.twin, ec) > kMaxBytes || ec) {
        read.problem = "it is too large to be a printer twin.";
    } else {
        std::ifstream in(args.twin, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        read = in ? ordalia::parseTwin(text) : ordalia::TwinRead{{}, "it cannot be read."};
    }
    if (!read.twin) {
        std::cerr << "ordalia-vprinter: the twin " << args.twin.string()
                  << " cannot be used: " << read.problem << "\n";
        return 2;
    }
    using ordalia::AnswerState;
    const ordalia::PrinterInfo& info = read.twin->info;
    PrinterIdentity& identity = args.options.printer.identity;
    for (const auto& [answer, field] :
         {std::pair{&info.model, &identity.modelId}, std::pair{&info.type, &identity.typeId},
          std::pair{&info.romVersion, &identity.romVersion}})
        if (answer->state == AnswerState::Ok)
            *field = answer->value;
    for (const auto& [answer, field] :
         {std::pair{&info.firmware, &identity.firmwareVersion},
          std::pair{&info.maker, &identity.maker}, std::pair{&info.modelName, &identity.model},
          std::pair{&info.serialNumber, &identity.serialNumber}})
        if (answer->state == AnswerState::Ok)
            *field = answer->text;
    PrinterState& state = args.options.printer.state;
    if (info.offLine.state == AnswerState::Ok)
        state.coverOpen = (info.offLine.value & ordalia::kOffLineCoverOpen) != 0;
    if (info.paper.state == AnswerState::Ok)
        state.paper = (info.paper.value & ordalia::kPaperEnd)       ? PaperState::End
                      : (info.paper.value & ordalia::kPaperNearEnd) ? PaperState::NearEnd
                                                                    : PaperState::Ok;
    if (!args.paperDotsGiven)
        args.paperDots = read.twin->paperDots;
    return std::nullopt;
}

// Nothing on success; else the exit code.
std::optional<int> parse(int argc, char** argv, Arguments& args) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        auto value = [&]() -> std::optional<std::string_view> {
            if (i + 1 >= argc)
                return std::nullopt;
            return std::string_view(argv[++i]);
        };
        auto count = [&]() -> std::optional<long long> {
            const auto text = value();
            return text ? number(*text) : std::nullopt;
        };
        auto bad = [&](std::string_view what) {
            return usageError(std::string(option) + " needs " + std::string(what));
        };
        PrinterOptions& printer = args.options.printer;

        if (option == "--help" || option == "-h") {
            std::cout << kUsage << "\nPrinter state and identity:\n" << kPrinterStateUsage;
            return 0;
        } else if (option == "--input") {
            const auto text = value();
            if (!text || text->empty())
                return bad("a file, or - for standard input");
            args.input = *text;
        } else if (option == "--strict") {
            args.strict = true;
        } else if (option == "--compute-check-digits") {
            args.computeCheckDigits = true;
        } else if (option == "--idle-disconnect") {
            const auto n = count();
            if (!n || *n == 0)
                return bad("a number of seconds, 1 or more");
            args.options.idleDisconnect = std::chrono::seconds(*n);
        } else if (option == "--html") {
            const auto text = value();
            if (!text || text->empty())
                return bad("a file");
            args.html = *text;
        } else if (option == "--ports") {
            const auto text = value();
            if (!text || text->empty())
                return bad("a file");
            args.portsFile = *text;
        } else if (option == "--tcp") {
            const auto n = count();
            if (!n || *n > 65535)
                return bad("a port number from 0 to 65535");
            args.options.tcpPort = static_cast<std::uint16_t>(*n);
        } else if (option == "--com") {
            const auto n = count();
            if (!n || *n < 1 || *n > 8)
                return bad("a port number from 1 to 8");
            args.com = static_cast<int>(*n);
        } else if (option == "--capture") {
            const auto text = value();
            if (!text || text->empty())
                return bad("a file");
            args.options.captureFile = *text;
        } else if (option == "--nv") {
            const auto text = value();
            if (!text || text->empty())
                return bad("a folder");
            printer.nvFolder = *text;
        } else if (option == "--exit-after-idle") {
            if (!(args.exitAfterIdleMs = count()))
                return bad("milliseconds");
        } else if (option == "--render") {
            const auto text = value();
            if (!text || text->empty())
                return bad("a folder");
            args.renderFolder = *text;
        } else if (option == "--paper-dots") {
            const auto n = count();
            if (!n || *n < 8 || *n > 4096 || *n % 8 != 0)
                return bad("a width in dots, a multiple of 8 from 8 to 4096");
            args.paperDots = static_cast<int>(*n);
            args.paperDotsGiven = true;
        } else if (option == "--program") {
            const auto text = value();
            if (!text || text->empty())
                return bad("a folder");
            args.programFolder = *text;
        } else if (option == "--quiet") {
            args.quiet = true;
        } else if (option == "--programming-ms") {
            const auto n = count();
            if (!n)
                return bad("milliseconds");
            printer.programmingTime = Millis(*n);
        } else if (option == "--reply-delay-ms") {
            const auto n = count();
            if (!n)
                return bad("milliseconds");
            printer.replyDelay = Millis(*n);
        } else if (option == "--transfer-timeout-ms") {
            const auto n = count();
            if (!n)
                return bad("milliseconds");
            printer.transferTimeout = Millis(*n);
        } else if (option == "--expect-raw-firmware") {
            printer.expectRawFirmware = true;
        } else if (option == "--baud") {
            const auto n = count();
            if (!n || *n < 10 || *n > 4000000)
                return bad("a speed in bit/s");
            args.options.baud = static_cast<std::uint32_t>(*n);
        } else if (option == "--paced") {
            args.options.paced = true;
        } else if (isPrinterStateOption(option)) {
            const auto text = value();
            if (const auto takes = text ? applyPrinterStateOption(option, *text, printer)
                                        : std::optional<std::string>("a value"))
                return bad(*takes);
            args.stateOptions.emplace_back(option, *text);
        } else if (option == "--twin") {
            const auto text = value();
            if (!text || text->empty())
                return bad("a file");
            args.twin = *text;
        } else if (option == "--buffer-full-after") {
            const auto n = count();
            if (!n || *n == 0)
                return bad("a byte count, 1 or more");
            args.options.bufferFullAfter = static_cast<std::size_t>(*n);
        } else if (option == "--print-speed") {
            const auto n = count();
            if (!n || *n == 0 || *n > 100000000)
                return bad("bytes a second, 1 or more");
            args.options.printSpeed = static_cast<std::uint32_t>(*n);
        } else if (option == "--silent") {
            printer.faults.silent = true;
        } else if (option == "--wrong-reply") {
            const auto text = value();
            if (!text)
                return bad("a reply point, optionally :byte");
            const auto colon = text->find(':');
            const auto point = number(text->substr(0, colon));
            std::optional<long long> byte = 0;
            if (colon != std::string_view::npos)
                byte = number(text->substr(colon + 1));
            if (!point || !byte || *byte > 0xFF)
                return bad("a reply point, optionally :byte (e.g. 3 or 3:0x55)");
            printer.faults.wrongReply =
                WrongReply{static_cast<int>(*point), static_cast<std::uint8_t>(*byte)};
        } else if (option == "--stop-at-block") {
            const auto n = count();
            if (!n)
                return bad("a block number");
            printer.faults.stopAnsweringAtBlock = static_cast<std::size_t>(*n);
        } else if (option == "--die-after-bytes") {
            const auto n = count();
            if (!n)
                return bad("a byte count");
            args.options.dieAfterBytes = static_cast<std::size_t>(*n);
        } else if (option == "--disconnect-after-bytes") {
            const auto n = count();
            if (!n)
                return bad("a byte count");
            args.options.disconnectAfterBytes = static_cast<std::size_t>(*n);
        } else {
            return usageError("unknown option " + std::string(option));
        }
    }
    if (args.options.printer.nvFolder.empty())
        args.options.keepNvFolder = true; // the user looks at it afterwards
    if (!args.twin.empty()) {
        if (const auto problem = takeTwin(args))
            return *problem;
        for (const auto& [option, text] : args.stateOptions)
            applyPrinterStateOption(option, text, args.options.printer);
    }
    return std::nullopt;
}

// Where this command lies: the program folder of a build or an installation.
std::filesystem::path commandFolder(const char* argv0) {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && !exe.empty())
        return exe.parent_path();
    return std::filesystem::absolute(argv0, ec).parent_path();
}

std::string stamp(std::chrono::steady_clock::time_point start) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    char text[32];
    std::snprintf(text, sizeof text, "[%7.3f] ", static_cast<double>(ms) / 1000.0);
    return text;
}

} // namespace

RenderOptions renderOptions(const Arguments& args, const char* argv0) {
    RenderOptions render;
    render.outputFolder = args.renderFolder;
    render.paperDots = args.paperDots;
    render.keepPages = false;
    render.computeCheckDigits = args.computeCheckDigits;
    const auto folder = args.programFolder.empty() ? commandFolder(argv0) : args.programFolder;
    render.codePageFolder = folder / "Codepage Table";
    auto fonts = loadDefaultFontImage(folder);
    if (fonts.image) {
        render.defaultFont = std::move(fonts.image);
    } else {
        std::cerr << "ordalia-vprinter: no code page fonts (" << fonts.problem
                  << "); characters print as boxes until a font download\n";
    }
    return render;
}

std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text)
        out += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c);
    return out;
}

// --html: the drawn pages, in order, beside the printer's log. Pages are
// named from the page file's folder, so the two may lie side by side.
bool writeHtml(const Arguments& args, const std::vector<std::string>& log) {
    std::vector<std::filesystem::path> pages;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(args.renderFolder, ec))
        if (entry.path().filename().string().starts_with("page-") &&
            entry.path().extension() == ".png")
            pages.push_back(entry.path());
    std::sort(pages.begin(), pages.end());
    std::ofstream out(args.html, std::ios::binary | std::ios::trunc);
    out << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Paper</title>\n"
           "<style>body{font-family:sans-serif;display:flex;gap:2em}img{border:1px solid #999;"
           "display:block;margin-bottom:1em}pre{font-size:12px}</style></head><body>\n<div>\n";
    const auto base = std::filesystem::absolute(args.html, ec).parent_path();
    for (const auto& page : pages)
        out << "<img src=\"" << escaped(std::filesystem::relative(page, base, ec).generic_string())
            << "\" alt=\"" << escaped(page.filename().string()) << "\">\n";
    out << "</div>\n<pre>";
    for (const std::string& line : log)
        out << escaped(line) << "\n";
    out << "</pre>\n</body></html>\n";
    return static_cast<bool>(out);
}

// Commands the printer did not understand: no table entry, or parameters out
// of their range.
std::size_t notUnderstood(const PrinterModel& model) {
    return static_cast<std::size_t>(std::count_if(
        model.commands().begin(), model.commands().end(),
        [](const RecordedCommand& c) { return c.id == CommandId::Unknown || c.malformed; }));
}

// What --strict makes of a run: status 1, said on standard error, when a
// command was not understood.
int strictStatus(const Arguments& args, const PrinterModel& model) {
    const std::size_t count = notUnderstood(model);
    if (!args.strict || count == 0)
        return 0;
    std::cerr << "ordalia-vprinter: " << count << " command(s) not understood (see the log)\n";
    return 1;
}

// --input: the stream drawn straight to pages, with no line and no waiting.
int renderInput(const Arguments& args, const char* argv0) {
    if (args.renderFolder.empty())
        return usageError("--input needs --render DIR");
    Bytes bytes;
    if (args.input == "-") {
        bytes.assign(std::istreambuf_iterator<char>(std::cin), {});
    } else {
        std::ifstream in(args.input, std::ios::binary);
        if (!in) {
            std::cerr << "ordalia-vprinter: cannot read " << args.input << "\n";
            return 2;
        }
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    PrinterOptions options = args.options.printer;
    std::optional<std::filesystem::path> scratch;
    if (options.nvFolder.empty()) { // NV memory for this run only
        scratch = std::filesystem::temp_directory_path() /
                  ("ordalia-vprinter-" + std::to_string(::getpid()));
        options.nvFolder = *scratch;
    }
    int status = 0;
    {
        PrinterModel model(options);
        PaperRenderer renderer(model, renderOptions(args, argv0));
        model.receive(bytes, std::chrono::steady_clock::now());
        renderer.finish();
        if (!args.quiet)
            for (const std::string& line : model.log())
                std::cout << line << "\n";
        if (!renderer.problems().empty())
            status = 1;
        if (!args.html.empty() && !writeHtml(args, model.log())) {
            std::cerr << "ordalia-vprinter: cannot write " << args.html.string() << "\n";
            status = 1;
        }
        status = std::max(status, strictStatus(args, model));
    }
    std::error_code ec;
    if (scratch)
        std::filesystem::remove_all(*scratch, ec);
    return status;
}

int main(int argc, char** argv) {
    Arguments args;
    if (const auto exitCode = parse(argc, argv, args))
        return *exitCode;
    if (!args.input.empty())
        return renderInput(args, argv[0]);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    std::optional<VirtualPrinter> printer;
    try {
        printer.emplace(args.options);
        printer->start();
    } catch (const std::exception& error) {
        std::cerr << "ordalia-vprinter: " << error.what() << "\n";
        return 1;
    }
    std::optional<PaperRenderer> renderer;
    if (!args.renderFolder.empty())
        printer->withModel(
            [&](PrinterModel& model) { renderer.emplace(model, renderOptions(args, argv[0])); });
    const std::string slave = printer->slavePath();
    std::cout << "ordalia-vprinter: printer on " << slave << std::endl;
    if (!args.portsFile.empty()) {
        if (!ordalia::setMappedPortDevice(args.com, slave, args.portsFile)) {
            std::cerr << "ordalia-vprinter: cannot write " << args.portsFile << "\n";
            return 1;
        }
        std::cout << "ordalia-vprinter: COM " << args.com << "=" << slave << " written to "
                  << args.portsFile << std::endl;
    }
    if (!args.quiet) {
        std::cout << "ordalia-vprinter: NV memory in " << printer->nvFolder().string() << "\n";
        if (renderer)
            std::cout << "ordalia-vprinter: drawing the paper to " << args.renderFolder.string()
                      << "\n";
        if (!args.options.captureFile.empty())
            std::cout << "ordalia-vprinter: capturing to " << args.options.captureFile.string()
                      << "\n";
        std::cout << "ordalia-vprinter: Ctrl+C ends it" << std::endl;
    }

    const auto start = std::chrono::steady_clock::now();
    std::size_t logged = 1; // "listening on" was said above
    auto printLog = [&] {
        for (const auto& line : printer->logSince(logged))
            if (!args.quiet)
                std::cout << stamp(start) << line << "\n";
        std::cout.flush();
    };
    while (!gStop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        printLog();
        if (args.exitAfterIdleMs && printer->idleFor().count() >= *args.exitAfterIdleMs &&
            printer->mode() == PrinterMode::EscPos)
            break;
    }
    printer->stop();
    if (renderer)
        renderer->finish(); // the paper after the last cut
    printLog();
    if (!args.quiet)
        std::cout << "ordalia-vprinter: " << printer->receivedCount() << " byte(s) received"
                  << std::endl;
    int status = 0;
    printer->withModel([&](PrinterModel& model) {
        status = strictStatus(args, model);
        if (!args.html.empty() && !args.renderFolder.empty() && !writeHtml(args, model.log())) {
            std::cerr << "ordalia-vprinter: cannot write " << args.html.string() << "\n";
            status = 1;
        }
    });
    return status;
}
