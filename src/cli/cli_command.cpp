#include "cli/cli_command.h"

#include "common/files.h"
#include "common/path_text.h"
#include "settings/printer_settings.h"

#include <algorithm>

namespace ordalia::cli {

namespace {

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

} // namespace

std::string CommandRow::usageText() const {
    if (!usage.empty())
        return std::string(usage);
    std::string text;
    for (const HelpLine& line : help)
        text += (text.empty() ? "" : " | ") + std::string(line.form);
    return text;
}

bool CommandRow::takes(CommandOption option) const {
    return std::find(options.begin(), options.end(), option) != options.end();
}

std::span<const std::span<const CommandRow>> commandGroups() {
    static const std::span<const CommandRow> groups[] = {
        testPageCommands(), settingsCommands(),     firmwareCommands(),  codePageCommands(),
        logoCommands(),     compoundBurnCommands(), infoPortsCommands(), fleetCommands(),
    };
    return groups;
}

void Command::expectOperands(std::size_t count) const {
    if (words().size() != count)
        throw UsageError("Usage: ordalia-cli " + row.usageText());
}

std::filesystem::path fullPath(const std::string& operand) {
    std::error_code ec;
    auto path = std::filesystem::absolute(std::filesystem::path(operand), ec);
    return ec ? std::filesystem::path(operand) : path.lexically_normal();
}

FileChoice fileChoice(const std::string& operand) {
    const auto path = fullPath(operand);
    return {path, pathForMessage(path.filename())};
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
    if (const auto number = portEntryNumber(port))
        choice.portIndex = *number;
    else
        choice.device = port;
    return choice;
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

std::optional<CodePageSlots> codePageSlots(const Command& c) {
    const CodePageTabLoad tab = loadCodePageTab(c.folder());
    if (tab.outcome != Outcome::Done) {
        c.console.message(tab.message);
        return std::nullopt;
    }
    return tab.slots;
}

} // namespace ordalia::cli
