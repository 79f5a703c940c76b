// Which programs hold a device, from the open descriptors Linux lists under
// /proc/PID/fd (only those of the user's own programs, unless run as root).

#include "ports/posix_device.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace ordalia {

std::string deviceHolders(const std::string& device) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target = fs::canonical(device, ec);
    if (ec)
        return {};
    const std::string self = std::to_string(::getpid());
    std::string holders;
    for (const auto& process : fs::directory_iterator("/proc", ec)) {
        const std::string pid = process.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
            continue;
        std::error_code fdError;
        for (const auto& fd : fs::directory_iterator(process.path() / "fd", fdError)) {
            std::error_code linkError;
            if (fs::read_symlink(fd.path(), linkError) != target)
                continue;
            std::string name;
            std::getline(std::ifstream(process.path() / "comm"), name);
            holders += (holders.empty() ? "" : ", ") + name + " (pid " + pid + ")";
            break;
        }
    }
    return holders;
}

} // namespace ordalia
