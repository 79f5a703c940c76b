#include "cli/cli_commands.h"

#include "cli/cli_console.h"
#include "cli/cli_info.h"
#include "cli/cli_logo_make.h"
#include "cli/cli_options.h"
#include "cli/cli_ports.h"
#include "codepages/code_page_image.h"
#include "codepages/code_page_table.h"
#include "codepages/font_download.h"
#include "common/files.h"
#include "common/path_text.h"
#include "common/text.h"
#include "common/unexpected.h"
#include "compound/burn_file.h"
#include "compound/compound_download.h"
#include "compound/compound_file.h"
#include "firmware/firmware_update.h"
#include "link/printer_link.h"
#include "link/transfer_gate.h"
#include "logos/logo_download.h"
#include "logos/logo_list.h"
#include "settings/printer_settings.h"
#include "testprint/test_pages.h"

#include <algorithm>
#include <iomanip>
#include <ostream>
#include <span>
#include <sstream>
#include <stdexcept>

#ifndef ORDALIA_VERSION
#define ORDALIA_VERSION "unknown"
#endif

namespace ordalia::cli {

namespace {

// A command line that names no command, or a command with the wrong operands
// or options: reported with a hint, nothing is done.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What every command works with.
struct Command {
    const CliOptions& options;
    const Services& services;
    const LinkChoice& choice;
    Console& console;
    std::ostream& out;

    const std::vector<std::string>& words() const { return options.words; }
    const std::filesystem::path& folder() const { return services.programFolder; }

