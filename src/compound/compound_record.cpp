#include "compound/compound_record.h"

#include "common/path_text.h"

#include <cerrno>
#include <cstring>
#include <system_error>

namespace ordalia {

CompoundRecord::~CompoundRecord() {
    close();
}

std::optional<std::string> CompoundRecord::open() {
    close();
    std::error_code ec;
    // in|out opens an existing file without truncating it; a missing one has
    // nothing to keep and is created.
    std::ios::openmode mode = std::ios::binary | std::ios::out;
    if (std::filesystem::exists(m_path, ec))
        mode |= std::ios::in;
    m_file.open(m_path, mode);
    if (!m_file.is_open())
        return "The record file " + pathForMessage(m_path) +
               " cannot be opened for writing: " + std::strerror(errno) + ".";
    return std::nullopt;
}

std::optional<std::string> CompoundRecord::append(std::span<const std::uint8_t> bytes) {
    if (!m_file.is_open())
        return "The record file " + pathForMessage(m_path) + " is not open.";
    m_file.write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
    m_file.flush();
    if (!m_file)
        return "Writing the record file " + pathForMessage(m_path) +
               " failed. Is the disk full or write-protected?";
    return std::nullopt;
}

void CompoundRecord::close() {
    if (m_file.is_open())
        m_file.close();
}

} // namespace ordalia
