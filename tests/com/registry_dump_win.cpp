// Test helper: reads registry subtrees as sorted text.
#include "tests/com/registry_dump_win.h"

#include <cstring>
#include <vector>

#include "addon/win/unique_handle.h"

namespace testing_registry {
namespace {

std::wstring Join(const std::wstring& path, const std::wstring& name) {
    return path.empty() ? name : path + L"\\" + name;
}

std::wstring ValueText(DWORD type, const std::vector<BYTE>& data, DWORD size) {
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD number;
        memcpy(&number, data.data(), sizeof number);
        return L"d:" + std::to_wstring(number);
    }
    if (type == REG_SZ) {
        // "s:text" only for the text and one terminating NUL, all counted in the byte count;
        // any other shape shows its count and every character, NULs as "\0".
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        if (size % sizeof(wchar_t) == 0 && !text.empty() && text.back() == L'\0' &&
            text.find(L'\0') == text.size() - 1)
            return L"s:" + text.substr(0, text.size() - 1);
        std::wstring shown = L"sz of " + std::to_wstring(size) + L" bytes:";
        for (wchar_t c : text) shown += c ? std::wstring(1, c) : std::wstring(L"\\0");
        return shown;
    }
    return L"type " + std::to_wstring(type);
}

}  // namespace

void DumpTree(HKEY key, const std::wstring& path, std::set<std::wstring>& lines, REGSAM view) {
    std::vector<BYTE> data(65536);
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];  // the longest value name and its NUL
        DWORD nameLength = 16384;
        DWORD type = 0, size = static_cast<DWORD>(data.size());
        const LONG status =
            ::RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size);
        if (status == ERROR_MORE_DATA) {  // a larger value: read it again, do not stop
            data.resize(size);
            --i;
            continue;
        }
        if (status != ERROR_SUCCESS)
            break;
        const std::wstring shown = nameLength ? std::wstring(name, nameLength) : L"@";
        lines.insert(path + L" | " + shown + L" = " + ValueText(type, data, size));
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (::RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        const std::wstring child = Join(path, std::wstring(name, nameLength));
        lines.insert(child);
        win::UniqueHKey sub;
        if (::RegOpenKeyExW(key, name, 0, KEY_READ | view, sub.Put()) == ERROR_SUCCESS)
            DumpTree(sub.Get(), child, lines, view);
    }
}

std::set<std::wstring> Tree(HKEY root, const std::wstring& path, REGSAM view) {
    std::set<std::wstring> lines;
    win::UniqueHKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.Put()) == ERROR_SUCCESS)
        DumpTree(key.Get(), L"", lines, view);
    return lines;
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view) {
    win::UniqueHKey key;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.Put()) == ERROR_SUCCESS;
}

long long ReadDword(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view) {
    win::UniqueHKey key;
    DWORD value = 0, size = sizeof value;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.Put()) != ERROR_SUCCESS ||
        ::RegGetValueW(key.Get(), nullptr, name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
            ERROR_SUCCESS)
        return -1;
    return value;
}

std::wstring ReadString(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view) {
    win::UniqueHKey key;
    wchar_t text[4096];
    DWORD size = sizeof text;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.Put()) != ERROR_SUCCESS ||
        ::RegGetValueW(key.Get(), nullptr, name, RRF_RT_REG_SZ, nullptr, text, &size) !=
            ERROR_SUCCESS)
        return L"<missing>";
    return text;
}

namespace {

LONG WriteValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type,
                const void* data, DWORD size, REGSAM view) {
    win::UniqueHKey key;
    const LONG status = ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view,
                                          nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    return ::RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size);
}

}  // namespace

LONG WriteDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value,
                REGSAM view) {
    return WriteValue(root, path, name, REG_DWORD, &value, sizeof value, view);
}

LONG WriteString(HKEY root, const std::wstring& path, const wchar_t* name,
                 const std::wstring& text, REGSAM view) {
    return WriteValue(root, path, name, REG_SZ, text.c_str(),
                      static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)), view);
}

}  // namespace testing_registry
