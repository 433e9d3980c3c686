// Test helper: a registry subtree as sorted text lines, for comparing whole key sets.
#pragma once

#include <windows.h>

#include <set>
#include <string>

namespace testing_registry {

// Every function takes the registry view to read (0: the caller's own, KEY_WOW64_32KEY or
// KEY_WOW64_64KEY), passed to each key it opens.

// One line per key ("path") and per value ("path | name = s:text" or "path | name = d:n"),
// paths relative to `root` joined with "\", the unnamed value written "@". A REG_SZ value
// shows as "s:text" only when its byte count covers the text and one terminating NUL.
void DumpTree(HKEY root, const std::wstring& path, std::set<std::wstring>& lines, REGSAM view = 0);

// The lines of the subtree below `path` of `root`; empty when the key does not exist.
std::set<std::wstring> Tree(HKEY root, const std::wstring& path, REGSAM view = 0);

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = 0);
// The REG_DWORD value, or -1 when missing or of another type.
long long ReadDword(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view = 0);
// The REG_SZ value, or "<missing>" when missing or of another type.
std::wstring ReadString(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view = 0);

// Creates the key when needed and sets a REG_DWORD or REG_SZ value; the registry's result.
LONG WriteDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value,
                REGSAM view = 0);
LONG WriteString(HKEY root, const std::wstring& path, const wchar_t* name,
                 const std::wstring& text, REGSAM view = 0);

}  // namespace testing_registry
