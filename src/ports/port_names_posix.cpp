#include "ports/port_names.h"

namespace ordalia {

// Device nodes say nothing of what is wired to them (/dev/ttyS0 exists on
// most PCs with or without a UART), so an entry means the n-th port the
// finder lists, and nothing when it lists fewer.
PortName unmappedPortName(int portNumber, const std::vector<FoundPort>& found) {
    PortName name;
    const std::string example = "COM " + std::to_string(portNumber) + "=/dev/ttyUSB0.";
    if (found.empty()) {
        name.error = "no serial port was found on this computer. Plug the printer's cable in, or "
                     "name its device in the file \"ports\" beside the program, e.g. " +
                     example;
        return name;
    }
    if (portNumber < 1 || static_cast<std::size_t>(portNumber) > found.size()) {
        const std::size_t count = found.size();
        std::string entries = "COM 1";
        for (std::size_t n = 2; n <= count; ++n)
            entries += (n == count ? " and COM " : ", COM ") + std::to_string(n);
        name.error = "only " + std::to_string(count) +
                     (count == 1 ? " serial port was" : " serial ports were") +
                     " found on this computer, " + entries + ". Choose " +
                     (count == 1 ? "it" : "one of them") +
                     ", or name this entry's device in the file \"ports\" beside the program, "
                     "e.g. " +
                     example;
        return name;
    }
    const FoundPort& port = found[static_cast<std::size_t>(portNumber) - 1];
    name.device = port.device;
    name.description = port.description;
    // A USB port is kept by its stable name; a built-in one is its device.
    name.pin = port.usb ? std::string(kPinnedPrefix) + port.stableName : port.device;
    return name;
}

} // namespace ordalia
