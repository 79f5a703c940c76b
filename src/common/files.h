#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ordalia {

using Bytes = std::vector<std::uint8_t>;

// A file beside the program: the program's folder followed by a fixed relative
// path written with forward slashes ("testpage/rec1.p").
std::filesystem::path programFile(const std::filesystem::path& programFolder,
                                  std::string_view relative);

// Outcome of reading a whole file under a size limit.
struct FileRead {
    enum class Status { Ok, Missing, Unreadable, TooLarge };
    Status status = Status::Ok;
    Bytes bytes;
    std::string error; // the system's reason when Unreadable
};

// Reads the whole file, refusing (without reading it) one longer than maxBytes.
FileRead readWholeFile(const std::filesystem::path& path, std::size_t maxBytes);

// A one-line explanation of a failed read for a message box, naming the file.
std::string describeReadFailure(const FileRead& read, const std::filesystem::path& path,
                                std::size_t maxBytes);

// Writes `bytes` from the file's first byte. With truncate false an existing,
// longer file keeps its bytes beyond the written length. Returns an error text
// or nothing on success.
std::optional<std::string> writeFileBytes(const std::filesystem::path& path,
                                          std::span<const std::uint8_t> bytes,
                                          bool truncate = true);

// Writes the whole file through a temporary beside it and a rename, so that a
// failure halfway never leaves a half-written file in place.
std::optional<std::string> replaceFileAtomically(const std::filesystem::path& path,
                                                 std::span<const std::uint8_t> bytes);

} // namespace ordalia
