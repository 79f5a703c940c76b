#pragma once

#include <filesystem>

namespace ordalia {

// Where the program keeps its files. A build tree or an unpacked archive is
// its own folder; an installed program lies in a system folder it cannot
// write, so it works in a folder of the user's instead, filled from the files
// the installation ships.
struct ProgramFolder {
    std::filesystem::path path;
    bool perUser = false; // path is the user's folder, not the executable's
};

// The program folder for an executable in `executableFolder`:
// - the executable's folder itself when it holds the shipped files (flash3 or
//   testpage/) and can be written;
// - otherwise `userDataHome`/ordalia, created if needed and filled with every
//   file of `executableFolder`/../share/ordalia that it does not hold yet, or,
//   without that folder, with the shipped files beside the program (a file
//   the user already has is never replaced);
// - the executable's folder after all when `userDataHome` is empty or the
//   user's folder cannot be made, so the operations name what is missing.
ProgramFolder chooseProgramFolder(const std::filesystem::path& executableFolder,
                                  const std::filesystem::path& userDataHome);

// The folder chooseProgramFolder would take, without making or filling it:
// what --version names, for a run that must leave nothing behind.
ProgramFolder plannedProgramFolder(const std::filesystem::path& executableFolder,
                                   const std::filesystem::path& userDataHome);

// chooseProgramFolder with the platform's per-user data folder.
ProgramFolder findProgramFolder(const std::filesystem::path& executableFolder);
// plannedProgramFolder with the platform's per-user data folder.
ProgramFolder findPlannedProgramFolder(const std::filesystem::path& executableFolder);

// The folder under which programs keep per-user data: $XDG_DATA_HOME, else
// $HOME/.local/share on POSIX systems; %LOCALAPPDATA% on Windows. Empty when
// the environment names none.
std::filesystem::path userDataHome();

// True when a file can be created in `folder` (tried, not guessed from the
// permission bits, which say nothing of read-only mounts and of root).
bool folderIsWritable(const std::filesystem::path& folder);

} // namespace ordalia
