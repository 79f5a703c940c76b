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
    // Told without waiting for OK: this runs inside the running transfer's
    // event pump, and a modal box would hold that transfer until it is closed.
    services.dialogs.notice(kTransferBusyMessage);
    return true;
}

} // namespace ordalia
