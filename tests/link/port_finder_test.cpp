// The finder over a copy of /dev and /sys laid out as Linux lays them out:
// by-id links to the adapters, sysfs class links into the USB device tree.

#include "link/port_finder.h"
#include "support/harness.h"

#include <gtest/gtest.h>

namespace ordalia {
namespace {

namespace fs = std::filesystem;

struct UsbDevice {
    const char* path; // under sys/devices
    const char* vendor;
    const char* product;
    const char* manufacturer;
    const char* name;
    const char* serial;
};

class FakeTree {
public:
    fs::path dev() const { return m_folder.path() / "dev"; }
    fs::path sys() const { return m_folder.path() / "sys"; }

    void node(const std::string& name) const { m_folder.write("dev/" + name, ""); }
    void byId(const std::string& name, const std::string& device) const {
        fs::create_directories(dev() / "serial/by-id");
        fs::create_symlink("../../" + device, dev() / "serial/by-id" / name);
    }
    void uart(const std::string& name, const std::string& type) const {
        m_folder.write("sys/class/tty/" + name + "/type", type + "\n");
    }
    void usb(const UsbDevice& d) const {
        const std::string at = std::string("sys/devices/") + d.path + "/";
        m_folder.write(at + "idVendor", std::string(d.vendor) + "\n");
        m_folder.write(at + "idProduct", std::string(d.product) + "\n");
        if (*d.manufacturer)
            m_folder.write(at + "manufacturer", std::string(d.manufacturer) + "\n");
        if (*d.name)
            m_folder.write(at + "product", std::string(d.name) + "\n");
        if (*d.serial)
            m_folder.write(at + "serial", std::string(d.serial) + "\n");
    }
    // The class link: /sys/class/<cls>/<name>/device into the device tree.
    void classLink(const std::string& cls, const std::string& name,
                   const std::string& target) const {
        const fs::path folder = sys() / "class" / cls / name;
        fs::create_directories(folder);
        fs::create_directories(sys() / "devices" / target);
        fs::create_symlink(sys() / "devices" / target, folder / "device");
    }

private:
    testing::TempFolder m_folder;
};

TEST(PortFinder, ListsPortsWithHardwareUsbFirstByStableNameThenUarts) {
    FakeTree t;
    for (const char* name : {"ttyS0", "ttyS1", "ttyS2", "ttyS9", "ttyS10", "ttyUSB0", "ttyUSB1",
                             "ttyACM0", "usb/lp0", "tty0", "ttyUSBx", "console"})
        t.node(name);
    t.uart("ttyS0", "4");
    t.uart("ttyS1", "0"); // a node with no UART behind it
    t.uart("ttyS9", "1");
    t.uart("ttyS10", "4"); // numbers, not letters, order the built-in ports
    t.byId("usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0", "ttyUSB0");
    t.byId("usb-Acme_Receipt_Printer_0001-if00", "ttyACM0");
    t.byId("usb-Gone_Adapter-if00-port0", "ttyUSB7"); // unplugged: its link dangles
    t.usb({"pci0/usb1/1-1", "0403", "6001", "FTDI", "FT232R USB UART", "A10K1234"});
    t.usb({"pci0/usb1/1-2", "1a2b", "0c0d", "Acme", "Receipt Printer", "0001"});
    t.usb({"pci0/usb1/1-3", "067b", "2303", "Maker", "", ""});
    t.usb({"pci0/usb2/2-1", "04b8", "0202", "Acme", "TM Printer", "X1"});
    t.classLink("tty", "ttyUSB0", "pci0/usb1/1-1/1-1:1.0/ttyUSB0");
    t.classLink("tty", "ttyACM0", "pci0/usb1/1-2/1-2:1.0");
    t.classLink("tty", "ttyUSB1", "pci0/usb1/1-3/1-3:1.0/ttyUSB1");
    t.classLink("usbmisc", "lp0", "pci0/usb2/2-1/2-1:1.0");

    struct Expected {
        const char* device;
        const char* stableName;
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
    const auto found = findPortsUnder(t.dev(), t.sys());
    ASSERT_EQ(found.size(), std::size(kExpected));
    for (std::size_t i = 0; i < found.size(); ++i) {
        const Expected& e = kExpected[i];
        SCOPED_TRACE(e.device);
        const std::string device = (t.dev() / e.device).string();
        EXPECT_EQ(found[i].device, device);
        EXPECT_EQ(found[i].stableName, e.stableName ? e.stableName : device);
        EXPECT_EQ(found[i].description, e.description);
        EXPECT_EQ(found[i].usb, e.vendor != 0);
        EXPECT_EQ(found[i].vendorId, e.vendor);
        EXPECT_EQ(found[i].productId, e.product);
        EXPECT_EQ(found[i].serialNumber, e.serial);
    }
}

TEST(PortFinder, NothingFoundUnderAnEmptyTree) {
    FakeTree t;
    t.node("ttyS0"); // no type file: the kernel knows no UART there
    EXPECT_TRUE(findPortsUnder(t.dev(), t.sys()).empty());
    EXPECT_TRUE(findPortsUnder(t.dev() / "missing", t.sys() / "missing").empty());
}

} // namespace
} // namespace ordalia
