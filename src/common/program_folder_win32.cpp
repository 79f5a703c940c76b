#include "common/program_folder.h"

#include <cstdlib>

namespace ordalia {

std::filesystem::path userDataHome() {
    // Wide, so a user name outside the system code page still makes a path.
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    if (local && *local)
        return local;
    return {};
}

} // namespace ordalia
