#include "common/program_folder.h"

#include <cstdlib>

namespace ordalia {

std::filesystem::path userDataHome() {
    // The XDG base directory rules: a relative $XDG_DATA_HOME is ignored.
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data == '/')
        return data;
    const char* home = std::getenv("HOME");
    if (home && *home)
        return std::filesystem::path(home) / ".local" / "share";
    return {};
}

} // namespace ordalia
