#pragma once

#include "common/outcome.h"
#include "link/printer_link.h"

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace ordalia {

class ProgressBar;
class StatusLabel;

// A firmware image is a raw 196,608-byte (0x30000) dump with no header: every
// byte goes to the printer unchanged, in file order, as 192 blocks of 1,024.
inline constexpr std::size_t kFirmwareImageSize = 196608;
inline constexpr std::size_t kFirmwareBlockSize = 1024;
inline constexpr std::size_t kFirmwareBlockCount = kFirmwareImageSize / kFirmwareBlockSize;

inline constexpr std::string_view kFirmwareFileFilter = "Firmware Files(*.firm) | *.firm";
inline constexpr std::string_view kFirmwareLoadQuestion = "Are you sure to Load ?";
inline constexpr std::string_view kFirmwareLoadTitle = "Load File";

inline constexpr std::string_view kFirmwareNoFileMessage = "No file be selected !";
inline constexpr std::string_view kFirmwareFileErrorMessage = "File Error !!";
inline constexpr std::string_view kFirmwareFinishMessage = "Firmware Update Finish !!";
inline constexpr std::string_view kFirmwareErrorMessage = "Firmware Update Error!!";
inline constexpr std::string_view kFirmwareSerialOnlyMessage =
    "The firmware can only be updated over the serial link. Please choose the serial interface "
    "and a port, then start the update again.";

inline constexpr std::string_view kFirmwareTransferCaption = "Status : Transfer Data   ";
inline constexpr std::string_view kFirmwareDoneCaption = "Status : Updata   100%";
inline constexpr std::array<std::string_view, 3> kFirmwareProgrammingCaptions = {
    "Status : Programming ...", "Status : Programming ......", "Status : Programming ........."};
inline constexpr int kFirmwareProgrammingCycles = 3;
inline constexpr std::int32_t kFirmwareRestartTimeoutMs = 2000;

// The file the window keeps from one confirmed choice to the next; empty at
// start.
struct FirmwareState {
    std::filesystem::path FirmFilePath;
};

struct FirmwareFileChoice {
    Outcome outcome = Outcome::Nothing; // Done when a file was chosen and confirmed
    std::string Firm_Text;              // on Done: the path Firm_Text shows (and is shown)
};

// "Open Firmware File": CommonDialog in the program's folder, then "Are you
// sure to Load ?". On OK sets `state`; on Cancel or no file nothing changes.
// The file is not examined until the update.
FirmwareFileChoice openFirmwareFile(const Services& services, FirmwareState& state);

struct FirmwareUpdateRequest {
    std::filesystem::path FirmFilePath;
    bool ISP_ERROR = false; // "Ignore printer's malfunction": no request, no reply
};

// "Update": checks the file, asks the printer to take a firmware image (unless
// ISP_ERROR), streams the image, waits while the printer programs itself and
// checks that it answers again. Shows its progress in Firm_Label and
// Firm_ProgressBar and hides both when it ends.
//
// Nothing: the serial link is selected and no port is chosen (nothing shown).
// Refused: no file, a file of the wrong length or unreadable, the parallel
// link, or another transfer running; nothing sent.
// Failed: no acceptance, a port fault, or no answer after programming (also
// when the port cannot be reopened to ask: "Firmware Update Error!!" with the
// port's reason).
Outcome updateFirmware(const Services& services, const LinkChoice& choice,
                       const FirmwareUpdateRequest& request, StatusLabel& Firm_Label,
                       ProgressBar& Firm_ProgressBar);

} // namespace ordalia
