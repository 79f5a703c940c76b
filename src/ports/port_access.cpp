#include "ports/port_finder.h"

#include <cstdio>

namespace ordalia {

namespace {

inline constexpr const char* kRuleFile = "/etc/udev/rules.d/70-ordalia-printer.rules";

std::string hex4(std::uint16_t id) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", id);
    return text;
}

} // namespace

std::string udevRuleFor(const FoundPort& port) {
    constexpr std::string_view kDev = "/dev/";
    if (!port.device.starts_with(kDev))
        return {};
    const std::string kernelName = port.device.substr(kDev.size());
    // USB printer ports are usbmisc devices named usb/lp0; the rest are ttys.
    const bool printerClass = kernelName.starts_with("usb/lp");
    std::string match =
        printerClass ? R"(SUBSYSTEM=="usbmisc", KERNEL=="lp[0-9]*")" : R"(SUBSYSTEM=="tty")";
    if (port.usb && port.vendorId != 0)
        match += R"(, ATTRS{idVendor}==")" + hex4(port.vendorId) + R"(", ATTRS{idProduct}==")" +
                 hex4(port.productId) + "\"";
    else if (!printerClass && kernelName.find('/') == std::string::npos)
        match += R"(, KERNEL==")" + kernelName + "\"";
    else
        return {};
    return std::string("To let whoever uses this computer open it, save this line as ") +
           kRuleFile + ":\n    " + match + R"(, TAG+="uaccess")" +
           "\nthen load it and plug the cable in again:\n"
           "    sudo udevadm control --reload-rules && sudo udevadm trigger\n";
}

} // namespace ordalia
