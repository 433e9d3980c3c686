// File-system and clock operations of the logger through the ANSI Win32 calls, so paths are
// read in the same code page as the registry and environment texts they come from.
#include "runner/platform.h"

#include <windows.h>

#include <system_error>

namespace {

bool IsNotFound(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE: case ERROR_NOT_READY: case ERROR_INVALID_PARAMETER:
    case ERROR_BAD_PATHNAME: case ERROR_BAD_NETPATH:
        return true;
    default:
        return false;
    }
}

[[noreturn]] void ThrowLastError(DWORD error, const std::string& what) {
    throw std::system_error(static_cast<int>(error), std::system_category(), what);
}

}  // namespace

bool PathExists(const std::string& path) {
    if (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD error = ::GetLastError();
    if (IsNotFound(error)) return false;
    ThrowLastError(error, "cannot test " + path);
}

void CreateFolder(const std::string& path) {
    if (::CreateDirectoryA(path.c_str(), nullptr)) return;
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS) ThrowLastError(error, "cannot create " + path);
}

LogTime CurrentLocalTime() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return LogTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}
