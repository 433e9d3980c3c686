// Loading the registry settings and per-user cache state into the Settings record.
#include "addon/metadata/settings_win.h"

#include <exception>
#include <vector>

#include "addon/metadata/script_scheme.h"
#include "addon/metadata/settings_values.h"
#include "addon/win/unique_handle.h"

namespace {

const REGSAM kUserKeyRights = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

// "APPDATA" + "\" + relative path; empty when the variable is not set (nothing to find then).
std::wstring ComposeTriggerPath(const std::wstring& relative) {
    const DWORD needed = ::GetEnvironmentVariableW(L"APPDATA", nullptr, 0);
    if (needed == 0) return std::wstring();
    std::wstring folder(needed, L'\0');
    const DWORD written = ::GetEnvironmentVariableW(L"APPDATA", &folder[0], needed);
    if (written == 0 || written >= needed) return std::wstring();
    folder.resize(written);
    return folder + L"\\" + relative;
}

void LoadMachineSettings(Settings& settings, const SettingsRoots& roots) {
    win::UniqueHKey key;
    if (OpenMachineSettingsKey(roots, key.Put()) != ERROR_SUCCESS) return;
    settings.defaultRuleId = ReadRegistryString(key.Get(), value_name::kDefaultRuleId);
    settings.staticScriptUrl = ReadRegistryString(key.Get(), value_name::kStaticScript);
    settings.dynamicScriptTemplate = ReadRegistryString(key.Get(), value_name::kDynamicScript);
    settings.selectorHost = ReadRegistryString(key.Get(), value_name::kSelectorHost);
    const std::wstring trigger = ReadRegistryString(key.Get(), value_name::kTriggerFile);
    ReadRegistryDword(key.Get(), value_name::kSelectorPort, settings.selectorPort);
    ReadRegistryDword(key.Get(), value_name::kRefreshInterval, settings.refreshInterval);
    settings.triggerFilePath = ComposeTriggerPath(trigger);
}

void LoadUserState(Settings& settings, std::uint32_t alreadyLoaded, const SettingsRoots& roots) {
    win::UniqueHKey key;
    if (OpenUserSettingsKey(roots, key.Put()) != ERROR_SUCCESS) return;
    if (alreadyLoaded == 0) {
        settings.metadataCacheText = ReadRegistryString(key.Get(), value_name::kMetadataCache);
        ReadRegistryDword(key.Get(), value_name::kCacheTime, settings.cacheModifiedTime);
    }
    ReadRegistryDword(key.Get(), value_name::kForceRefresh, settings.forceRefresh);
}

}  // namespace

LONG OpenMachineSettingsKey(const SettingsRoots& roots, HKEY* key) {
    // One set of machine-wide settings for both bitnesses: the 64-bit view's (32-bit Windows
    // has only the one view and ignores the flag).
    return ::RegOpenKeyExW(roots.machine, roots.keyPath, 0, KEY_READ | KEY_WOW64_64KEY, key);
}

LONG OpenUserSettingsKey(const SettingsRoots& roots, HKEY* key) {
    return ::RegCreateKeyExW(roots.user, roots.keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                             kUserKeyRights, nullptr, key, nullptr);
}

std::wstring ReadRegistryString(HKEY key, const wchar_t* name) {
    // The value may change between asking its size and reading it: retry while it grows.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD bytes = 0;
        if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS)
            return std::wstring();
        if (type != REG_SZ && type != REG_EXPAND_SZ) return std::wstring();
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        const LONG result = ::RegQueryValueExW(key, name, nullptr, &type,
                                               reinterpret_cast<BYTE*>(buffer.data()), &size);
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            return std::wstring();
        buffer.back() = L'\0';  // stored text need not be terminated
        return std::wstring(buffer.data());  // up to the first NUL
    }
    return std::wstring();
}

bool ReadRegistryDword(HKEY key, const wchar_t* name, std::uint32_t& value) {
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(data))
        return false;
    value = data;
    return true;
}

void LoadSettings(Settings& settings, std::uint32_t alreadyLoaded, bool pageIsHttps,
                  const SettingsRoots& roots) {
    if (alreadyLoaded == 0) LoadMachineSettings(settings, roots);
    LoadUserState(settings, alreadyLoaded, roots);
    // A failed first load is not retried on later pages; a full reload retries it.
    settings.settingsLoaded = 1;
    try {
        if (HasHttpsScheme(settings.staticScriptUrl) != pageIsHttps)
            SwitchScriptScheme(settings.staticScriptUrl, pageIsHttps);
    } catch (const std::exception&) {
        /* Boundary: a failed scheme alignment leaves the URL as it was. */
    }
}
