#pragma once

// How the Windows port finder turns what SetupAPI and the registry say of the
// machine's devices into the ports it lists. Kept apart from the system calls
// so that recorded answers can be checked on any system.

#include "ports/port_finder.h"

#include <string>
#include <vector>

namespace ordalia {

// The GUID of the USB printer interface (GUID_DEVINTERFACE_USBPRINT): printers
// that Windows installs with "USB Printing Support" (usbprint.sys) and no COM
// port. Their interface paths end with it.
inline constexpr const char* kUsbPrintInterface = "{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

// What SetupAPI says of one device, as the finder reads it.
struct SetupApiDevice {
    std::string instanceId{};    // "FTDIBUS\VID_0403+PID_6001+A6008ISPA\0000"
    std::string friendlyName{};  // SPDRP_FRIENDLYNAME: "USB Serial Port (COM3)"
    std::string description{};   // SPDRP_DEVICEDESC: "USB Printing Support"
    std::string manufacturer{};  // SPDRP_MFG: "FTDI"
    std::string busReported{};   // what the device calls itself: "Receipt Printer"
    std::string portName{};      // a port's device key value PortName: "COM3"
    std::string interfacePath{}; // a USB printer's interface path, opened as the device
};

// One value of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM: the driver's device name
// ("\Device\Serial0") and the port ("COM1").
struct SerialCommEntry {
    std::string driverDevice{};
    std::string port{};
};

// The ports to list: every COM port, named as Device Manager names it
// ("USB Serial Port (COM3)"), by COM number; a port only the registry knows
// is described by its driver's device name. Then the USB printers of the
// printer interface, each opened by its interface path.
std::vector<FoundPort> windowsPorts(const std::vector<SetupApiDevice>& comPorts,
                                    const std::vector<SetupApiDevice>& usbPrinters,
                                    const std::vector<SerialCommEntry>& serialComm);

// The number of "COM<n>", 0 for anything else.
int comPortNumber(const std::string& name);

} // namespace ordalia
