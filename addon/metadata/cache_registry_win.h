// Times in Unix seconds, the refresh trigger file's time, and the registry writes of the cache.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "addon/metadata/settings_win.h"

// Whole seconds since 1970-01-01 00:00:00 UTC, rounded down; earlier times are negative.
std::int64_t UnixSecondsFromFileTime(const FILETIME& time);
std::int64_t CurrentUnixSeconds();

// Last-write time of the file or folder at path in Unix seconds; 0 when there is none (an
// empty path included) or its time cannot be read.
std::int64_t GetTriggerFileTime(const std::wstring& path);

// Stores the cache text (REG_SZ), "Force Refresh" 0 and "Cache Modified Time" = now in the
// per-user key. False when the key cannot be opened: then nothing was written.
bool WriteCacheToRegistry(const std::wstring& text, std::uint32_t now, const SettingsRoots& roots);

// Stores "Force Refresh"; false when the per-user key cannot be opened.
bool WriteForceRefresh(std::uint32_t value, const SettingsRoots& roots);
