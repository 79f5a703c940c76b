#include "cli/cli_options.h"

#include "common/text.h"
#include "ports/network_address.h"
#include "settings/printer_settings.h"

#include <algorithm>
#include <array>

namespace ordalia::cli {

namespace {

bool isSettingsField(std::string_view name) {
    return std::find(std::begin(kSettingsFieldNames), std::end(kSettingsFieldNames), name) !=
           std::end(kSettingsFieldNames);
}

bool takesValue(std::string_view name) {
    return name == "port" || name == "settings" || name == "parallel" || name == "folder" ||
           name == "width" || name == "threshold" || isSettingsField(name);
}

template <std::size_t N>
std::string itemList(const std::array<std::string_view, N>& items) {
    std::string out;
    for (const std::string_view item : items) {
        const std::string_view text = trimBlanks(item);
        out += out.empty() ? "" : " | ";
        out += text.find(' ') == std::string_view::npos ? std::string(text)
                                                        : "\"" + std::string(text) + "\"";
    }
    return out;
}

std::string settingsFieldHelp() {
    return "  --mode " + itemList(kPrinterModeItems) + "\n  --baud 9600 | 19200 | 38400 | 115200" +
           "\n  --compound " + itemList(kCompoundItems) + "\n  --buffer " +
           itemList(kGraphicBufferItems) + "\n  --density " + itemList(kDensityItems) +
           "\n  --cut-distance " + itemList(kCutDistanceItems) +
           "\n  --cutter on|off  --paper-end on|off  --near-end on|off  --door on|off\n";
}

ParsedCommandLine failure(std::string message) {
    return {std::nullopt, std::move(message)};
}

} // namespace

std::optional<int> comPortNumber(std::string_view text) {
    if (text.size() < 4 || lowerAscii(text.substr(0, 3)) != "com")
        return std::nullopt;
    std::size_t i = 3;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i == text.size() || text.size() - i > 3)
        return std::nullopt;
    int number = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        number = number * 10 + (text[i] - '0');
    }
    if (number < 1 || number > 255)
        return std::nullopt;
    return number;
}

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
        if (!takesValue(name)) {
            if (value)
                return failure("The option --" + name + " takes no value.");
            if (name == "quiet")
                options.quiet = true;
            else if (name == "help")
                options.help = true;
            else if (name == "version")
                options.version = true;
            else if (name == "self-test")
                options.selfTest = true;
            else if (name == "ignore-malfunction")
                options.ignoreMalfunction = true;
            else
                return failure("Unknown option \"--" + name + "\".");
            continue;
        }
        if (!value) {
            if (i + 1 == arguments.size())
                return failure("The option --" + name + " needs a value.");
            value = arguments[++i];
        }
        if (name == "port") {
            if (value->empty())
                return failure("The option --port needs a device or \"COM n\".");
            // A network address that cannot be opened is refused before anything starts.
            std::string why;
            if (value->starts_with(kNetworkScheme) && !parseNetworkAddress(*value, &why))
                return failure(why);
            options.port = *value;
        } else if (name == "settings") {
            options.settings = *value;
        } else if (name == "folder") {
            if (value->empty())
                return failure("The option --folder needs a folder.");
            options.folder = std::filesystem::path(*value);
        } else if (name == "width") {
            options.width = *value;
        } else if (name == "threshold") {
            options.threshold = *value;
        } else if (name == "parallel") {
            const std::string which = lowerAscii(*value);
            if (which == "lpt1")
                options.parallelIndex = 0;
            else if (which == "lpt2")
                options.parallelIndex = 1;
            else
                return failure("The option --parallel takes LPT1 or LPT2, not \"" + *value + "\".");
        } else {
            options.fields.emplace_back(name, *value);
        }
    }
    if (options.port && options.parallelIndex)
        return failure("Choose either --port or --parallel, not both.");
    return {std::move(options), {}};
}

std::string usageText() {
    return R"(Usage: ordalia-cli [options] COMMAND [arguments]

Does what the window's buttons do, from a script. Messages go to standard
error; progress is shown there too when it is a terminal.

Commands:
  test-page FILE            send a test file byte for byte (FILE may also be a
                            page of the Test Print page: "Receipt 1", rec1.p)
  test-page --self-test     ask the printer for its own test page
  settings show             show the settings saved in user_setting
  settings download         write user_setting's settings, changed by the field
                            options below, into the printer; without a
                            user_setting every field must be given
  firmware FILE [--ignore-malfunction]
                            update the firmware from a 196,608-byte image
  codepage download         build the code page image and program it
  codepage image OUT        build the code page image only and write it to OUT
  logo add BMP              add a monochrome bitmap to the logo list
  logo list                 show the logo list
  logo clear                empty the logo list
  logo download             store every listed logo in the printer
  logo print all|N          print every stored logo, or logo N
  logo convert BMP OUT      write the FS q block of one bitmap to OUT
  logo make PICTURE OUT [--width DOTS] [--threshold 0-255]
                            make a PNG, JPEG, GIF or BMP picture into a logo
                            bitmap OUT for logo add: the paper's width (384
                            dots for "2 inch", else 576) unless narrower,
                            dithered unless a threshold is given
  compound FILE             download a compound (double-byte) font file
  burn FIRMWARE             write the burn file: FIRMWARE and the code page image
  info                      ask the printer who it is and how it is: one
                            "name: value" line per answer (model name,
                            firmware, paper, cover...); exit status 2 when
                            it does not answer
  ports                     list COM 1 to COM 8: the device each one opens and
                            what it is

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

} // namespace ordalia::cli
