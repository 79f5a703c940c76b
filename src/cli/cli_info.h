#pragma once

#include "common/outcome.h"
#include "link/printer_link.h"

#include <iosfwd>

namespace ordalia::cli {

// `info`: asks the printer who it is and how it is, and writes one
// "name: value" line per answer to `out`. Done when the printer answered
// anything; Failed (with the message) when it was silent or the port failed.
Outcome printPrinterInfo(const Services& services, const LinkChoice& choice, std::ostream& out);

} // namespace ordalia::cli
