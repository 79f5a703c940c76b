#include "link/program_exchange.h"
#include "settings/printer_settings.h"
#include "support/harness.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iterator>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using namespace ordalia::testing;

// A complete saved record: 3 inch, 38400, cutter on, paper end on, near end
// off, compound Japanese, 6kB, door on, Dark, cut distance "Normal".
const SettingsRecord kSaved = {0x5A, 1, 2, 1, 1, 0, 9, 9, 3, 2, 1, 2, 0x77, 0xF3};

std::vector<std::uint8_t> bytesOf(const SettingsRecord& r) {
    return {r.begin(), r.end()};
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { h.folder.write("flash3", std::vector<std::uint8_t>{0x3C, 0xA5}); }

    SettingsLoad load(const SettingsRecord& record = {}, const SettingsPage& page = {}) {
        return loadSettingsPage(h.services(), record, page);
    }
    // A printer that answers every byte it is meant to answer with `reply`,
    // and the byte at `point` (0: the request) with `wrong`.
    void scriptPrinter(int wrongPoint = -1, std::optional<std::uint8_t> wrong = std::nullopt) {
        h.serial.onWrite = [=, this](const std::vector<std::uint8_t>& bytes) {
            const std::size_t n = h.serial.written.size();
            (void)bytes;
            int point = -1;
            if (n == kProgramRequestSize)
                point = 0;
            else if (n > kProgramRequestSize && n <= kProgramRequestSize + 2 + 11)
                point = static_cast<int>(n - kProgramRequestSize);
            if (point < 0)
                return;
            if (point == wrongPoint) {
                if (wrong)
                    h.serial.reply({*wrong}, 2);
                return;
            }
            h.serial.reply({0xAA}, 2);
        };
    }
    SettingsDownload download(const SettingsRecord& loaded, const SettingsPage& page) {
        return downloadSettings(h.services(), h.choice, loaded, page);
    }
    Harness h;
};

TEST_F(SettingsTest, LoadingShowsTheSavedRecordAndTheLinkFollowsItsBaudRate) {
    h.folder.write("user_setting", bytesOf(kSaved));
    const SettingsLoad l = load();
    EXPECT_TRUE(l.loaded);
    EXPECT_EQ(l.record, kSaved);
    EXPECT_EQ(l.Sbaud, 2);
    EXPECT_FALSE(l.selectParallel);
    SettingsPage expected;
    expected.EEPROM_Mode = 1;
    expected.NewBaud = 3; // not loaded: keeps its own position
    expected.EPPROM_Compound = 3;
    expected.EEPROM_RSBuf = 2;
    expected.EEPROM_Density = 2;
    expected.EEPROM_CD = 1;
    expected.EEPROM_Cutter_ON = true;
    expected.EEPROM_PaperEnd_ON = true;
    expected.EEPROM_NearEnd_ON = false; // byte 5 overrides the 3-inch default
    expected.EEPROM_Door_ON = true;
    EXPECT_EQ(l.page, expected);
    EXPECT_THAT(h.dialogs.messages, IsEmpty());
}

TEST_F(SettingsTest, OnlyOneSelectsOnAndTheStoredNearEndBeatsTheModeDefault) {
    SettingsRecord r = kSaved;
    r[1] = 0; // 2 inch: near end off by default ...
    r[5] = 1; // ... but stored on
    r[3] = 0x05;
    r[10] = 2;
    const SettingsLoad l = applySettingsRecord(r, {});
    EXPECT_TRUE(l.page.EEPROM_NearEnd_ON);
    EXPECT_FALSE(l.page.EEPROM_Cutter_ON);
    EXPECT_FALSE(l.page.EEPROM_Door_ON);
    EXPECT_FALSE(EEPROM_Mode_Click(0));
    EXPECT_TRUE(EEPROM_Mode_Click(1));
    EXPECT_TRUE(EEPROM_Mode_Click(2));
}

