#pragma once

// What the commands share: the row a command is listed by, what it runs
// with, and the helpers more than one group uses.

#include "cli/cli_console.h"
#include "cli/cli_options.h"
#include "codepages/code_page_table.h"
#include "common/outcome.h"
#include "link/printer_link.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia::cli {

// A command line that names no command, or a command with the wrong operands
// or options: reported with a hint, nothing is done.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Command;

// One form of a command as --help lists it, and what it does: lines apart by
// '\n', laid out in the help's second column.
struct HelpLine {
    std::string_view form; // "logo add BMP"
    std::string_view text;
};

// A command as the command line names it, in its group's table.
struct CommandRow {
    std::string_view name; // the words that choose it: "logo add", "burn"
    // None for a word that needs a second one ("logo"): naming it alone, or
    // with a word no row has, is a usage error.
    Outcome (*run)(const Command&) = nullptr;
    std::initializer_list<HelpLine> help = {};
    // The options that belong to some commands only which this one takes.
    std::initializer_list<CommandOption> options = {};
    bool parallel = false; // it may go out over --parallel
    // What a usage error shows, when not the help's forms one after another.
    std::string_view usage = {};

    std::string usageText() const;
    bool takes(CommandOption option) const;
};

// Each group's commands, in its own file, in the order --help lists them.
std::span<const CommandRow> testPageCommands();     // cli_test_page.cpp
std::span<const CommandRow> settingsCommands();     // cli_settings.cpp
std::span<const CommandRow> firmwareCommands();     // cli_firmware.cpp
std::span<const CommandRow> codePageCommands();     // cli_codepage.cpp
std::span<const CommandRow> logoCommands();         // cli_logo.cpp
std::span<const CommandRow> compoundBurnCommands(); // cli_compound_burn.cpp
std::span<const CommandRow> infoPortsCommands();    // cli_info_ports.cpp
std::span<const CommandRow> fleetCommands();        // cli_fleet.cpp

std::span<const std::span<const CommandRow>> commandGroups();

// What every command works with.
struct Command {
    const CommandRow& row;
    const CliOptions& options;
    const Services& services;
    const LinkChoice& choice;
    Console& console;
    std::ostream& out;
    // A port of its own for each printer of a fleet.
    const std::function<std::unique_ptr<SerialPort>()>& makePort;

    const std::vector<std::string>& words() const { return options.words; }
    const std::filesystem::path& folder() const { return services.programFolder; }

    // A usage error unless the command's words (itself included) are `count`.
    void expectOperands(std::size_t count) const;
};

// A file named on the command line, as the operations want it: whole, so the
// program folder plays no part in where it is.
std::filesystem::path fullPath(const std::string& operand);
FileChoice fileChoice(const std::string& operand);

// The interface strip as the options set it.
LinkChoice linkChoice(const CliOptions& options, const std::filesystem::path& folder);

// Writes what a command made to the file named by `operand`, and says so.
Outcome writeOutput(const Command& c, const std::string& operand,
                    std::span<const std::uint8_t> bytes, std::string_view what);

// The Code Page page's table, which codepage and burn build the image from;
// nothing when it cannot be loaded, which has been reported.
std::optional<CodePageSlots> codePageSlots(const Command& c);

} // namespace ordalia::cli
