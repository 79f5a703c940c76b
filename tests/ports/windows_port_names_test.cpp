// The Windows port finder's list, from SetupAPI answers recorded on Windows
// machines: each port named as Device Manager names it, a USB printer by its
// interface path, and what the ids and the serial number say.

#include "ports/windows_port_names.h"

#include <cstdio>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

// "device | description | vid:pid | serial" for each port listed.
std::vector<std::string> listed(const std::vector<FoundPort>& ports) {
    std::vector<std::string> out;
    char ids[16];
    for (const FoundPort& p : ports) {
        std::snprintf(ids, sizeof ids, "%04X:%04X", p.vendorId, p.productId);
        out.push_back(p.device + " | " + p.description + " | " + ids + " | " + p.serialNumber);
    }
    return out;
}

const char* const kPrinterPath =
    "\\\\?\\usb#vid_0519&pid_2013#20140601#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

TEST(WindowsPortNames, PortsAsDeviceManagerNamesThemThenUsbPrinters) {
    const std::vector<SetupApiDevice> com = {
        // An FTDI adapter: its bus ends the id with the serial number and channel.
        {.instanceId = "FTDIBUS\\VID_0403+PID_6001+A6008ISPA\\0000",
         .friendlyName = "USB Serial Port (COM3)",
         .description = "USB Serial Port",
         .manufacturer = "FTDI",
         .portName = "COM3"},
        // The board's own UART.
        {.instanceId = "ACPI\\PNP0501\\1",
         .friendlyName = "Communications Port (COM1)",
         .description = "Communications Port",
         .manufacturer = "(Standard port types)",
         .portName = "COM1"},
        // A CDC adapter without a serial number: Windows made up the last part.
        {.instanceId = "USB\\VID_067B&PID_2303\\5&2A3B4C5D&0&2",
         .friendlyName = "Prolific USB-to-Serial Comm Port (COM12)",
         .portName = "COM12"},
        // A printer port of the same class is no COM port.
        {.instanceId = "ACPI\\PNP0400\\0",
         .friendlyName = "Printer Port (LPT1)",
         .portName = "LPT1"},
        // A driver that sets no friendly name.
        {.instanceId = "USB\\VID_1A86&PID_7523\\6&1F0E&0&1",
         .description = "USB-SERIAL CH340",
         .portName = "COM4"},
    };
    const std::vector<SetupApiDevice> printers = {
        {.instanceId = "USB\\VID_0519&PID_2013\\20140601",
         .description = "USB Printing Support",
         .busReported = "Receipt Printer",
         .interfacePath = kPrinterPath},
    };
    const std::vector<SerialCommEntry> registry = {
        {"\\Device\\VCP0", "COM3"},    // the FTDI adapter again
        {"\\Device\\Serial0", "COM1"}, // the board's UART again
        {"\\Device\\Serial1", "COM2"}, // only the registry knows it (as under Wine)
    };
    const std::vector<std::string> expected = {
        "COM1 | Communications Port (COM1) | 0000:0000 | ",
        "COM2 | Serial1 | 0000:0000 | ",
        "COM3 | USB Serial Port (COM3) | 0403:6001 | A6008ISP",
        "COM4 | USB-SERIAL CH340 (COM4) | 1A86:7523 | ",
        "COM12 | Prolific USB-to-Serial Comm Port (COM12) | 067B:2303 | ",
        std::string(kPrinterPath) +
            " | Receipt Printer (USB Printing Support) | 0519:2013 | 20140601",
    };
    EXPECT_EQ(listed(windowsPorts(com, printers, registry)), expected);
}

TEST(WindowsPortNames, NothingFoundListsNothing) {
    EXPECT_TRUE(windowsPorts({}, {}, {}).empty());
    // A printer interface without a path cannot be opened and is left out.
    EXPECT_TRUE(windowsPorts({}, {{.description = "USB Printing Support"}}, {}).empty());
}

TEST(WindowsPortNames, ComNumbers) {
    const std::pair<const char*, int> cases[] = {
        {"COM1", 1}, {"COM12", 12}, {"com7", 7}, {"COM", 0}, {"COM1A", 0}, {"LPT1", 0}, {"", 0},
    };
    for (const auto& [name, number] : cases)
        EXPECT_EQ(comPortNumber(name), number) << name;
}

} // namespace
} // namespace ordalia
