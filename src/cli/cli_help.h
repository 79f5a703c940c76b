#pragma once

#include <filesystem>
#include <string>

namespace ordalia::cli {

// --help: the commands as their tables list them, the options, the settings
// fields and the exit statuses.
std::string usageText();

// --version: the program and the folder whose files it uses.
std::string versionText(const std::filesystem::path& programFolder);

} // namespace ordalia::cli
