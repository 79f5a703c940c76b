// The finder over a copy of /dev and /sys laid out as Linux lays them out:
// by-id links to the adapters, sysfs class links into the USB device tree.

#include "link/port_finder.h"
#include "support/harness.h"

#include <array>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

namespace fs = std::filesystem;

// A USB device under sys/devices (idVendor, idProduct, manufacturer, product,
// serial; a blank string writes no file) and the class link of the port it
// holds: sys/class/<cls>/<name>/device.
void usbPort(const testing::TempFolder& root, const std::string& device,
             const std::array<std::string, 5>& files, const std::string& classLink,
             const std::string& portFolder) {
    const char* kFiles[] = {"idVendor", "idProduct", "manufacturer", "product", "serial"};
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!files[i].empty())
            root.write("sys/devices/" + device + "/" + kFiles[i], files[i] + "\n");
    }
    fs::create_directories(root.path() / "sys/devices" / device / portFolder);
    fs::create_directories(root.path() / "sys/class" / classLink);
    fs::create_symlink(root.path() / "sys/devices" / device / portFolder,
                       root.path() / "sys/class" / classLink / "device");
}

TEST(PortFinder, ListsPortsWithHardwareUsbFirstByStableNameThenUarts) {
    testing::TempFolder root;
    for (const char* name : {"ttyS0", "ttyS1", "ttyS2", "ttyS9", "ttyS10", "ttyUSB0", "ttyUSB1",
                             "ttyACM0", "usb/lp0", "tty0", "ttyUSBx", "console"})
        root.write(std::string("dev/") + name, "");
    // ttyS1's node has no UART behind it, ttyS2's no type at all; numbers,
    // not letters, order the others.
    for (const auto& [name, type] :
         {std::pair{"ttyS0", "4"}, {"ttyS1", "0"}, {"ttyS9", "1"}, {"ttyS10", "4"}})
        root.write(std::string("sys/class/tty/") + name + "/type", std::string(type) + "\n");
    fs::create_directories(root.path() / "dev/serial/by-id");
    for (const auto& [name, device] :
         {std::pair{"usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0", "ttyUSB0"},
          {"usb-Acme_Receipt_Printer_0001-if00", "ttyACM0"},
          {"usb-Gone_Adapter-if00-port0", "ttyUSB7"}}) // unplugged: its link dangles
        fs::create_symlink(std::string("../../") + device, root.path() / "dev/serial/by-id" / name);
    usbPort(root, "usb1/1-1", {"0403", "6001", "FTDI", "FT232R USB UART", "A10K1234"},
            "tty/ttyUSB0", "1-1:1.0/ttyUSB0");
    usbPort(root, "usb1/1-2", {"1a2b", "0c0d", "Acme", "Receipt Printer", "0001"}, "tty/ttyACM0",
            "1-2:1.0");
    usbPort(root, "usb1/1-3", {"067b", "2303", "Maker", "", ""}, "tty/ttyUSB1", "1-3:1.0/ttyUSB1");
    usbPort(root, "usb2/2-1", {"04b8", "0202", "Acme", "TM Printer", "X1"}, "usbmisc/lp0",
            "2-1:1.0");

    struct Expected {
        const char* device;
        const char* stableName; // none: the device
        const char* description;
        std::uint16_t vendor, product;
        const char* serial;
    };
    const Expected kExpected[] = {
        {"ttyACM0", "usb-Acme_Receipt_Printer_0001-if00", "Receipt Printer", 0x1a2b, 0x0c0d,
         "0001"},
        // Printer ports have no by-id link; theirs is made the same way.
        {"usb/lp0", "usb-Acme_TM_Printer_X1-lp0", "TM Printer", 0x04b8, 0x0202, "X1"},
        {"ttyUSB0", "usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0", "FT232R USB UART", 0x0403,
         0x6001, "A10K1234"},
        {"ttyUSB1", "usb-Maker-ttyUSB1", "Maker USB serial adapter", 0x067b, 0x2303, ""},
        {"ttyS0", nullptr, "serial port, 16550A UART", 0, 0, ""},
        {"ttyS9", nullptr, "serial port, 8250 UART", 0, 0, ""},
        {"ttyS10", nullptr, "serial port, 16550A UART", 0, 0, ""},
    };
    const auto found = findPortsUnder(root.path() / "dev", root.path() / "sys");
    ASSERT_EQ(found.size(), std::size(kExpected));
    for (std::size_t i = 0; i < found.size(); ++i) {
        const Expected& e = kExpected[i];
        SCOPED_TRACE(e.device);
        const std::string device = (root.path() / "dev" / e.device).string();
        EXPECT_EQ(found[i].device, device);
        EXPECT_EQ(found[i].stableName, e.stableName ? e.stableName : device);
        EXPECT_EQ(found[i].description, e.description);
        EXPECT_EQ(found[i].usb, e.vendor != 0);
        EXPECT_EQ(found[i].vendorId, e.vendor);
        EXPECT_EQ(found[i].productId, e.product);
        EXPECT_EQ(found[i].serialNumber, e.serial);
    }
    EXPECT_TRUE(findPortsUnder(root.path() / "none", root.path() / "none").empty());
}

} // namespace
} // namespace ordalia
