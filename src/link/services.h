#pragma once

#include <filesystem>

namespace ordalia {

class Clock;
class Dialogs;
class EventPump;
class ParallelPort;
class SerialPort;
class TransferGate;

// Everything an operation reaches the world through. The window hands it the
// real port, clock and Qt dialogs; tests hand it fakes.
struct Services {
    SerialPort& serial;
    ParallelPort& parallel;
    Clock& clock;
    EventPump& events;
    Dialogs& dialogs;
    TransferGate& gate;
    std::filesystem::path programFolder; // the folder of the executable
};

} // namespace ordalia
