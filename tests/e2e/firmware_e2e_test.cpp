// The firmware update against the virtual printer over a real pseudo-terminal.

#include "firmware/firmware_update.h"
#include "link/port_names.h"
#include "link/system_ports.h"
#include "link/transfer_gate.h"
#include "support/bytes.h"
#include "support/harness.h"
#include "virtual_printer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace std::chrono_literals;
using namespace ordalia::testing;
using vprinter::VirtualPrinter;
using vprinter::VirtualPrinterOptions;

VirtualPrinterOptions optionsFor(const TempFolder& program) {
    VirtualPrinterOptions options;
    options.printer.nvFolder = program.path() / "nv";
    options.printer.programmingTime = 300ms;
    return options;
}

class FirmwareE2E : public ::testing::Test {
protected:
    void SetUp() override {
        printer.start();
        ASSERT_TRUE(setMappedPortDevice(1, printer.slavePath(), program.path() / "ports"));
        request.FirmFilePath = program.write("printer.firm", image);
    }
    Services services() {
        return Services{*serial, parallel, systemClock(), events, dialogs, gate, program.path()};
    }
    Outcome update() { return updateFirmware(services(), choice, request, label, bar); }

    TempFolder program;
    std::unique_ptr<SerialPort> serial = createSystemSerialPort();
    FakeParallelPort parallel;
    CountingEventPump events;
    RecordingDialogs dialogs;
    TransferGate gate;
    LinkChoice choice;
    RecordingLabel label;
    RecordingProgressBar bar;
    FirmwareUpdateRequest request;
    const std::vector<std::uint8_t> image = pseudoRandomBytes(kFirmwareImageSize, 12345);
    VirtualPrinter printer{optionsFor(program)};
};

TEST_F(FirmwareE2E, StoredImageIsTheFileAndThePrinterPrintsItsTestPage) {
    EXPECT_EQ(update(), Outcome::Done);
    EXPECT_THAT(dialogs.texts(), ElementsAre("Firmware Update Finish !!"));
    ASSERT_TRUE(printer.waitUntil([&] { return printer.selfTests() == 1; }, 5s));
    ASSERT_TRUE(printer.firmwareImage().has_value());
    EXPECT_TRUE(*printer.firmwareImage() == image);
    EXPECT_EQ(bar.value(), 100);
    EXPECT_FALSE(serial->isOpen());
}

TEST_F(FirmwareE2E, IgnoringTheMalfunctionReachesAPrinterThatTakesTheRawImage) {
    printer.setExpectRawFirmware(true);
    request.ISP_ERROR = true;
    EXPECT_EQ(update(), Outcome::Done);
    ASSERT_TRUE(printer.firmwareImage().has_value());
    EXPECT_TRUE(*printer.firmwareImage() == image);
    const auto received = printer.received();
    ASSERT_GE(received.size(), image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), received.begin()));
}

TEST_F(FirmwareE2E, RefusingPrinterGetsNoImage) {
    printer.setWrongReply(vprinter::WrongReply{0, 0x55});
    EXPECT_EQ(update(), Outcome::Failed);
    EXPECT_THAT(dialogs.texts(), ElementsAre("IRC_CHECK Error !!"));
    EXPECT_EQ(printer.received().size(), 12u);
    EXPECT_FALSE(serial->isOpen());
}

TEST_F(FirmwareE2E, PrinterThatHangsUpMidImageEndsWithAClearMessage) {
    printer.setDisconnectAfterBytes(12 + 40 * 1024);
    EXPECT_EQ(update(), Outcome::Failed);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_THAT(dialogs.messages[0].text, HasSubstr("COM 1"));
    EXPECT_FALSE(serial->isOpen());
    EXPECT_FALSE(label.visible);
    EXPECT_FALSE(printer.firmwareImage().has_value());
}

TEST_F(FirmwareE2E, PrinterThatStopsReadingMidImageEndsWithAClearMessage) {
    // The printer takes 40 blocks and then reads nothing more: the line's
    // buffers fill and the port stops taking bytes.
    printer.setDieAfterBytes(12 + 40 * 1024);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(update(), Outcome::Failed);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_THAT(dialogs.messages[0].text, HasSubstr("COM 1"));
    EXPECT_FALSE(serial->isOpen());
    EXPECT_FALSE(label.visible);
    EXPECT_FALSE(bar.visible);
    EXPECT_TRUE(printer.dead());
    EXPECT_FALSE(printer.firmwareImage().has_value());
    EXPECT_EQ(printer.selfTests(), 0);
}

TEST_F(FirmwareE2E, SecondStartWhileTheImageGoesOutIsRefusedAndChangesNothing) {
    // A click that arrives while the window pumps events during the transfer.
    std::vector<Outcome> second;
    events.onPump = [&] {
        if (second.empty()) {
            RecordingLabel otherLabel;
            RecordingProgressBar otherBar;
            second.push_back(updateFirmware(services(), choice, request, otherLabel, otherBar));
        }
    };
    EXPECT_EQ(update(), Outcome::Done);
    EXPECT_THAT(second, ElementsAre(Outcome::Refused));
    EXPECT_THAT(dialogs.texts(), ElementsAre(kTransferBusyMessage, "Firmware Update Finish !!"));
    ASSERT_TRUE(printer.waitUntil([&] { return printer.selfTests() == 1; }, 5s));
    ASSERT_TRUE(printer.firmwareImage().has_value());
    EXPECT_TRUE(*printer.firmwareImage() == image);
    // One request, the image, the ID query and the test page command: nothing
    // of the refused start reached the printer.
    EXPECT_EQ(printer.received().size(), 12u + image.size() + 3u + 2u);
    EXPECT_EQ(printer.exchanges().size(), 1u);
}

} // namespace
} // namespace ordalia