TEST_F(SettingsTest, MissingShortAndStrangeFilesAreNotGuessedAt) {
    SettingsPage page;
    page.EEPROM_Mode = 2;
    const SettingsRecord before = kSaved;

    // Missing: the record shows as it is, the link keeps its speed, nothing
    // is said.
    SettingsLoad l = load(before, page);
    EXPECT_TRUE(l.loaded);
    EXPECT_EQ(l.record, before);
    EXPECT_EQ(l.page, applySettingsRecord(before, page).page);
    EXPECT_FALSE(l.Sbaud.has_value());
    EXPECT_THAT(h.dialogs.messages, IsEmpty());

    // Short: reported, nothing loads.
    h.folder.write("user_setting", std::vector<std::uint8_t>(13, 1));
    l = load(before, page);
    EXPECT_FALSE(l.loaded);
    EXPECT_EQ(l.record, before);
    EXPECT_FALSE(l.Sbaud.has_value());
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.dialogs.messages[0].text, HasSubstr("13 byte(s) long instead of 14"));

    // Out of range: that list gets no selection and the message names it.
    SettingsRecord odd = kSaved;
    odd[1] = 7;
    odd[11] = 4;
    odd[2] = 9;
    h.folder.write("user_setting", bytesOf(odd));
    l = load(before, page);
    EXPECT_TRUE(l.loaded);
    EXPECT_EQ(l.page.EEPROM_Mode, -1);
    EXPECT_EQ(l.page.EEPROM_Density, -1);
    EXPECT_EQ(l.page.EPPROM_Compound, 3);
    EXPECT_FALSE(l.Sbaud.has_value());
    EXPECT_THAT(h.dialogs.messages.back().text, HasSubstr("Printer Mode (7)"));
    EXPECT_THAT(h.dialogs.messages.back().text, HasSubstr("Printer Density (4)"));
    EXPECT_THAT(h.dialogs.messages.back().text, HasSubstr("New Baud Rate (9)"));

    // 255 in byte 2: saved for the parallel link, which is chosen again.
    odd = kSaved;
    odd[2] = kParallelBaudMark;
    h.folder.write("user_setting", bytesOf(odd));
    l = load(before, page);
    EXPECT_TRUE(l.selectParallel);
    EXPECT_FALSE(l.Sbaud.has_value());
}

TEST_F(SettingsTest, DownloadWireRepliesAndTheSavedFile) {
    h.folder.write("user_setting", bytesOf(kSaved));
    const SettingsLoad l = load();
    SettingsPage page = l.page;
    page.NewBaud = 1;
    scriptPrinter();
    const SettingsDownload d = download(l.record, page);
    EXPECT_EQ(d.outcome, Outcome::Done);
    EXPECT_EQ(d.Sbaud, 1);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Download Finish !!"));
    EXPECT_EQ(h.dialogs.questions.at(0),
              (Shown{"Are you sure to download setting to Printer ?", "Download"}));

    EXPECT_THAT(h.serial.written,
                ElementsAre(0x1C /*FS*/, 0xC6 /*settings*/, 'K', 'O', 'V', 'I', 'R', 'K', 'O', 'V',
                            'I', 'R', 0x3C, 0xA5 /*flash3*/, 1 /*3 inch*/, 1 /*19200*/,
                            1 /*cutter*/, 1 /*paper end*/, 0 /*near end*/, 0, 0, 3 /*Japanese*/,
                            2 /*6kB*/, 1 /*door*/, 2 /*Dark*/, 0x77 /*byte 12 as loaded*/,
                            0xF2 /*0xF3 with bit 0 cleared*/));
    const std::array<std::uint8_t, 2> flash3 = {0x3C, 0xA5};
    EXPECT_EQ(h.serial.written, settingsWire(flash3, d.record));
    // Byte 0 stays in the file; the file holds what was sent.
    SettingsRecord expected = kSaved;
    expected[2] = 1;
    expected[6] = expected[7] = 0;
    expected[13] = 0xF2;
    EXPECT_EQ(h.folder.read("user_setting"), bytesOf(expected));
    EXPECT_FALSE(h.serial.isOpen());
}

