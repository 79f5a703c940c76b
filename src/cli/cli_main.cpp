// ordalia-cli: the window's operations from a script.

#include "cli/cli_commands.h"
#include "cli/program_location.h"
#include "common/clock.h"
#include "link/parallel_port.h"
#include "link/serial_port.h"
#include "link/system_ports.h"

#include <iostream>

int main(int argc, char* argv[]) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    auto serial = ordalia::createSystemSerialPort();
    auto parallel = ordalia::createSystemParallelPort();

    std::filesystem::path folder = ordalia::executableFolder();
    if (folder.empty() && argc > 0) {
        std::error_code ec;
        folder = std::filesystem::absolute(argv[0], ec).parent_path();
    }
    const ordalia::cli::CliEnvironment environment{
        *serial,   *parallel, ordalia::systemClock(),
        std::cout, std::cerr, ordalia::standardErrorIsTerminal(),
        folder};
    const int status = ordalia::cli::runCli(arguments, environment);
    std::cout.flush();
    return status;
}
