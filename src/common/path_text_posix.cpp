#include "common/path_text.h"

namespace ordalia {

// A POSIX path is a string of bytes with no encoding of its own; every text
// of it is those bytes, so nothing can fail to convert.

std::string pathForMessage(const std::filesystem::path& path) {
    return path.native();
}

std::filesystem::path pathFromFileText(std::string_view text) {
    return std::filesystem::path(std::string(text));
}

std::optional<std::string> pathToFileText(const std::filesystem::path& path) {
    return path.native();
}

std::filesystem::path pathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::string(text));
}

} // namespace ordalia
