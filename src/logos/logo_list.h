#pragma once

#include "common/outcome.h"
#include "link/services.h"
#include "logos/bmp_raster.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia {

struct FileChoice;

// The logo list beside the program.
inline constexpr std::string_view kLogoListFile = "Logo_Path";

inline constexpr std::size_t kMaxLogos = 255;
// The bitmap files of all logos together stay below 128K bytes.
inline constexpr std::int32_t kMaxLogoTotalSize = 131071;

inline constexpr std::string_view kLogoFileFilter = "(*.bmp)|*.bmp";
inline constexpr std::string_view kNotBmpMessage = "This is not a BMP file !!";
inline constexpr std::string_view kNotMonochromeMessage = "This is not a 2-bit BMP file !!";
inline constexpr std::string_view kLogoTotalMessage = "Total Logo sizes must under 128K Bytes!!!!";
inline constexpr std::string_view kLogoFileTooLargeMessage = "File too large";

// One line of Logo_Path.
struct LogoRecord {
    std::uint8_t number = 0;    // 1 for the first logo; its line in the file
    std::filesystem::path path; // full path of the bitmap as chosen
    std::string name;           // file name without folder, shown in the list
    std::int32_t size = 0;      // FileSize of the bitmap's header
    std::int32_t width = 0;     // pixels
    std::int32_t height = 0;    // pixels
    bool operator==(const LogoRecord&) const = default;
};

// `1,"<path>","<name>",<size>,<width>,<height>` and CR LF. The path and the
// name are written as pathToFileText gives them: on Windows in the system
// code page where it holds them (as earlier tools wrote the list), otherwise
// UTF-8; elsewhere as the path's bytes.
std::string formatLogoRecord(const LogoRecord& record);

// Whether the texts of the record can be written in the quoted form and read
// back the same: a double quote or a line end inside them cannot, nor a name
// that no text reads back as.
bool logoRecordWritable(const LogoRecord& record);

struct LogoListRead {
    enum class Status { Ok, Missing, Unreadable, Damaged };
    Status status = Status::Ok;
    // The records read, in file order; on Damaged those before the bad line.
    std::vector<LogoRecord> records;
    // The file line of each record, 1-based: blank lines count, so that a
    // message about a record names the line an editor shows.
    std::vector<std::size_t> lines;
    std::size_t damagedLine = 0; // 1-based, on Damaged
    std::string message;         // on Unreadable and Damaged: what is wrong, naming the file
};

// Splits each line at the commas outside double quotes and removes the
// quotes; the path and the name are read with pathFromFileText, so any bytes
// make a path. Lines end in CR LF (a bare LF is taken too); blank lines are
// skipped. A line that is not six fields with three whole numbers in range
// (the number 0 to 255, the others 32-bit) is damaged, and reading stops there.
LogoListRead parseLogoList(std::string_view text, const std::filesystem::path& shownPath);
// Reads Logo_Path from the program's folder; a file that is not there is an
// empty list (status Missing).
LogoListRead readLogoList(const std::filesystem::path& programFolder);

// --- the library as the page shows it ---

struct LogoListColumn {
    std::string_view text;
    std::string_view key;
    int widthTwips;
};

// ListView1's columns, added in this order.
inline constexpr std::array<LogoListColumn, 3> kLogoListColumns = {{
    {"No.", "Logo_No", 500},
    {"File Name", "Logo_FileName", 2100},
    {"Size", "Logo_FileSize", 900},
}};

// One item of ListView1: its own text is the number; the file name and the
// size are sub-items found through their columns' keys.
struct LogoListRow {
    std::string text;          // "No."
    std::string Logo_FileName; // "File Name"
    std::string Logo_FileSize; // "Size", decimal
    // The item's text for the column with `key` ("Logo_No" for the item's own
    // text); empty for an unknown key.
    std::string subItem(std::string_view key) const;
    bool operator==(const LogoListRow&) const = default;
};

LogoListRow logoListRow(const LogoRecord& record);

// Label3 ("3/255") and Label4 ("12k/128k", the kilobytes rounded half to even).
std::string logoCountText(std::uint8_t LogoCount);
std::string logoTotalText(std::int32_t LogoTotalSize);
// The captions the window opens with, before the list is first loaded.
inline constexpr std::string_view kInitialLogoCountText = "0/255";
inline constexpr std::string_view kInitialLogoTotalText = "0/128K";

// The library held by the main window: the count and total it keeps, and
// the records behind the list's rows.
struct LogoLibrary {
    std::uint8_t LogoCount = 0;
    std::int32_t LogoTotalSize = 0;
    std::vector<LogoRecord> records;
    // Set when Logo_Path was damaged at start: the next change writes the
    // file anew from `records` instead of appending behind the bad line.
    bool rewriteOnNextAdd = false;

    std::vector<LogoListRow> rows() const;
    std::string Label3() const { return logoCountText(LogoCount); }
    std::string Label4() const { return logoTotalText(LogoTotalSize); }
};

// --- the page's handlers ---

// Start-up: fills the library from Logo_Path. A missing file is an empty
// library; an unreadable or damaged one is reported, keeping the records
// before the damage.
void LoadLogoList(const Services& services, LogoLibrary& library);

// "Add": the bitmap dialog in the program's folder, then AddLogoFile. Done
// when a logo was added (the page shows the library's rows and counters
// again), Nothing when the dialog was cancelled or the list is full, Refused
// after a message.
Outcome Logo_Add_Click(const Services& services, LogoLibrary& library, LogoBuffers& buffers);

// Checks the chosen bitmap in the order the user is told about it (read, "BM",
// depth, header, total, then the layout the download checks, so that every
// listed logo can be sent) and appends it to the library and to Logo_Path.
Outcome AddLogoFile(const Services& services, LogoLibrary& library, LogoBuffers& buffers,
                    const FileChoice& chosen);

// The preview of a clicked item.
inline constexpr std::int32_t kPreviewMaxWidth = 280;
inline constexpr std::int32_t kPreviewMaxHeight = 350;
inline constexpr int kTwipsPerLogoPixel = 12;
// Image1's size when it shows nothing.
inline constexpr int kPreviewEmptyWidthTwips = 4215;
inline constexpr int kPreviewEmptyHeightTwips = 4455;

struct LogoPreview {
    Outcome outcome = Outcome::Nothing; // Done: show it; Refused: message shown, show nothing
    std::filesystem::path picture;      // the bitmap to load into Image1
    // Larger logos are stretched into width x 12 by height x 12 twips; the
    // others are shown at the picture's own size.
    bool stretch = false;
    int widthTwips = 0;  // when stretched
    int heightTwips = 0; // when stretched
    std::string Label7;  // the width from the record
    std::string Label8;  // the height from the record
};

// The decision alone, from a record.
LogoPreview logoPreview(const LogoRecord& record);

// ListView1_ItemClick: the record numbered by the item's text is read from
// Logo_Path (not from the library), its bitmap checked to be there.
LogoPreview ListView1_ItemClick(const Services& services, std::string_view itemText);

// "Clear": empties the library and Logo_Path; the bitmaps stay where they
// are. Nothing when the list is empty; Refused (library unchanged) when
// Logo_Path cannot be emptied. On Done the page removes its rows, resets the
// preview to its empty size and empties Label7 and Label8.
Outcome Logo_Clear_Click(const Services& services, LogoLibrary& library);

} // namespace ordalia
