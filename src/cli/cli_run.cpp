// The dispatcher: from the command line to the row of the command it names,
// and from the command's outcome to the exit status.

#include "cli/cli_run.h"

#include "cli/cli_command.h"
#include "cli/cli_console.h"
#include "cli/cli_help.h"
#include "cli/cli_options.h"
#include "common/path_text.h"
#include "common/unexpected.h"
#include "link/transfer_gate.h"

#include <ostream>

namespace ordalia::cli {

namespace {

// The row the words choose: "logo add" by its two words before "logo" by
// the first alone. None: an unknown command.
const CommandRow* findRow(const std::vector<std::string>& words) {
    const CommandRow* byFirstWord = nullptr;
    for (const std::span<const CommandRow> group : commandGroups())
        for (const CommandRow& row : group) {
            if (row.name.find(' ') == std::string_view::npos) {
                if (row.name == words[0])
                    byFirstWord = &row;
            } else if (words.size() >= 2 && row.name == words[0] + " " + words[1]) {
                return &row;
            }
        }
    return byFirstWord;
}

// The command that takes `option`, which a usage error names.
std::string_view ownerOf(CommandOption option) {
    for (const std::span<const CommandRow> group : commandGroups())
        for (const CommandRow& row : group)
            if (row.takes(option))
                return row.name;
    return {};
}

// A command option the row does not take is refused, as is --parallel for a
// command that goes out on the serial link only.
void checkOptions(const CliOptions& options, const CommandRow& row) {
    const std::string& sub = options.words.size() >= 2 ? options.words[1] : std::string();
    const std::string line = options.words.front() + (sub.empty() ? "" : " " + sub);
    std::string serialOnly; // the options given that keep the command on the serial link
    for (const GivenOption& given : commandOptionsGiven(options)) {
        if (!row.takes(given.option))
            throw UsageError(given.name + " belongs to " + std::string(ownerOf(given.option)) +
                             ", not to " + line + ".");
        if (given.serialOnly)
            serialOnly += " " + given.name;
    }
    if (options.parallelIndex && (!row.parallel || !serialOnly.empty()))
        throw UsageError(line + serialOnly + " has no parallel link; use --port.");
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
    std::filesystem::path folder =
        options.folder ? fullPath(options.folder->string()) : environment.executableFolder;
    if (options.version) {
        environment.out << versionText(folder);
        return kExitDone;
    }
    if (options.words.empty()) {
        err << usageText();
        return kExitRefused;
    }
    const CommandRow* row = findRow(options.words);
    if (!row) {
        err << "ordalia-cli: unknown command \"" << options.words[0]
            << "\".\nTry \"ordalia-cli --help\".\n";
        return kExitRefused;
    }

    if (!options.folder && environment.prepareFolder)
        folder = environment.prepareFolder();
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
    const Command command{
        *row, options, services, choice, console, environment.out, environment.makePort};

    Outcome outcome = Outcome::Refused;
    try {
        checkOptions(options, *row);
        if (!row->run)
            throw UsageError("Usage: ordalia-cli " + row->usageText());
        outcome = row->run(command);
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
