#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace ordalia {
class Clock;
class ParallelPort;
class SerialPort;
} // namespace ordalia

namespace ordalia::cli {

// What the command line runs with: the machine's ports and clock in the
// program, fakes or the virtual printer's line in tests.
struct CliEnvironment {
    SerialPort& serial;
    ParallelPort& parallel;
    Clock& clock;
    std::ostream& out; // what a command reports (the logo list, the settings)
    std::ostream& err; // messages and progress
    bool errIsTerminal = false;
    std::filesystem::path executableFolder; // the default program folder
    // Makes and fills the default program folder and returns the one to use;
    // called only for a command that runs on it, so --help, --version and a
    // command given --folder leave nothing behind. None: executableFolder
    // is used as it is.
    std::function<std::filesystem::path()> prepareFolder = {};
    // A port of its own for each printer of a fleet. None: the fleet is refused.
    std::function<std::unique_ptr<SerialPort>()> makePort = {};
};

// Runs one command line (without the program name) and returns its exit
// status: kExitDone, kExitRefused or kExitFailed.
int runCli(const std::vector<std::string>& arguments, const CliEnvironment& environment);

} // namespace ordalia::cli
