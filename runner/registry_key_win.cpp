// Registry reading for the runner: the 64-bit view's key and a two-step RegQueryValueExA.
#include "runner/registry_key_win.h"

#include <vector>

RegistryKey::RegistryKey(HKEY root, const std::string& name) : name(name), handle(nullptr) {
    // Both bitnesses of the runner read the one value an installer wrote: the 64-bit view's
    // (32-bit Windows has only the one view and ignores the flag).
    if (::RegOpenKeyExA(root, this->name.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &handle) !=
        ERROR_SUCCESS)
        handle = nullptr;
}

RegistryKey::~RegistryKey() {
    if (handle) ::RegCloseKey(handle);
}

std::string RegistryKey::ReadString(const std::string& valueName) const {
    if (name.empty() || !handle) return std::string();
    try {
        DWORD size = 0;
        if (::RegQueryValueExA(handle, valueName.c_str(), nullptr, nullptr, nullptr, &size)
                != ERROR_SUCCESS || size == 0)
            return std::string();
        std::vector<char> buffer(size);
        DWORD type = 0;
        DWORD read = size;  // a value that grew since the first query fails with ERROR_MORE_DATA
        if (::RegQueryValueExA(handle, valueName.c_str(), nullptr, &type,
                               reinterpret_cast<BYTE*>(buffer.data()), &read) != ERROR_SUCCESS
            || read == 0 || type != REG_SZ)
            return std::string();
        // A value stored without its terminating NUL keeps its last character.
        std::size_t length = read < size ? read : size;
        if (buffer[length - 1] == '\0') --length;
        return std::string(buffer.data(), length);
    } catch (...) {
        return std::string();  // an absurd size: treated as no value
    }
}
