#pragma once

#include "common/outcome.h"
#include "link/services.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia {

// The burn file output.a79 (BurnImage): the firmware image the printer
// accepts, followed by the code page table image, for a flash programmer.
inline constexpr std::size_t kBurnFirmwareSize = 196608;
inline constexpr std::size_t kBurnCodePageImageSize = 65536;
inline constexpr std::size_t kBurnImageSize = kBurnFirmwareSize + kBurnCodePageImageSize;
inline constexpr std::string_view kBurnFile = "Codepage Table/output.a79";
inline constexpr std::string_view kBurnSourceFilter = "source code Files(*.firm) | *.firm";
inline constexpr std::string_view kBurnFrontFileError = "front file error";

using BurnCodePageImage = std::array<std::uint8_t, kBurnCodePageImageSize>;

// Runs the code page check and, when it passes, builds the code page image.
// Nothing when either stopped; they have shown their own messages.
using CheckAndBuildCodePageImage = std::function<std::optional<BurnCodePageImage>()>;

struct BurnSourceChoice {
    Outcome outcome = Outcome::Nothing; // Done when a file was chosen and confirmed
    std::filesystem::path fullPath;     // on Done: the chosen file
    std::string source_Text;            // on Done: what source_Text shows (name without folder)
};

// "open source": CommonDialog (no starting folder of its own) with the firmware
// filter, then "Are you sure to Load ?". The window keeps CommonDialog's full
// path as its current file, shared with the firmware and logo pages.
BurnSourceChoice chooseBurnSource(const Services& services);

struct BurnFileRequest {
    std::string source_Text;          // empty: nothing happens
    std::filesystem::path sourcePath; // the file picked last with CommonDialog
};

// The 262,144 bytes of output.a79: `firmware` (exactly kBurnFirmwareSize bytes)
// then `codePageImage`.
std::vector<std::uint8_t> BurnImage(std::span<const std::uint8_t> firmware,
                                    const BurnCodePageImage& codePageImage);

// "製作燒錄檔": checks and builds the code page image, reads the burn source
// and replaces output.a79 whole. A source of any length but 196,608 bytes gives
// "front file error" and leaves output.a79 as it was. No message on success.
Outcome makeBurnFile(const Services& services, const BurnFileRequest& request,
                     const CheckAndBuildCodePageImage& checkAndBuild);

} // namespace ordalia
