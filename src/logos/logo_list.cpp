#include "logos/logo_list.h"

#include "common/files.h"
#include "common/path_text.h"
#include "common/text.h"
#include "common/ui.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <limits>
#include <system_error>

namespace ordalia {

namespace {

// The name field is a file name like the path, and is written in the list
// the same way; in the library it is UTF-8 for the list control.
std::optional<std::string> nameToFileText(const std::string& name) {
    return pathToFileText(pathFromUtf8(name));
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The fields of one line, or nothing when a quoted field is not closed or is
// followed by anything but blanks before the next comma.
std::optional<std::vector<std::string>> splitFields(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t pos = 0;
    for (;;) {
        while (pos < line.size() && isBlank(line[pos]))
            ++pos;
        if (pos < line.size() && line[pos] == '"') {
            const std::size_t close = line.find('"', pos + 1);
            if (close == std::string_view::npos)
                return std::nullopt;
            fields.emplace_back(line.substr(pos + 1, close - pos - 1));
            pos = close + 1;
            while (pos < line.size() && isBlank(line[pos]))
                ++pos;
            if (pos < line.size() && line[pos] != ',')
                return std::nullopt;
        } else {
            const std::size_t comma = std::min(line.find(',', pos), line.size());
            fields.emplace_back(trimmed(line.substr(pos, comma - pos)));
            pos = comma;
        }
        if (pos >= line.size())
            return fields;
        ++pos; // the comma
    }
}

template <typename T>
std::optional<T> wholeNumber(std::string_view text, long long low, long long high) {
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || value < low ||
        value > high)
        return std::nullopt;
    return static_cast<T>(value);
}

constexpr long long kInt32Max = std::numeric_limits<std::int32_t>::max();

// One record, or what is wrong with the line.
std::optional<LogoRecord> parseRecord(std::string_view line, std::string& problem) {
    const auto fields = splitFields(line);
    if (!fields) {
        problem = "a quoted field is not closed properly";
        return std::nullopt;
    }
    if (fields->size() != 6) {
        problem = "it has " + std::to_string(fields->size()) + " fields instead of 6";
        return std::nullopt;
    }
    const auto& f = *fields;
    LogoRecord record;
    const auto number = wholeNumber<std::uint8_t>(f[0], 0, 255);
    const auto size = wholeNumber<std::int32_t>(f[3], 0, kInt32Max);
    const auto width = wholeNumber<std::int32_t>(f[4], 0, kInt32Max);
    const auto height = wholeNumber<std::int32_t>(f[5], 0, kInt32Max);
    if (!number || !size || !width || !height) {
        problem = "its number, size, width or height is not a whole number in range";
        return std::nullopt;
    }
    record.number = *number;
    record.path = pathFromFileText(f[1]);
    record.name = pathForMessage(pathFromFileText(f[2]));
    record.size = *size;
    record.width = *width;
    record.height = *height;
    return record;
}

std::string listMessage(const std::filesystem::path& path, std::size_t line,
                        const std::string& problem) {
    return "The logo list " + pathForMessage(path) + " is damaged at line " + std::to_string(line) +
           ": " + problem + ".";
}

} // namespace

std::string formatLogoRecord(const LogoRecord& record) {
    const std::string path = pathToFileText(record.path).value_or(pathForMessage(record.path));
    const std::string name = nameToFileText(record.name).value_or(record.name);
    return std::to_string(record.number) + ",\"" + path + "\",\"" + name + "\"," +
           std::to_string(record.size) + "," + std::to_string(record.width) + "," +
           std::to_string(record.height) + "\r\n";
}

bool logoRecordWritable(const LogoRecord& record) {
    const auto clean = [](const std::optional<std::string>& text) {
        return text && text->find_first_of("\"\r\n") == std::string::npos;
    };
    return clean(pathToFileText(record.path)) && clean(nameToFileText(record.name));
}

LogoListRead parseLogoList(std::string_view text, const std::filesystem::path& shownPath) {
    LogoListRead read;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (trimmed(line).empty())
            continue;
        std::string problem;
        auto record = parseRecord(line, problem);
        if (!record) {
            read.status = LogoListRead::Status::Damaged;
            read.damagedLine = lineNumber;
            read.message = listMessage(shownPath, lineNumber, problem);
            return read;
        }
        read.records.push_back(std::move(*record));
        read.lines.push_back(lineNumber);
    }
    return read;
}

LogoListRead readLogoList(const std::filesystem::path& programFolder) {
    const auto path = programFile(programFolder, kLogoListFile);
    // 255 records of two long paths each stay far below this.
    constexpr std::size_t kMaxListBytes = std::size_t{64} << 20;
    const FileRead file = readWholeFile(path, kMaxListBytes);
    LogoListRead read;
    switch (file.status) {
    case FileRead::Status::Ok:
        return parseLogoList(
            std::string_view(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size()),
            path);
    case FileRead::Status::Missing:
        read.status = LogoListRead::Status::Missing;
        return read;
    case FileRead::Status::Unreadable:
    case FileRead::Status::TooLarge:
        read.status = LogoListRead::Status::Unreadable;
        read.message = describeReadFailure(file, path, kMaxListBytes);
        return read;
    }
    return read;
}

