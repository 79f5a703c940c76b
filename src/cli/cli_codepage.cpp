// codepage download, codepage image: the Code Page page.

#include "cli/cli_command.h"
#include "codepages/code_page_image.h"
#include "codepages/font_download.h"

namespace ordalia::cli {

namespace {

Outcome codepageDownload(const Command& c) {
    c.expectOperands(2);
    const auto slots = codePageSlots(c);
    if (!slots)
        return Outcome::Refused;
    return downloadFonts(c.services, c.choice, *slots, c.console.label(), c.console.bar());
}

Outcome codepageImage(const Command& c) {
    c.expectOperands(3);
    const auto slots = codePageSlots(c);
    if (!slots)
        return Outcome::Refused;
    const auto image = checkAndBuildCodePageImage(c.services, *slots);
    if (!image)
        return Outcome::Refused;
    return writeOutput(c, c.words()[2], *image, "the code page image");
}

const CommandRow kCommands[] = {
    {.name = "codepage download",
     .run = codepageDownload,
     .help = {{"codepage download", "build the code page image and program it"}},
     .parallel = true},
    {.name = "codepage image",
     .run = codepageImage,
     .help = {{"codepage image OUT", "build the code page image only and write it to OUT"}}},
    {.name = "codepage", .usage = "codepage download | codepage image OUT"},
};

} // namespace

std::span<const CommandRow> codePageCommands() {
    return kCommands;
}

} // namespace ordalia::cli
