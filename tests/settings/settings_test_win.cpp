// Loading the registry settings: defaults, value types, partial loads and the script scheme.
#include "addon/metadata/settings_win.h"

#include <gtest/gtest.h>

#include "addon/metadata/cache_registry_win.h"
#include "addon/metadata/script_scheme.h"
#include "addon/win/text_win.h"
#include "tests/settings/scratch_roots_win.h"

namespace {

using namespace settings_test;

std::wstring AppData() {
    wchar_t buffer[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"APPDATA", buffer, MAX_PATH);
    return buffer;
}

class SettingsLoad : public ScratchRoots {};

TEST_F(SettingsLoad, FreshInstallationLoadsEveryDefault) {
    WriteInstallationDefaults(machine.Get(), user.Get());
    Settings settings;
    LoadSettings(settings, 0, false, roots);
    EXPECT_EQ(1u, settings.settingsLoaded);
    EXPECT_EQ(L"1024", settings.defaultRuleId);
    EXPECT_EQ(L"http://" BRIMWELL_WIDE(BRIMWELL_RULE_ENGINE_HOST) L"/js/shared/zlvx-static.js",
              settings.staticScriptUrl);
    EXPECT_EQ(L"var ZLVX_config ={${1}};", settings.dynamicScriptTemplate);
    EXPECT_EQ(L"127.0.0.1", settings.selectorHost);
    EXPECT_EQ(31002u, settings.selectorPort);
    EXPECT_EQ(86400u, settings.refreshInterval);
    ASSERT_FALSE(AppData().empty());
    EXPECT_EQ(AppData() + L"\\" BRIMWELL_WIDE(BRIMWELL_DEFAULT_TRIGGER_FILE), settings.triggerFilePath);
    EXPECT_EQ(L"", settings.metadataCacheText);
    EXPECT_EQ(0u, settings.cacheModifiedTime);
    EXPECT_EQ(1u, settings.forceRefresh);
}

TEST_F(SettingsLoad, StringsOfOtherTypesAreEmptyAndExpandableTextIsLiteral) {
    SetDword(machine.Get(), L"Default Rule Id", 1024);
    SetString(machine.Get(), L"Selector Selector Host", L"%SystemRoot%\\x", REG_EXPAND_SZ);
    SetString(machine.Get(), L"Zolvex Dynamic Script", std::wstring(L"ab\0cd", 5));
    Settings settings;
    settings.defaultRuleId = L"old";
    settings.staticScriptUrl = L"http://old/";
    LoadSettings(settings, 0, false, roots);
    EXPECT_EQ(L"", settings.defaultRuleId);
    EXPECT_EQ(L"%SystemRoot%\\x", settings.selectorHost);
    EXPECT_EQ(L"ab", settings.dynamicScriptTemplate);  // up to the first NUL
    EXPECT_EQ(L"", settings.staticScriptUrl);           // missing: emptied
}

TEST_F(SettingsLoad, MissingOrMistypedNumbersKeepTheirValues) {
    WriteInstallationDefaults(machine.Get(), user.Get());
    SetDword(machine.Get(), L"Cache Refresh Interval", 60);
    Settings settings;
    LoadSettings(settings, 0, false, roots);
    ASSERT_EQ(60u, settings.refreshInterval);
    DeleteValue(machine.Get(), L"Cache Refresh Interval");
    SetString(machine.Get(), L"Selector Selector Port", L"1");  // 4 bytes, but not a number
    LoadSettings(settings, 0, false, roots);
    EXPECT_EQ(60u, settings.refreshInterval);
    EXPECT_EQ(31002u, settings.selectorPort);
}

TEST_F(SettingsLoad, PartialLoadRereadsOnlyTheForceFlag) {
    WriteInstallationDefaults(machine.Get(), user.Get());
    SetString(user.Get(), L"Metadata Cache", L"{old}");
    SetDword(user.Get(), L"Force Refresh", 0);
    Settings settings;
    LoadSettings(settings, 0, false, roots);
    SetString(user.Get(), L"Metadata Cache", L"{new}");
    SetDword(user.Get(), L"Cache Modified Time", 99);
    SetDword(user.Get(), L"Force Refresh", 1);
    SetString(machine.Get(), L"Selector Selector Host", L"10.0.0.1");
    LoadSettings(settings, 1, false, roots);
    EXPECT_EQ(L"{old}", settings.metadataCacheText);
    EXPECT_EQ(0u, settings.cacheModifiedTime);
    EXPECT_EQ(L"127.0.0.1", settings.selectorHost);
    EXPECT_EQ(1u, settings.forceRefresh);
}

TEST_F(SettingsLoad, WithoutAppDataThereIsNoTriggerFile) {
    WriteInstallationDefaults(machine.Get(), user.Get());
    wchar_t saved[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetEnvironmentVariableW(L"APPDATA", saved, MAX_PATH));
    ::SetEnvironmentVariableW(L"APPDATA", nullptr);
    Settings settings;
    LoadSettings(settings, 0, false, roots);
    ::SetEnvironmentVariableW(L"APPDATA", saved);
    EXPECT_EQ(L"", settings.triggerFilePath);  // not "\..." relative to the current drive
}

// A user folder named in Japanese on a Western system: the ANSI code page cannot name it.
TEST_F(SettingsLoad, TriggerFileInAFolderBeyondTheAnsiCodePageIsFound) {
    const std::wstring saved = AppData();
    const std::wstring folder = saved + L"\\\u8868\u793a";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr) ||
                ::GetLastError() == ERROR_ALREADY_EXISTS);
    const std::wstring trigger = folder + L"\\refresh.trigger";
    win::UniqueHandle<HANDLE, win::CloseKernelHandle> file(::CreateFileW(
        trigger.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_NE(INVALID_HANDLE_VALUE, file.Get());
    file.Reset();
    SetString(machine.Get(), L"Refresh Trigger File", L"refresh.trigger");
    ::SetEnvironmentVariableW(L"APPDATA", folder.c_str());
    Settings settings;
    LoadSettings(settings, 0, false, roots);
    ::SetEnvironmentVariableW(L"APPDATA", saved.c_str());
    EXPECT_EQ(trigger, settings.triggerFilePath);
    EXPECT_GT(GetTriggerFileTime(settings.triggerFilePath), 0);
    ::DeleteFileW(trigger.c_str());
    ::RemoveDirectoryW(folder.c_str());
}

TEST_F(SettingsLoad, MissingKeysLeaveFieldsAndStillCountAsLoaded) {
    SettingsRoots missing = roots;
    missing.keyPath = L"Software\\NoSuchKey\\Anywhere";
    missing.user = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234));  // cannot be opened
    Settings settings;
    settings.selectorHost = L"kept";
    LoadSettings(settings, 0, false, missing);
    EXPECT_EQ(1u, settings.settingsLoaded);
    EXPECT_EQ(L"kept", settings.selectorHost);
    EXPECT_EQ(1u, settings.forceRefresh);  // a fresh object fetches once
}

