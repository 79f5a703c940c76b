#include "cli/program_location.h"

#include <system_error>
#include <unistd.h>

namespace ordalia {

std::filesystem::path executableFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty())
        return {};
    return exe.parent_path();
}

bool standardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

void enableTerminalControl() {}

} // namespace ordalia
