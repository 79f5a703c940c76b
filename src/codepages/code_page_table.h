#pragma once

#include "common/outcome.h"
#include "link/services.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ordalia {

class Dialogs;

inline constexpr std::size_t kCodePageSlotCount = 6;

// Files of the code page page, relative to the program's folder.
inline constexpr std::string_view kCodePageFolder = "Codepage Table";
inline constexpr std::string_view kCodepageListFile = "Codepage Table/Codepage";
inline constexpr std::string_view kModelNameFile = "Codepage Table/model_name";
inline constexpr std::string_view kCodePageFileFilter = "CodePage Files(*.CP) | *.CP";
inline constexpr std::string_view kCodePageFileExtension = ".CP";

inline constexpr std::string_view kLoadFileQuestion = "Are you sure to Load ?";
inline constexpr std::string_view kLoadFileTitle = "Load File";

// CP_Label(0) to CP_Label(5).
inline constexpr std::array<std::string_view, kCodePageSlotCount> kSlotCaptions = {
    "1st", "2nd", "3rd", "4th", "5th", "6th"};

// What the page shows: the six rows and the model name, as texts.
struct CodePageSlots {
    std::array<std::string, kCodePageSlotCount> Pos_CP;  // table numbers as typed
    std::array<std::string, kCodePageSlotCount> Text_CP; // code page names (file name less ".CP")
    std::string model_name;
};

// The page's contents when the window opens.
CodePageSlots defaultCodePageSlots();

// --- the list file "Codepage" and the model name file ---

struct CodepageListRead {
    bool ok = false;
    std::array<std::string, kCodePageSlotCount> Pos_CP;
    std::array<std::string, kCodePageSlotCount> Text_CP;
    std::string message; // when not ok: what is wrong, naming the file
};

// Six lines of two fields; further lines are ignored.
CodepageListRead parseCodepageList(std::string_view text, const std::filesystem::path& shownPath);
CodepageListRead readCodepageList(const std::filesystem::path& programFolder);

// Six lines `"<Pos_CP>","<Text_CP>"` with CR LF. A double quote inside a text
// cannot be written in this format and is left out. Nothing on success, else
// a message naming the file.
std::string formatCodepageList(const CodePageSlots& slots);
std::optional<std::string> writeCodepageList(const std::filesystem::path& programFolder,
                                             const CodePageSlots& slots);

struct ModelNameRead {
    bool ok = false;
    std::string model_name;
    std::string message;
};

// The model name is the first field of the file's first line; an empty file
// gives an empty name.
ModelNameRead readModelName(const std::filesystem::path& programFolder);

// The first field of a line: leading blanks skipped, up to the first comma or
// the line end; a field that starts with a double quote runs to the next one,
// without the quotes. `rest` (when given) receives what follows the field and
// its comma; nothing when the line holds no further field.
std::string firstField(std::string_view line, std::optional<std::string_view>* rest = nullptr);

// --- the page's handlers ---

struct CodePageTabLoad {
    Outcome outcome = Outcome::Nothing; // Done: the slots were read; Refused: message
    CodePageSlots slots;                // on Done: what the page shows now
    std::string message;                // on Refused: what is wrong; the page keeps its texts
};

// Reads "Codepage" and "model_name". Either one missing or malformed fails the
// whole load, so the page never shows a mix of old and new rows.
CodePageTabLoad loadCodePageTab(const std::filesystem::path& programFolder);

// The tab change of SSTab3 (and the Font Setting page being shown): acts only
// when tab 0, "Code Page Table", is shown; shows the load's message if any.
// On Done the page puts the slots into its controls and empties source_Text.
CodePageTabLoad SSTab3_Click(const Services& services, int shownTab);

struct CodePageChoice {
    Outcome outcome = Outcome::Nothing; // Done: put Text_CP into Text_CP(Index)
    std::string Text_CP;
};

// "Change Table n": CommonDialog1 in "Codepage Table", then "Are you sure to
// Load ?". The file itself is not read; only its name without ".CP" is kept.
// A chosen file whose name does not end in ".CP" is refused with a message.
CodePageChoice Change_Cp_Click(const Services& services);

// --- table numbers ---

// The decimal number at the start of the text, rounded half to even; texts
// with no number give 0. Values far outside a byte come back as kNoTableNumber
// so they are refused, never wrapped.
inline constexpr long long kNoTableNumber = 1'000'000;
long long tableNumber(std::string_view Pos_CP);

// The first fault among the six numbers in the order the check looks for them,
// as the message the user sees; nothing when the table is sound.
std::optional<std::string>
codePageTableFault(const std::array<std::string, kCodePageSlotCount>& Pos_CP);

// A table number the list file cannot keep as typed: its fields are quoted, so
// a double quote in one is dropped on saving ("1\"7" is sent as 1 and saved as
// 17). The message names the first such row; nothing when there is none.
std::optional<std::string>
unsavableTableNumber(const std::array<std::string, kCodePageSlotCount>& Pos_CP);

// Shows the fault, if any, and returns the new CodePageTableError (1 after a
// fault, else 0).
std::uint8_t CP_Check(Dialogs& dialogs, const CodePageSlots& slots);

// Two hexadecimal characters to one byte; any other character, or none,
// counts as 0 ("4A" 0x4A, "fF" 0xFF, "G1" 0x01, "1" 0x10, "" 0x00).
std::uint8_t StrToVal(std::string_view idat);

} // namespace ordalia
