// The runner's three folders, each looked up until it yields a value and then cached.
#pragma once

#include <string>

// "VELTRANE_BIN" under HKEY_LOCAL_MACHINE "Software\Krestel", up to its first NUL; empty when
// the registry provides none (Windows only).
std::string GetBinFolder();
// The "APPDATA" environment variable; empty when unset or empty.
std::string GetAppDataFolder();
// The app-data folder joined with "veltrane" in native form; empty without an app-data folder.
std::string GetDataFolder();
