#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ordalia::cli {

// Exit statuses: what a script branches on.
inline constexpr int kExitDone = 0;
inline constexpr int kExitRefused = 1; // bad input or usage: nothing sent, nothing changed
inline constexpr int kExitFailed = 2;  // the printer or the port failed

// The command line after parsing. Options may stand before or after the
// sub-command; "--name value" and "--name=value" mean the same.
struct CliOptions {
    std::optional<std::string> port;             // a device path, or "COM n"
    std::optional<std::string> settings;         // "115200,n,8,1"
    std::optional<int> parallelIndex;            // LPT1 0, LPT2 1
    std::optional<std::filesystem::path> folder; // the program folder
    bool quiet = false;
    bool help = false;
    bool version = false;
    bool selfTest = false;                // test-page --self-test
    bool ignoreMalfunction = false;       // firmware --ignore-malfunction
    bool check = false;                   // ports --check
    bool findSpeed = false;               // info --find-speed
    std::optional<std::string> save;      // info --save FILE
    std::optional<std::string> printers;  // fleet --printers LIST
    std::optional<std::string> jobs;      // fleet --jobs N
    std::optional<std::string> report;    // fleet --report OUT
    std::optional<std::string> retry;     // fleet --retry OUT.json
    std::optional<std::string> width;     // logo make --width DOTS
    std::optional<std::string> threshold; // logo make --threshold 0-255
    // The printer settings given on the command line, as (field, text) in
    // the order given: ("density", "Dark").
    std::vector<std::pair<std::string, std::string>> fields;
    std::vector<std::string> words; // the sub-command and its operands
};

struct ParsedCommandLine {
    std::optional<CliOptions> options;
    std::string error; // when there are no options: what is wrong with the line
};

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The options that belong to some commands only. A command names those it
// takes; every other command refuses them, so that a misplaced one is never
// silently ignored.
enum class CommandOption {
    SelfTest,
    IgnoreMalfunction,
    Width,
    Threshold,
    Check,
    FindSpeed,
    Save,
    Printers,
    Jobs,
    Report,
    Retry,
    SettingsField
};

struct GivenOption {
    CommandOption option;
    std::string name;        // as the user gave it: "--width", "--density"
    bool serialOnly = false; // what it asks for goes out on the serial link only
};

// The command options on the command line, in the order a misplaced one is
// reported; of the settings fields, the first given.
std::vector<GivenOption> commandOptionsGiven(const CliOptions& options);

} // namespace ordalia::cli
