// info, ports: what the printer says of itself, and what the port list's
// entries open.

#include "cli/cli_info_ports.h"

#include "cli/cli_command.h"
#include "common/files.h"
#include "link/printer_info.h"
#include "link/printer_twin.h"
#include "ports/port_names.h"
#include "settings/printer_settings.h"

#include <algorithm>
#include <cctype>
#include <ostream>

namespace ordalia::cli {

namespace {

// The paper a twin draws on. No query tells it, so it is the printer mode of
// the settings this folder would download: "2 inch" is 58 mm paper, any other
// mode 80 mm, as is a folder without them.
int settingsPaperDots(const std::filesystem::path& folder) {
    const FileRead read = readWholeFile(programFile(folder, kUserSettingFile), 4096);
    const auto record =
        read.status == FileRead::Status::Ok ? parseSettingsRecord(read.bytes) : std::nullopt;
    return record && (*record)[1] == 0 ? kPaperDots2Inch : kPaperDots3Inch;
}

// Done when the printer answered anything; Failed (with the message) when it
// was silent or the port failed.
Outcome info(const Command& c) {
    c.expectOperands(1);
    if (c.options.findSpeed) {
        if (c.options.save)
            throw UsageError("info --find-speed asks the status only: there is no twin to --save.");
        // The settings alone on standard output, for a script to pass on.
        const PrinterInfoResult result = findPrinterSpeed(c.services, c.choice);
        if (result.outcome == Outcome::Done)
            c.out << result.answersAt << '\n';
        return result.outcome;
    }
    const PrinterInfoResult result = askPrinterInfo(c.services, c.choice);
    // Lines only from a printer that answered: a script reading them never
    // takes eleven "no answer" lines for a printer.
    if (result.outcome != Outcome::Done)
        return result.outcome;
    for (const std::string& line : printerInfoLines(result.info))
        c.out << line << '\n';
    if (!c.options.save)
        return Outcome::Done;
    const std::string twin = twinJson(result.info, settingsPaperDots(c.folder()));
    return writeOutput(c, *c.options.save,
                       {reinterpret_cast<const std::uint8_t*>(twin.data()), twin.size()},
                       "the printer's twin");
}

Outcome ports(const Command& c) {
    c.expectOperands(1);
    if (c.options.check)
        return checkPorts(
            findSystemPorts(), c.services.serial,
            parseSerialSettings(c.choice.settings, nullptr).value_or(SerialSettings{}), c.out);
    return listPorts(c.folder(), findSystemPorts(), c.out);
}

const CommandRow kCommands[] = {
    {.name = "info",
     .run = info,
     .help = {{"info", "ask the printer who it is and how it is: one\n"
                       "\"name: value\" line per answer (model name,\n"
                       "firmware, paper, cover...); exit status 2 when\n"
                       "it does not answer"},
              {"info --find-speed", "look for the speed a serial printer was left at:\n"
                                    "ask its status (DLE EOT 1, nothing else) at the\n"
                                    "chosen settings, then at 115200, 38400, 19200\n"
                                    "and 9600; print the settings it answers at"},
              {"info --save FILE", "also write what it answered to FILE, a JSON\n"
                                   "twin of the printer for ordalia-vprinter --twin,\n"
                                   "with the paper width of the program folder's\n"
                                   "user_setting (\"2 inch\": 384 dots, else 576);\n"
                                   "nothing is written when it does not answer"}},
     .options = {CommandOption::FindSpeed, CommandOption::Save}},
    {.name = "ports",
     .run = ports,
     .help = {{"ports", "list COM 1 to COM 8: the device each one opens and\n"
                        "what it is"},
              {"ports --check", "open each port found and say what stands in the\n"
                                "way of one that does not open"}},
     .options = {CommandOption::Check}},
};

} // namespace

std::span<const CommandRow> infoPortsCommands() {
    return kCommands;
}

Outcome checkPorts(const std::vector<FoundPort>& found, SerialPort& port,
                   const SerialSettings& settings, std::ostream& out,
                   const std::function<bool(const std::string&)>& denied) {
    if (found.empty()) {
        out << "No port was found on this computer: plug the printer's cable in, or check "
               "that its driver is installed.\n";
        return Outcome::Failed;
    }
    bool allOpened = true;
    for (const FoundPort& p : found) {
        out << p.device << (p.description.empty() ? "" : " (" + p.description + ")") << ": ";
        if (const auto error = port.open(p.device, settings)) {
            out << error->message << '\n';
            if (denied(p.device))
                out << udevRuleFor(p);
            allOpened = false;
            continue;
        }
        port.close();
        out << "opens\n";
    }
    return allOpened ? Outcome::Done : Outcome::Failed;
}

Outcome listPorts(const std::filesystem::path& programFolder, const std::vector<FoundPort>& found,
                  std::ostream& out) {
    std::string nothingFound;
    std::vector<std::string> opened;
    for (int n = 1; n <= 8; ++n) {
        const PortName name = resolvePortName(n, programFolder, found);
        out << portEntryText(n, name) << '\n';
        opened.push_back(name.device);
        if (found.empty() && nothingFound.empty())
            nothingFound = name.error;
    }
    // Said once, not after every entry; it is the same for each.
    if (!nothingFound.empty()) {
        nothingFound[0] =
            static_cast<char>(std::toupper(static_cast<unsigned char>(nothingFound[0])));
        out << nothingFound << '\n';
    }
    // A port that no entry opens (a USB printer on Windows, which has no COM
    // name; a ninth port) is still there to give with --port or to name in
    // the file "ports".
    for (const FoundPort& port : found)
        if (std::find(opened.begin(), opened.end(), port.device) == opened.end())
            out << "Also found: " << port.device
                << (port.description.empty() ? "" : ", " + port.description) << '\n';
    return Outcome::Done;
}

} // namespace ordalia::cli
