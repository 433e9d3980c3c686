// A registry value as it is stored, for showing what an administrator or the add-on wrote.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct StoredValue {
    bool present = false;
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    std::wstring text;         // REG_SZ and REG_EXPAND_SZ, up to the first NUL
    std::uint32_t number = 0;  // a four-byte REG_DWORD
    bool operator==(const StoredValue& other) const {
        return present == other.present && type == other.type && bytes == other.bytes &&
               text == other.text && number == other.number;
    }
    bool operator!=(const StoredValue& other) const { return !(*this == other); }
};

// A missing value, or one that cannot be queried, is not present.
StoredValue ReadStoredValue(HKEY key, const wchar_t* name);

// "REG_SZ \"1024\"", "REG_DWORD 31002", "REG_BINARY, 8 bytes", "missing". Long strings are
// shown by their length (the cache text).
std::string DescribeStoredValue(const StoredValue& value, std::size_t longestText = 200);
