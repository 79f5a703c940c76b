#include "cli/cli_info_ports.h"
#include "support/harness.h"

#include <gtest/gtest.h>
#include <sstream>

namespace ordalia::cli {
namespace {

TEST(CliPorts, ListsEveryEntryAndSaysOnceThatNoPortWasFound) {
    ordalia::testing::TempFolder folder;
    folder.write("ports", "COM 2=/dev/pts/3\n");
    std::ostringstream out;
    EXPECT_EQ(listPorts(folder.path(), {}, out), Outcome::Done);
    EXPECT_EQ(out.str(),
              "COM 1 = no port\nCOM 2 = /dev/pts/3, named in the file \"ports\"\nCOM 3 = "
              "no port\nCOM 4 = no port\nCOM 5 = no port\nCOM 6 = no port\nCOM 7 = no "
              "port\nCOM 8 = no port\nNo serial port was found on this computer. Plug "
              "the printer's cable in, or name its device in the file \"ports\" beside "
              "the program, e.g. COM 1=/dev/ttyUSB0.\n");
}

TEST(CliPorts, APortNoEntryOpensIsStillListed) {
    ordalia::testing::TempFolder folder;
    std::string mapping;
    for (int n = 1; n <= 8; ++n)
        mapping += "COM " + std::to_string(n) + "=/dev/pts/" + std::to_string(n) + "\n";
    folder.write("ports", mapping);
    FoundPort printer;
    printer.device = "\\\\?\\usb#vid_0519&pid_2013#1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
    printer.description = "Receipt Printer (USB Printing Support)";
    FoundPort mapped;
    mapped.device = "/dev/pts/3";
    std::ostringstream out;
    EXPECT_EQ(listPorts(folder.path(), {mapped, printer}, out), Outcome::Done);
    EXPECT_TRUE(out.str().ends_with(
        "COM 8 = /dev/pts/8, named in the file \"ports\"\nAlso found: " + printer.device + ", " +
        printer.description + "\n"))
        << out.str();
}

TEST(CliPorts, CheckOpensEachPortFoundAndSaysWhatStandsInTheWay) {
    FoundPort adapter, printer;
    adapter.device = "/dev/ttyUSB0";
    adapter.description = "FT232R USB UART";
    printer.device = "/dev/usb/lp0";
    printer.usb = true;
    printer.vendorId = 0x0519;
    printer.productId = 0x2013;
    const std::optional<PortError> denied =
        PortError{"/dev/usb/lp0: permission denied. USB printer ports belong to the group lp."};
    const struct Case {
        std::vector<FoundPort> found;
        std::optional<PortError> openError;
        Outcome outcome;
        std::string said;
    } kCases[] = {
        {{adapter, printer},
         {},
         Outcome::Done,
         "/dev/ttyUSB0 (FT232R USB UART): opens\n/dev/usb/lp0: opens\n"},
        {{printer},
         denied,
         Outcome::Failed,
         "/dev/usb/lp0: " + denied->message +
             "\nTo let whoever uses this computer open it, save this line as "
             "/etc/udev/rules.d/70-ordalia-printer.rules:\n    SUBSYSTEM==\"usbmisc\", "
             "KERNEL==\"lp[0-9]*\", ATTRS{idVendor}==\"0519\", ATTRS{idProduct}==\"2013\", "
             "TAG+=\"uaccess\"\nthen load it and plug the cable in again:\n    sudo udevadm "
             "control --reload-rules && sudo udevadm trigger\n"},
        {{}, {}, Outcome::Failed, "No port was found on this computer"},
    };
    for (const Case& c : kCases) {
        ordalia::testing::Harness h;
        h.serial.openError = c.openError;
        std::ostringstream out;
        EXPECT_EQ(checkPorts(c.found, h.serial, SerialSettings{}, out,
                             [&](const std::string&) { return c.openError.has_value(); }),
                  c.outcome);
        EXPECT_EQ(out.str().rfind(c.said, 0), 0u) << out.str();
        EXPECT_FALSE(h.serial.isOpen());
    }
}

} // namespace
} // namespace ordalia::cli
