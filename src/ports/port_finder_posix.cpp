// The serial ports of a Linux machine, found in /dev and described from
// /sys: USB adapters (ttyUSB, ttyACM), printers' own USB ports (usb/lp) and
// the built-in ports (ttyS) that have a UART.

#include "ports/port_finder.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <map>
#include <string_view>
#include <system_error>
#include <tuple>
#include <unistd.h>

namespace ordalia {
namespace {

namespace fs = std::filesystem;

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\n'))
        line.pop_back();
    return line;
}

std::uint16_t hexId(const std::string& text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return (error == std::errc() && end != text.data() && value <= 0xFFFF)
               ? static_cast<std::uint16_t>(value)
               : 0;
}

// The number after a device name's prefix ("ttyS12" -> 12), or -1.
int deviceNumber(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix) || name.size() == prefix.size())
        return -1;
    int value = -1;
    const char* first = name.data() + prefix.size();
    const char* last = name.data() + name.size();
    const auto [end, error] = std::from_chars(first, last, value);
    return (error == std::errc() && end == last) ? value : -1;
}

// The kernel's UART types (serial_core), as the type file gives them.
std::string uartName(int type) {
    static constexpr std::string_view kNames[] = {
        "",      "8250",     "16450",  "16550", "16550A", "Cirrus", "16650",    "16650V2",
        "16750", "startech", "16C950", "16654", "16850",  "RSA",    "NS16550A", "XScale"};
    if (type > 0 && type < static_cast<int>(std::size(kNames)))
        return std::string(kNames[type]) + " UART";
    return "UART type " + std::to_string(type);
}

// Walks up from a class device's link in /sys to the USB device that holds
// it and copies what that device says of itself. False when it is no USB
// device.
bool readUsbDevice(const fs::path& classDevice, const fs::path& sysRoot, FoundPort& port) {
    std::error_code ec;
    fs::path at = fs::canonical(classDevice, ec);
    if (ec)
        return false;
    const fs::path top = fs::canonical(sysRoot, ec);
    for (int depth = 0; depth < 8 && !ec && at.has_relative_path() && at != top; ++depth) {
        if (fs::exists(at / "idVendor", ec)) {
            port.usb = true;
            port.vendorId = hexId(firstLine(at / "idVendor"));
            port.productId = hexId(firstLine(at / "idProduct"));
            port.manufacturer = firstLine(at / "manufacturer");
            port.product = firstLine(at / "product");
            port.serialNumber = firstLine(at / "serial");
            return true;
        }
        at = at.parent_path();
    }
    return false;
}

std::string hex4(std::uint16_t value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text(4, '0');
    for (int i = 3; i >= 0; --i, value = static_cast<std::uint16_t>(value >> 4))
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    return text;
}

std::string usbDescription(const FoundPort& port, std::string_view kind) {
    if (!port.product.empty())
        return port.product;
    if (!port.manufacturer.empty())
        return port.manufacturer + " " + std::string(kind);
    return std::string(kind) + " " + hex4(port.vendorId) + ":" + hex4(port.productId);
}

// What udev would call a USB port that has no by-id link (no udev running,
// or a printer port, which udev does not name): the maker, product and
// serial number, blanks as underscores.
std::string usbName(const FoundPort& port, std::string_view device) {
    std::string name = "usb";
    for (const std::string* part : {&port.manufacturer, &port.product, &port.serialNumber}) {
        if (!part->empty())
            name += (name.size() == 3 ? "-" : "_") + *part;
    }
    if (name.size() == 3)
        name += "-" + hex4(port.vendorId) + "_" + hex4(port.productId);
    std::replace(name.begin(), name.end(), ' ', '_');
    return name + "-" + std::string(device);
}

} // namespace

std::vector<FoundPort> findPortsUnder(const fs::path& devRoot, const fs::path& sysRoot) {
    std::error_code ec;
    // by-id names, keyed by the device each one leads to.
    std::map<fs::path, std::string> byId;
    for (const auto& link : fs::directory_iterator(devRoot / "serial" / "by-id", ec)) {
        std::error_code linkError;
        const fs::path target = fs::canonical(link.path(), linkError);
        if (!linkError)
            byId.emplace(target, link.path().filename().string());
    }

    std::vector<FoundPort> usbPorts;
    std::vector<std::pair<int, FoundPort>> builtIn;
    for (const auto& entry : fs::directory_iterator(devRoot, ec)) {
        const std::string name = entry.path().filename().string();
        FoundPort port;
        port.device = entry.path().string();
        if (const int n = deviceNumber(name, "ttyS"); n >= 0) {
            // A node without a UART behind it takes no bytes anywhere.
            const std::string type = firstLine(sysRoot / "class" / "tty" / name / "type");
            int uart = 0;
            std::from_chars(type.data(), type.data() + type.size(), uart);
            if (uart <= 0)
                continue;
            port.stableName = port.device;
            port.description = "serial port, " + uartName(uart);
            builtIn.emplace_back(n, port);
            continue;
        }
        if (deviceNumber(name, "ttyUSB") < 0 && deviceNumber(name, "ttyACM") < 0)
            continue;
        readUsbDevice(sysRoot / "class" / "tty" / name / "device", sysRoot, port);
        port.usb = true;
        port.description = usbDescription(port, "USB serial adapter");
        std::error_code canonicalError;
        const auto found = byId.find(fs::canonical(entry.path(), canonicalError));
        port.stableName = found != byId.end() ? found->second : usbName(port, name);
        usbPorts.push_back(port);
    }
    for (const auto& entry : fs::directory_iterator(devRoot / "usb", ec)) {
        const std::string name = entry.path().filename().string();
        if (deviceNumber(name, "lp") < 0)
            continue;
        FoundPort port;
        port.device = entry.path().string();
        readUsbDevice(sysRoot / "class" / "usbmisc" / name / "device", sysRoot, port);
        port.usb = true;
        port.description = usbDescription(port, "USB printer port");
        port.stableName = usbName(port, name);
        usbPorts.push_back(port);
    }

    std::sort(usbPorts.begin(), usbPorts.end(), [](const FoundPort& a, const FoundPort& b) {
        return std::tie(a.stableName, a.device) < std::tie(b.stableName, b.device);
    });
    std::sort(builtIn.begin(), builtIn.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [number, port] : builtIn)
        usbPorts.push_back(std::move(port));
    return usbPorts;
}

std::vector<FoundPort> findSystemPorts() {
    // A folder that fails while it is listed (a device removed that moment)
    // leaves the ports unknown, not the operation ended.
    try {
        return findPortsUnder("/dev", "/sys");
    } catch (const std::exception&) {
        return {};
    }
}

bool accessDenied(const std::string& device) {
    return ::access(device.c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM);
}

} // namespace ordalia
