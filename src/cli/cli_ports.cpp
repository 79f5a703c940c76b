#include "cli/cli_ports.h"

#include "ports/port_names.h"

#include <cctype>
#include <ostream>

namespace ordalia::cli {

Outcome listPorts(const std::filesystem::path& programFolder, const std::vector<FoundPort>& found,
                  std::ostream& out) {
    std::string nothingFound;
    for (int n = 1; n <= 8; ++n) {
        const PortName name = resolvePortName(n, programFolder, found);
        out << portEntryText(n, name) << '\n';
        if (found.empty() && nothingFound.empty())
            nothingFound = name.error;
    }
    // Said once, not after every entry; it is the same for each.
    if (!nothingFound.empty()) {
        nothingFound[0] =
            static_cast<char>(std::toupper(static_cast<unsigned char>(nothingFound[0])));
        out << nothingFound << '\n';
    }
    return Outcome::Done;
}

} // namespace ordalia::cli
