#include "ports/port_names.h"
#include "support/harness.h"

#include <gtest/gtest.h>

namespace ordalia {
namespace {

// An entry the file names is that device; the others are the ports found, in
// their order.
TEST(PortNames, EntriesNamedByTheFileOrThePortsFound) {
    ordalia::testing::TempFolder folder;
    folder.write("ports", "# USB adapters\nCOM 1=/dev/ttyUSB0\r\ngarbage\nCOM 1=/dev/ttyACM0\n"
                          "  COM3 = /dev/serial/by-id/usb-FTDI_FT232R-if00-port0  \n");
    FoundPort adapter, uart;
    adapter.device = "/dev/ttyUSB0";
    adapter.stableName = "usb-FTDI_FT232R-if00-port0";
    adapter.description = "FT232R USB UART";
    uart.device = "/dev/ttyS0";
    uart.description = "serial port, 16550A UART";
    const std::vector<FoundPort> one{adapter}, two{adapter, uart}, three{adapter, uart, uart};
    struct Case {
        const char* name;
        int port;
        const std::vector<FoundPort>& found;
        std::string shown;
        std::string error;
    };
    const Case kCases[] = {
        {"last line wins", 1, two, "COM 1 = /dev/ttyACM0, named in the file \"ports\"", ""},
        {"named by its by-id link, among blanks", 3, two,
         "COM 3 = /dev/serial/by-id/usb-FTDI_FT232R-if00-port0, FT232R USB UART", ""},
        {"second found", 2, two, "COM 2 = /dev/ttyS0, serial port, 16550A UART", ""},
        {"past the one found", 2, one, "COM 2 = no port",
         "only 1 serial port was found on this computer, COM 1. Choose it, or name this entry's "
         "device in the file \"ports\" beside the program, e.g. COM 2=/dev/ttyUSB0."},
        {"past three found", 8, three, "COM 8 = no port",
         "only 3 serial ports were found on this computer, COM 1, COM 2 and COM 3. Choose one of "
         "them, or name this entry's device in the file \"ports\" beside the program, e.g. "
         "COM 8=/dev/ttyUSB0."},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const PortName name = resolvePortName(c.port, folder.path(), c.found);
        EXPECT_EQ(portEntryText(c.port, name), c.shown);
        EXPECT_EQ(name.fromMapping, c.port % 2 == 1); // COM 1 and 3 are in the file
        EXPECT_EQ(name.error, c.error);
    }
    // Setting an entry keeps the other lines.
    ASSERT_TRUE(setMappedPortDevice(1, "/dev/pts/4", folder.path() / "ports"));
    const auto text = folder.read("ports");
    EXPECT_EQ(std::string(text.begin(), text.end()),
              "# USB adapters\ngarbage\n  COM3 = /dev/serial/by-id/usb-FTDI_FT232R-if00-port0  \n"
              "COM 1=/dev/pts/4\n");
}

// An entry the finder gave a USB adapter is kept by the adapter's stable name
// once used: it follows the adapter to another device node and, unplugged,
// names it instead of taking another port.
TEST(PortNames, AnEntryKeptByItsAdaptersNameNeverTakesAnother) {
    ordalia::testing::TempFolder folder;
    FoundPort adapter, uart;
    adapter.device = "/dev/ttyUSB3";
    adapter.stableName = "usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0";
    adapter.description = "FT232R USB UART";
    uart.device = "/dev/ttyS0";
    PortName found{"/dev/ttyUSB0", false, "FT232R USB UART", {}, "usb:" + adapter.stableName};
    pinPortName(1, found, folder.path());
    found.fromMapping = true; // an entry the file names stays as it is
    found.pin = "usb:other";
    pinPortName(1, found, folder.path());

    const PortName moved = resolvePortName(1, folder.path(), {uart, adapter});
    EXPECT_EQ(portEntryText(1, moved), "COM 1 = /dev/ttyUSB3, FT232R USB UART");
    const PortName unplugged = resolvePortName(1, folder.path(), {uart});
    EXPECT_EQ(portEntryText(1, unplugged), "COM 1 = no port");
    EXPECT_EQ(unplugged.error,
              "COM 1 is the USB port usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0, which is not "
              "plugged in. Plug it in, or remove the entry's line from the file \"ports\" beside "
              "the program to take the port found first.");
}

// A USB port is matched by its ids, whatever socket it is in; a built-in port
// by its kernel name; a port neither names gets no rule.
TEST(UdevRule, MatchesWhatFollowsThePort) {
    const struct Case {
        const char* device;
        std::uint16_t vendor, product;
        const char* match; // nullptr: no rule
    } kCases[] = {
        {"/dev/ttyUSB0", 0x0403, 0x6001,
         R"(SUBSYSTEM=="tty", ATTRS{idVendor}=="0403", ATTRS{idProduct}=="6001", TAG+="uaccess")"},
        {"/dev/ttyS0", 0, 0, R"(SUBSYSTEM=="tty", KERNEL=="ttyS0", TAG+="uaccess")"},
        {"/dev/usb/lp0", 0, 0, nullptr},
        {"COM3", 0, 0, nullptr},
    };
    for (const Case& c : kCases) {
        FoundPort port;
        port.device = c.device;
        port.usb = c.vendor != 0;
        port.vendorId = c.vendor;
        port.productId = c.product;
        const std::string rule = udevRuleFor(port);
        if (c.match)
            EXPECT_NE(rule.find("\n    " + std::string(c.match) + "\n"), std::string::npos) << rule;
        else
            EXPECT_EQ(rule, "") << c.device;
    }
}

} // namespace
} // namespace ordalia
