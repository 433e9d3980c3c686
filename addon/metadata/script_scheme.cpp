// Scheme checks and the scheme switch of the static script URL.
#include "addon/metadata/script_scheme.h"

namespace {

// Length of the scheme when the URL starts with the given scheme followed by ":", else 0.
std::size_t SchemeLength(const std::wstring& url, const wchar_t* scheme) {
    std::size_t i = 0;
    for (; scheme[i] != L'\0'; ++i) {
        if (i >= url.size()) return 0;
        const wchar_t c = url[i];
        if ((c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c) != scheme[i])
            return 0;  // schemes are ASCII; letter case does not count
    }
    return i < url.size() && url[i] == L':' ? i : 0;
}

}  // namespace

bool ContainsHttps(const std::wstring& text) {
    return text.find(L"https") != std::wstring::npos;
}

bool HasHttpsScheme(const std::wstring& url) {
    return SchemeLength(url, L"https") != 0;
}

void SwitchScriptScheme(std::wstring& url, bool toHttps) {
    std::size_t length = SchemeLength(url, L"https");
    if (length == 0) length = SchemeLength(url, L"http");
    if (length == 0) return;  // not a web URL: nothing sensible to switch
    url.replace(0, length, toHttps ? L"https" : L"http");
}
