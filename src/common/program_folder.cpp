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

// What a Windows folder ships beside the program, for a copy of it that lies
// where the user cannot write (Program Files); the executables stay behind.
constexpr const char* kShippedBeside[] = {"flash3", "user_setting", "testpage", "Codepage Table"};

// Copies what `from` holds and `to` lacks, a file or a folder tree. Files the
// user has (changed settings, a rewritten code page list) stay as they are; a
// file that cannot be copied is left out, and the operation that needs it
// names it.
void copyMissing(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (!fs::is_directory(from, ec)) {
        if (fs::is_regular_file(from, ec) && !fs::exists(to, ec))
            fs::copy_file(from, to, fs::copy_options::skip_existing, ec);
        return;
    }
    fs::create_directories(to, ec);
    fs::recursive_directory_iterator it(from, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const fs::path target = to / fs::relative(it->path(), from, ec);
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

ProgramFolder plannedProgramFolder(const fs::path& executableFolder, const fs::path& userDataHome) {
    if (holdsShippedFiles(executableFolder) && folderIsWritable(executableFolder))
        return {executableFolder, false};
    if (userDataHome.empty())
        return {executableFolder, false};
    return {userDataHome / kFolderName, true};
}

ProgramFolder chooseProgramFolder(const fs::path& executableFolder, const fs::path& userDataHome) {
    const ProgramFolder planned = plannedProgramFolder(executableFolder, userDataHome);
    if (!planned.perUser)
        return planned;
    const fs::path& folder = planned.path;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec))
        return {executableFolder, false};
    const fs::path shared = executableFolder.parent_path() / "share" / kFolderName;
    if (fs::is_directory(shared, ec)) {
        copyMissing(shared, folder);
    } else if (holdsShippedFiles(executableFolder)) {
        for (const char* name : kShippedBeside)
            copyMissing(executableFolder / name, folder / name);
    }
    return {folder, true};
}

ProgramFolder findProgramFolder(const fs::path& executableFolder) {
    return chooseProgramFolder(executableFolder, userDataHome());
}

ProgramFolder findPlannedProgramFolder(const fs::path& executableFolder) {
    return plannedProgramFolder(executableFolder, userDataHome());
}

} // namespace ordalia
