// Test helper: a registry subtree as sorted text lines, for comparing whole key sets.
#pragma once

#include <windows.h>

#include <set>
#include <string>

namespace testing_registry {

// One line per key ("path") and per value ("path | name = s:text" or "path | name = d:n"),
// paths relative to `root` joined with "\", the unnamed value written "@". A REG_SZ value
// shows as "s:text" only when its byte count covers the text and one terminating NUL.
void DumpTree(HKEY root, const std::wstring& path, std::set<std::wstring>& lines);

// The lines of the subtree below `path` of `root`; empty when the key does not exist.
std::set<std::wstring> Tree(HKEY root, const std::wstring& path);

bool KeyExists(HKEY root, const std::wstring& path);
// The REG_DWORD value, or -1 when missing or of another type.
long long ReadDword(HKEY root, const std::wstring& path, const wchar_t* name);
// The REG_SZ value, or "<missing>" when missing or of another type.
std::wstring ReadString(HKEY root, const std::wstring& path, const wchar_t* name);

}  // namespace testing_registry
