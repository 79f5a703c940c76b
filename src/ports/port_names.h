#pragma once

#include "ports/port_finder.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia {

// What the port list entry "COM n" means on this machine.
//
// The text file `ports` in the program's folder may name an entry's device,
// one entry per line; the last line for an entry wins:
//
//     # comment
//     COM 1=/dev/ttyUSB0
//     COM 3 = /dev/ttyS2
//
// On Windows an entry it does not name is the device COMn. Elsewhere it is
// the n-th port the finder lists (USB adapters and USB printer ports first,
// then the built-in ports with a UART), so "COM 1" reaches the one adapter
// plugged in, and never a device node with nothing behind it. An entry past
// the ports found has no device; `error` says why and how to name one.
struct PortName {
    std::string device; // what is opened; empty when the entry has none
    bool fromMapping = false;
    std::string description; // what the device is, when known
    std::string error;       // why there is no device, to follow "Cannot open COM n: "
    // For an entry the finder gave a device: what the file "ports" keeps
    // once the entry is used, so that it goes on meaning that device and
    // never another when it is unplugged (usb:NAME, NAME its stable name).
    std::string pin = {};
};

// "usb:NAME" in the file "ports": the port the finder lists with that stable
// name, wherever the system put it this time.
inline constexpr std::string_view kPinnedPrefix = "usb:";

// What kind of link a device name stands for: tcp://HOST[:PORT] is a network
// printer, /dev/usb/lp<n> or a Windows device path (\\?\usb#vid_..., the USB
// printer interface) a printer's own USB port, anything else a serial line
// (COM3 and \\.\COM12 included).
enum class DeviceKind { Line, UsbPrinter, Network };

DeviceKind deviceKind(std::string_view device);

// "COM 3", "com3", "COM  3" -> 3; nothing for anything else (a device path).
std::optional<int> portEntryNumber(std::string_view text);

// Whether the device sends at the speed of a line, so that the time its bytes
// take can be reckoned from the line settings. Not a network printer or a USB
// printer port, nor a USB device of the communications class (/dev/ttyACM*:
// a printer's own USB port seen as a modem, or a USB-serial chip whose queue
// empties at the speed of USB, not of the speed set).
bool deviceHasLine(std::string_view device);

// The entry's device among the ports `found` (as findSystemPorts() lists them).
PortName resolvePortName(int portNumber, const std::filesystem::path& programFolder,
                         const std::vector<FoundPort>& found);
// The same among the ports this machine has now.
PortName resolvePortName(int portNumber, const std::filesystem::path& programFolder);

// The entry's device when the mapping does not name it (one per platform).
PortName unmappedPortName(int portNumber, const std::vector<FoundPort>& found);

// One line for the entry: "COM 1 = /dev/ttyUSB0, FT232R USB UART", or
// "COM 5 = no port".
std::string portEntryText(int portNumber, const PortName& name);

// Keeps `name.pin` as the entry's line in the program folder's "ports" when
// the finder chose the device; does nothing for an entry the file names.
void pinPortName(int portNumber, const PortName& name, const std::filesystem::path& programFolder);

// Reads the mapping file's entry for `portNumber`; empty when none.
std::string mappedPortDevice(int portNumber, const std::filesystem::path& mappingFile);

// Writes (or replaces) the entry for `portNumber` in the mapping file, keeping
// its other lines. Returns false when the file cannot be written.
bool setMappedPortDevice(int portNumber, const std::string& device,
                         const std::filesystem::path& mappingFile);

} // namespace ordalia
