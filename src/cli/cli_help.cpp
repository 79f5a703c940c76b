#include "cli/cli_help.h"

#include "cli/cli_command.h"
#include "cli/cli_settings_fields.h"
#include "common/path_text.h"

#ifndef ORDALIA_VERSION
#define ORDALIA_VERSION "unknown"
#endif

namespace ordalia::cli {

namespace {

// Where the help's second column starts; a longer form has a line of its own.
constexpr std::size_t kTextColumn = 28;

std::string commandHelp() {
    const std::string indent(kTextColumn, ' ');
    std::string out;
    for (const std::span<const CommandRow> group : commandGroups())
        for (const CommandRow& row : group)
            for (const HelpLine& line : row.help) {
                out += "  " + std::string(line.form);
                if (2 + line.form.size() + 2 <= kTextColumn)
                    out += std::string(kTextColumn - 2 - line.form.size(), ' ');
                else
                    out += "\n" + indent;
                for (const char ch : line.text)
                    out += ch == '\n' ? "\n" + indent : std::string(1, ch);
                out += '\n';
            }
    return out;
}

} // namespace

std::string usageText() {
    return R"(Usage: ordalia-cli [options] COMMAND [arguments]

Does what the window's buttons do, from a script. Messages go to standard
error; progress is shown there too when it is a terminal.

Commands:
)" + commandHelp() +
           R"(
Options:
  --port DEVICE             the serial port: a device (/dev/ttyUSB0, COM3) or
                            a port list entry ("COM 1", mapped by the ports
                            file as in the window); default "COM 1"
                            or a network printer, tcp://HOST[:PORT]
                            (raw printing, port 9100 unless given)
  --settings TEXT           speed,parity,data,stop (default: the saved
                            settings' baud rate, else 115200,n,8,1)
  --parallel LPT1|LPT2      use the parallel port instead (test pages, logos,
                            code page download)
  --folder DIR              the program folder whose files are used (default:
                            the folder of this program)
  --quiet                   no progress and no message unless something fails
  --help, --version

Settings fields (settings download), each set by one of the texts of its
list on the Printing Setting page:
)" + settingsFieldHelp() +
           R"(
Exit status: 0 done, 1 refused (bad input, nothing sent), 2 printer or port
failure.
)";
}

std::string versionText(const std::filesystem::path& programFolder) {
    return "ordalia-cli " ORDALIA_VERSION "\nProgram folder: " + pathForMessage(programFolder) +
           "\n";
}

} // namespace ordalia::cli
