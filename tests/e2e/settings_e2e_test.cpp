// The settings download against the virtual printer over a real
// pseudo-terminal: what the printer stores, and a printer that hangs up.

#include "settings/printer_settings.h"
#include "support/printer_on_pty.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

class SettingsE2E : public testing::PrinterOnPty {
protected:
    SettingsDownload download() {
        program.write("flash3", std::vector<std::uint8_t>{0x12, 0x34});
        // 3 inch, 115200, everything on, Korean, 20kB, Darkest, byte 13 all ones.
        program.write("user_setting",
                      std::vector<std::uint8_t>{0x00, 1, 3, 1, 1, 1, 0, 0, 4, 3, 1, 3, 0x66, 0xFF});
        SettingsLoad load = loadSettingsPage(services(), {}, {});
        load.page.EEPROM_CD = 0; // "Save Paper"
        load.page.NewBaud = 1;   // 19200
        return downloadSettings(services(), choice, load.record, load.page);
    }
};

TEST_F(SettingsE2E, ThePrinterStoresTheRecordAsSentAndTheLinkFollowsTheNewBaud) {
    const SettingsDownload d = download();
    ASSERT_EQ(d.outcome, Outcome::Done);
    EXPECT_EQ(d.Sbaud, 1);
    EXPECT_THAT(dialogs.texts(), ElementsAre("Download Finish !!"));
    ASSERT_TRUE(printer->waitUntil([&] { return printer->settings().has_value(); }, 5s));
    EXPECT_THAT(printer->settings()->flash3, ElementsAre(0x12, 0x34));
    // Byte 0 never reaches the printer; byte 13 loses bits 0 and 1.
    EXPECT_THAT(printer->settings()->record,
                ElementsAre(0x00, 1, 1, 1, 1, 1, 0, 0, 4, 3, 1, 3, 0x66, 0xFC));
}

TEST_F(SettingsE2E, APrinterThatHangsUpMidRecordEndsWithAMessageAndThePortClosed) {
    printer->setDisconnectAfterBytes(12 + 2 + 4);
    EXPECT_EQ(download().outcome, Outcome::Failed);
    EXPECT_THAT(dialogs.texts(), ElementsAre(HasSubstr("COM 1")));
    EXPECT_FALSE(serial->isOpen());
    EXPECT_FALSE(printer->settings().has_value());
    EXPECT_EQ(program.read("user_setting")[13], 0xFC); // saved all the same
}

} // namespace
} // namespace ordalia
