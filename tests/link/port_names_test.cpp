#include "link/port_names.h"
#include "support/harness.h"

#include <gtest/gtest.h>

namespace ordalia {
namespace {

FoundPort port(const char* device, const char* stableName, const char* description) {
    FoundPort found;
    found.device = device;
    found.stableName = stableName;
    found.description = description;
    return found;
}

TEST(PortNames, MappingFileNamesSomeEntriesTheRestKeepTheirDevice) {
    ordalia::testing::TempFolder folder;
    folder.write("ports", "# USB adapters\nCOM 1=/dev/ttyUSB0\r\n  COM3 = /dev/pts/7  \ngarbage\n"
                          "COM 1=/dev/ttyACM0\n");
    const std::vector<FoundPort> found = {port("/dev/ttyS0", "", "serial port")};
    const std::pair<int, std::string> kCases[] = {
        {1, "/dev/ttyACM0"}, {3, "/dev/pts/7"}, {2, ""}}; // the last line wins
    for (const auto& [port, device] : kCases) {
        EXPECT_EQ(resolvePortName(port, folder.path(), found).device, device) << port;
        EXPECT_EQ(resolvePortName(port, folder.path(), found).fromMapping, port != 2) << port;
    }
    // Setting an entry keeps the other lines.
    ASSERT_TRUE(setMappedPortDevice(1, "/dev/pts/4", folder.path() / "ports"));
    const auto text = folder.read("ports");
    EXPECT_EQ(std::string(text.begin(), text.end()),
              "# USB adapters\n  COM3 = /dev/pts/7  \ngarbage\nCOM 1=/dev/pts/4\n");
}

TEST(PortNames, UnnamedEntriesAreThePortsFoundInTheirOrder) {
    ordalia::testing::TempFolder folder;
    folder.write("ports", "COM 3=/dev/serial/by-id/usb-FTDI_FT232R-if00-port0\n"
                          "COM 4=/dev/pts/7\n");
    const FoundPort adapter = port("/dev/ttyUSB0", "usb-FTDI_FT232R-if00-port0", "FT232R USB UART");
    const FoundPort uart = port("/dev/ttyS0", "/dev/ttyS0", "serial port, 16550A UART");
    const std::vector<FoundPort> none, one{adapter}, two{adapter, uart}, three{adapter, uart, uart};
    const std::string ports = " in the file \"ports\" beside the program, e.g. ";
    struct Case {
        const char* name;
        int port;
        const std::vector<FoundPort>& found;
        std::string shown;
        std::string error;
    };
    const Case kCases[] = {
        {"second found", 2, two, "COM 2 = /dev/ttyS0, serial port, 16550A UART", ""},
        {"named by its by-id link", 3, two,
         "COM 3 = /dev/serial/by-id/usb-FTDI_FT232R-if00-port0, FT232R USB UART", ""},
        {"named, nothing found", 4, none, "COM 4 = /dev/pts/7, named in the file \"ports\"", ""},
        {"nothing found", 1, none, "COM 1 = no port",
         "no serial port was found on this computer. Plug the printer's cable in, or name its "
         "device" +
             ports + "COM 1=/dev/ttyUSB0."},
        {"past the one found", 2, one, "COM 2 = no port",
         "only 1 serial port was found on this computer, COM 1. Choose it, or name this entry's "
         "device" +
             ports + "COM 2=/dev/ttyUSB0."},
        {"past three found", 8, three, "COM 8 = no port",
         "only 3 serial ports were found on this computer, COM 1, COM 2 and COM 3. Choose one of "
         "them, or name this entry's device" +
             ports + "COM 8=/dev/ttyUSB0."},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const PortName name = resolvePortName(c.port, folder.path(), c.found);
        EXPECT_EQ(portEntryText(c.port, name), c.shown);
        EXPECT_EQ(name.error, c.error);
    }
}

} // namespace
} // namespace ordalia
