// ordalia-cli: the window's operations from a script.

#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "cli/program_location.h"
#include "common/clock.h"
#include "common/program_folder.h"
#include "common/unexpected.h"
#include "ports/parallel_port.h"
#include "ports/serial_port.h"
#include "ports/system_ports.h"

#include <iostream>

namespace {

int run(int argc, char* argv[]) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    auto serial = ordalia::createSystemSerialPort();
    auto parallel = ordalia::createSystemParallelPort();

    std::filesystem::path folder = ordalia::executableFolder();
    if (folder.empty() && argc > 0) {
        std::error_code ec;
        folder = std::filesystem::absolute(argv[0], ec).parent_path();
    }
    // Named now, made and filled only when a command runs on it.
    const std::filesystem::path executable = folder;
    const ordalia::cli::CliEnvironment environment{
        *serial,
        *parallel,
        ordalia::systemClock(),
        std::cout,
        std::cerr,
        ordalia::standardErrorIsTerminal(),
        ordalia::findPlannedProgramFolder(executable).path,
        [executable] { return ordalia::findProgramFolder(executable).path; },
        [] { return ordalia::createSystemSerialPort(); }};
    const int status = ordalia::cli::runCli(arguments, environment);
    std::cout.flush();
    return status;
}

} // namespace

int main(int argc, char* argv[]) {
    // runCli ends every exception of a command; this is for the ports and
    // the folder found before it runs.
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << ordalia::unexpectedErrorMessage(&error) << '\n';
    } catch (...) {
        std::cerr << ordalia::unexpectedErrorMessage(nullptr) << '\n';
    }
    return ordalia::cli::kExitFailed;
}
