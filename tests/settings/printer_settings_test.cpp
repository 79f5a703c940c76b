#include "settings/printer_settings.h"
#include "support/bytes.h"
#include "support/harness.h"

#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using namespace ::testing;
using namespace ordalia::testing;

// 3 inch, 38400, cutter on, paper end on, near end off, Japanese, 6kB, door
// on, Dark, cut distance "Normal"; bytes 0, 6, 7, 12 and 13 as another program
// may leave them.
const char* const kSaved = "5a 01 02 01 01 00 09 09 03 02 01 02 77 f3";
// kSaved downloaded as loaded: 115200 (the new-baud list is not loaded), bytes
// 6 and 7 cleared, bit 0 of byte 13 cleared.
const char* const kSent = "5a 01 03 01 01 00 00 00 03 02 01 02 77 f2";

struct Case {
    std::string name;
    // The user's edits, and anything else to arrange.
    std::function<void(Harness&, SettingsPage&)> change;
    Outcome outcome;
    Matcher<std::vector<std::string>> messages;
    const char* saved = kSaved; // user_setting afterwards
    std::size_t sent = 0; // how much of the request, "flash3" and bytes 1 to 13 of `saved` is sent
    const char* file = kSaved; // user_setting before (nullptr: none, and the record held is zero)
    int link = 2; // Sbaud after loading (-1: left alone, 255: the parallel link chosen)
};

