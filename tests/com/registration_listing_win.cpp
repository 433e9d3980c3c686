// Test helper: the registration's keys read back and expected, per view.
#include "tests/com/registration_listing_win.h"

#include "addon/metadata/registration_defaults.h"
#include "addon/win/unique_handle.h"
#include "tests/com/registry_dump_win.h"

namespace testing_registration {

const wchar_t kClassKey[] = L"CLSID\\{5B2C8A41-7D3E-4F90-A6C1-2E8D94B07F13}";
const wchar_t kTypeLibKey[] = L"TypeLib\\{A4F17C02-3B58-4E6D-9C20-71D5E8B3A946}";
const wchar_t kInterfaceKey[] = L"Interface\\{C93E5D70-1A2B-4C8F-B7E4-06F9A21D8C35}";
const wchar_t kBhoParent[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
const wchar_t kMenuExt[] = L"Software\\Microsoft\\Internet Explorer\\MenuExt";
const wchar_t kExtensions[] = L"Software\\Microsoft\\Internet Explorer\\Extensions";
const wchar_t kSettings[] = L"Software\\Veltrane\\Brimwell";
const wchar_t kStaleSettings[] = L"Software\\Wow6432Node\\Veltrane";

namespace {

using testing_registry::KeyExists;
using testing_registry::Tree;

const wchar_t kClsid[] = L"{5B2C8A41-7D3E-4F90-A6C1-2E8D94B07F13}";
const wchar_t kAppIdKey[] = L"AppID\\{2D7F0B93-E4A6-4158-8F3C-9B61C0E7A2D4}";
const wchar_t kAppIdNameKey[] = L"AppID\\brimwell-addon.DLL";
const wchar_t kMenuEntry[] =
    L"Software\\Microsoft\\Internet Explorer\\MenuExt\\Refresh Veltrane Brimwell";
const wchar_t kExtensionEntry[] =
    L"Software\\Microsoft\\Internet Explorer\\Extensions\\{F0A83C56-92D1-4B7E-A5F8-3C04E6B19D72}";
const wchar_t kVeltrane[] = L"Software\\Veltrane";

std::wstring BhoKey() { return std::wstring(kBhoParent) + L"\\" + kClsid; }
std::wstring MenuScript(const std::wstring& library) { return L"res://" + library + L"/201"; }

}  // namespace

Lines Registered(REGSAM view) {
    Lines all;
    const struct { HKEY hive; const wchar_t* name; std::wstring path; REGSAM view; } kAreas[] = {
        {HKEY_CLASSES_ROOT, L"HKCR", kAppIdKey, 0},
        {HKEY_CLASSES_ROOT, L"HKCR", kAppIdNameKey, 0},
        {HKEY_CLASSES_ROOT, L"HKCR", L"brimwelladdon.BrimwellBHO.1", 0},
        {HKEY_CLASSES_ROOT, L"HKCR", L"brimwelladdon.BrimwellBHO", 0},
        {HKEY_CLASSES_ROOT, L"HKCR", kClassKey, view},
        {HKEY_LOCAL_MACHINE, L"HKLM", BhoKey(), view},
        {HKEY_LOCAL_MACHINE, L"HKLM", kExtensionEntry, view},
        {HKEY_LOCAL_MACHINE, L"HKLM", kVeltrane, KEY_WOW64_64KEY},
        {HKEY_CURRENT_USER, L"HKCU", kMenuEntry, 0},
        {HKEY_CURRENT_USER, L"HKCU", kVeltrane, 0},
    };
    for (const auto& area : kAreas) {
        const std::wstring prefix = std::wstring(area.name) + L"\\" + area.path;
        if (KeyExists(area.hive, area.path, area.view)) all.insert(prefix);
        for (const std::wstring& line : Tree(area.hive, area.path, area.view))
            all.insert(prefix + (line[0] == L' ' ? L"" : L"\\") + line);
    }
    if (KeyExists(HKEY_LOCAL_MACHINE, kStaleSettings, KEY_WOW64_64KEY))
        all.insert(std::wstring(L"HKLM\\") + kStaleSettings);
    return all;
}

Lines ClassKeys(const std::wstring& library) {
    const std::wstring cls = std::wstring(L"HKCR\\") + kClassKey;
    const std::wstring bho = L"HKLM\\" + BhoKey();
    const std::wstring ext = std::wstring(L"HKLM\\") + kExtensionEntry;
    return Lines{
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
        ext + L" | Script = s:" + MenuScript(library),
        ext + L" | MenuStatusBar = s:Refresh Veltrane Brimwell",
    };
}

Lines SharedKeys(const std::wstring& menuLibrary) {
    const std::wstring menu = MenuScript(menuLibrary);
    const std::wstring appId = std::wstring(L"HKCR\\") + kAppIdKey;
    const std::wstring appIdName = std::wstring(L"HKCR\\") + kAppIdNameKey;
    const std::wstring hklm = L"HKLM\\Software\\Veltrane\\Brimwell";
    const std::wstring hkcu = L"HKCU\\Software\\Veltrane\\Brimwell";
    const std::wstring entry = std::wstring(L"HKCU\\") + kMenuEntry;
    return Lines{
        appId,
        appId + L" | @ = s:brimwelladdon",
        appIdName,
        appIdName + L" | AppID = s:{2D7F0B93-E4A6-4158-8F3C-9B61C0E7A2D4}",
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

void RemoveStaleSettings() {
    win::UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kStaleSettings, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                        key.Put()) != ERROR_SUCCESS)
        return;
    ::RegDeleteTreeW(key.Get(), nullptr);
    key.Reset();
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kStaleSettings, KEY_WOW64_64KEY, 0);
}

bool TypeLibPlatformRegistered(const wchar_t* platform) {
    return KeyExists(HKEY_CLASSES_ROOT, std::wstring(kTypeLibKey) + L"\\1.0\\409\\" + platform);
}

}  // namespace testing_registration
