#pragma once

#include <memory>

struct addrinfo;

namespace ordalia {

class ParallelPort;
class SerialPort;

// The ports of the machine the program runs on.
//
// createSystemSerialPort() is the one every operation is handed: at each
// open() it picks, by the device named, one of the three links below, so a
// "COM n" entry, a /dev/usb/lp device and a tcp://HOST address all go through
// the same operations.
std::unique_ptr<SerialPort> createSystemSerialPort();

// A serial line: termios on POSIX systems, the comm API on Windows.
std::unique_ptr<SerialPort> createLineSerialPort();
// A printer's own USB port of the printer class (/dev/usb/lp0): no line, the
// replies come back on its read side.
std::unique_ptr<SerialPort> createUsbPrinterPort();
// A raw TCP connection to a network printer (tcp://HOST[:PORT], port 9100
// unless given).
std::unique_ptr<SerialPort> createNetworkPort();
// The same with a name lookup of getaddrinfo's form in place of the system's
// (a test hands one that never answers).
using NameLookup = int (*)(const char* host, const char* service, const addrinfo* hints,
                           addrinfo** found);
std::unique_ptr<SerialPort> createNetworkPort(NameLookup lookup);

// The parallel port registers: ppdev on POSIX systems, inpout32 on Windows.
std::unique_ptr<ParallelPort> createSystemParallelPort();

} // namespace ordalia
