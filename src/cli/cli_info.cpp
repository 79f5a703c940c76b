#include "cli/cli_info.h"

#include "link/printer_info.h"

#include <ostream>

namespace ordalia::cli {

Outcome printPrinterInfo(const Services& services, const LinkChoice& choice, std::ostream& out) {
    const PrinterInfoResult result = askPrinterInfo(services, choice);
    // Lines only from a printer that answered: a script reading them never
    // takes eleven "no answer" lines for a printer.
    if (result.outcome == Outcome::Done)
        for (const std::string& line : printerInfoLines(result.info))
            out << line << '\n';
    return result.outcome;
}

} // namespace ordalia::cli
