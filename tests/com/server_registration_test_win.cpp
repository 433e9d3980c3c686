// regsvr32 on the built add-on library: the exact keys both scripts write, registering again,
// unregistering, and the menu script run by the script host.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "addon/win/unique_handle.h"
#include "tests/com/addon_library_path_win.h"
#include "tests/com/builtin_program_win.h"
#include "tests/com/import_hook_win.h"
#include "tests/com/registration_listing_win.h"
#include "tests/com/registry_dump_win.h"

namespace {

using testing_addon::kOwnBitness;
using testing_addon::RunBuiltin;
using testing_registration::kBhoParent;
using testing_registration::kClassKey;
using testing_registration::kExtensions;
using testing_registration::kInterfaceKey;
using testing_registration::kMenuExt;
using testing_registration::kSettings;
using testing_registration::kTypeLibKey;
using testing_registration::Lines;
using testing_registration::Registered;
using testing_registry::KeyExists;
using testing_registry::ReadDword;

constexpr long kScriptSucceeded = 73;

// The library is registered from a folder whose name holds a single quote, so the doubled
// quote of "Module" inside quoted script text is exercised.
class ServerRegistration : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        testing_registration::RemoveStaleSettings();
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"brimwell it's";
        ::CreateDirectoryW(folder.c_str(), nullptr);
        library = folder + L"\\brimwell-addon.dll";
        ASSERT_TRUE(::CopyFileW(testing_addon::BuiltLibraryPath().c_str(), library.c_str(), FALSE));
    }
    static void TearDownTestSuite() {
        Regsvr32(L"/u ");
        ::DeleteFileW(library.c_str());
        ::RemoveDirectoryW(folder.c_str());
    }
    static long Regsvr32(const std::wstring& options) {
        return RunBuiltin(kOwnBitness, L"regsvr32", L"/s " + options + L"\"" + library + L"\"");
    }

    static Lines Expected() {
        Lines all = testing_registration::ClassKeys(library);
        const Lines shared = testing_registration::SharedKeys(library);
        all.insert(shared.begin(), shared.end());
        return all;
    }

    static std::wstring folder;
    static std::wstring library;
};
std::wstring ServerRegistration::folder;
std::wstring ServerRegistration::library;

void SetDword(HKEY hive, const std::wstring& path, const wchar_t* name, DWORD value,
              REGSAM view = 0) {
    ASSERT_EQ(ERROR_SUCCESS, testing_registry::WriteDword(hive, path, name, value, view));
}

// The type library's entry for the bitness of this test.
const wchar_t* TypeLibPlatform() {
    return testing_addon::kOwnBitness == testing_addon::Bitness::kX64 ? L"win64" : L"win32";
}

TEST_F(ServerRegistration, WritesExactlyTheKeysOfBothScripts) {
    ASSERT_EQ(0, Regsvr32(L""));
    EXPECT_EQ(Expected(), Registered());
    EXPECT_TRUE(testing_registration::TypeLibPlatformRegistered(TypeLibPlatform()));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kInterfaceKey));
}

TEST_F(ServerRegistration, RegisteringAgainRecreatesTheSameKeysAndForcesARefresh) {
    ASSERT_EQ(0, Regsvr32(L""));
    SetDword(HKEY_CURRENT_USER, kSettings, L"Force Refresh", 0);
    SetDword(HKEY_CURRENT_USER, kSettings, L"Cache Modified Time", 12345);
    SetDword(HKEY_LOCAL_MACHINE, kSettings, L"Administrator Extra", 1, KEY_WOW64_64KEY);
    SetDword(HKEY_CLASSES_ROOT, std::wstring(kClassKey) + L"\\Stale", L"x", 1);
    ASSERT_EQ(0, Regsvr32(L""));
    EXPECT_EQ(Expected(), Registered());
    EXPECT_EQ(1, ReadDword(HKEY_CURRENT_USER, kSettings, L"Force Refresh"));
}

