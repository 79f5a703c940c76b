#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ordalia {

inline constexpr std::string_view kCompoundRecordFile = "Codepage Table/123.bin";

// 123.bin: a copy of the compound stream in sending order, written from the
// file's first byte. It is never shortened, so an older, longer record keeps
// its bytes beyond what the new download wrote. Nothing reads it back; it is
// there for whoever has to find out what the printer was sent.
class CompoundRecord {
public:
    explicit CompoundRecord(std::filesystem::path path) : m_path(std::move(path)) {}
    ~CompoundRecord();
    CompoundRecord(const CompoundRecord&) = delete;
    CompoundRecord& operator=(const CompoundRecord&) = delete;

    // Opens at the first byte without truncating; creates the file when it is
    // missing. Returns an error text naming the file.
    std::optional<std::string> open();
    // Writes and flushes, so a block is on disk before it goes to the printer.
    std::optional<std::string> append(std::span<const std::uint8_t> bytes);
    void close();
    bool isOpen() const { return m_file.is_open(); }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
    std::fstream m_file;
};

} // namespace ordalia
