#pragma once

#include "common/outcome.h"
#include "link/printer_link.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia {

// The printer's settings as the program keeps them: 14 bytes, saved as they
// stand in "user_setting". Byte 0 and byte 12, and bits 2 to 7 of byte 13, are
// not the page's: they pass from the file back into the file untouched.
inline constexpr std::size_t kSettingsRecordSize = 14;
using SettingsRecord = std::array<std::uint8_t, kSettingsRecordSize>;

inline constexpr std::string_view kUserSettingFile = "user_setting";
inline constexpr std::string_view kFlash3File = "flash3";
inline constexpr std::size_t kFlash3Size = 2;

// Byte 2 of a record saved by a program that reached the printer over the
// parallel link.
inline constexpr std::uint8_t kParallelBaudMark = 255;
// Byte 13: bit 0 is cleared by every download, bit 1 is the cut distance.
inline constexpr std::uint8_t kCutDistanceBit = 0x02;
inline constexpr std::uint8_t kDownloadClearsBit = 0x01;

inline constexpr std::string_view kSettingsQuestion =
    "Are you sure to download setting to Printer ?";
inline constexpr std::string_view kSettingsQuestionTitle = "Download";
inline constexpr std::string_view kSettingsDoneMessage = "Download Finish !!";

// The lists of the page, in the order the window fills them: a record byte is
// a position in one of these.
inline constexpr std::array<std::string_view, 3> kPrinterModeItems = {"2 inch", "3 inch",
                                                                      "Epson Emulation"};
inline constexpr std::array<std::string_view, 4> kNewBaudItems = {"9600.n.8,1", "19200,n,8,1",
                                                                  "38400,n,8,1", "115200,n,8,1"};
inline constexpr std::array<std::string_view, 5> kCompoundItems = {
    "DISABLE", "Simplified Chinese", "Traditional Chinese", "Japanese", "Korean"};
inline constexpr std::array<std::string_view, 4> kGraphicBufferItems = {"128kB", "  2kB", "  6kB",
                                                                        " 20kB"};
inline constexpr std::array<std::string_view, 4> kDensityItems = {"Low", "Normal", "Dark",
                                                                  "Darkest"};
inline constexpr std::array<std::string_view, 2> kCutDistanceItems = {"Save Paper", "Normal"};

// What the "Printing Setting" page shows: list positions (-1: nothing
// selected) and which option of each ON/OFF pair is set.
struct SettingsPage {
    int EEPROM_Mode = -1;
    int NewBaud = 3;
    int EPPROM_Compound = -1;
    int EEPROM_RSBuf = -1;
    int EEPROM_Density = -1;
    int EEPROM_CD = -1;
    bool EEPROM_Cutter_ON = false;
    bool EEPROM_PaperEnd_ON = false;
    bool EEPROM_NearEnd_ON = false;
    bool EEPROM_Door_ON = false;

    bool operator==(const SettingsPage&) const = default;
};

// The near-end sensor's default for a printer mode: off for "2 inch" paper.
bool EEPROM_Mode_Click(int EEPROM_Mode);

// What showing the page does with a saved record.
struct SettingsLoad {
    bool loaded = false;               // the file was read into the record
    SettingsRecord record{};           // the record afterwards
    SettingsPage page;                 // the page afterwards
    std::optional<int> Sbaud;          // the link's speed list follows this position
    bool selectParallel = false;       // the record was saved for the parallel link
    std::vector<std::string> problems; // what could not be shown, for one message
};

// Applies a record to the page: the lists take the stored positions, the
// options follow their bytes, and the link's speed follows byte 2. A position
// outside its list leaves that list without a selection and is reported, so
// that nothing is guessed and the download refuses until it is chosen.
SettingsLoad applySettingsRecord(const SettingsRecord& record, SettingsPage page);

// The saved file's bytes as a record: exactly what a file of at least 14
// bytes starts with; nothing for a shorter one.
std::optional<SettingsRecord> parseSettingsRecord(std::span<const std::uint8_t> bytes);

// Showing the "Printing Setting" page (SSTab1_Click on tab 0): reads
// "user_setting" into `record` and loads the page from it. A missing file
// leaves the record as it is and loads the page and the link's speed from
// that. A short or unreadable file is reported and loads nothing.
SettingsLoad loadSettingsPage(const Services& services, const SettingsRecord& record,
                              const SettingsPage& page);

// The record a download sends: the page's values over the loaded record.
SettingsRecord collectSettingsRecord(const SettingsRecord& loaded, const SettingsPage& page);

struct SettingsDownload {
    Outcome outcome = Outcome::Nothing;
    SettingsRecord record{};  // the record as collected (and saved, unless refused)
    std::optional<int> Sbaud; // on Done: the link's speed list follows NewBaud
};

// "Download Setting To Printer" (Command1_Click): asks first, saves the record
// in "user_setting", then sends it through the programming exchange with a
// reply after the request, after each "flash3" byte and after record bytes 1
// to 11. Refuses, with nothing written or sent, a page with a list left
// without a selection, a missing or short "flash3", and the parallel link.
SettingsDownload downloadSettings(const Services& services, const LinkChoice& choice,
                                  const SettingsRecord& loaded, const SettingsPage& page);

} // namespace ordalia
