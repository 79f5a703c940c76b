// logo add, list, clear, download, print, convert and make: the Logo Setting
// page.

#include "cli/cli_command.h"
#include "common/files.h"
#include "common/path_text.h"
#include "common/text.h"
#include "logos/logo_download.h"
#include "logos/logo_list.h"
#include "logos/picture_logo.h"

#include <charconv>
#include <iomanip>
#include <ostream>
#include <system_error>

namespace ordalia::cli {

namespace {

Outcome logoAdd(const Command& c) {
    c.expectOperands(3);
    LogoLibrary library;
    LoadLogoList(c.services, library);
    const auto buffers = makeLogoBuffers();
    const Outcome outcome = AddLogoFile(c.services, library, *buffers, fileChoice(c.words()[2]));
    if (outcome == Outcome::Nothing) {
        c.console.message("The logo list already holds " + std::to_string(kMaxLogos) +
                          " logos; nothing was added.");
        return Outcome::Refused;
    }
    if (outcome == Outcome::Done)
        c.console.note("Added logo " + std::to_string(library.LogoCount) + ": " + library.Label3() +
                       " logos, " + library.Label4() + ".");
    return outcome;
}

Outcome logoList(const Command& c) {
    c.expectOperands(2);
    LogoLibrary library;
    LoadLogoList(c.services, library); // reports an unreadable or damaged list
    c.out << "No.  Size    Width  Height  File\n";
    for (const LogoRecord& record : library.records)
        c.out << std::left << std::setw(5) << static_cast<int>(record.number) << std::setw(8)
              << record.size << std::setw(7) << record.width << std::setw(8) << record.height
              << pathForMessage(record.path) << '\n';
    c.out << library.Label3() << " logos, " << library.Label4() << '\n';
    return c.console.messageShown() ? Outcome::Refused : Outcome::Done;
}

Outcome logoClear(const Command& c) {
    c.expectOperands(2);
    LogoLibrary library;
    LoadLogoList(c.services, library);
    const Outcome outcome = Logo_Clear_Click(c.services, library);
    if (outcome == Outcome::Nothing) {
        c.console.note("The logo list is already empty.");
        return Outcome::Done;
    }
    return outcome;
}

Outcome logoDownload(const Command& c) {
    c.expectOperands(2);
    const auto buffers = makeLogoBuffers();
    std::uint8_t LogoCount = 0;
    const Outcome outcome =
        Download_Logo_Click(c.services, c.choice, *buffers, LogoCount, c.console.bar());
    if (outcome == Outcome::Nothing) {
        c.console.message("The logo list holds a logo numbered 0; nothing was sent.");
        return Outcome::Refused;
    }
    return outcome;
}

Outcome logoPrint(const Command& c) {
    c.expectOperands(3);
    const std::string& which = c.words()[2];
    const bool all = lowerAscii(which) == "all";
    if (!all && !logoSelectNumber(which)) {
        c.console.message(kLogoNumberRangeMessage);
        return Outcome::Refused;
    }
    LogoLibrary library;
    LoadLogoList(c.services, library);
    if (all && library.LogoCount == 0) {
        c.console.message("The logo list is empty; there is no logo to print.");
        return Outcome::Refused;
    }
    return Print_Logo_Click(c.services, c.choice, library.LogoCount, all, which);
}

Outcome logoConvert(const Command& c) {
    c.expectOperands(4);
    const auto buffers = makeLogoBuffers();
    const LogoBlock block = convertLogoBitmap(fullPath(c.words()[2]), *buffers);
    if (block.outcome != Outcome::Done) {
        c.console.message(block.message);
        return block.outcome;
    }
    return writeOutput(c, c.words()[3], block.bytes, "the logo block");
}

// --- logo make ---

std::optional<int> wholeNumber(const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
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

// The picture made into a 1-bit bitmap that `logo add` takes, written whole
// to OUT. The width is the paper's for the saved printer mode unless given;
// without a threshold the dots are diffused.
Outcome logoMake(const Command& c) {
    c.expectOperands(4);
    const std::string& pictureOperand = c.words()[2];
    const std::string& outOperand = c.words()[3];
    std::optional<int> threshold;
    if (c.options.threshold) {
        threshold = wholeNumber(*c.options.threshold, 0, 255);
        if (!threshold) {
            c.console.message("--threshold takes a whole number from 0 to 255, not \"" +
                              *c.options.threshold + "\".");
            return Outcome::Refused;
        }
    }
    std::optional<int> width;
    if (c.options.width) {
        width = wholeNumber(*c.options.width, 1, kMaxLogoWidth);
        if (!width) {
            c.console.message("--width takes a number of dots from 1 to " +
                              std::to_string(kMaxLogoWidth) + ", not \"" + *c.options.width +
                              "\".");
            return Outcome::Refused;
        }
    }
    const auto picturePath = fullPath(pictureOperand);
    const auto out = fullPath(outOperand);
    if (sameFile(picturePath, out)) {
        c.console.message("The picture " + pathForMessage(picturePath) +
                          " would be written over; please name another file for the logo.");
        return Outcome::Refused;
    }
    if (const auto record = listedAs(c.folder(), out)) {
        c.console.message("The bitmap " + pathForMessage(out) + " is logo " +
                          std::to_string(record->number) +
                          " of the logo list; please name another file for the new logo.");
        return Outcome::Refused;
    }

    const PictureRead read = readPicture(picturePath);
    if (!read.picture) {
        c.console.message(read.message);
        return Outcome::Refused;
    }
    PictureLogoRequest wanted;
    wanted.width = width.value_or(defaultLogoWidth(*read.picture, c.folder()));
    wanted.threshold = threshold;
    const PictureLogo logo = makePictureLogo(*read.picture, wanted);
    if (logo.outcome != Outcome::Done) {
        c.console.message(logo.message);
        return Outcome::Refused;
    }
    if (const auto error = replaceFileAtomically(out, logo.bmp)) {
        c.console.message("Cannot write the logo to " + pathForMessage(out) + ": " + *error);
        return Outcome::Failed;
    }
    c.console.note("Wrote " + pathForMessage(out) + ": " + std::to_string(logo.dots.width) + " x " +
                   std::to_string(logo.dots.height) + " dots, " + std::to_string(logo.bmp.size()) +
                   " bytes. Add it with: ordalia-cli logo add " + outOperand);
    return Outcome::Done;
}

const CommandRow kCommands[] = {
    {.name = "logo add",
     .run = logoAdd,
     .help = {{"logo add BMP", "add a monochrome bitmap to the logo list"}}},
    {.name = "logo list", .run = logoList, .help = {{"logo list", "show the logo list"}}},
    {.name = "logo clear", .run = logoClear, .help = {{"logo clear", "empty the logo list"}}},
    {.name = "logo download",
     .run = logoDownload,
     .help = {{"logo download", "store every listed logo in the printer"}},
     .parallel = true},
    {.name = "logo print",
     .run = logoPrint,
     .help = {{"logo print all|N", "print every stored logo, or logo N"}}},
    {.name = "logo convert",
     .run = logoConvert,
     .help = {{"logo convert BMP OUT", "write the FS q block of one bitmap to OUT"}}},
    {.name = "logo make",
     .run = logoMake,
     .help = {{"logo make PICTURE OUT [--width DOTS] [--threshold 0-255]",
               "make a PNG, JPEG, GIF or BMP picture into a logo\n"
               "bitmap OUT for logo add: the paper's width (384\n"
               "dots for \"2 inch\", else 576) unless narrower,\n"
               "dithered unless a threshold is given"}},
     .options = {CommandOption::Width, CommandOption::Threshold}},
    {.name = "logo",
     .usage = "logo add BMP | list | clear | download | print all|N | convert BMP OUT | "
              "make PICTURE OUT"},
};

} // namespace

std::span<const CommandRow> logoCommands() {
    return kCommands;
}

} // namespace ordalia::cli
