#include "cli/cli_logo_make.h"

#include "common/files.h"
#include "common/path_text.h"
#include "logos/logo_list.h"
#include "logos/picture_logo.h"

#include <charconv>
#include <system_error>

namespace ordalia::cli {

namespace {

std::optional<int> wholeNumber(const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

std::filesystem::path wholePath(const std::string& operand) {
    std::error_code ec;
    const auto path = std::filesystem::absolute(std::filesystem::path(operand), ec);
    return ec ? std::filesystem::path(operand) : path.lexically_normal();
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

// A listed logo rewritten under the list would no longer be what the list
// recorded of it, and the next download would refuse it.
std::optional<LogoRecord> listedAs(const std::filesystem::path& programFolder,
                                   const std::filesystem::path& out) {
    for (const LogoRecord& record : readLogoList(programFolder).records)
        if (sameFile(record.path, out))
            return record;
    return std::nullopt;
}

} // namespace

Outcome makeLogoFile(const std::filesystem::path& programFolder, const LogoMakeRequest& request,
                     Console& console) {
    std::optional<int> threshold;
    if (request.threshold) {
        threshold = wholeNumber(*request.threshold, 0, 255);
        if (!threshold) {
            console.message("--threshold takes a whole number from 0 to 255, not \"" +
                            *request.threshold + "\".");
            return Outcome::Refused;
        }
    }
    std::optional<int> width;
    if (request.width) {
        width = wholeNumber(*request.width, 1, kMaxLogoWidth);
        if (!width) {
            console.message("--width takes a number of dots from 1 to " +
                            std::to_string(kMaxLogoWidth) + ", not \"" + *request.width + "\".");
            return Outcome::Refused;
        }
    }
    const auto picturePath = wholePath(request.picture);
    const auto out = wholePath(request.out);
    if (sameFile(picturePath, out)) {
        console.message("The picture " + pathForMessage(picturePath) +
                        " would be written over; please name another file for the logo.");
        return Outcome::Refused;
    }
    if (const auto record = listedAs(programFolder, out)) {
        console.message("The bitmap " + pathForMessage(out) + " is logo " +
                        std::to_string(record->number) +
                        " of the logo list; please name another file for the new logo.");
        return Outcome::Refused;
    }

    const PictureRead read = readPicture(picturePath);
    if (!read.picture) {
        console.message(read.message);
        return Outcome::Refused;
    }
    PictureLogoRequest wanted;
    wanted.width = width.value_or(defaultLogoWidth(*read.picture, programFolder));
    wanted.threshold = threshold;
    const PictureLogo logo = makePictureLogo(*read.picture, wanted);
    if (logo.outcome != Outcome::Done) {
        console.message(logo.message);
        return Outcome::Refused;
    }
    if (const auto error = replaceFileAtomically(out, logo.bmp)) {
        console.message("Cannot write the logo to " + pathForMessage(out) + ": " + *error);
        return Outcome::Failed;
    }
    console.note("Wrote " + pathForMessage(out) + ": " + std::to_string(logo.dots.width) + " x " +
                 std::to_string(logo.dots.height) + " dots, " + std::to_string(logo.bmp.size()) +
                 " bytes. Add it with: ordalia-cli logo add " + request.out);
    return Outcome::Done;
}

} // namespace ordalia::cli
