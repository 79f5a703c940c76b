#include "cli/cli_options.h"

#include "cli/cli_settings_fields.h"
#include "common/text.h"
#include "ports/network_address.h"

#include <algorithm>

namespace ordalia::cli {

namespace {

// Stores an option's value, or says why it cannot be taken.
using StoreValue = std::optional<std::string> (*)(CliOptions&, const std::string& value);

std::optional<std::string> storePort(CliOptions& options, const std::string& value) {
    if (value.empty())
        return "The option --port needs a device or \"COM n\".";
    // A network address that cannot be opened is refused before anything starts.
    std::string why;
    if (value.starts_with(kNetworkScheme) && !parseNetworkAddress(value, &why))
        return why;
    options.port = value;
    return std::nullopt;
}

std::optional<std::string> storeParallel(CliOptions& options, const std::string& value) {
    const std::string which = lowerAscii(value);
    if (which != "lpt1" && which != "lpt2")
        return "The option --parallel takes LPT1 or LPT2, not \"" + value + "\".";
    options.parallelIndex = which == "lpt1" ? 0 : 1;
    return std::nullopt;
}

std::optional<std::string> storeFolder(CliOptions& options, const std::string& value) {
    if (value.empty())
        return "The option --folder needs a folder.";
    options.folder = std::filesystem::path(value);
    return std::nullopt;
}

// One option: a flag, set when given, or an option with a value, kept as
// given or checked as it is stored. The settings fields are options with a
// value too, and come from their own table.
struct OptionRow {
    std::string_view name;
    bool CliOptions::*flag = nullptr;
    std::optional<std::string> CliOptions::*text = nullptr;
    StoreValue store = nullptr;
    std::optional<CommandOption> command = std::nullopt; // belongs to the commands naming it
    // What it asks for goes out on the serial link only (the printer's own
    // test page).
    bool serialOnly = false;

    bool takesValue() const { return flag == nullptr; }
};

// Every option but the settings fields; the command options in the order a
// misplaced one is reported.
const OptionRow kOptions[] = {
    {.name = "port", .store = storePort},
    {.name = "settings", .text = &CliOptions::settings},
    {.name = "parallel", .store = storeParallel},
    {.name = "folder", .store = storeFolder},
    {.name = "quiet", .flag = &CliOptions::quiet},
    {.name = "help", .flag = &CliOptions::help},
    {.name = "version", .flag = &CliOptions::version},
    {.name = "self-test",
     .flag = &CliOptions::selfTest,
     .command = CommandOption::SelfTest,
     .serialOnly = true},
    {.name = "ignore-malfunction",
     .flag = &CliOptions::ignoreMalfunction,
     .command = CommandOption::IgnoreMalfunction},
    {.name = "check", .flag = &CliOptions::check, .command = CommandOption::Check},
    {.name = "find-speed", .flag = &CliOptions::findSpeed, .command = CommandOption::FindSpeed},
    {.name = "save", .text = &CliOptions::save, .command = CommandOption::Save},
    {.name = "printers", .text = &CliOptions::printers, .command = CommandOption::Printers},
    {.name = "jobs", .text = &CliOptions::jobs, .command = CommandOption::Jobs},
    {.name = "report", .text = &CliOptions::report, .command = CommandOption::Report},
    {.name = "retry", .text = &CliOptions::retry, .command = CommandOption::Retry},
    {.name = "width", .text = &CliOptions::width, .command = CommandOption::Width},
    {.name = "threshold", .text = &CliOptions::threshold, .command = CommandOption::Threshold},
};

const OptionRow* findOption(std::string_view name) {
    const auto row = std::find_if(std::begin(kOptions), std::end(kOptions),
                                  [&](const OptionRow& option) { return option.name == name; });
    return row == std::end(kOptions) ? nullptr : row;
}

ParsedCommandLine failure(std::string message) {
    return {std::nullopt, std::move(message)};
}

} // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CliOptions options;
    bool onlyOperands = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (onlyOperands || argument.size() < 2 || argument.compare(0, 2, "--") != 0) {
            if (!onlyOperands && argument.size() > 1 && argument[0] == '-' && argument != "-h")
                return failure("Unknown option \"" + argument + "\".");
            if (argument == "-h") {
                options.help = true;
                continue;
            }
            options.words.push_back(argument);
            continue;
        }
        if (argument == "--") {
            onlyOperands = true;
            continue;
        }
        std::string name = argument.substr(2);
        std::optional<std::string> value;
        if (const auto equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const OptionRow* option = findOption(name);
        const bool field = !option && isSettingsField(name);
        // An unknown option is taken for a flag: "--name=value" of one is
        // refused for its value.
        if (!field && (!option || !option->takesValue())) {
            if (value)
                return failure("The option --" + name + " takes no value.");
            if (!option)
                return failure("Unknown option \"--" + name + "\".");
            options.*option->flag = true;
            continue;
        }
        if (!value) {
            if (i + 1 == arguments.size())
                return failure("The option --" + name + " needs a value.");
            value = arguments[++i];
        }
        if (field)
            options.fields.emplace_back(name, *value);
        else if (option->text)
            options.*option->text = *value;
        else if (auto why = option->store(options, *value))
            return failure(std::move(*why));
    }
    if (options.port && options.parallelIndex)
        return failure("Choose either --port or --parallel, not both.");
    return {std::move(options), {}};
}

std::vector<GivenOption> commandOptionsGiven(const CliOptions& options) {
    std::vector<GivenOption> given;
    for (const OptionRow& row : kOptions) {
        if (row.command && (row.flag ? options.*row.flag : (options.*row.text).has_value()))
            given.push_back({*row.command, "--" + std::string(row.name), row.serialOnly});
    }
    if (!options.fields.empty())
        given.push_back({CommandOption::SettingsField, "--" + options.fields.front().first});
    return given;
}

} // namespace ordalia::cli