std::string LogoListRow::subItem(std::string_view key) const {
    if (key == kLogoListColumns[0].key)
        return text;
    if (key == kLogoListColumns[1].key)
        return Logo_FileName;
    if (key == kLogoListColumns[2].key)
        return Logo_FileSize;
    return {};
}

LogoListRow logoListRow(const LogoRecord& record) {
    return {std::to_string(record.number), record.name, std::to_string(record.size)};
}

std::string logoCountText(std::uint8_t LogoCount) {
    return std::to_string(LogoCount) + "/255";
}

std::string logoTotalText(std::int32_t LogoTotalSize) {
    return std::to_string(roundHalfEven(LogoTotalSize / 1024.0)) + "k/128k";
}

std::vector<LogoListRow> LogoLibrary::rows() const {
    std::vector<LogoListRow> out;
    out.reserve(records.size());
    for (const auto& record : records)
        out.push_back(logoListRow(record));
    return out;
}

void LoadLogoList(const Services& services, LogoLibrary& library) {
    library = LogoLibrary{};
    const LogoListRead read = readLogoList(services.programFolder);
    const auto path = programFile(services.programFolder, kLogoListFile);

    std::string problem = read.message;
    std::int64_t total = 0;
    std::size_t position = 0;
    for (const auto& record : read.records) {
        ++position;
        // A record's number is its line among the records: the list shows
        // items at the position of their number, and the download counts the
        // images by the last number.
        if (record.number != position) {
            problem = listMessage(path, read.lines[position - 1],
                                  "the logo there is numbered " + std::to_string(record.number) +
                                      " instead of " + std::to_string(position));
            break;
        }
        if (total + record.size > kInt32Max) {
            problem = listMessage(path, read.lines[position - 1],
                                  "the sizes add up to more than can be counted");
            break;
        }
        total += record.size;
        library.LogoCount = record.number;
        library.records.push_back(record);
    }
    library.LogoTotalSize = static_cast<std::int32_t>(total);

    if (!problem.empty()) {
        // The list file is left as it is until the user changes the library,
        // so nothing is lost by merely starting the program.
        library.rewriteOnNextAdd = true;
        services.dialogs.message(problem + " The logos before it are listed; adding a logo "
                                           "writes the list anew without the damaged part.");
    }
}

Outcome Logo_Add_Click(const Services& services, LogoLibrary& library, LogoBuffers& buffers) {
    FileDialogRequest request;
    request.dialog = FileDialogId::CommonDialog;
    request.filter = std::string(kLogoFileFilter);
    request.initialFolder = services.programFolder;
    const auto chosen = services.dialogs.openFile(request);
    // Only a file picked now counts, never one left in the shared dialog by
    // an earlier use.
    if (!chosen || chosen->name.empty())
        return Outcome::Nothing;
    return AddLogoFile(services, library, buffers, *chosen);
}

namespace {

// The new record written to Logo_Path: a new file for the first logo (and
// after a damaged list), appended otherwise.
std::optional<std::string> storeRecord(const std::filesystem::path& path,
                                       const LogoLibrary& library, const LogoRecord& record) {
    if (record.number == 1 || library.rewriteOnNextAdd) {
        std::string text;
        for (const auto& earlier : library.records)
            text += formatLogoRecord(earlier);
        text += formatLogoRecord(record);
        return replaceFileAtomically(
            path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    }

    // A file edited by hand may lack the last line end; the new record must
    // still start a line of its own.
    std::string text = formatLogoRecord(record);
    std::error_code ec;
    const auto length = std::filesystem::file_size(path, ec);
    if (!ec && length > 0) {
        std::ifstream in(path, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(length - 1));
        char last = 0;
        if (in.get(last) && last != '\n')
            text = "\r\n" + text;
    }
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out)
        return "cannot write " + pathForMessage(path);
    return std::nullopt;
}

} // namespace

