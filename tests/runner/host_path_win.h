// Build-tree paths handed to Windows tests by CMake are host paths; under Wine they are turned
// into the drive paths Windows calls accept.
#pragma once

#include <windows.h>

#include <string>

inline std::string HostPathToWindows(const std::string& path) {
    typedef WCHAR* (CDECL * ToDosName)(const char*);
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    FARPROC found = kernel ? ::GetProcAddress(kernel, "wine_get_dos_file_name") : nullptr;
    if (!found || path.empty() || path[0] != '/') return path;  // already a Windows path
    WCHAR* wide = reinterpret_cast<ToDosName>(reinterpret_cast<void (*)()>(found))(path.c_str());
    if (!wide) return path;
    char narrow[MAX_PATH * 4];
    const int length = ::WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr,
                                             nullptr);
    ::HeapFree(::GetProcessHeap(), 0, wide);
    return length > 0 ? std::string(narrow) : path;
}
