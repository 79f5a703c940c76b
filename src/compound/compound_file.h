#pragma once

#include "common/outcome.h"
#include "link/services.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace ordalia {

inline constexpr std::string_view kCompoundFileFilter = "Compound Files(*.code) | *.code";
inline constexpr std::string_view kCompoundFolder = "Codepage Table";
inline constexpr std::string_view kCompoundLoadQuestion = "Are you sure to Load ?";
inline constexpr std::string_view kCompoundLoadTitle = "Load File";

// The compound file choice the window keeps from one confirmed choice to the
// next. Both are empty at start and always set together.
struct CompoundState {
    std::filesystem::path com_FilePath; // full path of the chosen file
    std::string com_FileTitle;          // its name without folder: the key into the font table
};

struct CompoundFileChoice {
    Outcome outcome = Outcome::Nothing; // Done when a file was chosen and confirmed
    std::string com_Text;               // on Done: what com_Text shows (it is shown, disabled)
    std::string com_Language;           // on Done: what the download will send, in words
};

// "Open Compound File": CommonDialog1 in the "Codepage Table" folder, then
// "Are you sure to Load ?". On OK sets `state`; on Cancel or no file nothing
// changes. The file is neither opened nor examined, and a name outside the
// compound font table is accepted.
CompoundFileChoice openCompoundFile(const Services& services, CompoundState& state);

} // namespace ordalia
