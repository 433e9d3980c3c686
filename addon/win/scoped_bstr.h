// BSTR owner: SysFreeString on exit; Put() for out-parameters.
#pragma once

#include <oleauto.h>
#include <windows.h>

#include <string>

namespace win {

class ScopedBstr {
public:
    ScopedBstr() : bstr(nullptr) {}
    explicit ScopedBstr(const wchar_t* text) : bstr(text ? ::SysAllocString(text) : nullptr) {}
    explicit ScopedBstr(const std::wstring& text)
        : bstr(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~ScopedBstr() { Reset(); }
    ScopedBstr(const ScopedBstr&) = delete;
    ScopedBstr& operator=(const ScopedBstr&) = delete;

    BSTR Get() const { return bstr; }
    BSTR* Put() { Reset(); return &bstr; }
    BSTR Detach() { BSTR b = bstr; bstr = nullptr; return b; }
    void Reset(BSTR b = nullptr) {
        if (bstr) ::SysFreeString(bstr);
        bstr = b;
    }

    UINT Length() const { return bstr ? ::SysStringLen(bstr) : 0; }
    bool Empty() const { return Length() == 0; }
    std::wstring Str() const { return std::wstring(bstr ? bstr : L"", Length()); }
    // Exact, case-sensitive comparison over the whole string (a null BSTR is ""); it
    // allocates nothing, so a worker polling a document cannot fail on it.
    bool Equals(const wchar_t* text) const {
        const std::size_t length = std::char_traits<wchar_t>::length(text);
        return Length() == length &&
               std::char_traits<wchar_t>::compare(bstr ? bstr : L"", text, length) == 0;
    }

private:
    BSTR bstr;
};

}  // namespace win
