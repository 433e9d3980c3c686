// Unix times from Win32 file times, the trigger file probe and the cache's registry writes.
#include "addon/metadata/cache_registry_win.h"

#include "addon/metadata/settings_values.h"
#include "addon/win/unique_handle.h"

namespace {

// 100 ns ticks from 1601-01-01 to 1970-01-01.
const std::int64_t kEpochTicks = 116444736000000000LL;
const std::int64_t kTicksPerSecond = 10000000LL;

void SetDword(HKEY key, const wchar_t* name, std::uint32_t value) {
    const DWORD data = value;
    ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
}

}  // namespace

std::int64_t UnixSecondsFromFileTime(const FILETIME& time) {
    const std::int64_t ticks = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    const std::int64_t since = ticks - kEpochTicks;
    // Floor, so a time 0.9 s after a whole second still counts as that second.
    return since >= 0 ? since / kTicksPerSecond : -((-since + kTicksPerSecond - 1) / kTicksPerSecond);
}

std::int64_t CurrentUnixSeconds() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return UnixSecondsFromFileTime(now);
}

std::int64_t GetTriggerFileTime(const std::wstring& path) {
    if (path.empty()) return 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return UnixSecondsFromFileTime(data.ftLastWriteTime);
}

bool WriteCacheToRegistry(const std::wstring& text, std::uint32_t now, const SettingsRoots& roots) {
    win::UniqueHKey key;
    if (OpenUserSettingsKey(roots, key.Put()) != ERROR_SUCCESS) return false;
    // Characters and the terminating NUL, in bytes.
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    ::RegSetValueExW(key.Get(), value_name::kMetadataCache, 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(text.c_str()), bytes);
    SetDword(key.Get(), value_name::kForceRefresh, 0);
    SetDword(key.Get(), value_name::kCacheTime, now);
    return true;
}

bool WriteForceRefresh(std::uint32_t value, const SettingsRoots& roots) {
    win::UniqueHKey key;
    if (OpenUserSettingsKey(roots, key.Put()) != ERROR_SUCCESS) return false;
    SetDword(key.Get(), value_name::kForceRefresh, value);
    return true;
}
