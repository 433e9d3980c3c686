// Writing package rows as WiX source elements.
#include "installer/wix_rows.h"

#include "addon/metadata/utf8_text.h"

namespace installer {

const wchar_t kModuleMarker[] = L"\x1";

namespace {

const wchar_t* RootName(registrar::Hive hive) {
    switch (hive) {
        case registrar::Hive::kClassesRoot: return L"HKCR";
        case registrar::Hive::kCurrentUser: return L"HKCU";
        default: return L"HKLM";
    }
}

// The Registry table reads a string value that starts with "#" as a number: "##" keeps it text.
std::wstring StringValue(const std::wstring& text, const std::wstring& fileId) {
    const std::wstring formatted = FormattedText(text, fileId);
    return (!formatted.empty() && formatted[0] == L'#') ? L"#" + formatted : formatted;
}

std::wstring ActionId(std::size_t index) {
    return L"RemoveUserKey" + std::to_wstring(index + 1);
}

}  // namespace

std::wstring FormattedText(const std::wstring& text, const std::wstring& fileId) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == kModuleMarker[0]) out += L"[#" + fileId + L"]";
        else if (c == L'[') out += L"[\\[]";
        else if (c == L']') out += L"[\\]]";
        else out += c;
    }
    return out;
}

std::wstring WixAttribute(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
            case L'&': out += L"&amp;"; break;
            case L'<': out += L"&lt;"; break;
            case L'>': out += L"&gt;"; break;
            case L'"': out += L"&quot;"; break;
            case L'$': out += L"$$"; break;  // the WiX preprocessor's own escape
            default: out += c;
        }
    }
    return out;
}

std::wstring RegistryValueElements(const std::vector<RegistryRow>& rows, const std::wstring& fileId) {
    std::wstring out;
    for (const RegistryRow& row : rows) {
        out += L"<RegistryValue Root=\"";
        out += RootName(row.hive);
        out += L"\" Key=\"" + WixAttribute(FormattedText(row.key, fileId)) + L"\"";
        if (row.wholeKey) {
            out += L" Name=\"*\" Type=\"string\" Value=\"\"/>\n";
            continue;
        }
        if (!row.value.name.empty())
            out += L" Name=\"" + WixAttribute(FormattedText(row.value.name, fileId)) + L"\"";
        if (row.value.type == registrar::ValueType::kDword)
            out += L" Type=\"integer\" Value=\"" + std::to_wstring(row.value.number) + L"\"/>\n";
        else
            out += L" Type=\"string\" Value=\"" + WixAttribute(StringValue(row.value.text, fileId)) +
                   L"\"/>\n";
    }
    return out;
}

std::wstring UserKeyRemovalActions(const std::vector<std::wstring>& userKeys) {
    std::wstring out;
    for (std::size_t i = 0; i < userKeys.size(); ++i) {
        const std::wstring removal =
            WixAttribute(FormattedText(L"reg.exe delete \"HKCU\\" + userKeys[i] + L"\" /f", std::wstring()));
        out += L"<CustomAction Id=\"" + ActionId(i) +
               L"\" Property=\"CMDEXE\" ExeCommand=\"/c if not exist &quot;$(var.InstalledAddon)&quot; " +
               removal + L"\" Execute=\"immediate\" Return=\"ignore\"/>\n";
    }
    return out;
}

std::wstring UserKeyRemovalSequence(const std::vector<std::wstring>& userKeys) {
    std::wstring out;
    for (std::size_t i = 0; i < userKeys.size(); ++i)
        out += L"<Custom Action=\"" + ActionId(i) +
               L"\" After=\"InstallFinalize\">REMOVE~=\"ALL\" AND NOT UPGRADINGPRODUCTCODE</Custom>\n";
    return out;
}

std::string Utf8(const std::wstring& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        // Where wide strings are UTF-16: join a surrogate pair.
        if (sizeof(wchar_t) == 2 && c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            const char32_t low = static_cast<char32_t>(text[i + 1]);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        AppendUtf8(out, c);
    }
    return out;
}

}  // namespace installer
