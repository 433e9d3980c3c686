// The replacements of the add-on's registration scripts; portable, so that the installer's
// registry rows are expanded exactly as a registration expands them.
#include "addon/com/server_replacements.h"

namespace com {

const wchar_t kAppId[] = L"{2D7F0B93-E4A6-4158-8F3C-9B61C0E7A2D4}";

registrar::Replacements ServerReplacements(const std::wstring& modulePath) {
    std::wstring quoted;
    for (wchar_t c : modulePath) {
        quoted += c;
        if (c == L'\'') quoted += L'\'';
    }
    registrar::Replacements replacements;
    replacements[L"APPID"] = kAppId;
    replacements[L"Module"] = quoted;
    replacements[L"Module_Raw"] = modulePath;
    return replacements;
}

}  // namespace com
