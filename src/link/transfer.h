#pragma once

#include "common/outcome.h"
#include "link/printer_link.h"

namespace ordalia {

// Shared endings of a transfer.

// Closes the port and shows what went wrong with it.
Outcome reportLinkError(PrinterLink& link, const LinkError& error);

// True (after telling the user) when another transfer holds the gate.
bool refuseWhileBusy(const Services& services);

} // namespace ordalia