Outcome AddLogoFile(const Services& services, LogoLibrary& library, LogoBuffers& buffers,
                    const FileChoice& chosen) {
    Dialogs& dialogs = services.dialogs;
    if (library.LogoCount >= kMaxLogos)
        return Outcome::Nothing;

    const FileRead read = readWholeFile(chosen.fullPath, kMaxLogoFileBytes);
    if (read.status != FileRead::Status::Ok) {
        dialogs.message(kLogoFileTooLargeMessage);
        return Outcome::Refused;
    }
    // Only this file's bytes are looked at; nothing of an earlier one stays.
    auto& F = buffers.LogoFileBuffer;
    std::copy(read.bytes.begin(), read.bytes.end(), F.begin());
    std::fill(F.begin() + static_cast<std::ptrdiff_t>(read.bytes.size()), F.end(), 0);
    const std::span<const std::uint8_t> file(F.data(), read.bytes.size());

    switch (bmpKind(file)) {
    case BmpKind::NotBmp:
        dialogs.message(kNotBmpMessage);
        return Outcome::Refused;
    case BmpKind::NotMonochrome:
        dialogs.message(kNotMonochromeMessage);
        return Outcome::Refused;
    case BmpKind::Monochrome:
        break;
    }
    const auto info = ReadBmpHeader(file);
    if (!info) {
        dialogs.message(kLogoFileTooLargeMessage);
        return Outcome::Refused;
    }
    if (std::int64_t{library.LogoTotalSize} + info->FileSize > kMaxLogoTotalSize) {
        dialogs.message(kLogoTotalMessage);
        return Outcome::Refused;
    }
    // The download's own check: a bitmap it could not send is refused now,
    // not recorded to stop every later download.
    if (const auto fault = logoLayoutFault(*info)) {
        dialogs.message(describeLayoutFault(*fault, chosen.name));
        return Outcome::Refused;
    }

    LogoRecord record;
    record.number = static_cast<std::uint8_t>(library.LogoCount + 1);
    record.path = chosen.fullPath;
    record.name = chosen.name;
    record.size = info->FileSize;
    record.width = info->Width;
    record.height = info->Height;
    if (!logoRecordWritable(record)) {
        dialogs.message("The name or folder of the bitmap " + pathForMessage(chosen.fullPath) +
                        " holds a double quote, a line break or a character that the logo list "
                        "cannot record. Please rename it and add it again.");
        return Outcome::Refused;
    }

    // The file is written before the library changes, so a failure leaves the
    // list, its counters and Logo_Path describing the same logos.
    const auto path = programFile(services.programFolder, kLogoListFile);
    if (auto error = storeRecord(path, library, record)) {
        dialogs.message("The logo list cannot be written (" + *error +
                        "). The logo was not added.");
        return Outcome::Refused;
    }
    library.LogoTotalSize += info->FileSize;
    library.LogoCount = record.number;
    library.records.push_back(std::move(record));
    library.rewriteOnNextAdd = false;
    return Outcome::Done;
}

LogoPreview logoPreview(const LogoRecord& record) {
    LogoPreview preview;
    preview.outcome = Outcome::Done;
    preview.picture = record.path;
    if (record.width > kPreviewMaxWidth || record.height > kPreviewMaxHeight) {
        preview.stretch = true;
        const auto twips = [](std::int32_t pixels) {
            return static_cast<int>(std::min<std::int64_t>(
                std::int64_t{pixels} * kTwipsPerLogoPixel, std::numeric_limits<int>::max()));
        };
        preview.widthTwips = twips(record.width);
        preview.heightTwips = twips(record.height);
    }
    preview.Label7 = std::to_string(record.width);
    preview.Label8 = std::to_string(record.height);
    return preview;
}

LogoPreview ListView1_ItemClick(const Services& services, std::string_view itemText) {
    LogoPreview none;
    const auto n = wholeNumber<int>(trimmed(itemText), 1, static_cast<long long>(kMaxLogos));
    if (!n)
        return none;

    const LogoListRead read = readLogoList(services.programFolder);
    const auto path = programFile(services.programFolder, kLogoListFile);
    if (read.records.size() < static_cast<std::size_t>(*n)) {
        none.outcome = Outcome::Refused;
        services.dialogs.message(
            read.status == LogoListRead::Status::Ok || read.status == LogoListRead::Status::Missing
                ? "Logo " + std::to_string(*n) + " is no longer in the logo list " +
                      pathForMessage(path) + "."
                : read.message);
        return none;
    }
    const LogoRecord& record = read.records[static_cast<std::size_t>(*n - 1)];
    LogoPreview preview = logoPreview(record);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(record.path, ec)) {
        // The labels still tell the size the list recorded.
        preview.outcome = Outcome::Refused;
        preview.picture.clear();
        services.dialogs.message("The bitmap " + pathForMessage(record.path) + " of logo " +
                                 std::to_string(*n) +
                                 " cannot be found. It may have been moved or deleted; clear the "
                                 "list and add the logos again.");
    }
    return preview;
}

Outcome Logo_Clear_Click(const Services& services, LogoLibrary& library) {
    if (library.records.empty())
        return Outcome::Nothing;
    const auto path = programFile(services.programFolder, kLogoListFile);
    if (auto error = writeFileBytes(path, {}, true)) {
        services.dialogs.message("The logo list cannot be emptied (" + *error +
                                 "). The list is kept as it is.");
        return Outcome::Refused;
    }
    library = LogoLibrary{};
    return Outcome::Done;
}

} // namespace ordalia
