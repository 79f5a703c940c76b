#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ordalia {

// One port the machine has, as the system describes it.
struct FoundPort {
    std::string device;         // what is opened: /dev/ttyUSB0, /dev/usb/lp0, COM3
    std::string stableName;     // the same port across plugging and restarts: its
                                // /dev/serial/by-id name on Linux, else the device
    std::string description;    // what it is: "FT232R USB UART", "serial port, 16550A UART"
    bool usb = false;           // a USB adapter or a printer's own USB port
    std::uint16_t vendorId = 0; // USB ids, 0 when not known
    std::uint16_t productId = 0;
    std::string manufacturer; // USB strings, empty when not known
    std::string product;
    std::string serialNumber;
};

// The serial ports of this machine in a stable order: USB adapters and USB
// printer ports first, by their stable name, then the built-in ports.
// Only ports with hardware behind them are listed: a /dev/ttyS device whose
// UART the kernel does not know is left out, since most PCs have those
// nodes whether or not anything is wired.
std::vector<FoundPort> findSystemPorts();

// The same search under other /dev and /sys roots (a copy of their layout),
// so what is listed can be checked without the hardware. POSIX systems only.
std::vector<FoundPort> findPortsUnder(const std::filesystem::path& devRoot,
                                      const std::filesystem::path& sysRoot);

// Whether this system refuses the user the device for want of permission
// (POSIX access() says so); false on Windows, where permission is no bar.
bool accessDenied(const std::string& device);

// For a port the user may not open: a udev rule that lets whoever sits at
// the computer use it (TAG+="uaccess", given by systemd-logind), with where to
// save it and how to load it, ready to copy. A USB port is matched by its
// vendor and product ids, so the rule follows the adapter to any socket; a
// built-in port by its kernel name. Empty for a port neither names (a Windows
// port, a USB port whose ids are unknown and whose name is not a kernel name).
std::string udevRuleFor(const FoundPort& port);

} // namespace ordalia
