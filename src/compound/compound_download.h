#pragma once

#include "common/outcome.h"
#include "compound/compound_file.h"
#include "link/printer_link.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace ordalia {

class ProgressBar;
class StatusLabel;

// The compound font protocol has its own four-byte request, not the
// programming handshake: FS, OpCompound, 0x00, the language code.
inline constexpr std::uint8_t OpCompound = 0xC9;
std::array<std::uint8_t, 4> CompoundRequest(std::uint8_t languageCode);

// The printer needs this long to make room for a compound font before it
// answers the request.
inline constexpr std::int32_t kCompoundRequestPauseMs = 5000;

inline constexpr std::string_view kCompoundSelectPortMessage = "Please select port !!";
inline constexpr std::string_view kCompoundConnectingError = "Connecting Error !!";
inline constexpr std::string_view kCompoundFinishMessage = "Undata Finish !!!!";
inline constexpr std::string_view kCompoundConnectingCaption = "Try to Connecting...";
inline constexpr std::string_view kCompoundProgressCaption = "Status : Programming   ";
inline constexpr std::string_view kCompoundDoneCaption = "Status : Updata   100%";
inline constexpr std::string_view kCompoundSerialOnlyMessage =
    "Compound fonts can only be downloaded over the serial link. Please choose the serial "
    "interface and a port, then start the download again.";

// CompoundStep: S / 100, a half going to the even neighbour.
std::uint32_t compoundProgressStep(std::uint32_t dataLength);

// "Download To Printer" on the "Compound Word" page: sends the chosen compound
// font in 256-byte blocks, each copied to 123.bin before it goes out and each
// answered by one reply byte of any value. Shows its progress in com_Label and
// com_ProgressBar and hides both when it ends. Returns Nothing when no file is
// chosen, Refused for bad input (no port, parallel link, file gone, another
// transfer running), Failed when the printer or the port failed.
Outcome downloadCompound(const Services& services, const LinkChoice& choice,
                         const CompoundState& state, StatusLabel& com_Label,
                         ProgressBar& com_ProgressBar);

} // namespace ordalia