TEST_F(ServerRegistration, UnregisteringRemovesEverythingButTheSharedParents) {
    ASSERT_EQ(0, Regsvr32(L""));
    SetDword(HKEY_CURRENT_USER, L"Software\\Veltrane\\Brimwell\\Below", L"x", 1);
    ASSERT_EQ(0, Regsvr32(L"/u "));
    EXPECT_EQ(Lines{}, Registered());
    for (const wchar_t* gone : {kTypeLibKey, kInterfaceKey}) {
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, gone)) << gone;
    }
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"AppID"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kBhoParent));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kExtensions));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kMenuExt));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Software"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software"));
    // Unregistering what is not registered is no failure.
    EXPECT_EQ(0, Regsvr32(L"/u "));
}

TEST_F(ServerRegistration, Regsvr32ExitCodesTellWhatWentWrong) {
    EXPECT_EQ(3, RunBuiltin(kOwnBitness, L"regsvr32", L"/s \"" + folder + L"\\missing.dll\""));
    EXPECT_EQ(4, RunBuiltin(kOwnBitness, L"regsvr32", L"/s kernel32.dll"));
}

// The thread locale of every registry key the library opens or creates while it registers.
std::set<LCID> localesAtKeys;
decltype(&::RegCreateKeyExW) createKey = nullptr;
decltype(&::RegOpenKeyExW) openKey = nullptr;

LONG WINAPI CreateKeyNotingLocale(HKEY key, LPCWSTR name, DWORD reserved, LPWSTR type,
                                  DWORD options, REGSAM rights, LPSECURITY_ATTRIBUTES security,
                                  PHKEY result, LPDWORD disposition) {
    localesAtKeys.insert(::GetThreadLocale());
    return createKey(key, name, reserved, type, options, rights, security, result, disposition);
}

LONG WINAPI OpenKeyNotingLocale(HKEY key, LPCWSTR name, DWORD options, REGSAM rights,
                                PHKEY result) {
    localesAtKeys.insert(::GetThreadLocale());
    return openKey(key, name, options, rights, result);
}

TEST_F(ServerRegistration, RegistersInTheSystemLocaleAndRestoresTheCallers) {
    win::UniqueModule module(::LoadLibraryW(library.c_str()));
    ASSERT_TRUE(module);
    testing_addon::ImportHook creating(module.Get(), "advapi32.dll", "RegCreateKeyExW",
                                       reinterpret_cast<void*>(&CreateKeyNotingLocale));
    testing_addon::ImportHook opening(module.Get(), "advapi32.dll", "RegOpenKeyExW",
                                      reinterpret_cast<void*>(&OpenKeyNotingLocale));
    ASSERT_TRUE(creating.Installed() && opening.Installed());
    createKey = reinterpret_cast<decltype(createKey)>(creating.Original());
    openKey = reinterpret_cast<decltype(openKey)>(opening.Original());

    const LCID system = ::ConvertDefaultLocale(LOCALE_SYSTEM_DEFAULT);
    const LCID german = MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT);
    const LCID french = MAKELCID(MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), SORT_DEFAULT);
    const LCID callers = system == german ? french : german;
    const LCID saved = ::GetThreadLocale();
    typedef HRESULT(STDAPICALLTYPE * EntryFn)();
    for (const char* name : {"DllRegisterServer", "DllUnregisterServer"}) {
        const EntryFn entry = reinterpret_cast<EntryFn>(
            reinterpret_cast<void*>(::GetProcAddress(module.Get(), name)));
        ASSERT_TRUE(entry) << name;
        ASSERT_TRUE(::SetThreadLocale(callers));
        localesAtKeys.clear();
        EXPECT_EQ(S_OK, entry()) << name;
        EXPECT_EQ(std::set<LCID>{system}, localesAtKeys) << name;
        EXPECT_EQ(callers, ::GetThreadLocale()) << name;
    }
    ::SetThreadLocale(saved);
    EXPECT_EQ(Lines{}, Registered());
}

BOOL CALLBACK FirstLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
    *reinterpret_cast<WORD*>(found) = language;
    return FALSE;
}

