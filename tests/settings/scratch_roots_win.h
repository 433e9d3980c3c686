// Scratch registry roots standing in for the two hives, emptied for every test.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "addon/metadata/settings_win.h"
#include "addon/win/unique_handle.h"

namespace settings_test {

const wchar_t kScratch[] = L"Software\\BrimwellTests\\Settings";

// The helpers below open the settings key in the 64-bit view, where the add-on of either
// bitness keeps and reads the machine-wide settings (below the scratch roots the flag changes
// nothing).
constexpr REGSAM kSettingsView = KEY_WOW64_64KEY;

// Deletes the settings key of `root` with everything below it.
inline void DeleteSettings(HKEY root) {
    win::UniqueHKey key;
    if (::RegOpenKeyExW(root, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY), 0, KEY_ALL_ACCESS | kSettingsView,
                        key.Put()) != ERROR_SUCCESS)
        return;
    ::RegDeleteTreeW(key.Get(), nullptr);
    key.Reset();
    ::RegDeleteKeyExW(root, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY), kSettingsView, 0);
}

inline void SetString(HKEY root, const wchar_t* name, const std::wstring& text,
                      DWORD type = REG_SZ) {
    win::UniqueHKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(root, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY), 0,
                                               nullptr, 0, KEY_ALL_ACCESS | kSettingsView, nullptr,
                                               key.Put(),
                                               nullptr));
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegSetValueExW(key.Get(), name, 0, type,
                               reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
}

inline void SetDword(HKEY root, const wchar_t* name, std::uint32_t value) {
    win::UniqueHKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(root, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY), 0,
                                               nullptr, 0, KEY_ALL_ACCESS | kSettingsView, nullptr,
                                               key.Put(),
                                               nullptr));
    const DWORD data = value;
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key.Get(), name, 0, REG_DWORD,
                                              reinterpret_cast<const BYTE*>(&data), sizeof(data)));
}

inline void DeleteValue(HKEY root, const wchar_t* name) {
    win::UniqueHKey key;
    if (::RegOpenKeyExW(root, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY), 0, KEY_SET_VALUE | kSettingsView,
                        key.Put()) == ERROR_SUCCESS)
        ::RegDeleteValueW(key.Get(), name);
}

// The value as stored: type, and text for strings or the number for REG_DWORD.
struct StoredValue {
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    std::wstring text;
    std::uint32_t number = 0;
};

inline StoredValue ReadStored(HKEY root, const wchar_t* name) {
    StoredValue value;
    wchar_t buffer[4096] = {};
    DWORD size = sizeof(buffer);
    win::UniqueHKey key;
    if (::RegOpenKeyExW(root, BRIMWELL_WIDE(BRIMWELL_SETTINGS_KEY), 0, KEY_READ | kSettingsView,
                        key.Put()) != ERROR_SUCCESS ||
        ::RegGetValueW(key.Get(), nullptr, name, RRF_RT_ANY | RRF_NOEXPAND, &value.type, buffer,
                       &size) != ERROR_SUCCESS)
        return value;
    value.bytes = size;
    if (value.type == REG_DWORD) std::memcpy(&value.number, buffer, sizeof(value.number));
    else value.text = buffer;
    return value;
}

// The defaults that registration writes, machine-wide and for the user.
inline void WriteInstallationDefaults(HKEY machine, HKEY user) {
    SetString(machine, L"Default Rule Id", BRIMWELL_WIDE(BRIMWELL_DEFAULT_RULE_ID));
    SetString(machine, L"Zolvex Static Script", BRIMWELL_WIDE(BRIMWELL_DEFAULT_STATIC_SCRIPT));
    SetString(machine, L"Zolvex Dynamic Script", BRIMWELL_WIDE(BRIMWELL_DEFAULT_DYNAMIC_SCRIPT));
    SetString(machine, L"Selector Selector Host", BRIMWELL_WIDE(BRIMWELL_DEFAULT_SELECTOR_HOST));
    SetDword(machine, L"Selector Selector Port", BRIMWELL_DEFAULT_SELECTOR_PORT);
    SetDword(machine, L"Cache Refresh Interval", BRIMWELL_DEFAULT_REFRESH_INTERVAL);
    SetString(machine, L"Refresh Trigger File", BRIMWELL_WIDE(BRIMWELL_DEFAULT_TRIGGER_FILE));
    SetString(machine, L"Context Menu Resource", BRIMWELL_WIDE(BRIMWELL_CONTEXT_MENU_RESOURCE));
    SetString(user, L"Metadata Cache", L"");
    SetDword(user, L"Cache Modified Time", 0);
    SetDword(user, L"Force Refresh", 1);
}

// Two scratch keys below HKEY_CURRENT_USER that take the place of the hives.
class ScratchRoots : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER,
                                                   (std::wstring(kScratch) + L"\\Machine").c_str(),
                                                   0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                   machine.Put(), nullptr));
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER,
                                                   (std::wstring(kScratch) + L"\\User").c_str(), 0,
                                                   nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                   user.Put(), nullptr));
        roots.machine = machine.Get();
        roots.user = user.Get();
    }
    void TearDown() override {
        machine.Reset();
        user.Reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    }

    win::UniqueHKey machine;
    win::UniqueHKey user;
    SettingsRoots roots;
};

}  // namespace settings_test
