// The add-on's registry settings and per-user cache state, and the operation that loads them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "addon/metadata/registration_defaults.h"

// Where the settings live. The add-on uses the real hives; tests may hand in other roots.
struct SettingsRoots {
    HKEY machine = HKEY_LOCAL_MACHINE;  // read only
    HKEY user = HKEY_CURRENT_USER;      // cache state, read and written
    const wchar_t* keyPath = BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY);
};

// Filled only from the registry. Before the first successful read the numbers hold the
// registration defaults, so a missing key behaves like a fresh installation (fetch once).
struct Settings {
    std::uint32_t settingsLoaded = 0;
    std::wstring defaultRuleId;
    std::wstring staticScriptUrl;
    std::wstring dynamicScriptTemplate;
    std::wstring selectorHost;
    std::uint32_t selectorPort = BRIMWELL_DEFAULT_SELECTOR_PORT;
    std::uint32_t refreshInterval = BRIMWELL_DEFAULT_REFRESH_INTERVAL;
    std::uint32_t cacheModifiedTime = 0;
    std::uint32_t forceRefresh = 1;
    std::wstring metadataCacheText;  // equal to the text last read or written by this object
    // Wide, so that a user folder outside the ANSI code page is found too. Empty when "APPDATA"
    // is not set: no trigger file.
    std::wstring triggerFilePath;
};

// Full load when alreadyLoaded is 0 (machine values, cache text and time, force flag),
// otherwise only "Force Refresh"; then aligns the static script's scheme with the page.
// Registry failures leave the affected fields as they were and are not reported.
void LoadSettings(Settings& settings, std::uint32_t alreadyLoaded, bool pageIsHttps,
                  const SettingsRoots& roots = SettingsRoots());

// REG_SZ or REG_EXPAND_SZ (not expanded) up to the first NUL; anything else gives "".
std::wstring ReadRegistryString(HKEY key, const wchar_t* name);

// A REG_DWORD value; false (and value untouched) when missing or of another type or size.
bool ReadRegistryDword(HKEY key, const wchar_t* name, std::uint32_t& value);

// Opens the machine-wide key for reading, in the 64-bit view whatever the caller's bitness.
LONG OpenMachineSettingsKey(const SettingsRoots& roots, HKEY* key);

// Opens (creating when needed) the per-user key with read, set-value and create-subkey rights.
LONG OpenUserSettingsKey(const SettingsRoots& roots, HKEY* key);
