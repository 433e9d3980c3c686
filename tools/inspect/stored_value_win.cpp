// Reading and describing a registry value whatever its type.
#include "tools/inspect/stored_value_win.h"

#include <cstring>
#include <vector>

#include "addon/win/text_win.h"

namespace {

const char* TypeName(DWORD type) {
    switch (type) {
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_DWORD: return "REG_DWORD";
    case REG_QWORD: return "REG_QWORD";
    case REG_BINARY: return "REG_BINARY";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_NONE: return "REG_NONE";
    default: return nullptr;
    }
}

std::string TypeText(DWORD type) {
    const char* name = TypeName(type);
    return name ? name : "type " + std::to_string(type);
}

}  // namespace

StoredValue ReadStoredValue(HKEY key, const wchar_t* name) {
    StoredValue value;
    if (!key) return value;
    std::vector<BYTE> data;
    DWORD size = 0;
    LONG result = ERROR_MORE_DATA;
    // The value may grow between asking its size and reading it: ask again then.
    for (int attempt = 0; attempt < 4 && result == ERROR_MORE_DATA; ++attempt) {
        DWORD bytes = 0;
        if (::RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &bytes) != ERROR_SUCCESS)
            return value;
        data.assign(bytes + sizeof(wchar_t), 0);
        size = bytes;
        result = ::RegQueryValueExW(key, name, nullptr, &value.type, data.data(), &size);
    }
    if (result != ERROR_SUCCESS) return value;
    value.present = true;
    value.bytes = size;
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
        std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
        std::memcpy(text.data(), data.data(), size / sizeof(wchar_t) * sizeof(wchar_t));
        value.text = text.data();  // up to the first NUL, as the add-on reads it
    } else if (value.type == REG_DWORD && size == sizeof(std::uint32_t)) {
        std::memcpy(&value.number, data.data(), sizeof(value.number));
    }
    return value;
}

std::string DescribeStoredValue(const StoredValue& value, std::size_t longestText) {
    if (!value.present) return "missing";
    const std::string type = TypeText(value.type);
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
        if (value.text.size() > longestText)
            return type + ", " + std::to_string(value.text.size()) + " characters";
        return type + " \"" + win::ToNarrow(value.text) + "\"";
    }
    if (value.type == REG_DWORD && value.bytes == sizeof(std::uint32_t))
        return type + " " + std::to_string(value.number);
    return type + ", " + std::to_string(value.bytes) + " bytes";
}
