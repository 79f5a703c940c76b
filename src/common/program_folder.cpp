#include "common/program_folder.h"

#include "common/files.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
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

// The record, in the user's folder, of the version of each shipped file last
// laid there: one line a file, its FNV-1a hash in hex, a space, its path
// under the folder.
constexpr const char* kShippedRecord = ".shipped";
// Where the program says what it laid beside a file the user had changed.
constexpr const char* kUpdateNotes = "UPDATES.txt";

std::optional<std::string> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::uint64_t fnv1a(const std::string& bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

std::map<std::string, std::uint64_t> readRecord(const fs::path& file) {
    std::map<std::string, std::uint64_t> record;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        const auto space = line.find(' ');
        if (space == 16)
            record[line.substr(17)] = std::strtoull(line.substr(0, 16).c_str(), nullptr, 16);
    }
    return record;
}

bool writeAtomically(const fs::path& path, const std::string& bytes) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    return !replaceFileAtomically(
        path, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

// Lays the shipped file `from` at `to`, under the name `relative` in the
// record: a file the user lacks is laid down; one that is the version laid
// there before is replaced by a newer shipped one; one the user changed is
// kept, and the newer shipped one laid beside it as NAME.new, with a note.
// Each copy goes through a temporary name and a rename, so a copy cut short
// is never taken for the file.
void refreshFile(const fs::path& from, const fs::path& to, const std::string& relative,
                 std::map<std::string, std::uint64_t>& record, std::string& notes) {
    const auto shipped = readBytes(from);
    if (!shipped)
        return;
    const std::uint64_t shippedHash = fnv1a(*shipped);
    const auto known = record.find(relative);
    const auto mine = readBytes(to);
    if (!mine) {
        if (writeAtomically(to, *shipped))
            record[relative] = shippedHash;
        return;
    }
    if (known == record.end()) {
        // From before the record was kept: the user's unless it is the same.
        if (fnv1a(*mine) == shippedHash)
            record[relative] = shippedHash;
        return;
    }
    if (known->second == shippedHash)
        return; // no newer version shipped
    if (fnv1a(*mine) == known->second) {
        if (writeAtomically(to, *shipped))
            record[relative] = shippedHash;
        return;
    }
    fs::path beside = to;
    beside += ".new";
    if (writeAtomically(beside, *shipped)) {
        record[relative] = shippedHash;
        notes += relative +
                 ": you changed this file, so it was kept; the version this release "
                 "ships lies beside it as " +
                 beside.filename().string() + ".\n";
    }
}

// Brings what `from` holds (a file or a folder tree) into `to`; see
// refreshFile. A file that cannot be copied is left out, and the operation
// that needs it names it.
void refreshFromShipped(const fs::path& from, const fs::path& to, const fs::path& userFolder,
                        std::map<std::string, std::uint64_t>& record, std::string& notes) {
    std::error_code ec;
    const auto name = [&](const fs::path& target) {
        return fs::relative(target, userFolder, ec).generic_string();
    };
    if (!fs::is_directory(from, ec)) {
        if (fs::is_regular_file(from, ec))
            refreshFile(from, to, name(to), record, notes);
        return;
    }
    fs::recursive_directory_iterator it(from, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code itemError;
        const fs::path target = to / fs::relative(it->path(), from, itemError);
        if (!itemError && it->is_regular_file(itemError))
            refreshFile(it->path(), target, name(target), record, notes);
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
    auto record = readRecord(folder / kShippedRecord);
    const auto before = record;
    std::string notes;
    if (fs::is_directory(shared, ec)) {
        refreshFromShipped(shared, folder, folder, record, notes);
    } else if (holdsShippedFiles(executableFolder)) {
        for (const char* name : kShippedBeside)
            refreshFromShipped(executableFolder / name, folder / name, folder, record, notes);
    }
    if (record != before) {
        std::string text;
        char hash[17];
        for (const auto& [name, value] : record) {
            std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(value));
            text += std::string(hash) + " " + name + "\n";
        }
        writeAtomically(folder / kShippedRecord, text);
    }
    if (!notes.empty()) {
        std::ofstream(folder / kUpdateNotes, std::ios::binary | std::ios::app) << notes;
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
