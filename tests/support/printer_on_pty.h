#pragma once

// The end-to-end fixture: a program folder whose "COM 1" is the virtual
// printer on a pseudo-terminal, the machine's own serial port and clock, and
// recorders for everything the operation shows.

#include "common/clock.h"
#include "ports/port_names.h"
#include "ports/system_ports.h"
#include "support/harness.h"
#include "virtual_printer.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace ordalia::testing {

class PrinterOnPty : public ::testing::Test {
protected:
    // Options of the printer started for each test; the NV memory lies in the
    // program folder's "nv". A fixture may change them before SetUp runs.
    using Configure = std::function<void(vprinter::VirtualPrinterOptions&)>;
    explicit PrinterOnPty(const Configure& configure = {}) {
        vprinter::VirtualPrinterOptions options;
        options.printer.nvFolder = program.path() / "nv";
        options.printer.programmingTime = std::chrono::milliseconds(300);
        if (configure)
            configure(options);
        printer = std::make_unique<vprinter::VirtualPrinter>(options);
    }

    void SetUp() override {
        printer->start();
        ASSERT_TRUE(setMappedPortDevice(1, printer->slavePath(), program.path() / "ports"));
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
    LinkChoice choice; // COM 1 at 115200,n,8,1
    RecordingLabel label;
    RecordingProgressBar bar;
    std::unique_ptr<vprinter::VirtualPrinter> printer;
};

} // namespace ordalia::testing
