// An open registry key for one lookup, and the narrow-string read the bin folder relies on.
#pragma once

#include <windows.h>

#include <string>

class RegistryKey {
public:
    // Opens name under root for reading, in the 64-bit view; on failure the handle simply
    // stays null.
    RegistryKey(HKEY root, const std::string& name);
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // The REG_SZ text of a value, without its terminating NUL; empty on any failure or any
    // other type (expandable and multi-strings included). Never throws.
    std::string ReadString(const std::string& valueName) const;

private:
    std::string name;
    HKEY handle;
};