// Replaces "REGISTRY" resource `id` of the library file at `path` with `text`.
bool ReplaceScript(const std::wstring& path, UINT id, const std::string& text) {
    WORD language = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    {
        win::UniqueModule module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (!module) return false;
        ::EnumResourceLanguagesW(module.Get(), L"REGISTRY", MAKEINTRESOURCEW(id), &FirstLanguage,
                                 reinterpret_cast<LONG_PTR>(&language));
    }
    HANDLE update = ::BeginUpdateResourceW(path.c_str(), FALSE);
    if (!update) return false;
    const bool written = ::UpdateResourceW(update, L"REGISTRY", MAKEINTRESOURCEW(id), language,
                                           const_cast<char*>(text.data()),
                                           static_cast<DWORD>(text.size())) != FALSE;
    return ::EndUpdateResourceW(update, !written) && written;
}

TEST_F(ServerRegistration, MalformedScriptFailsRegistrationAndChangesNothing) {
    ASSERT_EQ(0, Regsvr32(L"/u "));
    const std::wstring broken = folder + L"\\broken-addon.dll";
    ASSERT_TRUE(::CopyFileW(library.c_str(), broken.c_str(), FALSE));
    // The module script (applied first) is intact; the class script is not.
    ASSERT_TRUE(ReplaceScript(broken, 102, "HKCR\r\n{\r\n\tbrimwelladdon.BrimwellBHO.1 = s 'open\r\n"));
    EXPECT_EQ(5, RunBuiltin(kOwnBitness, L"regsvr32", L"/s \"" + broken + L"\""));
    EXPECT_EQ(Lines{}, Registered());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey));
    ::DeleteFileW(broken.c_str());
}

// The text of resource 201 between its SCRIPT tags.
std::string MenuScriptBody(const std::wstring& path) {
    win::UniqueModule module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) return "<cannot load>";
    HRSRC found = ::FindResourceW(module.Get(), MAKEINTRESOURCEW(201), MAKEINTRESOURCEW(23));
    if (!found) return "<no resource 201>";
    const char* bytes = static_cast<const char*>(::LockResource(::LoadResource(module.Get(), found)));
    const std::string html(bytes, ::SizeofResource(module.Get(), found));
    const std::string open = "<SCRIPT LANGUAGE=\"JavaScript\">", close = "</SCRIPT>";
    const size_t begin = html.find(open), end = html.find(close);
    if (begin != 0 || end == std::string::npos || html.find_first_not_of("\r\n", end + close.size()) != std::string::npos)
        return "<not one SCRIPT element>";
    return html.substr(begin + open.size(), end - begin - open.size());
}

TEST_F(ServerRegistration, MenuScriptForcesARefreshThroughTheScriptHost) {
    ASSERT_EQ(0, Regsvr32(L""));
    const std::string body = MenuScriptBody(library);
    EXPECT_EQ("\nvar oBrimwell = new ActiveXObject(\"brimwelladdon.BrimwellBHO\");\n"
              "oBrimwell.RefreshMetadata();\n",
              body);
    // Without TypeLib keys, as after an installation that writes none, the object still
    // serves its dispatch methods from its own type library.
    ASSERT_EQ(ERROR_SUCCESS, ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kTypeLibKey));
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring script = std::wstring(temp) + L"brimwell_menu_test.js";
    {
        std::ofstream out(script.c_str(), std::ios::binary);
        // A script error ends the host with 0 under Wine: only the last line proves success.
        out << body << "WScript.Quit(" << kScriptSucceeded << ");\n";
    }
    SetDword(HKEY_CURRENT_USER, kSettings, L"Force Refresh", 0);
    EXPECT_EQ(kScriptSucceeded, RunBuiltin(kOwnBitness, L"cscript", L"//nologo \"" + script + L"\""));
    EXPECT_EQ(1, ReadDword(HKEY_CURRENT_USER, kSettings, L"Force Refresh"));
    ::DeleteFileW(script.c_str());
}

}  // namespace
