#include "common/files.h"

#include "common/path_text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

namespace ordalia {

std::filesystem::path programFile(const std::filesystem::path& programFolder,
                                  std::string_view relative) {
    std::filesystem::path path = programFolder;
    std::size_t start = 0;
    while (start <= relative.size()) {
        const std::size_t slash = relative.find('/', start);
        const std::string_view part =
            relative.substr(start, slash == std::string_view::npos ? relative.npos : slash - start);
        if (!part.empty())
            path /= pathFromUtf8(part);
        if (slash == std::string_view::npos)
            break;
        start = slash + 1;
    }
    return path;
}

FileRead readWholeFile(const std::filesystem::path& path, std::size_t maxBytes) {
    FileRead result;
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) {
        result.status = FileRead::Status::Missing;
        return result;
    }
    if (std::filesystem::is_directory(status)) {
        result.status = FileRead::Status::Unreadable;
        result.error = "it is a folder";
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.status = FileRead::Status::Unreadable;
        result.error = std::strerror(errno);
        return result;
    }
    // Read up to one byte past the limit rather than trusting the size the
    // file system reports, so a file that grows while it is read is still
    // caught. In pieces: a generous limit (the logo list allows 64 MB) must
    // not cost that much memory for a file of a few lines.
    constexpr std::size_t kPiece = std::size_t{64} << 10;
    std::size_t got = 0;
    for (;;) {
        const std::size_t want = std::min(kPiece, maxBytes + 1 - got);
        result.bytes.resize(got + want);
        in.read(reinterpret_cast<char*>(result.bytes.data() + got),
                static_cast<std::streamsize>(want));
        const auto n = static_cast<std::size_t>(in.gcount());
        got += n;
        if (in.bad() || n < want || got > maxBytes)
            break;
    }
    if (in.bad()) {
        result.status = FileRead::Status::Unreadable;
        result.error = "read error";
        result.bytes.clear();
        return result;
    }
    if (got > maxBytes) {
        result.status = FileRead::Status::TooLarge;
        result.bytes.clear();
        return result;
    }
    result.bytes.resize(got);
    return result;
}

std::string describeReadFailure(const FileRead& read, const std::filesystem::path& path,
                                std::size_t maxBytes) {
    const std::string name = pathForMessage(path);
    switch (read.status) {
    case FileRead::Status::Ok:
        return {};
    case FileRead::Status::Missing:
        return "The file " + name + " does not exist.";
    case FileRead::Status::Unreadable:
        return "The file " + name + " cannot be read: " + read.error + ".";
    case FileRead::Status::TooLarge:
        return "The file " + name + " is longer than " + std::to_string(maxBytes) +
               " bytes and cannot be sent.";
    }
    return {};
}

std::optional<std::string> writeFileBytes(const std::filesystem::path& path,
                                          std::span<const std::uint8_t> bytes, bool truncate) {
    std::ios::openmode mode = std::ios::binary | std::ios::out;
    std::error_code ec;
    if (!truncate && std::filesystem::exists(path, ec))
        mode |= std::ios::in; // in|out opens without truncating
    else
        mode |= std::ios::trunc;
    std::fstream out(path, mode);
    if (!out)
        return "cannot open " + pathForMessage(path) + " for writing: " + std::strerror(errno);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out)
        return "cannot write " + pathForMessage(path);
    return std::nullopt;
}

std::optional<std::string> replaceFileAtomically(const std::filesystem::path& path,
                                                 std::span<const std::uint8_t> bytes) {
    std::filesystem::path temporary = path;
    temporary += ".new";
    if (auto error = writeFileBytes(temporary, bytes, true))
        return error;
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        return "cannot replace " + pathForMessage(path) + ": " + ec.message();
    }
    return std::nullopt;
}

} // namespace ordalia
