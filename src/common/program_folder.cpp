#include "common/program_folder.h"

#include <fstream>
#include <string>
#include <system_error>

namespace ordalia {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFolderName = "ordalia";

bool holdsShippedFiles(const fs::path& folder) {
    std::error_code ec;
    return fs::is_regular_file(folder / "flash3", ec) || fs::is_directory(folder / "testpage", ec);
}

// Copies what `shipped` holds and `folder` lacks. Files the user has (changed
// settings, a rewritten code page list) stay as they are; a file that cannot
// be copied is left out, and the operation that needs it names it.
void fillFromShipped(const fs::path& shipped, const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_directory(shipped, ec))
        return;
    fs::recursive_directory_iterator it(shipped, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const fs::path target = folder / fs::relative(it->path(), shipped, ec);
        if (ec)
            break;
        std::error_code itemError;
        if (it->is_directory(itemError))
            fs::create_directories(target, itemError);
        else if (!fs::exists(target, itemError))
            fs::copy_file(it->path(), target, fs::copy_options::skip_existing, itemError);
    }
}

} // namespace

bool folderIsWritable(const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return false;
    const fs::path probe = folder / ".ordalia-write-probe";
    {
        std::ofstream file(probe, std::ios::binary);
        if (!file)
            return false;
    }
    fs::remove(probe, ec);
    return true;
}

ProgramFolder chooseProgramFolder(const fs::path& executableFolder, const fs::path& userDataHome) {
    if (holdsShippedFiles(executableFolder) && folderIsWritable(executableFolder))
        return {executableFolder, false};
    if (userDataHome.empty())
        return {executableFolder, false};
    const fs::path folder = userDataHome / kFolderName;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec))
        return {executableFolder, false};
    fillFromShipped(executableFolder.parent_path() / "share" / kFolderName, folder);
    return {folder, true};
}

ProgramFolder findProgramFolder(const fs::path& executableFolder) {
    return chooseProgramFolder(executableFolder, userDataHome());
}

} // namespace ordalia
