#pragma once

#include "common/outcome.h"
#include "ports/port_finder.h"

#include <filesystem>
#include <iosfwd>
#include <vector>

namespace ordalia::cli {

// `ordalia-cli ports`: what each port list entry, COM 1 to COM 8, means with
// the ports `found` and the program folder's file "ports", one entry a line.
Outcome listPorts(const std::filesystem::path& programFolder, const std::vector<FoundPort>& found,
                  std::ostream& out);

} // namespace ordalia::cli
