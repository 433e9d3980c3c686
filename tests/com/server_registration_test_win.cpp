// regsvr32 on the built add-on library: the exact keys both scripts write, registering again,
// unregistering, and the menu script run by the script host.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "addon/metadata/registration_defaults.h"
#include "addon/win/unique_handle.h"
#include "tests/com/addon_library_path_win.h"
#include "tests/com/builtin_program_win.h"
#include "tests/com/import_hook_win.h"
#include "tests/com/registry_dump_win.h"

namespace {

using testing_addon::kOwnBitness;
using testing_addon::RunBuiltin;
using testing_registry::KeyExists;
using testing_registry::ReadDword;
using testing_registry::Tree;
typedef std::set<std::wstring> Lines;

const wchar_t kClsid[] = L"{5B2C8A41-7D3E-4F90-A6C1-2E8D94B07F13}";
const wchar_t kClassKey[] = L"CLSID\\{5B2C8A41-7D3E-4F90-A6C1-2E8D94B07F13}";
const wchar_t kTypeLibKey[] = L"TypeLib\\{A4F17C02-3B58-4E6D-9C20-71D5E8B3A946}";
const wchar_t kInterfaceKey[] = L"Interface\\{C93E5D70-1A2B-4C8F-B7E4-06F9A21D8C35}";
const wchar_t kAppIdKey[] = L"AppID\\{2D7F0B93-E4A6-4158-8F3C-9B61C0E7A2D4}";
const wchar_t kAppIdNameKey[] = L"AppID\\brimwell-addon.DLL";
const wchar_t kBhoParent[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
const wchar_t kMenuExt[] = L"Software\\Microsoft\\Internet Explorer\\MenuExt";
const wchar_t kMenuEntry[] =
    L"Software\\Microsoft\\Internet Explorer\\MenuExt\\Refresh Veltrane Brimwell";
const wchar_t kExtensions[] = L"Software\\Microsoft\\Internet Explorer\\Extensions";
const wchar_t kExtensionEntry[] =
    L"Software\\Microsoft\\Internet Explorer\\Extensions\\{F0A83C56-92D1-4B7E-A5F8-3C04E6B19D72}";
const wchar_t kVeltrane[] = L"Software\\Veltrane";
const wchar_t kSettings[] = L"Software\\Veltrane\\Brimwell";
constexpr long kScriptSucceeded = 73;

std::wstring BhoKey() { return std::wstring(kBhoParent) + L"\\" + kClsid; }

// The library is registered from a folder whose name holds a single quote, so the doubled
// quote of "Module" inside quoted script text is exercised.
class ServerRegistration : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
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

    // Everything both scripts and the type library registration write, as one listing.
    static Lines Registered() {
        Lines all;
        const struct { HKEY hive; const wchar_t* name; std::wstring path; } kAreas[] = {
            {HKEY_CLASSES_ROOT, L"HKCR", kAppIdKey},
            {HKEY_CLASSES_ROOT, L"HKCR", kAppIdNameKey},
            {HKEY_CLASSES_ROOT, L"HKCR", L"brimwelladdon.BrimwellBHO.1"},
            {HKEY_CLASSES_ROOT, L"HKCR", L"brimwelladdon.BrimwellBHO"},
            {HKEY_CLASSES_ROOT, L"HKCR", kClassKey},
            {HKEY_LOCAL_MACHINE, L"HKLM", BhoKey()},
            {HKEY_LOCAL_MACHINE, L"HKLM", kExtensionEntry},
            {HKEY_LOCAL_MACHINE, L"HKLM", kVeltrane},
            {HKEY_CURRENT_USER, L"HKCU", kMenuEntry},
            {HKEY_CURRENT_USER, L"HKCU", kVeltrane},
        };
        for (const auto& area : kAreas) {
            const std::wstring prefix = std::wstring(area.name) + L"\\" + area.path;
            if (KeyExists(area.hive, area.path)) all.insert(prefix);
            for (const std::wstring& line : Tree(area.hive, area.path))
                all.insert(prefix + (line[0] == L' ' ? L"" : L"\\") + line);
        }
        return all;
    }

    static Lines Expected() {
        const std::wstring menu = L"res://" + library + L"/201";
        const std::wstring cls = std::wstring(L"HKCR\\") + kClassKey;
        const std::wstring bho = L"HKLM\\" + BhoKey();
        const std::wstring ext = std::wstring(L"HKLM\\") + kExtensionEntry;
        const std::wstring hklm = L"HKLM\\Software\\Veltrane\\Brimwell";
        const std::wstring hkcu = L"HKCU\\Software\\Veltrane\\Brimwell";
        const std::wstring entry = std::wstring(L"HKCU\\") + kMenuEntry;
        return Lines{
            std::wstring(L"HKCR\\") + kAppIdKey,
            std::wstring(L"HKCR\\") + kAppIdKey + L" | @ = s:brimwelladdon",
            std::wstring(L"HKCR\\") + kAppIdNameKey,
            std::wstring(L"HKCR\\") + kAppIdNameKey + L" | AppID = s:{2D7F0B93-E4A6-4158-8F3C-9B61C0E7A2D4}",
            L"HKCR\\brimwelladdon.BrimwellBHO.1",
            L"HKCR\\brimwelladdon.BrimwellBHO.1 | @ = s:BrimwellBHO Class",
            L"HKCR\\brimwelladdon.BrimwellBHO.1\\CLSID",
            L"HKCR\\brimwelladdon.BrimwellBHO.1\\CLSID | @ = s:" + std::wstring(kClsid),
            L"HKCR\\brimwelladdon.BrimwellBHO",
            L"HKCR\\brimwelladdon.BrimwellBHO | @ = s:BrimwellBHO Class",
            L"HKCR\\brimwelladdon.BrimwellBHO\\CLSID",
            L"HKCR\\brimwelladdon.BrimwellBHO\\CLSID | @ = s:" + std::wstring(kClsid),
            L"HKCR\\brimwelladdon.BrimwellBHO\\CurVer",
            L"HKCR\\brimwelladdon.BrimwellBHO\\CurVer | @ = s:brimwelladdon.BrimwellBHO.1",
            cls,
            cls + L" | @ = s:BrimwellBHO Class",
            cls + L"\\ProgID",
            cls + L"\\ProgID | @ = s:brimwelladdon.BrimwellBHO.1",
            cls + L"\\VersionIndependentProgID",
            cls + L"\\VersionIndependentProgID | @ = s:brimwelladdon.BrimwellBHO",
            cls + L"\\Programmable",
            cls + L"\\InprocServer32",
            cls + L"\\InprocServer32 | @ = s:" + library,
            cls + L"\\InprocServer32 | ThreadingModel = s:Apartment",
            cls + L"\\TypeLib",
            cls + L"\\TypeLib | @ = s:{A4F17C02-3B58-4E6D-9C20-71D5E8B3A946}",
            bho,
            bho + L" | @ = s:BrimwellBHO",
            bho + L" | NoExplorer = d:1",
            ext,
            ext + L" | CLSID = s:{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}",
            ext + L" | MenuText = s:Refresh Veltrane Brimwell",
            ext + L" | Script = s:" + menu,
            ext + L" | MenuStatusBar = s:Refresh Veltrane Brimwell",
            L"HKLM\\Software\\Veltrane",
            hklm,
            hklm + L" | Default Rule Id = s:" BRIMWELL_WIDE(BRIMWELL_DEFAULT_RULE_ID),
            hklm + L" | Zolvex Static Script = s:" BRIMWELL_WIDE(BRIMWELL_DEFAULT_STATIC_SCRIPT),
            hklm + L" | Zolvex Dynamic Script = s:" BRIMWELL_WIDE(BRIMWELL_DEFAULT_DYNAMIC_SCRIPT),
            hklm + L" | Selector Selector Host = s:" BRIMWELL_WIDE(BRIMWELL_DEFAULT_SELECTOR_HOST),
            hklm + L" | Selector Selector Port = d:" + std::to_wstring(BRIMWELL_DEFAULT_SELECTOR_PORT),
            hklm + L" | Cache Refresh Interval = d:" + std::to_wstring(BRIMWELL_DEFAULT_REFRESH_INTERVAL),
            hklm + L" | Context Menu Resource = s:" + menu,
            hklm + L" | Refresh Trigger File = s:" BRIMWELL_WIDE(BRIMWELL_DEFAULT_TRIGGER_FILE),
            entry,
            entry + L" | @ = s:" + menu,
            entry + L" | Contexts = d:1",
            L"HKCU\\Software\\Veltrane",
            hkcu,
            hkcu + L" | Metadata Cache = s:",
            hkcu + L" | Cache Modified Time = d:0",
            hkcu + L" | Force Refresh = d:1",
        };
    }

    static std::wstring folder;
    static std::wstring library;
};
std::wstring ServerRegistration::folder;
std::wstring ServerRegistration::library;

void SetDword(HKEY hive, const wchar_t* path, const wchar_t* name, DWORD value) {
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(hive, path, name, REG_DWORD, &value, sizeof value));
}

TEST_F(ServerRegistration, WritesExactlyTheKeysOfBothScripts) {
    ASSERT_EQ(0, Regsvr32(L""));
    EXPECT_EQ(Expected(), Registered());
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(kTypeLibKey) + L"\\1.0\\409\\win64"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kInterfaceKey));
}

TEST_F(ServerRegistration, RegisteringAgainRecreatesTheSameKeysAndForcesARefresh) {
    ASSERT_EQ(0, Regsvr32(L""));
    SetDword(HKEY_CURRENT_USER, kSettings, L"Force Refresh", 0);
    SetDword(HKEY_CURRENT_USER, kSettings, L"Cache Modified Time", 12345);
    SetDword(HKEY_LOCAL_MACHINE, kSettings, L"Administrator Extra", 1);
    SetDword(HKEY_CLASSES_ROOT, (std::wstring(kClassKey) + L"\\Stale").c_str(), L"x", 1);
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
