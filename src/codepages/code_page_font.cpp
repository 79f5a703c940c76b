#include "codepages/code_page_font.h"

#include "codepages/code_page_table.h"
#include "common/files.h"
#include "common/path_text.h"

#include <cstdio>

namespace ordalia {

namespace {

class LineReader {
public:
    explicit LineReader(std::string_view text) : m_text(text) {}

    bool next(std::string& field) {
        if (m_text.empty())
            return false;
        const std::size_t end = m_text.find('\n');
        std::string_view line = m_text.substr(0, end);
        m_text = end == std::string_view::npos ? std::string_view() : m_text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        field = firstField(line);
        ++m_count;
        return true;
    }
    std::size_t count() const { return m_count; }

private:
    std::string_view m_text;
    std::size_t m_count = 0;
};

bool isHeading(std::string field, std::string_view heading) {
    // Trailing blanks are an editor's doing, not a different heading.
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t'))
        field.pop_back();
    return field == heading;
}

std::string shortened(const std::string& field) {
    return field.size() > 40 ? field.substr(0, 40) + "..." : field;
}

} // namespace

CodePageFontRead parseCodePageFont(std::string_view text) {
    CodePageFontRead read;
    LineReader lines(text);
    std::string field;
    if (!lines.next(field)) {
        read.problem = "is empty; its first line must be \"[FONT A]\".";
        return read;
    }
    if (!isHeading(field, kFontAHeading)) {
        read.problem = "does not start with the line \"[FONT A]\" (it starts with \"" +
                       shortened(field) + "\").";
        return read;
    }
    for (std::size_t k = 0; k < kFontALines; ++k) {
        if (!lines.next(field)) {
            read.problem = "ends after " + std::to_string(k) + " of the " +
                           std::to_string(kFontALines) + " Font A lines.";
            return read;
        }
        const std::string_view row = field;
        const std::uint8_t high = StrToVal(row);
        const std::uint8_t low = StrToVal(row.size() > 2 ? row.substr(2) : std::string_view());
        read.font.fontA[k] = static_cast<std::uint16_t>(high << 8 | low);
    }
    if (!lines.next(field)) {
        read.problem = "ends after the Font A lines; the line \"[FONT B]\" is missing.";
        return read;
    }
    if (!isHeading(field, kFontBHeading)) {
        read.problem = "has \"" + shortened(field) + "\" at line " + std::to_string(lines.count()) +
                       " where \"[FONT B]\" belongs.";
        return read;
    }
    for (std::size_t k = 0; k < kFontBLines; ++k) {
        if (!lines.next(field)) {
            read.problem = "ends after " + std::to_string(k) + " of the " +
                           std::to_string(kFontBLines) + " Font B lines.";
            return read;
        }
        read.font.fontB[k] = StrToVal(field);
    }
    read.ok = true;
    return read;
}

CodePageFontRead readCodePageFont(const std::filesystem::path& path) {
    const FileRead file = readWholeFile(path, kFontFileLimit);
    if (file.status != FileRead::Status::Ok) {
        CodePageFontRead read;
        read.problem = file.status == FileRead::Status::TooLarge
                           ? "The code page font file " + pathForMessage(path) + " is too long."
                           : describeReadFailure(file, path, kFontFileLimit);
        return read;
    }
    CodePageFontRead read = parseCodePageFont(
        std::string_view(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size()));
    if (!read.ok)
        read.problem = "The code page font file " + pathForMessage(path) + " " + read.problem;
    return read;
}

std::string formatCodePageFont(const CodePageFont& font) {
    std::string text;
    text.reserve(kFontALines * 6 + kFontBLines * 4 + 24);
    char line[8];
    text += kFontAHeading;
    text += "\r\n";
    for (const std::uint16_t row : font.fontA) {
        std::snprintf(line, sizeof line, "%04X\r\n", static_cast<unsigned>(row));
        text += line;
    }
    text += kFontBHeading;
    text += "\r\n";
    for (const std::uint8_t row : font.fontB) {
        std::snprintf(line, sizeof line, "%02X\r\n", static_cast<unsigned>(row));
        text += line;
    }
    return text;
}

} // namespace ordalia
