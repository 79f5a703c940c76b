#include "codepages/code_page_table.h"

#include "common/files.h"
#include "common/path_text.h"
#include "common/text.h"
#include "common/ui.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <system_error>

namespace ordalia {

namespace {

// A proper "Codepage" is a few hundred bytes; anything this long is not one.
constexpr std::size_t kListFileLimit = 64 * 1024;

std::string_view nextLine(std::string_view& text) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

std::string asText(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::string withoutQuotes(std::string_view text) {
    std::string out;
    for (const char c : text)
        if (c != '"')
            out += c;
    return out;
}

} // namespace

CodePageSlots defaultCodePageSlots() {
    CodePageSlots slots;
    slots.Pos_CP = {"0", "1", "2", "3", "4", "5"};
    slots.Text_CP = {"PC437", "katakana", "PC850", "PC860", "PC863", "PC865"};
    return slots;
}

std::string firstField(std::string_view line, std::optional<std::string_view>* rest) {
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    std::string field;
    std::size_t after = 0;
    if (i < line.size() && line[i] == '"') {
        const std::size_t close = line.find('"', i + 1);
        if (close == std::string_view::npos) {
            field = std::string(line.substr(i + 1));
            after = line.size();
        } else {
            field = std::string(line.substr(i + 1, close - i - 1));
            after = close + 1;
        }
        // Whatever stands between the closing quote and the comma is dropped.
        const std::size_t comma = line.find(',', after);
        after = comma == std::string_view::npos ? line.size() : comma;
    } else {
        const std::size_t comma = line.find(',', i);
        after = comma == std::string_view::npos ? line.size() : comma;
        field = std::string(line.substr(i, after - i));
    }
    if (rest) {
        if (after < line.size())
            *rest = line.substr(after + 1);
        else
            *rest = std::nullopt;
    }
    return field;
}

CodepageListRead parseCodepageList(std::string_view text, const std::filesystem::path& shownPath) {
    CodepageListRead read;
    const std::string name = pathForMessage(shownPath);
    for (std::size_t i = 0; i < kCodePageSlotCount; ++i) {
        if (text.empty()) {
            read.message = "The code page list " + name + " has " + std::to_string(i) +
                           " lines; it needs one line for each of the six tables.";
            return read;
        }
        const std::string_view line = nextLine(text);
        std::optional<std::string_view> rest;
        read.Pos_CP[i] = firstField(line, &rest);
        if (!rest) {
            read.message = "Line " + std::to_string(i + 1) + " of the code page list " + name +
                           " has no code page name after the table number.";
            return read;
        }
        read.Text_CP[i] = firstField(*rest);
    }
    read.ok = true;
    return read;
}

CodepageListRead readCodepageList(const std::filesystem::path& programFolder) {
    const auto path = programFile(programFolder, kCodepageListFile);
    const FileRead file = readWholeFile(path, kListFileLimit);
    if (file.status != FileRead::Status::Ok) {
        CodepageListRead read;
        read.message = describeReadFailure(file, path, kListFileLimit);
        if (file.status == FileRead::Status::TooLarge)
            read.message =
                "The file " + pathForMessage(path) + " is too long to be a code page list.";
        return read;
    }
    return parseCodepageList(asText(file.bytes), path);
}

std::string formatCodepageList(const CodePageSlots& slots) {
    std::string text;
    for (std::size_t i = 0; i < kCodePageSlotCount; ++i)
        text += "\"" + withoutQuotes(slots.Pos_CP[i]) + "\",\"" + withoutQuotes(slots.Text_CP[i]) +
                "\"\r\n";
    return text;
}

std::optional<std::string> writeCodepageList(const std::filesystem::path& programFolder,
                                             const CodePageSlots& slots) {
    const auto path = programFile(programFolder, kCodepageListFile);
    const std::string text = formatCodepageList(slots);
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    const auto error = replaceFileAtomically(
        path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    if (error)
        return "The code page list " + pathForMessage(path) + " could not be written: " + *error;
    return std::nullopt;
}

ModelNameRead readModelName(const std::filesystem::path& programFolder) {
    ModelNameRead read;
    const auto path = programFile(programFolder, kModelNameFile);
    const FileRead file = readWholeFile(path, kListFileLimit);
    if (file.status != FileRead::Status::Ok) {
        read.message = describeReadFailure(file, path, kListFileLimit);
        if (file.status == FileRead::Status::TooLarge)
            read.message =
                "The file " + pathForMessage(path) + " is too long to be a model name file.";
        return read;
    }
    std::string_view text(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
    read.model_name = firstField(nextLine(text));
    read.ok = true;
    return read;
}

CodePageTabLoad loadCodePageTab(const std::filesystem::path& programFolder) {
    CodePageTabLoad load;
    const CodepageListRead list = readCodepageList(programFolder);
    if (!list.ok) {
        load.outcome = Outcome::Refused;
        load.message = list.message;
        return load;
    }
    const ModelNameRead model = readModelName(programFolder);
    if (!model.ok) {
        load.outcome = Outcome::Refused;
        load.message = model.message;
        return load;
    }
    load.outcome = Outcome::Done;
    load.slots.Pos_CP = list.Pos_CP;
    load.slots.Text_CP = list.Text_CP;
    load.slots.model_name = model.model_name;
    return load;
}

CodePageTabLoad SSTab3_Click(const Services& services, int shownTab) {
    if (shownTab != 0)
        return {};
    CodePageTabLoad load = loadCodePageTab(services.programFolder);
    if (load.outcome != Outcome::Done)
        services.dialogs.message(load.message);
    return load;
}

CodePageChoice Change_Cp_Click(const Services& services) {
    FileDialogRequest request;
    request.dialog = FileDialogId::CommonDialog1;
    request.filter = std::string(kCodePageFileFilter);
    request.initialFolder = programFile(services.programFolder, kCodePageFolder);
    const std::optional<FileChoice> chosen = services.dialogs.openFile(request);
    if (!chosen)
        return {};
    const std::string& name = chosen->name;
    const std::size_t ext = kCodePageFileExtension.size();
    if (name.size() <= ext ||
        !std::equal(name.end() - ext, name.end(), kCodePageFileExtension.begin(),
                    [](char a, char b) { return std::toupper((unsigned char)a) == b; })) {
        // The slot would name a file the build can never find.
        services.dialogs.message("The file " + name +
                                 " is not a code page file: its name must end in \".CP\".");
        return {Outcome::Refused, {}};
    }
    if (!services.dialogs.confirm(kLoadFileQuestion, kLoadFileTitle))
        return {};
    return {Outcome::Done, name.substr(0, name.size() - ext)};
}

long long tableNumber(std::string_view Pos_CP) {
    const double value = leadingNumber(Pos_CP);
    if (!std::isfinite(value) || std::fabs(value) >= static_cast<double>(kNoTableNumber))
        return kNoTableNumber;
    return roundHalfEven(value);
}

std::optional<std::string>
codePageTableFault(const std::array<std::string, kCodePageSlotCount>& Pos_CP) {
    std::array<long long, kCodePageSlotCount> number{};
    for (std::size_t i = 0; i < kCodePageSlotCount; ++i)
        number[i] = tableNumber(Pos_CP[i]);
    const auto rangeFault = [](std::size_t slot) {
        return std::string(kSlotCaptions[slot]) +
               " Position Error ! The Table No. Should be 0 ~ 255.";
    };
    const auto outOfRange = [](long long p) { return p > 255 || p < 0; };
    for (std::size_t i = 1; i < kCodePageSlotCount; ++i) {
        const long long p = number[i];
        if (outOfRange(p))
            return rangeFault(i);
        for (std::size_t j = 0; j < kCodePageSlotCount; ++j) {
            if (j == i || number[j] != p)
                continue;
            return "Error !! " + std::string(kSlotCaptions[std::min(i, j)]) + " & " +
                   std::string(kSlotCaptions[std::max(i, j)]) + " Position is repeated !!";
        }
    }
    // Slot 0's box is disabled and holds "0", but the list file can say
    // otherwise. Its number is looked at only after every other fault, so the
    // usual messages keep their order; one that does not fit its byte is
    // refused rather than stored wrapped.
    if (outOfRange(number[0]))
        return rangeFault(0);
    return std::nullopt;
}

std::optional<std::string>
unsavableTableNumber(const std::array<std::string, kCodePageSlotCount>& Pos_CP) {
    for (std::size_t i = 0; i < kCodePageSlotCount; ++i) {
        if (Pos_CP[i].find('"') == std::string::npos)
            continue;
        return "The table number of the " + std::string(kSlotCaptions[i]) + " position, " +
               Pos_CP[i] +
               ", contains a double quote, which the code page list cannot save: the printer "
               "would get one number and the list would keep another. Please type the number "
               "without it.";
    }
    return std::nullopt;
}

std::uint8_t CP_Check(Dialogs& dialogs, const CodePageSlots& slots) {
    const auto fault = codePageTableFault(slots.Pos_CP);
    if (!fault)
        return 0;
    dialogs.message(*fault);
    return 1;
}

std::uint8_t StrToVal(std::string_view idat) {
    const auto nibble = [&](std::size_t i) -> int {
        if (i >= idat.size())
            return 0;
        const char c = idat[i];
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return 0;
    };
    return static_cast<std::uint8_t>(16 * nibble(0) + nibble(1));
}

} // namespace ordalia