TEST_F(SettingsTest, CutDistanceBitsOfByteThirteen) {
    SettingsRecord r = kSaved;
    r[13] = 0xFF;
    SettingsPage page = applySettingsRecord(r, {}).page;
    EXPECT_EQ(page.EEPROM_CD, 1);
    EXPECT_EQ(collectSettingsRecord(r, page)[13], 0xFE); // "Normal" left as loaded
    page.EEPROM_CD = 0;
    EXPECT_EQ(collectSettingsRecord(r, page)[13], 0xFC); // "Save Paper"
    r[13] = 0x00;
    page.EEPROM_CD = 1;
    EXPECT_EQ(collectSettingsRecord(r, page)[13], 0x02);
}

TEST_F(SettingsTest, EveryReplyPointStopsTheDownloadWhereItFails) {
    const SettingsPage page = applySettingsRecord(kSaved, {}).page;
    // Points 0 (request), 1 and 2 (flash3), 3 to 13 (record bytes 1 to 11).
    for (int point = 0; point <= 13; ++point) {
        for (const bool silent : {false, true}) {
            SCOPED_TRACE("point " + std::to_string(point) + (silent ? " silent" : " wrong"));
            h.serial.written.clear();
            h.dialogs.messages.clear();
            scriptPrinter(point, silent ? std::nullopt : std::optional<std::uint8_t>(0x15));
            const SettingsDownload d = download(kSaved, page);
            EXPECT_EQ(d.outcome, Outcome::Failed);
            EXPECT_FALSE(d.Sbaud.has_value());
            EXPECT_EQ(h.serial.written.size(),
                      kProgramRequestSize + static_cast<std::size_t>(point));
            EXPECT_THAT(h.dialogs.texts(),
                        ElementsAre(silent ? "Connecting Error !!" : "IRC_CHECK Error !!"));
            EXPECT_FALSE(h.serial.isOpen());
            // Saved all the same.
            EXPECT_EQ(h.folder.read("user_setting").size(), kSettingsRecordSize);
        }
    }
}

TEST_F(SettingsTest, RefusalsWriteNothingAndSendNothing) {
    SettingsPage page = applySettingsRecord(kSaved, {}).page;

    h.dialogs.answers.push_back(false);
    EXPECT_EQ(download(kSaved, page).outcome, Outcome::Nothing);

    page.EEPROM_Density = -1;
    EXPECT_EQ(download(kSaved, page).outcome, Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts().back(), HasSubstr("Please choose Printer Density"));
    page.EEPROM_Density = 1;

    h.folder.write("flash3", std::vector<std::uint8_t>{0x3C});
    EXPECT_EQ(download(kSaved, page).outcome, Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts().back(), HasSubstr("holds 1 byte(s)"));
    std::filesystem::remove(h.folder.path() / "flash3");
    EXPECT_EQ(download(kSaved, page).outcome, Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts().back(), HasSubstr("is missing"));
    h.folder.write("flash3", std::vector<std::uint8_t>{0x3C, 0xA5});

    h.choice.serialSelected = false;
    EXPECT_EQ(download(kSaved, page).outcome, Outcome::Refused);
    EXPECT_THAT(h.dialogs.texts().back(), HasSubstr("serial link"));
    h.choice.serialSelected = true;

    {
        TransferLock running(h.gate);
        EXPECT_EQ(download(kSaved, page).outcome, Outcome::Refused);
        EXPECT_EQ(h.dialogs.texts().back(), kTransferBusyMessage);
    }
    EXPECT_FALSE(std::filesystem::exists(h.folder.path() / "user_setting"));
    EXPECT_THAT(h.serial.events, IsEmpty());
}

