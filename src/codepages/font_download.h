#pragma once

#include "codepages/code_page_image.h"
#include "codepages/code_page_table.h"
#include "common/outcome.h"
#include "link/printer_link.h"

#include <cstddef>
#include <string_view>

namespace ordalia {

class ProgressBar;
class StatusLabel;

// The image goes out over the serial link as 100 blocks of 655 bytes (65,536 /
// 100 rounded), then the last 36 bytes one at a time.
inline constexpr std::size_t kFontBlockSize = 655;
inline constexpr std::size_t kFontBlockCount = 100;

inline constexpr std::string_view kFontTransferCaption = "Status : Transfer Data   ";
inline constexpr std::string_view kFontParallelCaption = "Status : Programming   ";
inline constexpr std::string_view kFontProgrammingCaption1 = "Status : Programming Font Data...";
inline constexpr std::string_view kFontProgrammingCaption2 = "Status : Programming Font Data......";
inline constexpr int kFontProgrammingCycles = 3;
inline constexpr std::int32_t kFontRestartTimeoutMs = 5000;
inline constexpr std::string_view kFontDownloadDone = "Undata Finish !!";
inline constexpr std::string_view kFontDownloadNoAnswer = "Status : Updata Font Error!!";
inline constexpr std::string_view kFontDownloadUnconfirmed =
    "The code page image was sent over the parallel port, but no serial port is chosen to ask "
    "the printer whether it restarted, so the download could not be checked. The code page "
    "list was left as it was.";

// "Download to Printer" on the Code Page Table page (Font_Updata_Click): checks
// the six rows, builds the code page image (and "test"), programs it into the
// printer, waits while the printer stores it, checks that it answers again
// and, only then, saves the rows in "Codepage".
//
// Done: confirmed, "Undata Finish !!" shown, label and bar hidden.
// Nothing: no serial port chosen (the image was built; nothing shown or sent).
// Refused: a table number with a double quote, the table check or the build
// stopped, or another transfer runs; nothing sent or saved.
// Failed: no acceptance, a port fault (label and bar hidden); no answer after
// programming, or a port that cannot be reopened to ask (the label shows
// "Status : Updata Font Error!!", with the port's reason, and stays with the
// bar); or, over the parallel link, no serial port to ask with (a message
// saying so; label and bar hidden). "Codepage" is rewritten only on Done.
Outcome downloadFonts(const Services& services, const LinkChoice& choice,
                      const CodePageSlots& slots, StatusLabel& Font_Label,
                      ProgressBar& Font_ProgressBar);

} // namespace ordalia
