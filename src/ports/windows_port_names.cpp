#include "ports/windows_port_names.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace ordalia {
namespace {

std::string upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The four hex digits after `key` ("VID_", "PID_") in an instance id or path.
std::uint16_t hexAfter(const std::string& text, const char* key) {
    const std::string up = upper(text);
    const auto at = up.find(key);
    if (at == std::string::npos)
        return 0;
    const std::string digits = up.substr(at + std::char_traits<char>::length(key), 4);
    if (digits.size() != 4 || !std::all_of(digits.begin(), digits.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c));
        }))
        return 0;
    return static_cast<std::uint16_t>(std::strtoul(digits.c_str(), nullptr, 16));
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        const auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

// The serial number in an instance id. A USB device's id ends with it
// ("USB\VID_0519&PID_2013\20140601"), unless Windows made one up for a device
// without (it holds '&': "5&2A3B4C5D&0&2"). FTDI's own bus ends its id with
// the serial number and the channel letter ("FTDIBUS\VID_0403+PID_6001+
// A6008ISPA\0000" is serial A6008ISP, channel A).
std::string serialNumber(const std::string& instanceId) {
    const auto parts = split(instanceId, '\\');
    if (parts.size() < 3)
        return {};
    const std::string bus = upper(parts[0]);
    if (bus == "USB")
        return parts[2].find('&') == std::string::npos ? parts[2] : std::string();
    if (bus == "FTDIBUS") {
        const auto fields = split(parts[1], '+');
        if (fields.size() == 3 && fields[2].size() > 1)
            return fields[2].substr(0, fields[2].size() - 1);
    }
    return {};
}

void describeUsb(FoundPort& port, const SetupApiDevice& device) {
    port.vendorId = hexAfter(device.instanceId, "VID_");
    port.productId = hexAfter(device.instanceId, "PID_");
    port.usb = port.vendorId != 0;
    port.serialNumber = port.usb ? serialNumber(device.instanceId) : std::string();
    port.manufacturer = device.manufacturer;
    port.product = device.busReported;
}

} // namespace

int comPortNumber(const std::string& name) {
    if (name.size() < 4 || upper(name.substr(0, 3)) != "COM" ||
        !std::all_of(name.begin() + 3, name.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return 0;
    return std::atoi(name.c_str() + 3);
}

std::vector<FoundPort> windowsPorts(const std::vector<SetupApiDevice>& comPorts,
                                    const std::vector<SetupApiDevice>& usbPrinters,
                                    const std::vector<SerialCommEntry>& serialComm) {
    std::vector<FoundPort> serial;
    for (const SetupApiDevice& device : comPorts) {
        if (comPortNumber(device.portName) == 0)
            continue; // a parallel port of the same class, or no port at all
        FoundPort port;
        port.device = device.portName;
        port.stableName = port.device;
        // Device Manager's own name carries the port; a driver that gives
        // none gets the port added, so the list says which is which.
        port.description = !device.friendlyName.empty()
                               ? device.friendlyName
                               : device.description + " (" + device.portName + ")";
        describeUsb(port, device);
        serial.push_back(port);
    }
    for (const SerialCommEntry& entry : serialComm) {
        if (comPortNumber(entry.port) == 0 ||
            std::any_of(serial.begin(), serial.end(),
                        [&](const FoundPort& p) { return p.device == entry.port; }))
            continue;
        FoundPort port;
        port.device = entry.port;
        port.stableName = port.device;
        const auto slash = entry.driverDevice.find_last_of('\\');
        port.description =
            slash == std::string::npos ? entry.driverDevice : entry.driverDevice.substr(slash + 1);
        serial.push_back(port);
    }
    std::stable_sort(serial.begin(), serial.end(), [](const FoundPort& a, const FoundPort& b) {
        return comPortNumber(a.device) < comPortNumber(b.device);
    });

    std::vector<FoundPort> printers;
    for (const SetupApiDevice& device : usbPrinters) {
        if (device.interfacePath.empty())
            continue;
        FoundPort port;
        port.device = device.interfacePath;
        port.stableName = port.device;
        const std::string driver =
            !device.friendlyName.empty() ? device.friendlyName : device.description;
        // What the printer calls itself says more than the driver's name.
        port.description = device.busReported.empty() ? driver
                           : driver.empty()           ? device.busReported
                                                      : device.busReported + " (" + driver + ")";
        describeUsb(port, device);
        printers.push_back(port);
    }
    std::sort(printers.begin(), printers.end(),
              [](const FoundPort& a, const FoundPort& b) { return a.device < b.device; });
    serial.insert(serial.end(), printers.begin(), printers.end());
    return serial;
}

} // namespace ordalia
