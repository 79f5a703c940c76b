#include "codepages/code_page_image.h"

#include "codepages/code_page_font.h"
#include "common/files.h"
#include "common/path_text.h"
#include "common/ui.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace ordalia {

namespace {

constexpr std::string_view kSelfTest = "SELF-TEST";

// Length of the UTF-8 sequence a lead byte starts, 1 for a stray byte so that
// broken text still advances one character at a time.
std::size_t sequenceLength(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else if (lead >= 0xE0)
        length = 3;
    else if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    if (lead >= 0xF5 || i + length > text.size())
        return 1;
    for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return 1;
    return length;
}

void put(CodePageImage& image, std::size_t offset, std::string_view bytes) {
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::string fitted(std::string text, std::size_t length) {
    text.resize(length, ' ');
    return text;
}

} // namespace

std::string singleByteText(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        out += static_cast<char>(kUnmappedCharacter);
        i += sequenceLength(text, i);
    }
    return out;
}

std::string nameRow(std::size_t slot, std::string_view Text_CP) {
    const std::string row = "    CodePage" + std::to_string(slot) + " : " + singleByteText(Text_CP);
    return fitted(row, kNameRowLength);
}

std::string modelNameField(std::string_view model_name) {
    return fitted(singleByteText(model_name), kModelNameLength);
}

std::filesystem::path codePageFontPath(const std::filesystem::path& programFolder,
                                       std::string_view Text_CP) {
    const auto folder = programFile(programFolder, kCodePageFolder);
    const std::string wanted = std::string(Text_CP) + std::string(kCodePageFileExtension);
    const auto exact = folder / std::filesystem::path(wanted);
    std::error_code ec;
    if (std::filesystem::exists(exact, ec))
        return exact;
    const std::size_t stem = Text_CP.size();
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = pathForMessage(entry.path().filename());
        if (name.size() != wanted.size() || name.compare(0, stem, Text_CP) != 0)
            continue;
        if (std::equal(name.begin() + static_cast<std::ptrdiff_t>(stem), name.end(),
                       wanted.begin() + static_cast<std::ptrdiff_t>(stem),
                       [](char a, char b) { return std::toupper((unsigned char)a) == b; }))
            return entry.path();
    }
    return exact;
}

CodePageBuild buildCodePageImage(const std::filesystem::path& programFolder,
                                 const CodePageSlots& slots) {
    CodePageBuild build;
    CodePageImage& image = build.image;
    image.fill(0);

    put(image, kMakerTextOffset, kMakerText);
    const std::string model = modelNameField(slots.model_name);
    put(image, kFirstHeadingOffset, "   " + model + " " + std::string(kSelfTest) + "   ");
    put(image, kSecondHeadingOffset, "         " + model + " " + std::string(kSelfTest) + " ");

    for (std::size_t i = 0; i < kCodePageSlotCount; ++i)
        put(image, kNameRowsOffset + kNameRowStride * i, nameRow(i, slots.Text_CP[i]));

    for (std::size_t i = 0; i < kCodePageSlotCount; ++i) {
        const auto path = codePageFontPath(programFolder, slots.Text_CP[i]);
        const CodePageFontRead read = readCodePageFont(path);
        if (!read.ok) {
            build.outcome = Outcome::Refused;
            build.message = read.problem;
            return build;
        }
        // Slot 0 gives all 256 characters; the others only their upper half,
        // since the printer keeps one lower half for every table.
        const std::size_t first = i == 0 ? 0 : 0x80;
        const std::size_t fontA =
            i == 0 ? kSlot0FontAOffset : kUpperFontAOffset + (i - 1) * kUpperFontASize;
        const std::size_t fontB =
            i == 0 ? kSlot0FontBOffset : kUpperFontBOffset + (i - 1) * kUpperFontBSize;
        for (std::size_t k = first * kFontARows, at = fontA; k < kFontALines; ++k, at += 2) {
            image[at] = static_cast<std::uint8_t>(read.font.fontA[k] & 0xFF);
            image[at + 1] = static_cast<std::uint8_t>(read.font.fontA[k] >> 8);
        }
        std::copy(read.font.fontB.begin() + static_cast<std::ptrdiff_t>(first * kFontBRows),
                  read.font.fontB.end(), image.begin() + static_cast<std::ptrdiff_t>(fontB));
    }

    for (std::size_t i = 0; i < kCodePageSlotCount; ++i)
        image[kTableNumbersOffset + i] =
            static_cast<std::uint8_t>(std::clamp(tableNumber(slots.Pos_CP[i]), 0LL, 255LL));

    const auto testPath = programFile(programFolder, kCodePageImageFile);
    if (const auto error = writeFileBytes(testPath, image)) {
        build.message =
            "The code page image " + pathForMessage(testPath) + " could not be written: " + *error;
        return build;
    }
    build.outcome = Outcome::Done;
    return build;
}

CodePageBuild BuildCodePageImage(const Services& services, const CodePageSlots& slots) {
    CodePageBuild build = buildCodePageImage(services.programFolder, slots);
    if (build.outcome != Outcome::Done)
        services.dialogs.message(build.message);
    return build;
}

std::optional<CodePageImage> checkAndBuildCodePageImage(const Services& services,
                                                        const CodePageSlots& slots) {
    if (CP_Check(services.dialogs, slots) != 0)
        return std::nullopt;
    CodePageBuild build = BuildCodePageImage(services, slots);
    if (build.outcome != Outcome::Done)
        return std::nullopt;
    return build.image;
}

} // namespace ordalia