    void expectOperands(std::size_t count, std::string_view form) const {
        if (words().size() != count)
            throw UsageError("Usage: ordalia-cli " + std::string(form));
    }
};

// A file named on the command line, as the operations want it: whole, so the
// program folder plays no part in where it is.
std::filesystem::path fullPath(const std::string& operand) {
    std::error_code ec;
    auto path = std::filesystem::absolute(std::filesystem::path(operand), ec);
    return ec ? std::filesystem::path(operand) : path.lexically_normal();
}

FileChoice fileChoice(const std::string& operand) {
    const auto path = fullPath(operand);
    return {path, pathForMessage(path.filename())};
}

// --- link ---

// The link speed when --settings is not given: the saved settings' baud
// rate, as the window's speed list follows it, else the list's default.
std::string defaultLinkSettings(const std::filesystem::path& folder) {
    const FileRead read = readWholeFile(programFile(folder, kUserSettingFile), 4096);
    if (read.status == FileRead::Status::Ok) {
        if (const auto record = parseSettingsRecord(read.bytes);
            record && (*record)[2] < kSbaudItems.size())
            return std::string(kSbaudItems[(*record)[2]]);
    }
    return std::string(kSbaudItems[kDefaultSbaud]);
}

LinkChoice linkChoice(const CliOptions& options, const std::filesystem::path& folder) {
    LinkChoice choice;
    choice.settings = options.settings ? *options.settings : defaultLinkSettings(folder);
    if (options.parallelIndex) {
        choice.serialSelected = false;
        choice.parallelIndex = *options.parallelIndex;
        return choice;
    }
    const std::string port = options.port.value_or("COM 1");
    if (const auto number = comPortNumber(port))
        choice.portIndex = *number;
    else
        choice.device = port;
    return choice;
}

// --- test-page ---

// FILE as given, else one of the Test Print page's buttons by caption or by
// file name ("Receipt 1", "rec1.p", "rec1").
std::filesystem::path testFile(const std::string& operand, const std::filesystem::path& folder) {
    std::error_code ec;
    if (std::filesystem::exists(operand, ec))
        return fullPath(operand);
    const std::string wanted = lowerAscii(operand);
    for (const TestPageButton& button : kTestPageButtons) {
        const std::filesystem::path file(std::string(button.file));
        if (wanted == lowerAscii(button.caption) ||
            wanted == lowerAscii(pathForMessage(file.filename())) ||
            wanted == lowerAscii(pathForMessage(file.stem())))
            return programFile(folder, button.file);
    }
    return fullPath(operand);
}

Outcome testPage(const Command& c) {
    if (c.options.selfTest) {
        c.expectOperands(1, "test-page FILE | test-page --self-test");
        return SendSelfTestRequest(c.services, c.choice);
    }
    c.expectOperands(2, "test-page FILE | test-page --self-test");
    return SendTestFile(c.services, c.choice, testFile(c.words()[1], c.folder()));
}

// --- settings ---

template <std::size_t N>
std::string choices(const std::array<std::string_view, N>& items) {
    std::string out;
    for (const std::string_view item : items)
        out += (out.empty() ? "\"" : ", \"") + std::string(trimBlanks(item)) + "\"";
    return out;
}

// The list position whose text is `text`, ignoring case and blanks around it.
template <std::size_t N>
int listPosition(const std::array<std::string_view, N>& items, std::string_view field,
                 const std::string& text) {
    const std::string wanted = lowerAscii(trimBlanks(text));
    for (std::size_t i = 0; i < N; ++i)
        if (lowerAscii(trimBlanks(items[i])) == wanted)
            return static_cast<int>(i);
    throw UsageError("--" + std::string(field) + " takes " + choices(items) + ", not \"" + text +
                     "\".");
}

// The new baud rate also by its speed alone, since the list writes one of
// them with dots ("9600.n.8,1").
int baudPosition(const std::string& text) {
    for (std::size_t i = 0; i < kNewBaudItems.size(); ++i) {
        const std::string_view item = kNewBaudItems[i];
        const std::string speed(item.substr(0, item.find_first_of(".,")));
        if (trimBlanks(text) == speed)
            return static_cast<int>(i);
    }
    return listPosition(kNewBaudItems, "baud", text);
}

bool onOff(std::string_view field, const std::string& text) {
    const std::string value = lowerAscii(trimBlanks(text));
    if (value == "on")
        return true;
    if (value == "off")
        return false;
    throw UsageError("--" + std::string(field) + " takes on or off, not \"" + text + "\".");
}

// The page after the user changed the fields given on the command line, in
// the order given. Choosing the printer mode sets the near-end sensor the way
// the page does, unless --near-end says otherwise.
SettingsPage changedPage(SettingsPage page, const CliOptions& options) {
    std::optional<bool> nearEnd;
    for (const auto& [field, text] : options.fields) {
        if (field == "mode") {
            page.EEPROM_Mode = listPosition(kPrinterModeItems, field, text);
            page.EEPROM_NearEnd_ON = EEPROM_Mode_Click(page.EEPROM_Mode);
        } else if (field == "baud") {
            page.NewBaud = baudPosition(text);
        } else if (field == "compound") {
            page.EPPROM_Compound = listPosition(kCompoundItems, field, text);
        } else if (field == "buffer") {
            page.EEPROM_RSBuf = listPosition(kGraphicBufferItems, field, text);
        } else if (field == "density") {
            page.EEPROM_Density = listPosition(kDensityItems, field, text);
        } else if (field == "cut-distance") {
            page.EEPROM_CD = listPosition(kCutDistanceItems, field, text);
        } else if (field == "cutter") {
            page.EEPROM_Cutter_ON = onOff(field, text);
        } else if (field == "paper-end") {
            page.EEPROM_PaperEnd_ON = onOff(field, text);
        } else if (field == "near-end") {
            nearEnd = onOff(field, text);
        } else if (field == "door") {
            page.EEPROM_Door_ON = onOff(field, text);
        }
    }
    if (nearEnd)
        page.EEPROM_NearEnd_ON = *nearEnd;
    return page;
}

template <std::size_t N>
std::string itemText(const std::array<std::string_view, N>& items, int position) {
    if (position < 0 || static_cast<std::size_t>(position) >= N)
        return "(none)";
    return std::string(trimBlanks(items[static_cast<std::size_t>(position)]));
}

// One "field: text" line a field, each list by its text, after `indent`.
void printSettings(std::ostream& out, const SettingsPage& page, std::string_view indent = {}) {
    const auto onOffText = [](bool on) { return on ? "on" : "off"; };
    out << indent << "mode: " << itemText(kPrinterModeItems, page.EEPROM_Mode) << '\n'
        << indent << "baud: " << itemText(kNewBaudItems, page.NewBaud) << '\n'
        << indent << "compound: " << itemText(kCompoundItems, page.EPPROM_Compound) << '\n'
        << indent << "buffer: " << itemText(kGraphicBufferItems, page.EEPROM_RSBuf) << '\n'
        << indent << "density: " << itemText(kDensityItems, page.EEPROM_Density) << '\n'
        << indent << "cut-distance: " << itemText(kCutDistanceItems, page.EEPROM_CD) << '\n'
        << indent << "cutter: " << onOffText(page.EEPROM_Cutter_ON) << '\n'
        << indent << "paper-end: " << onOffText(page.EEPROM_PaperEnd_ON) << '\n'
        << indent << "near-end: " << onOffText(page.EEPROM_NearEnd_ON) << '\n'
        << indent << "door: " << onOffText(page.EEPROM_Door_ON) << '\n';
}

std::string joinedWords(const std::vector<std::string>& words) {
    std::string out;
    for (std::size_t i = 0; i < words.size(); ++i)
        out += (i == 0 ? "" : i + 1 == words.size() ? " and " : ", ") + words[i];
    return out;
}

// The settings as the command line starts from them: the saved record as the
// window shows it, or the record of zeros when nothing is saved yet. A record
// that cannot be read or shown whole has been reported.
struct StartingSettings {
    SettingsLoad load;
    bool saved = false; // user_setting exists
};

StartingSettings startingSettings(const Command& c) {
    StartingSettings start;
    std::error_code ec;
    start.saved = std::filesystem::exists(programFile(c.folder(), kUserSettingFile), ec);
    start.load = loadSettingsPage(c.services, SettingsRecord{}, SettingsPage{});
    // The window's new-baud list keeps its own position, but a command must
    // not change the printer's speed unless told to: it starts from the saved
    // one.
    if (start.saved && start.load.Sbaud)
        start.load.page.NewBaud = *start.load.Sbaud;
    return start;
}

Outcome settingsShow(const Command& c) {
    c.expectOperands(2, "settings show");
    const StartingSettings start = startingSettings(c);
    printSettings(c.out, start.load.page);
    if (c.console.messageShown())
        return Outcome::Refused;
    if (!start.saved)
        c.console.note("No settings are saved in " +
                       pathForMessage(programFile(c.folder(), kUserSettingFile)) +
                       " yet; these are what the page shows then.");
    return Outcome::Done;
}

// The fields a download would take neither from the command line nor from
// saved settings. Without saved settings that is every field not given: the
// record of zeros is no one's choice, and sending it would reprogram the
// printer with settings nobody named.
std::vector<std::string> fieldsNotSet(const StartingSettings& start, const CliOptions& options) {
    std::vector<std::string> missing;
    for (const std::string_view name : kSettingsFieldNames) {
        const bool given = std::any_of(options.fields.begin(), options.fields.end(),
                                       [&](const auto& field) { return field.first == name; });
        const bool saved = start.saved && (name != "baud" || start.load.Sbaud);
        if (!given && !saved)
            missing.push_back("--" + std::string(name));
    }
    return missing;
}

Outcome settingsDownload(const Command& c) {
    c.expectOperands(2, "settings download [--mode TEXT] [--density TEXT] ...");
    const StartingSettings start = startingSettings(c);
    const SettingsPage page = changedPage(start.load.page, c.options);
    if (const auto missing = fieldsNotSet(start, c.options); !missing.empty()) {
        const std::string path = pathForMessage(programFile(c.folder(), kUserSettingFile));
        c.console.message(
            (start.saved ? "The settings saved in " + path + " hold no serial baud rate"
                         : "No settings are saved in " + path + " yet") +
            ", so settings download needs every field it cannot take from them. Not given: " +
            joinedWords(missing) + ". Nothing was saved or sent.");
        return Outcome::Refused;
    }
    if (!c.options.quiet) {
        std::ostringstream record;
        record << "Settings to download:\n";
        printSettings(record, page, "  ");
        std::string text = record.str();
        text.pop_back(); // the message ends its own line
        c.console.note(text);
    }
    const SettingsDownload result = downloadSettings(c.services, c.choice, start.load.record, page);
    if (result.outcome == Outcome::Done && result.Sbaud &&
        static_cast<std::size_t>(*result.Sbaud) < kSbaudItems.size() &&
        kSbaudItems[static_cast<std::size_t>(*result.Sbaud)] != c.choice.settings)
        c.console.note("The printer now runs at " +
                       std::string(kSbaudItems[static_cast<std::size_t>(*result.Sbaud)]) +
                       "; later commands take that speed from user_setting.");
    return result.outcome;
}

Outcome settings(const Command& c) {
    if (c.words().size() >= 2 && c.words()[1] == "show")
        return settingsShow(c);
    if (c.words().size() >= 2 && c.words()[1] == "download")
        return settingsDownload(c);
    throw UsageError("Usage: ordalia-cli settings show | settings download [field options]");
}

// --- firmware ---

Outcome firmware(const Command& c) {
    c.expectOperands(2, "firmware FILE [--ignore-malfunction]");
    FirmwareUpdateRequest request;
    request.FirmFilePath = fullPath(c.words()[1]);
    request.ISP_ERROR = c.options.ignoreMalfunction;
    return updateFirmware(c.services, c.choice, request, c.console.label(), c.console.bar());
}

// --- code pages ---

std::optional<CodePageSlots> codePageSlots(const Command& c) {
    const CodePageTabLoad tab = loadCodePageTab(c.folder());
    if (tab.outcome != Outcome::Done) {
        c.console.message(tab.message);
        return std::nullopt;
    }
    return tab.slots;
}

Outcome codepageDownload(const Command& c) {
    c.expectOperands(2, "codepage download");
    const auto slots = codePageSlots(c);
    if (!slots)
        return Outcome::Refused;
    return downloadFonts(c.services, c.choice, *slots, c.console.label(), c.console.bar());
}

Outcome writeOutput(const Command& c, const std::string& operand,
                    std::span<const std::uint8_t> bytes, std::string_view what) {
    const auto path = fullPath(operand);
    if (const auto error = replaceFileAtomically(path, bytes)) {
        c.console.message("Cannot write " + std::string(what) + " to " + pathForMessage(path) +
                          ": " + *error);
        return Outcome::Failed;
    }
    c.console.note("Wrote " + std::to_string(bytes.size()) + " bytes of " + std::string(what) +
                   " to " + pathForMessage(path) + ".");
    return Outcome::Done;
}

Outcome codepageImage(const Command& c) {
    c.expectOperands(3, "codepage image OUT");
    const auto slots = codePageSlots(c);
    if (!slots)
        return Outcome::Refused;
    const auto image = checkAndBuildCodePageImage(c.services, *slots);
    if (!image)
        return Outcome::Refused;
    return writeOutput(c, c.words()[2], *image, "the code page image");
}

Outcome codepage(const Command& c) {
    if (c.words().size() >= 2 && c.words()[1] == "download")
        return codepageDownload(c);
    if (c.words().size() >= 2 && c.words()[1] == "image")
        return codepageImage(c);
    throw UsageError("Usage: ordalia-cli codepage download | codepage image OUT");
}

// --- logos ---

Outcome logoAdd(const Command& c) {
    c.expectOperands(3, "logo add BMP");
    LogoLibrary library;
    LoadLogoList(c.services, library);
    const auto buffers = makeLogoBuffers();
    const Outcome outcome = AddLogoFile(c.services, library, *buffers, fileChoice(c.words()[2]));
    if (outcome == Outcome::Nothing) {
        c.console.message("The logo list already holds " + std::to_string(kMaxLogos) +
                          " logos; nothing was added.");
        return Outcome::Refused;
    }
    if (outcome == Outcome::Done)
        c.console.note("Added logo " + std::to_string(library.LogoCount) + ": " + library.Label3() +
                       " logos, " + library.Label4() + ".");
    return outcome;
}

Outcome logoList(const Command& c) {
    c.expectOperands(2, "logo list");
    LogoLibrary library;
    LoadLogoList(c.services, library); // reports an unreadable or damaged list
    c.out << "No.  Size    Width  Height  File\n";
    for (const LogoRecord& record : library.records)
        c.out << std::left << std::setw(5) << static_cast<int>(record.number) << std::setw(8)
              << record.size << std::setw(7) << record.width << std::setw(8) << record.height
              << pathForMessage(record.path) << '\n';
    c.out << library.Label3() << " logos, " << library.Label4() << '\n';
    return c.console.messageShown() ? Outcome::Refused : Outcome::Done;
}

Outcome logoClear(const Command& c) {
    c.expectOperands(2, "logo clear");
    LogoLibrary library;
    LoadLogoList(c.services, library);
    const Outcome outcome = Logo_Clear_Click(c.services, library);
    if (outcome == Outcome::Nothing) {
        c.console.note("The logo list is already empty.");
        return Outcome::Done;
    }
    return outcome;
}

Outcome logoDownload(const Command& c) {
    c.expectOperands(2, "logo download");
    const auto buffers = makeLogoBuffers();
    std::uint8_t LogoCount = 0;
    const Outcome outcome =
        Download_Logo_Click(c.services, c.choice, *buffers, LogoCount, c.console.bar());
    if (outcome == Outcome::Nothing) {
        c.console.message("The logo list holds a logo numbered 0; nothing was sent.");
        return Outcome::Refused;
    }
    return outcome;
}

Outcome logoPrint(const Command& c) {
    c.expectOperands(3, "logo print all|N");
    const std::string& which = c.words()[2];
    const bool all = lowerAscii(which) == "all";
    if (!all && !logoSelectNumber(which)) {
        c.console.message(kLogoNumberRangeMessage);
        return Outcome::Refused;
    }
    LogoLibrary library;
    LoadLogoList(c.services, library);
    if (all && library.LogoCount == 0) {
        c.console.message("The logo list is empty; there is no logo to print.");
        return Outcome::Refused;
    }
    return Print_Logo_Click(c.services, c.choice, library.LogoCount, all, which);
}

Outcome logoConvert(const Command& c) {
    c.expectOperands(4, "logo convert BMP OUT");
    const auto buffers = makeLogoBuffers();
    const LogoBlock block = convertLogoBitmap(fullPath(c.words()[2]), *buffers);
    if (block.outcome != Outcome::Done) {
        c.console.message(block.message);
        return block.outcome;
    }
    return writeOutput(c, c.words()[3], block.bytes, "the logo block");
}

Outcome logo(const Command& c) {
    const std::string sub = c.words().size() >= 2 ? c.words()[1] : std::string();
    if (sub == "add")
        return logoAdd(c);
    if (sub == "list")
        return logoList(c);
    if (sub == "clear")
        return logoClear(c);
    if (sub == "download")
        return logoDownload(c);
    if (sub == "print")
        return logoPrint(c);
    if (sub == "convert")
        return logoConvert(c);
    if (sub == "make") {
        c.expectOperands(4, "logo make PICTURE OUT [--width DOTS] [--threshold 0-255]");
        return makeLogoFile(c.folder(),
                            {c.words()[2], c.words()[3], c.options.width, c.options.threshold},
                            c.console);
    }
    throw UsageError("Usage: ordalia-cli logo add BMP | list | clear | download | print all|N | "
                     "convert BMP OUT | make PICTURE OUT");
}

// --- compound fonts and the burn file ---

Outcome compound(const Command& c) {
    c.expectOperands(2, "compound FILE");
    const FileChoice chosen = fileChoice(c.words()[1]);
    CompoundState state{chosen.fullPath, chosen.name};
    std::error_code ec;
    if (!std::filesystem::is_regular_file(chosen.fullPath, ec)) {
        c.console.message("The compound font file " + pathForMessage(chosen.fullPath) +
                          " does not exist. Nothing was sent.");
        return Outcome::Refused;
    }
    return downloadCompound(c.services, c.choice, state, c.console.label(), c.console.bar());
}

Outcome burn(const Command& c) {
    c.expectOperands(2, "burn FIRMWARE");
    const FileChoice source = fileChoice(c.words()[1]);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(source.fullPath, ec)) {
        c.console.message("The firmware file " + pathForMessage(source.fullPath) +
                          " does not exist. The burn file was not written.");
        return Outcome::Refused;
    }
    BurnFileRequest request{source.name, source.fullPath};
    const Outcome outcome =
        makeBurnFile(c.services, request, [&c]() -> std::optional<BurnCodePageImage> {
            const auto slots = codePageSlots(c);
            if (!slots)
                return std::nullopt;
            return checkAndBuildCodePageImage(c.services, *slots);
        });
    if (outcome == Outcome::Done)
        c.console.note("Wrote " + pathForMessage(programFile(c.folder(), kBurnFile)) + ".");
    return outcome;
}

// --- ports ---

Outcome ports(const Command& c) {
    c.expectOperands(1, "ports");
    return listPorts(c.folder(), findSystemPorts(), c.out);
}

// --- info ---

Outcome info(const Command& c) {
    c.expectOperands(1, "info");
    return printPrinterInfo(c.services, c.choice, c.out);
}

// --- dispatch ---

struct CommandEntry {
    std::string_view name;
    Outcome (*run)(const Command&);
    bool parallel; // the operation has a parallel branch
};

constexpr CommandEntry kCommands[] = {
    {"test-page", testPage, true}, {"settings", settings, false}, {"firmware", firmware, false},
    {"codepage", codepage, true},  {"logo", logo, true},          {"compound", compound, false},
    {"burn", burn, false},         {"ports", ports, false},       {"info", info, false},
};

// Options that belong to one command only are refused elsewhere, so that a
// misplaced one is never silently ignored.
void checkOptions(const CliOptions& options, const CommandEntry& entry) {
    const std::string& sub = options.words.size() >= 2 ? options.words[1] : std::string();
    const std::string line = options.words.front() + (sub.empty() ? "" : " " + sub);
    if (options.selfTest && entry.name != "test-page")
        throw UsageError("--self-test belongs to test-page, not to " + line + ".");
    if (options.ignoreMalfunction && entry.name != "firmware")
        throw UsageError("--ignore-malfunction belongs to firmware, not to " + line + ".");
    if ((options.width || options.threshold) && line != "logo make")
        throw UsageError(std::string(options.width ? "--width" : "--threshold") +
                         " belongs to logo make, not to " + line + ".");
    if (!options.fields.empty() && line != "settings download")
        throw UsageError("--" + options.fields.front().first +
                         " belongs to settings download, not to " + line + ".");
    // The printer's self-test request goes out on the serial link only.
    const bool parallel = entry.parallel && (entry.name != "logo" || sub == "download") &&
                          (entry.name != "codepage" || sub == "download") &&
                          !(entry.name == "test-page" && options.selfTest);
    if (options.parallelIndex && !parallel)
        throw UsageError(line + (options.selfTest ? " --self-test" : "") +
                         " has no parallel link; use --port.");
}

int exitStatus(Outcome outcome) {
    switch (outcome) {
    case Outcome::Done:
        return kExitDone;
    case Outcome::Failed:
        return kExitFailed;
    case Outcome::Nothing:
    case Outcome::Refused:
        break;
    }
    return kExitRefused;
}

// Whatever a command throws ends it with a message and the failure status,
// never the program. The operation's PrinterLink has closed the port as the
// exception left it.
int unexpectedEnd(Console& console, const std::exception* error) {
    console.message(unexpectedErrorMessage(error));
    console.finish(Outcome::Failed);
    return kExitFailed;
}

int runCommandLine(const std::vector<std::string>& arguments, const CliEnvironment& environment) {
    std::ostream& err = environment.err;
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    if (!parsed.options) {
        err << "ordalia-cli: " << parsed.error << "\nTry \"ordalia-cli --help\".\n";
        return kExitRefused;
    }
    const CliOptions& options = *parsed.options;
    if (options.help) {
        environment.out << usageText();
        return kExitDone;
    }
    if (options.version) {
        environment.out << "ordalia-cli " << ORDALIA_VERSION << "\nProgram folder: "
                        << pathForMessage(options.folder ? fullPath(options.folder->string())
                                                         : environment.executableFolder)
                        << '\n';
        return kExitDone;
    }
    if (options.words.empty()) {
        err << usageText();
        return kExitRefused;
    }
    const auto entry =
        std::find_if(std::begin(kCommands), std::end(kCommands),
                     [&](const CommandEntry& e) { return e.name == options.words[0]; });
    if (entry == std::end(kCommands)) {
        err << "ordalia-cli: unknown command \"" << options.words[0]
            << "\".\nTry \"ordalia-cli --help\".\n";
        return kExitRefused;
    }

    std::filesystem::path folder = environment.executableFolder;
    if (options.folder)
        folder = fullPath(options.folder->string());
    std::error_code ec;
    if (folder.empty() || !std::filesystem::is_directory(folder, ec)) {
        err << "ordalia-cli: the program folder \"" << pathForMessage(folder)
            << "\" is not a folder. Name it with --folder.\n";
        return kExitRefused;
    }
    if (options.settings) {
        std::string why;
        if (!parseSerialSettings(*options.settings, &why)) {
            err << "ordalia-cli: " << why << '\n';
            return kExitRefused;
        }
    }

    Console console(err, environment.errIsTerminal, options.quiet);
    TransferGate gate;
    const Services services{environment.serial,
                            environment.parallel,
                            environment.clock,
                            console,
                            console,
                            gate,
                            folder};
    const LinkChoice choice = linkChoice(options, folder);
    const Command command{options, services, choice, console, environment.out};

    Outcome outcome = Outcome::Refused;
    try {
        checkOptions(options, *entry);
        outcome = entry->run(command);
    } catch (const UsageError& error) {
        console.finish(Outcome::Refused);
        err << "ordalia-cli: " << error.what() << "\nTry \"ordalia-cli --help\".\n";
        return kExitRefused;
    } catch (const std::exception& error) {
        return unexpectedEnd(console, &error);
    } catch (...) {
        return unexpectedEnd(console, nullptr);
    }
    if (outcome == Outcome::Nothing && !console.messageShown())
        console.message("Nothing was done.");
    console.finish(outcome);
    return exitStatus(outcome);
}

} // namespace

int runCli(const std::vector<std::string>& arguments, const CliEnvironment& environment) {
    // Outside a command (reading the command line, finding the folder) there
    // is no console yet, and nothing has been sent.
    try {
        return runCommandLine(arguments, environment);
    } catch (const std::exception& error) {
        environment.err << unexpectedErrorMessage(&error) << '\n';
    } catch (...) {
        environment.err << unexpectedErrorMessage(nullptr) << '\n';
    }
    return kExitFailed;
}

} // namespace ordalia::cli
