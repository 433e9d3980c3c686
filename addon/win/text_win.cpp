// UTF-8 and code page conversions through the platform's converters.
#include "addon/win/text_win.h"

#include <windows.h>

namespace win {

namespace {

// Without MB_ERR_INVALID_CHARS and WC_ERR_INVALID_CHARS both directions replace what they cannot
// convert with U+FFFD instead of failing the whole text.
std::wstring Widen(const std::string& text, UINT codePage) {
    if (text.empty()) return std::wstring();
    const int size = static_cast<int>(text.size());
    const int needed = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    if (needed <= 0) return std::wstring();
    std::wstring out(static_cast<size_t>(needed), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), size, &out[0], needed);
    return out;
}

}  // namespace

std::string ToNarrow(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size = static_cast<int>(text.size());
    const int needed =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::string();
    std::string out(static_cast<size_t>(needed), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &out[0], needed, nullptr, nullptr);
    return out;
}

std::wstring ToWide(const std::string& text) { return Widen(text, CP_UTF8); }

std::wstring WideFromCodePage(const std::string& text, unsigned codePage) {
    return Widen(text, codePage);
}

}  // namespace win
