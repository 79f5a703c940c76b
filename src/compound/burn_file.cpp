#include "compound/burn_file.h"

#include "common/files.h"
#include "common/path_text.h"
#include "common/ui.h"
#include "compound/compound_file.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>

namespace ordalia {

BurnSourceChoice chooseBurnSource(const Services& services) {
    FileDialogRequest request;
    request.dialog = FileDialogId::CommonDialog;
    request.filter = std::string(kBurnSourceFilter);
    const auto picked = services.dialogs.openFile(request);
    if (!picked || picked->fullPath.empty())
        return {};
    if (!services.dialogs.confirm(kCompoundLoadQuestion, kCompoundLoadTitle))
        return {};
    BurnSourceChoice choice;
    choice.outcome = Outcome::Done;
    choice.fullPath = picked->fullPath;
    choice.source_Text =
        picked->name.empty() ? pathForMessage(picked->fullPath.filename()) : picked->name;
    return choice;
}

std::vector<std::uint8_t> BurnImage(std::span<const std::uint8_t> firmware,
                                    const BurnCodePageImage& codePageImage) {
    if (firmware.size() != kBurnFirmwareSize)
        throw std::invalid_argument("a burn file needs a firmware image of 196,608 bytes");
    std::vector<std::uint8_t> image(kBurnImageSize, 0);
    std::copy(firmware.begin(), firmware.end(), image.begin());
    std::copy(codePageImage.begin(), codePageImage.end(), image.begin() + kBurnFirmwareSize);
    return image;
}

Outcome makeBurnFile(const Services& services, const BurnFileRequest& request,
                     const CheckAndBuildCodePageImage& checkAndBuild) {
    if (request.source_Text.empty())
        return Outcome::Nothing;
    Dialogs& dialogs = services.dialogs;

    const std::optional<BurnCodePageImage> codePageImage = checkAndBuild();
    if (!codePageImage)
        return Outcome::Refused;

    if (request.sourcePath.empty()) {
        dialogs.message("No firmware image is chosen for the burn file. Please choose one with "
                        "\"open source\".");
        return Outcome::Refused;
    }
    const FileRead source = readWholeFile(request.sourcePath, kBurnFirmwareSize);
    if (source.status == FileRead::Status::Missing ||
        source.status == FileRead::Status::Unreadable) {
        dialogs.message(describeReadFailure(source, request.sourcePath, kBurnFirmwareSize));
        return Outcome::Refused;
    }
    if (source.status == FileRead::Status::TooLarge || source.bytes.size() != kBurnFirmwareSize) {
        dialogs.message(kBurnFrontFileError);
        return Outcome::Refused;
    }

    const auto burnImage = BurnImage(source.bytes, *codePageImage);
    const auto path = programFile(services.programFolder, kBurnFile);
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    // Through a temporary and a rename: a failed write never leaves a
    // half-written burn file for the flash programmer to pick up.
    if (auto error = replaceFileAtomically(path, burnImage)) {
        dialogs.message("The burn file could not be written: " + *error + ".");
        return Outcome::Failed;
    }
    return Outcome::Done;
}

} // namespace ordalia
