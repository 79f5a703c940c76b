// compound, burn: the compound (double-byte) font download and the burn file.

#include "cli/cli_command.h"
#include "codepages/code_page_image.h"
#include "common/files.h"
#include "common/path_text.h"
#include "compound/burn_file.h"
#include "compound/compound_download.h"
#include "compound/compound_file.h"

namespace ordalia::cli {

namespace {

Outcome compound(const Command& c) {
    c.expectOperands(2);
    const FileChoice chosen = fileChoice(c.words()[1]);
    CompoundState state{chosen.fullPath, chosen.name};
    std::error_code ec;
    if (!std::filesystem::is_regular_file(chosen.fullPath, ec)) {
        c.console.message("The compound font file " + pathForMessage(chosen.fullPath) +
                          " does not exist. Nothing was sent.");
        return Outcome::Refused;
    }
    return downloadCompound(c.services, c.choice, state, c.console.label(), c.console.bar());
}

Outcome burn(const Command& c) {
    c.expectOperands(2);
    const FileChoice source = fileChoice(c.words()[1]);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(source.fullPath, ec)) {
        c.console.message("The firmware file " + pathForMessage(source.fullPath) +
                          " does not exist. The burn file was not written.");
        return Outcome::Refused;
    }
    BurnFileRequest request{source.name, source.fullPath};
    const Outcome outcome =
        makeBurnFile(c.services, request, [&c]() -> std::optional<BurnCodePageImage> {
            const auto slots = codePageSlots(c);
            if (!slots)
                return std::nullopt;
            return checkAndBuildCodePageImage(c.services, *slots);
        });
    if (outcome == Outcome::Done)
        c.console.note("Wrote " + pathForMessage(programFile(c.folder(), kBurnFile)) + ".");
    return outcome;
}

const CommandRow kCommands[] = {
    {.name = "compound",
     .run = compound,
     .help = {{"compound FILE", "download a compound (double-byte) font file"}}},
    {.name = "burn",
     .run = burn,
     .help = {{"burn FIRMWARE", "write the burn file: FIRMWARE and the code page image"}}},
};

} // namespace

std::span<const CommandRow> compoundBurnCommands() {
    return kCommands;
}

} // namespace ordalia::cli
