#pragma once

#include "codepages/code_page_table.h"
#include "common/outcome.h"
#include "link/services.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ordalia {

// The 65,536-byte code page and font image the printer stores.
inline constexpr std::size_t kCodePageImageSize = 65536;
using CodePageImage = std::array<std::uint8_t, kCodePageImageSize>;

// Where each part lies in the image.
inline constexpr std::size_t kSlot0FontAOffset = 0x0000; // 256 characters x 48 bytes
inline constexpr std::size_t kUpperFontAOffset = 0x3000; // slot i at + (i - 1) * 0x1800
inline constexpr std::size_t kUpperFontASize = 0x1800;   // characters 0x80-0xFF
inline constexpr std::size_t kSlot0FontBOffset = 0xB000; // 256 characters x 17 bytes
inline constexpr std::size_t kUpperFontBOffset = 0xC100; // slot i at + (i - 1) * 0x880
inline constexpr std::size_t kUpperFontBSize = 0x880;    // characters 0x80-0xFF
inline constexpr std::size_t kNameRowsOffset = 0xF000;   // slot i at + 32 * i
inline constexpr std::size_t kNameRowStride = 32;
inline constexpr std::size_t kNameRowLength = 30;
inline constexpr std::size_t kTableNumbersOffset = 0xF0C0; // slot i at + i
inline constexpr std::size_t kFirstHeadingOffset = 0xFC00;
inline constexpr std::size_t kSecondHeadingOffset = 0xFC20;
inline constexpr std::size_t kModelNameLength = 15;
inline constexpr std::size_t kMakerTextOffset = 0xFFF0;
inline constexpr std::string_view kMakerText = "Kovir Technology";

// The image file every complete build writes.
inline constexpr std::string_view kCodePageImageFile = "Codepage Table/test";

// The byte each character of a name becomes. Only printable ASCII has the same
// code in every code page the printer may hold; any other character (a UTF-8
// sequence counts as one) becomes '?', so a name never shifts its row.
inline constexpr std::uint8_t kUnmappedCharacter = '?';
std::string singleByteText(std::string_view text);

// "    CodePage<i> : <name>", padded with blanks or cut to 30 bytes.
std::string nameRow(std::size_t slot, std::string_view Text_CP);
// The 15-byte model name field: the name's first 15 characters, blank-padded.
std::string modelNameField(std::string_view model_name);

// The font file of a slot: "<Text_CP>.CP" in "Codepage Table". When that exact
// name is missing, a file whose name differs only in the case of ".CP" is
// taken, since file names chosen on a case-blind system may come that way.
std::filesystem::path codePageFontPath(const std::filesystem::path& programFolder,
                                       std::string_view Text_CP);

struct CodePageBuild {
    // Done: image complete and "test" written; Refused: a font file is missing,
    // malformed or short; Failed: "test" could not be written.
    Outcome outcome = Outcome::Failed;
    CodePageImage image{}; // what was built so far
    std::string message;   // on failure: what stopped it, naming the file
};

// Builds the image from the six slots' font files, their names and numbers and
// the model name, then writes "test". A font file that is missing, malformed
// or short stops the build before "test" is written. Shows nothing: the
// message is in the result.
CodePageBuild buildCodePageImage(const std::filesystem::path& programFolder,
                                 const CodePageSlots& slots);

// The same, showing the message of a failed build.
CodePageBuild BuildCodePageImage(const Services& services, const CodePageSlots& slots);

// CP_Check, then the build: the image, or nothing when either one stopped
// (each has shown its message). This is what the burn file and the command
// line call.
std::optional<CodePageImage> checkAndBuildCodePageImage(const Services& services,
                                                        const CodePageSlots& slots);

} // namespace ordalia
