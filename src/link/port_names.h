#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace ordalia {

// What the port list entry "COM n" means on this machine.
//
// On Windows it is the device COMn. Elsewhere the text file `ports` in the
// program's folder maps entries to devices, one per line:
//
//     # comment
//     COM 1=/dev/ttyUSB0
//     COM 3 = /dev/ttyS2
//
// An entry the file does not name (or every entry, when there is no file)
// means /dev/ttyS<n-1>, so COM 1 is /dev/ttyS0.
struct PortName {
    std::string device; // what is opened
    bool fromMapping = false;
};

// What kind of link a device name stands for: tcp://HOST[:PORT] is a network
// printer, /dev/usb/lp<n> a printer's own USB port, anything else a serial
// line.
enum class DeviceKind { Line, UsbPrinter, Network };
DeviceKind deviceKind(std::string_view device);

PortName resolvePortName(int portNumber, const std::filesystem::path& programFolder);

// The device for `portNumber` when the mapping does not name it.
std::string defaultPortDevice(int portNumber);

// Reads the mapping file's entry for `portNumber`; empty when none.
std::string mappedPortDevice(int portNumber, const std::filesystem::path& mappingFile);

// Writes (or replaces) the entry for `portNumber` in the mapping file, keeping
// its other lines. Returns false when the file cannot be written.
bool setMappedPortDevice(int portNumber, const std::string& device,
                         const std::filesystem::path& mappingFile);

} // namespace ordalia
