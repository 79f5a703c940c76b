// The firmware update against the virtual printer over a real pseudo-terminal:
// one update that goes through, and the faults only a real port shows.

#include "firmware/firmware_update.h"
#include "support/bytes.h"
#include "support/printer_on_pty.h"

#include <gmock/gmock.h>

namespace ordalia {
namespace {

using namespace std::chrono_literals;
using namespace ordalia::testing;

// Whether the write or the look at the output queue meets the hang-up first
// is the system's to decide; either way the message names the port.
constexpr const char* kPortFailed = "(Sending to|The port) COM 1";

struct Fault {
    const char* name;
    std::size_t hangsUpAfter, stopsReadingAfter; // bytes; 0: never
    bool takenWhileProgramming;                  // by another program
    const char* said;                            // how the only message starts (a pattern)
};

class FirmwareE2E : public PrinterOnPty, public ::testing::WithParamInterface<Fault> {
protected:
    Outcome update() {
        return updateFirmware(services(), choice, {program.write("printer.firm", image)}, label,
                              bar);
    }
    const std::vector<std::uint8_t> image = pseudoRandomBytes(196608, 12345);
};

TEST_F(FirmwareE2E, ThePrinterStoresTheFileAndPrintsItsTestPage) {
    EXPECT_EQ(update(), Outcome::Done);
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"Firmware Update Finish !!"});
    ASSERT_TRUE(printer->waitUntil([&] { return printer->selfTests() == 1; }, 5s));
    EXPECT_TRUE(printer->firmwareImage() == image);
}

TEST_P(FirmwareE2E, EndsWithAClearMessageAndThePortClosed) {
    const Fault& f = GetParam();
    if (f.hangsUpAfter)
        printer->setDisconnectAfterBytes(f.hangsUpAfter);
    if (f.stopsReadingAfter)
        printer->setDieAfterBytes(f.stopsReadingAfter);
    const auto other = createSystemSerialPort(); // takes the port while the printer restarts
    events.onPump = [&] {
        if (f.takenWhileProgramming && !serial->isOpen() && !other->isOpen())
            (void)other->open(printer->slavePath(), *parseSerialSettings("9600,n,8,1", {}));
    };
    EXPECT_EQ(update(), Outcome::Failed);
    EXPECT_THAT(dialogs.texts(), ::testing::ElementsAre(::testing::AllOf(
                                     ::testing::ContainsRegex(std::string("^") + f.said),
                                     ::testing::HasSubstr("COM 1"))));
    EXPECT_FALSE(serial->isOpen() || label.visible || bar.visible);
    EXPECT_EQ(other->isOpen(), f.takenWhileProgramming);
    // Only a port taken after the image went out leaves the printer with it.
    EXPECT_EQ(printer->firmwareImage() == image, f.takenWhileProgramming);
}

INSTANTIATE_TEST_SUITE_P(
    HangsUpStopsReadingOrTakenWhileProgramming, FirmwareE2E,
    ::testing::Values(Fault{"HangsUp", 12 + 40 * 1024, 0, false, kPortFailed},
                      Fault{"StopsReading", 0, 12 + 40 * 1024, false, kPortFailed},
                      Fault{"TakenWhileProgramming", 0, 0, true,
                            "Firmware Update Error!!\nThe firmware was sent, but the printer "
                            "could not be asked whether it restarted: Cannot open COM 1"}),
    [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

} // namespace
} // namespace ordalia
