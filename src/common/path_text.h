#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ordalia {

// Paths turned into text and back. The standard library's own conversions
// (path::string(), u8string(), a path made from UTF-8) throw on Windows when a
// name is not valid UTF-8 or UTF-16: a logo list written by an earlier tool in
// the system code page, or a file name holding a lone surrogate. None of these
// throws.
//
// On Windows (path_text_win32.cpp) a path is UTF-16, a message is UTF-8 and a
// file beside the program holds the system code page or UTF-8. Elsewhere
// (path_text_posix.cpp) a path is its bytes, and so is every text of it.

// The path for a message or a console line: UTF-8 on Windows, where a
// character UTF-16 cannot express becomes U+FFFD; elsewhere the bytes as they
// are.
std::string pathForMessage(const std::filesystem::path& path);

// A path read from a text file beside the program (Logo_Path). On Windows text
// that is valid UTF-8 is read as UTF-8 and any other in the system code page,
// as earlier tools wrote it; elsewhere the bytes are the path.
std::filesystem::path pathFromFileText(std::string_view text);

// The text that pathFromFileText reads back as the same path: on Windows the
// system code page when the path can be written in it and the bytes cannot be
// taken for UTF-8, otherwise UTF-8; elsewhere the path's bytes. Nothing when
// no text reads back as the path (a lone surrogate in a Windows name).
std::optional<std::string> pathToFileText(const std::filesystem::path& path);

// A path from UTF-8, such as the bare name a file dialog reports; on Windows
// a sequence that is not UTF-8 becomes U+FFFD.
std::filesystem::path pathFromUtf8(std::string_view text);

// Whether the bytes are well-formed UTF-8: no stray continuation bytes,
// overlong forms, surrogates or code points beyond U+10FFFF.
bool isUtf8(std::string_view text);

} // namespace ordalia
