#pragma once

// The end-to-end fixture of a network printer: the virtual printer listening
// on a free port of 127.0.0.1, chosen as the window's "Network" option, with
// the machine's own port and clock and recorders for everything shown.

#include "common/clock.h"
#include "link/network_address.h"
#include "link/system_ports.h"
#include "support/harness.h"
#include "virtual_printer.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace ordalia::testing {

class PrinterOnTcp : public ::testing::Test {
protected:
    PrinterOnTcp() {
        vprinter::VirtualPrinterOptions options;
        options.tcpPort = 0;
        options.printer.nvFolder = program.path() / "nv";
        options.printer.programmingTime = std::chrono::milliseconds(300);
        printer = std::make_unique<vprinter::VirtualPrinter>(options);
    }

    void SetUp() override {
        printer->start();
        choice.networkSelected = true;
        choice.host = printer->slavePath().substr(kNetworkScheme.size()); // 127.0.0.1:PORT
    }

    Services services() {
        return Services{*serial, parallel, systemClock(), events, dialogs, gate, program.path()};
    }

    TempFolder program;
    std::unique_ptr<SerialPort> serial = createSystemSerialPort();
    FakeParallelPort parallel;
    CountingEventPump events;
    RecordingDialogs dialogs;
    TransferGate gate;
    LinkChoice choice;
    RecordingLabel label;
    RecordingProgressBar bar;
    std::unique_ptr<vprinter::VirtualPrinter> printer;
};

} // namespace ordalia::testing
