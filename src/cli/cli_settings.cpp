// settings show, settings download: the Printing Setting page.

#include "cli/cli_command.h"
#include "cli/cli_settings_fields.h"
#include "common/files.h"
#include "common/path_text.h"
#include "settings/printer_settings.h"

#include <sstream>

namespace ordalia::cli {

namespace {

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
    c.expectOperands(2);
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

Outcome settingsDownload(const Command& c) {
    c.expectOperands(2);
    const StartingSettings start = startingSettings(c);
    const SettingsPage page = changedPage(start.load.page, c.options);
    // Without saved settings the record of zeros is no one's choice, and
    // sending it would reprogram the printer with settings nobody named.
    if (const auto missing = fieldsNotSet(c.options, start.saved, start.load.Sbaud.has_value());
        !missing.empty()) {
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

const CommandRow kCommands[] = {
    {.name = "settings show",
     .run = settingsShow,
     .help = {{"settings show", "show the settings saved in user_setting"}}},
    {.name = "settings download",
     .run = settingsDownload,
     .help = {{"settings download", "write user_setting's settings, changed by the field\n"
                                    "options below, into the printer; without a\n"
                                    "user_setting every field must be given"}},
     .options = {CommandOption::SettingsField},
     .usage = "settings download [--mode TEXT] [--density TEXT] ..."},
    {.name = "settings", .usage = "settings show | settings download [field options]"},
};

} // namespace

std::span<const CommandRow> settingsCommands() {
    return kCommands;
}

} // namespace ordalia::cli
