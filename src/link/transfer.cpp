#include "link/transfer.h"

#include "common/ui.h"
#include "link/transfer_gate.h"

namespace ordalia {

Outcome reportLinkError(PrinterLink& link, const LinkError& error) {
    link.CloseSerialPort();
    link.services().dialogs.message(error.what());
    return Outcome::Failed;
}

bool refuseWhileBusy(const Services& services) {
    if (!services.gate.busy())
        return false;
    services.dialogs.message(kTransferBusyMessage);
    return true;
}

} // namespace ordalia
