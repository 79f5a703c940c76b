#pragma once

#include "cli/cli_console.h"
#include "common/outcome.h"

#include <filesystem>
#include <optional>
#include <string>

namespace ordalia::cli {

// `ordalia-cli logo make PICTURE OUT [--width DOTS] [--threshold 0-255]`:
// the picture made into a 1-bit bitmap that `logo add` takes, written whole
// to OUT. The width is the paper's for the saved printer mode unless given;
// without a threshold the dots are diffused.
struct LogoMakeRequest {
    std::string picture;
    std::string out;
    std::optional<std::string> width;
    std::optional<std::string> threshold;
};

Outcome makeLogoFile(const std::filesystem::path& programFolder, const LogoMakeRequest& request,
                     Console& console);

} // namespace ordalia::cli