TEST_F(SettingsTest, BlankPortFailsAsAnyFailedOpenButTheFileIsSaved) {
    const SettingsPage page = applySettingsRecord(kSaved, {}).page;
    h.choice.portIndex = 0;
    const SettingsDownload d = download(kSaved, page);
    EXPECT_EQ(d.outcome, Outcome::Failed);
    EXPECT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_THAT(h.serial.written, IsEmpty());
    EXPECT_EQ(h.folder.read("user_setting").size(), kSettingsRecordSize);
}

TEST_F(SettingsTest, ALongerSavedFileKeepsItsTailAndLoadsFromItsFirstFourteenBytes) {
    std::vector<std::uint8_t> file = bytesOf(kSaved);
    file.insert(file.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    h.folder.write("user_setting", file);
    const SettingsLoad l = load();
    ASSERT_TRUE(l.loaded);
    EXPECT_EQ(l.record, kSaved);

    scriptPrinter();
    SettingsPage page = l.page;
    page.EEPROM_Density = 0;
    ASSERT_EQ(download(l.record, page).outcome, Outcome::Done);
    const auto saved = h.folder.read("user_setting");
    ASSERT_EQ(saved.size(), 18u);
    EXPECT_EQ(saved[11], 0);    // the new density
    EXPECT_EQ(saved[0], 0x5A);  // byte 0 as loaded
    EXPECT_EQ(saved[12], 0x77); // byte 12 as loaded
    EXPECT_THAT(std::vector<std::uint8_t>(saved.begin() + 14, saved.end()),
                ElementsAre(0xDE, 0xAD, 0xBE, 0xEF));
}

TEST_F(SettingsTest, WhatADownloadSavedLoadsBackAsThePageThatSentIt) {
    scriptPrinter();
    SettingsPage page = applySettingsRecord(kSaved, {}).page;
    page.EEPROM_Mode = 0;
    page.EEPROM_NearEnd_ON = true; // chosen after the mode's default
    page.NewBaud = 0;
    page.EEPROM_CD = 0;
    page.EEPROM_Door_ON = false;
    ASSERT_EQ(download(kSaved, page).outcome, Outcome::Done);
    const SettingsLoad back = load();
    EXPECT_EQ(back.page.EEPROM_Mode, 0);
    EXPECT_TRUE(back.page.EEPROM_NearEnd_ON);
    EXPECT_EQ(back.page.EEPROM_CD, 0);
    EXPECT_FALSE(back.page.EEPROM_Door_ON);
    EXPECT_EQ(back.Sbaud, 0);        // "9600,n,8,1": the speed just sent to the printer
    EXPECT_EQ(back.page.NewBaud, 3); // NewBaud itself is not loaded
}

TEST_F(SettingsTest, SilenceAfterAFlash3ByteIsReportedAfterTenSeconds) {
    scriptPrinter(2); // nothing after "flash3" byte 1
    const std::uint64_t before = h.clock.nowMs();
    const SettingsDownload d = download(kSaved, applySettingsRecord(kSaved, {}).page);
    EXPECT_EQ(d.outcome, Outcome::Failed);
    EXPECT_THAT(h.dialogs.texts(), ElementsAre("Connecting Error !!"));
    // Two answered points of a few milliseconds each, then the full wait.
    EXPECT_GE(h.clock.nowMs() - before, 10000u);
    EXPECT_LT(h.clock.nowMs() - before, 10100u);
    EXPECT_EQ(h.serial.written.size(), kProgramRequestSize + 2);
}

TEST(ShippedFlash3, LiesBesideTheProgramWithItsTwoBytes) {
    const char* dir = std::getenv("ORDALIA_PROGRAM_DIR");
    if (dir == nullptr)
        GTEST_SKIP() << "ORDALIA_PROGRAM_DIR is not set";
    std::ifstream in(std::filesystem::path(dir) / "flash3", std::ios::binary);
    ASSERT_TRUE(in) << "flash3 is missing beside the program";
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    EXPECT_EQ(bytes.size(), kFlash3Size);
}

} // namespace
} // namespace ordalia
