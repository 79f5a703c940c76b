// The settings download against the virtual printer over a real pseudo-terminal.

#include "link/port_names.h"
#include "link/system_ports.h"
#include "settings/printer_settings.h"
#include "support/harness.h"
#include "virtual_printer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using namespace std::chrono_literals;
using namespace ordalia::testing;
using vprinter::VirtualPrinter;
using vprinter::VirtualPrinterOptions;

VirtualPrinterOptions optionsFor(const TempFolder& program) {
    VirtualPrinterOptions options;
    options.printer.nvFolder = program.path() / "nv";
    return options;
}

class SettingsE2E : public ::testing::Test {
protected:
    void SetUp() override {
        printer.start();
        ASSERT_TRUE(setMappedPortDevice(1, printer.slavePath(), program.path() / "ports"));
        program.write("flash3", std::vector<std::uint8_t>{0x12, 0x34});
        // 3 inch, 115200, everything on, Korean, 20kB, Darkest, byte 13 all ones.
        program.write("user_setting",
                      std::vector<std::uint8_t>{0x00, 1, 3, 1, 1, 1, 0, 0, 4, 3, 1, 3, 0x66, 0xFF});
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
    VirtualPrinter printer{optionsFor(program)};
};

TEST_F(SettingsE2E, PrinterStoresTheRecordAsSentAndTheLinkFollowsTheNewBaud) {
    const SettingsLoad load = loadSettingsPage(services(), {}, {});
    SettingsPage page = load.page;
    page.EEPROM_CD = 0; // "Save Paper"
    page.NewBaud = 1;
    const SettingsDownload d = downloadSettings(services(), choice, load.record, page);
    ASSERT_EQ(d.outcome, Outcome::Done);
    EXPECT_EQ(d.Sbaud, 1);
    EXPECT_THAT(dialogs.texts(), ElementsAre("Download Finish !!"));

    ASSERT_TRUE(printer.waitUntil([&] { return printer.settings().has_value(); }, 5s));
    const auto stored = *printer.settings();
    EXPECT_THAT(stored.flash3, ElementsAre(0x12, 0x34));
    // Byte 0 never reaches the printer; byte 13 loses bits 0 and 1: 0xFC.
    EXPECT_THAT(stored.record, ElementsAre(0x00, 1, 1, 1, 1, 1, 0, 0, 4, 3, 1, 3, 0x66, 0xFC));
    EXPECT_EQ(printer.received(), settingsWire(std::array<std::uint8_t, 2>{0x12, 0x34}, d.record));
}

TEST_F(SettingsE2E, NormalCutDistanceSendsFE) {
    const SettingsLoad load = loadSettingsPage(services(), {}, {});
    ASSERT_EQ(downloadSettings(services(), choice, load.record, load.page).outcome, Outcome::Done);
    ASSERT_TRUE(printer.waitUntil([&] { return printer.settings().has_value(); }, 5s));
    EXPECT_EQ(printer.settings()->record[13], 0xFE);
}

TEST_F(SettingsE2E, WrongReplyAfterTheSecondFlash3ByteSendsNoRecord) {
    printer.setWrongReply(vprinter::WrongReply{2, 0x00});
    const SettingsLoad load = loadSettingsPage(services(), {}, {});
    const SettingsDownload d = downloadSettings(services(), choice, load.record, load.page);
    EXPECT_EQ(d.outcome, Outcome::Failed);
    EXPECT_THAT(dialogs.texts(), ElementsAre("IRC_CHECK Error !!"));
    EXPECT_TRUE(printer.waitForQuiet(100ms, 2s));
    EXPECT_EQ(printer.received().size(), 12u + 2u);
    EXPECT_FALSE(printer.settings().has_value());
    EXPECT_FALSE(serial->isOpen());
    // The file holds the new record all the same.
    EXPECT_EQ(program.read("user_setting")[13], 0xFE);
}

TEST_F(SettingsE2E, AWrongReplyAtAnyOfTheFourteenPointsEndsTheDownloadThere) {
    const SettingsLoad load = loadSettingsPage(services(), {}, {});
    // Point 0 answers the request, 1 and 2 the "flash3" bytes, 3 to 13 record
    // bytes 1 to 11.
    for (int point = 0; point < 14; ++point) {
        SCOPED_TRACE("reply point " + std::to_string(point));
        dialogs.messages.clear();
        const std::size_t before = printer.received().size();
        printer.setWrongReply(vprinter::WrongReply{point, 0x55});
        const SettingsDownload d = downloadSettings(services(), choice, load.record, load.page);
        EXPECT_EQ(d.outcome, Outcome::Failed);
        EXPECT_FALSE(d.Sbaud.has_value());
        EXPECT_THAT(dialogs.texts(), ElementsAre("IRC_CHECK Error !!"));
        EXPECT_TRUE(printer.waitForQuiet(50ms, 2s));
        // The request's twelve bytes, then one byte per reply point passed.
        EXPECT_EQ(printer.received().size() - before, 12u + static_cast<std::size_t>(point));
        EXPECT_FALSE(printer.settings().has_value());
        EXPECT_FALSE(serial->isOpen());
    }
    // With every reply right the same page goes through.
    printer.setWrongReply(std::nullopt);
    dialogs.messages.clear();
    EXPECT_EQ(downloadSettings(services(), choice, load.record, load.page).outcome, Outcome::Done);
    EXPECT_THAT(dialogs.texts(), ElementsAre("Download Finish !!"));
    ASSERT_TRUE(printer.waitUntil([&] { return printer.settings().has_value(); }, 5s));
}

} // namespace
} // namespace ordalia
