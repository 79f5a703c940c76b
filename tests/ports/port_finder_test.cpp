// The finder over a copy of /dev and /sys laid out as Linux lays them out:
// by-id links to the adapters, sysfs class links into the USB device tree.

#include "ports/port_finder.h"
#include "support/harness.h"

#include <array>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

namespace fs = std::filesystem;

TEST(PortFinder, ListsPortsWithHardwareUsbFirstByStableNameThenUarts) {
    testing::TempFolder root;
    for (const char* name : {"ttyS1", "ttyS2", "ttyS9", "ttyS10", "ttyUSB0", "ttyUSB1", "ttyACM0",
                             "usb/lp0", "tty0", "ttyUSBx", "console"})
        root.write(std::string("dev/") + name, "");
    // ttyS1's node has no UART behind it, ttyS2's no type at all; numbers,
    // not letters, order the others.
    for (const auto& [name, type] : {std::pair{"ttyS1", "0"}, {"ttyS9", "1"}, {"ttyS10", "4"}})
        root.write(std::string("sys/class/tty/") + name + "/type", std::string(type) + "\n");
    const fs::path byId = root.path() / "dev/serial/by-id";
    fs::create_directories(byId);
    fs::create_symlink("../../ttyUSB0", byId / "usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0");
    fs::create_symlink("../../ttyACM0", byId / "usb-Acme_Receipt_Printer_0001-if00");
    fs::create_symlink("../../ttyUSB7", byId / "usb-Gone_Adapter-if00-port0"); // unplugged
    // A USB device (idVendor, idProduct, manufacturer, product, serial; a
    // blank one says nothing) whose interface holds the port of the class link
    // sys/class/<port>/device.
    const auto usbPort = [&root](const std::string& device, const std::string& port,
                                 const std::array<std::string, 5>& files) {
        const char* kFiles[] = {"idVendor", "idProduct", "manufacturer", "product", "serial"};
        for (std::size_t i = 0; i < files.size(); ++i)
            root.write("sys/devices/" + device + "/" + kFiles[i], files[i] + "\n");
        fs::create_directories(root.path() / "sys/devices" / device / "1.0" / port);
        fs::create_directories(root.path() / "sys/class" / port);
        fs::create_symlink(root.path() / "sys/devices" / device / "1.0" / port,
                           root.path() / "sys/class" / port / "device");
    };
    usbPort("usb1/1-1", "tty/ttyUSB0", {"0403", "6001", "FTDI", "FT232R USB UART", "A10K1234"});
    usbPort("usb1/1-2", "tty/ttyACM0", {"1a2b", "0c0d", "Acme", "Receipt Printer", "0001"});
    usbPort("usb1/1-3", "tty/ttyUSB1", {"067b", "2303", "", "", ""});
    usbPort("usb2/2-1", "usbmisc/lp0", {"04b8", "0202", "Acme Corp", "", "X1"});

    // USB ports are described and named by what their device says of itself,
    // by its ids when it says nothing.
    struct Expected {
        const char* device;
        const char* stableName; // none: the device
        const char* description;
    } const kExpected[] = {
        {"ttyUSB1", "usb-067b_2303-ttyUSB1", "USB serial adapter 067b:2303"},
        // Printer ports have no by-id link; theirs is made the same way.
        {"usb/lp0", "usb-Acme_Corp_X1-lp0", "Acme Corp USB printer port"},
        {"ttyACM0", "usb-Acme_Receipt_Printer_0001-if00", "Receipt Printer"},
        {"ttyUSB0", "usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0", "FT232R USB UART"},
        {"ttyS9", nullptr, "serial port, 8250 UART"},
        {"ttyS10", nullptr, "serial port, 16550A UART"},
    };
    const auto found = findPortsUnder(root.path() / "dev", root.path() / "sys");
    ASSERT_EQ(found.size(), std::size(kExpected));
    for (std::size_t i = 0; i < found.size(); ++i) {
        const Expected& e = kExpected[i];
        SCOPED_TRACE(e.device);
        EXPECT_EQ(found[i].device, (root.path() / "dev" / e.device).string());
        EXPECT_EQ(found[i].stableName, e.stableName ? e.stableName : found[i].device);
        EXPECT_EQ(found[i].description, e.description);
    }
    EXPECT_TRUE(findPortsUnder(root.path() / "none", root.path() / "none").empty());
}

} // namespace
} // namespace ordalia