// What showing the page loads leaves the program by the next download: the
// file it saves, the bytes it sends, what it says, and the link's speed.
TEST(Settings, ShowingThePageAndDownloadingIt) {
    int failAt = 14; // reply point: 0 the request, 1 and 2 "flash3", 3 to 13 record bytes 1 to 11
    std::optional<std::uint8_t> wrong; // the reply at failAt, if any; 0xAA before it
    std::optional<TransferLock> busy;
    const auto done = ElementsAre("Download Finish !!");
    const auto none = [](auto&, auto&) {};
    std::vector<Case> cases = {
        {"19200; only 1 is ON; near end beats 2 inch", [](auto&, auto& p) { p.NewBaud = 1; },
         Outcome::Done, done, "5a 00 01 00 01 01 00 00 03 02 00 02 77 f2", 27,
         "5a 00 02 05 01 01 00 00 03 02 02 02 77 f3"},
        {"Save Paper clears bit 1; a longer file keeps its tail",
         [](auto&, auto& p) { p.EEPROM_CD = 0; }, Outcome::Done, done,
         "5a 01 03 01 01 00 00 00 03 02 01 02 77 fc ee", 27,
         "5a 01 02 01 01 00 09 09 03 02 01 02 77 ff ee"},
        {"nothing saved: 0s; Normal sets bit 1", [](auto&, auto& p) { p.EEPROM_CD = 1; },
         Outcome::Done, done, "00 00 03 00 00 00 00 00 00 00 00 00 00 02", 27, nullptr, 0},
        {"saved for the parallel link", none, Outcome::Done, done, kSent, 27,
         "5a 01 ff 01 01 00 09 09 03 02 01 02 77 f3", 255},
        {"cancelled", [](auto& h, auto&) { h.dialogs.answers.push_back(false); }, Outcome::Nothing,
         IsEmpty()},
        {"short flash3", [](auto& h, auto&) { h.folder.write("flash3", hexBytes("3c")); },
         Outcome::Refused, ElementsAre(HasSubstr("holds 1 byte(s)"))},
        {"no flash3", [](auto& h, auto&) { std::filesystem::remove(h.folder.path() / "flash3"); },
         Outcome::Refused, ElementsAre(HasSubstr("is missing"))},
        {"parallel link", [](auto& h, auto&) { h.choice.serialSelected = false; }, Outcome::Refused,
         ElementsAre(HasSubstr("serial link"))},
        {"busy", [&](auto& h, auto&) { busy.emplace(h.gate); }, Outcome::Refused,
         ElementsAre(kTransferBusyMessage)},
        {"short user_setting", none, Outcome::Refused,
         ElementsAre(HasSubstr("2 byte(s) long instead of 14"),
                     HasSubstr("Please choose Printer Mode, Compound")),
         "01 01", 0, "01 01", -1},
        {"beyond a list", none, Outcome::Refused,
         ElementsAre(
             HasSubstr("New Baud Rate (9): the port speed was left as it is, Printer Mode (7) and "
                       "Printer Density (4)"),
             HasSubstr("Please choose Printer Mode and Printer Density before")),
         "5a 07 09 01 01 00 09 09 03 02 01 04 77 f3", 0,
         "5a 07 09 01 01 00 09 09 03 02 01 04 77 f3", -1},
        {"blank port: saved, not sent", [](auto& h, auto&) { h.choice.portIndex = 0; },
         Outcome::Failed, ElementsAre(HasSubstr("No serial port is chosen")), kSent, 0},
    };
    for (int point = 0; point <= 13; ++point)
        for (const std::optional<std::uint8_t> reply : {std::optional<std::uint8_t>(0x15), {}})
            cases.push_back({"reply point " + std::to_string(point) + (reply ? " wrong" : ""),
                             [&, point, reply](auto&, auto&) { failAt = point, wrong = reply; },
                             Outcome::Failed,
                             ElementsAre(reply ? "IRC_CHECK Error !!" : "Connecting Error !!"),
                             kSent, 12u + static_cast<std::size_t>(point)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.serial.onWrite = [&](const std::vector<std::uint8_t>&) {
            const int point = static_cast<int>(h.serial.written.size()) - 12;
            if (point >= 0 && point <= std::min(failAt, 13) && (point < failAt || wrong))
                h.serial.reply({point < failAt ? std::uint8_t{0xAA} : *wrong}, 2);
        };
        h.folder.write("flash3", hexBytes("3c a5"));
        if (c.file)
            h.folder.write("user_setting", hexBytes(c.file));
        failAt = 14;
        SettingsLoad l = loadSettingsPage(h.services(), {}, {});
        EXPECT_EQ(l.selectParallel ? 255 : l.Sbaud.value_or(-1), c.link);
        c.change(h, l.page);
        // Every message comes with the port closed.
        h.dialogs.onMessage = [&](const Shown&) { EXPECT_FALSE(h.serial.isOpen()); };
        const std::uint64_t start = h.clock.nowMs();
        const SettingsDownload d = downloadSettings(h.services(), h.choice, l.record, l.page);
        busy.reset();
        EXPECT_EQ(d.outcome, c.outcome);
        EXPECT_THAT(h.dialogs.questions,
                    Each(Shown{"Are you sure to download setting to Printer ?", "Download"}));
        EXPECT_THAT(h.dialogs.texts(), c.messages);
        EXPECT_EQ(h.folder.read("user_setting"), hexBytes(c.saved));
        // FS, settings, "KOVIR" twice, "flash3", record bytes 1 to 13.
        const std::string wire =
            "1c c6 4b 4f 56 49 52 4b 4f 56 49 52 3c a5" + std::string(c.saved).substr(3, 13 * 3);
        EXPECT_EQ(h.serial.written, hexBytes(wire.substr(0, c.sent * 3)));
        EXPECT_FALSE(h.serial.isOpen());
        // The link follows the new speed once it is in the printer.
        EXPECT_EQ(d.Sbaud.value_or(-1), c.outcome == Outcome::Done ? l.page.NewBaud : -1);
        if (failAt < 14 && !wrong) { // 2 ms a reply, then the whole wait
            EXPECT_THAT(h.clock.nowMs() - start, AllOf(Ge(10000u), Lt(10100u)));
        }
    }
}

TEST(ShippedFiles, Flash3AndTheDefaultSettingsLieBesideTheProgram) {
    const std::filesystem::path folder = ORDALIA_PROGRAM_FOLDER;
    EXPECT_EQ(std::filesystem::file_size(folder / "flash3"), 2u);
    // The program folder's copy may be the user's own by now.
    EXPECT_EQ(std::filesystem::file_size(folder / "user_setting"), 14u);
    // 3 inch, 115200, cutter, paper end and near end on, DISABLE, 128kB, door
    // on, Normal density, Normal cut distance.
    TempFolder copy;
    std::filesystem::copy_file(ORDALIA_DEFAULT_USER_SETTING, copy.path() / "default");
    EXPECT_EQ(copy.read("default"), hexBytes("00 01 03 01 01 01 00 00 00 00 01 01 00 02"));
}

} // namespace
} // namespace ordalia
