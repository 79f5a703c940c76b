#include "common/path_text.h"

#include <climits>
#include <windows.h>

namespace ordalia {
namespace {

// Bytes in `codePage` to UTF-16. Without MB_ERR_INVALID_CHARS a byte that is
// no character of the code page becomes a replacement character instead of
// failing the whole text.
std::wstring widen(UINT codePage, std::string_view text) {
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(text.size());
    const int wanted = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    if (wanted <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(wanted), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), wanted);
    return wide;
}

// UTF-16 to bytes in `codePage`; nothing when the conversion fails.
std::optional<std::string> narrow(UINT codePage, DWORD flags, std::wstring_view wide) {
    if (wide.empty())
        return std::string();
    if (wide.size() > INT_MAX)
        return std::nullopt;
    const int size = static_cast<int>(wide.size());
    const int wanted =
        WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (wanted <= 0)
        return std::nullopt;
    std::string text(static_cast<std::size_t>(wanted), '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), size, text.data(), wanted, nullptr, nullptr);
    return text;
}

} // namespace

std::string pathForMessage(const std::filesystem::path& path) {
    // Without WC_ERR_INVALID_CHARS a lone surrogate becomes U+FFFD.
    return narrow(CP_UTF8, 0, path.native()).value_or(std::string());
}

std::filesystem::path pathFromFileText(std::string_view text) {
    return std::filesystem::path(widen(isUtf8(text) ? CP_UTF8 : CP_ACP, text));
}

std::optional<std::string> pathToFileText(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    // The system code page keeps the list readable by the tools that wrote it
    // that way. A character it lacks becomes '?' or a look-alike, which the
    // way back shows; bytes that happen to be valid UTF-8 would be read back
    // as UTF-8, so those paths are written in UTF-8 instead (as is plain
    // ASCII, the same bytes in both).
    const auto local = narrow(CP_ACP, 0, wide);
    if (local && !isUtf8(*local) && widen(CP_ACP, *local) == wide)
        return local;
    return narrow(CP_UTF8, WC_ERR_INVALID_CHARS, wide);
}

std::filesystem::path pathFromUtf8(std::string_view text) {
    return std::filesystem::path(widen(CP_UTF8, text));
}

} // namespace ordalia