TEST_F(SettingsLoad, StaticScriptFollowsThePageSchemeBothWays) {
    WriteInstallationDefaults(machine.Get(), user.Get());
    Settings settings;
    LoadSettings(settings, 0, true, roots);
    EXPECT_EQ(L"https://" BRIMWELL_WIDE(BRIMWELL_RULE_ENGINE_HOST) L"/js/shared/zlvx-static.js",
              settings.staticScriptUrl);
    LoadSettings(settings, 1, false, roots);
    EXPECT_EQ(L"http://" BRIMWELL_WIDE(BRIMWELL_RULE_ENGINE_HOST) L"/js/shared/zlvx-static.js",
              settings.staticScriptUrl);
}

TEST_F(SettingsLoad, SchemeIsJudgedByTheUrlsOwnSchemeNotItsPath) {
    SetString(machine.Get(), L"Zolvex Static Script", L"http://cdn.test/https-assets/zlvx.js");
    Settings settings;
    LoadSettings(settings, 0, false, roots);  // an http page: the http URL stays as it is
    EXPECT_EQ(L"http://cdn.test/https-assets/zlvx.js", settings.staticScriptUrl);
    LoadSettings(settings, 1, true, roots);
    EXPECT_EQ(L"https://cdn.test/https-assets/zlvx.js", settings.staticScriptUrl);
}

struct SchemeCase {
    const wchar_t* url;
    bool toHttps;
    const wchar_t* expected;
};

const SchemeCase kSchemes[] = {
    {L"http://h/js/x.js", true, L"https://h/js/x.js"},
    {L"https://h/js/x.js", false, L"http://h/js/x.js"},
    {L"http://h/http/https/x.js", true, L"https://h/http/https/x.js"},
    {L"https://h/https/x.js?u=http://a", false, L"http://h/https/x.js?u=http://a"},
    {L"HTTP://h/x.js", true, L"https://h/x.js"},
    {L"https://h/x.js", true, L"https://h/x.js"},
    {L"", true, L""},                                  // no URL: nothing to switch
    {L"ftp://h/http.js", true, L"ftp://h/http.js"},    // not a web URL
    {L"//h/x.js", true, L"//h/x.js"},                  // scheme-relative: no scheme to change
    {L"httpx://h/x.js", true, L"httpx://h/x.js"},
};

// One set of machine-wide settings for both bitnesses: the 64-bit view's, even where the
// 32-bit view holds a stale copy (a 32-bit add-on reads that view unless told otherwise).
TEST(SettingsView, MachineSettingsComeFromTheSixtyFourBitView) {
    const wchar_t path[] = L"Software\\BrimwellTests\\SettingsView";
    const struct { REGSAM view; DWORD port; } kCopies[] = {{KEY_WOW64_64KEY, 4711},
                                                           {KEY_WOW64_32KEY, 4712}};
    for (const auto& copy : kCopies) {
        win::UniqueHKey key;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0,
                                                   KEY_ALL_ACCESS | copy.view, nullptr, key.Put(),
                                                   nullptr));
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key.Get(), L"Selector Selector Port", 0, REG_DWORD,
                                                  reinterpret_cast<const BYTE*>(&copy.port),
                                                  sizeof copy.port));
    }
    SettingsRoots roots;  // the real hives
    roots.user = HKEY_CURRENT_USER;
    roots.keyPath = path;
    Settings settings;
    LoadSettings(settings, 0, false, roots);
    EXPECT_EQ(4711u, settings.selectorPort);
    for (const auto& copy : kCopies) ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path, copy.view, 0);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, path);
}

TEST(ScriptScheme, OnlyTheLeadingSchemeChanges) {
    for (const SchemeCase& c : kSchemes) {
        SCOPED_TRACE(testing::Message() << win::ToNarrow(c.url) << (c.toHttps ? " to https" : " to http"));
        std::wstring url = c.url;
        SwitchScriptScheme(url, c.toHttps);
        EXPECT_EQ(c.expected, url);
    }
}

}  // namespace
