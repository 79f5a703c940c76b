#pragma once

// The end-to-end fixture of a network printer: the virtual printer listening
// on a free port of 127.0.0.1, chosen as the window's "Network" option; the
// rest is the pseudo-terminal fixture's.

#include "ports/network_address.h"
#include "support/printer_on_pty.h"

namespace ordalia::testing {

class PrinterOnTcp : public PrinterOnPty {
protected:
    PrinterOnTcp() : PrinterOnPty([](vprinter::VirtualPrinterOptions& o) { o.tcpPort = 0; }) {}

    void SetUp() override {
        PrinterOnPty::SetUp();
        choice.networkSelected = true;
        choice.host = printer->slavePath().substr(kNetworkScheme.size()); // 127.0.0.1:PORT
    }
};

} // namespace ordalia::testing
