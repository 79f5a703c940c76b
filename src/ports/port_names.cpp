#include "ports/port_names.h"

#include "common/text.h"

#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

namespace ordalia {
namespace {

std::string trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return std::string(s);
}

// The port number a mapping line names ("COM 3=..." or "COM3=..."), or 0.
int lineNumber(const std::string& line, std::string* device) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos)
        return 0;
    std::string key = trimmed(std::string_view(line).substr(0, equals));
    if (key.size() < 4 || (key.compare(0, 3, "COM") != 0 && key.compare(0, 3, "com") != 0))
        return 0;
    const std::string digits = trimmed(std::string_view(key).substr(3));
    if (digits.empty() || digits.size() > 3 ||
        digits.find_first_not_of("0123456789") != digits.npos)
        return 0;
    if (device)
        *device = trimmed(std::string_view(line).substr(equals + 1));
    return std::stoi(digits);
}

} // namespace

std::optional<int> portEntryNumber(std::string_view text) {
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

DeviceKind deviceKind(std::string_view device) {
    if (device.starts_with("tcp://"))
        return DeviceKind::Network;
    if (device.starts_with("/dev/usb/lp"))
        return DeviceKind::UsbPrinter;
    // A Windows device path other than a COM port's: a USB printer's
    // interface (\\?\usb#vid_...), or a pipe standing for one.
    if (device.starts_with("\\\\?\\") ||
        (device.starts_with("\\\\.\\") && !device.substr(4).starts_with("COM")))
        return DeviceKind::UsbPrinter;
    return DeviceKind::Line;
}

bool deviceHasLine(std::string_view device) {
    return deviceKind(device) == DeviceKind::Line && !device.starts_with("/dev/ttyACM");
}

std::string mappedPortDevice(int portNumber, const std::filesystem::path& mappingFile) {
    std::ifstream in(mappingFile);
    std::string line;
    std::string found;
    while (std::getline(in, line)) {
        const std::string text = trimmed(line);
        if (text.empty() || text[0] == '#')
            continue;
        std::string device;
        if (lineNumber(text, &device) == portNumber && !device.empty())
            found = device; // the last line for an entry wins
    }
    return found;
}

PortName resolvePortName(int portNumber, const std::filesystem::path& programFolder,
                         const std::vector<FoundPort>& found) {
    std::string mapped = mappedPortDevice(portNumber, programFolder / "ports");
    if (mapped.empty())
        return unmappedPortName(portNumber, found);
    if (mapped.starts_with(kPinnedPrefix)) {
        const std::string stable = mapped.substr(kPinnedPrefix.size());
        for (const FoundPort& port : found)
            if (port.stableName == stable)
                return {port.device, true, port.description, {}};
        PortName absent;
        absent.fromMapping = true;
        absent.error = "COM " + std::to_string(portNumber) + " is the USB port " + stable +
                       ", which is not plugged in. Plug it in, or remove the entry's line from "
                       "the file \"ports\" beside the program to take the port found first.";
        return absent;
    }
    PortName name{mapped, true, "named in the file \"ports\"", {}};
    // A by-id name is as good as the device it leads to.
    const std::string leaf = std::filesystem::path(mapped).filename().string();
    for (const FoundPort& port : found) {
        if (port.device == mapped || port.stableName == mapped || port.stableName == leaf) {
            name.description = port.description;
            break;
        }
    }
    return name;
}

void pinPortName(int portNumber, const PortName& name, const std::filesystem::path& programFolder) {
    if (!name.fromMapping && !name.pin.empty())
        setMappedPortDevice(portNumber, name.pin, programFolder / "ports");
}

PortName resolvePortName(int portNumber, const std::filesystem::path& programFolder) {
    return resolvePortName(portNumber, programFolder, findSystemPorts());
}

std::string portEntryText(int portNumber, const PortName& name) {
    std::string text = "COM " + std::to_string(portNumber) + " = ";
    if (name.device.empty())
        return text + "no port";
    text += name.device;
    if (!name.description.empty())
        text += ", " + name.description;
    return text;
}

bool setMappedPortDevice(int portNumber, const std::string& device,
                         const std::filesystem::path& mappingFile) {
    std::vector<std::string> lines;
    {
        std::ifstream in(mappingFile);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const std::string text = trimmed(line);
            if (!text.empty() && text[0] != '#' && lineNumber(text, nullptr) == portNumber)
                continue;
            lines.push_back(line);
        }
    }
    lines.push_back("COM " + std::to_string(portNumber) + "=" + device);
    std::ofstream out(mappingFile, std::ios::trunc);
    for (const auto& line : lines)
        out << line << '\n';
    return static_cast<bool>(out);
}

} // namespace ordalia
