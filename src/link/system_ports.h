#pragma once

#include <memory>

namespace ordalia {

class ParallelPort;
class SerialPort;

// The serial port and parallel port registers of the machine the program runs
// on: termios and ppdev on POSIX systems, the comm API and inpout32 on Windows.
std::unique_ptr<SerialPort> createSystemSerialPort();
std::unique_ptr<ParallelPort> createSystemParallelPort();

} // namespace ordalia
