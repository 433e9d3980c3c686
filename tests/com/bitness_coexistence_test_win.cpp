// The x86 and the x64 add-on registered side by side on 64-bit Windows, each by the regsvr32 of
// its own bitness: what each registry view holds after every order of registering and
// unregistering, and the menu script run by the script host of each bitness.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <fstream>
#include <string>

#include "addon/win/unique_handle.h"
#include "tests/com/addon_library_path_win.h"
#include "tests/com/builtin_program_win.h"
#include "tests/com/registration_listing_win.h"
#include "tests/com/registry_dump_win.h"

namespace {

using testing_addon::Bitness;
using testing_addon::RunBuiltin;
using testing_registration::ClassKeys;
using testing_registration::kInterfaceKey;
using testing_registration::kSettings;
using testing_registration::kTypeLibKey;
using testing_registration::Lines;
using testing_registration::Registered;
using testing_registration::SharedKeys;
using testing_registration::TypeLibPlatformRegistered;
using testing_registry::KeyExists;
using testing_registry::ReadDword;

constexpr long kScriptSucceeded = 73;
const Bitness kBoth[] = {Bitness::kX86, Bitness::kX64};

const wchar_t* Name(Bitness bitness) { return bitness == Bitness::kX86 ? L"x86" : L"x64"; }
std::string NarrowName(Bitness bitness) { return bitness == Bitness::kX86 ? "x86" : "x64"; }
Bitness Other(Bitness bitness) { return bitness == Bitness::kX86 ? Bitness::kX64 : Bitness::kX86; }
REGSAM View(Bitness bitness) { return bitness == Bitness::kX86 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY; }
const wchar_t* TypeLibPlatform(Bitness bitness) {
    return bitness == Bitness::kX86 ? L"win32" : L"win64";
}

// A host path given at build time, as a Windows path.
std::wstring WindowsPath(const std::string& host) {
    std::wstring path(host.begin(), host.end());
    if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

class BitnessCoexistence : public ::testing::Test {
protected:
    // Each library is registered from a folder of its own, as an installer places them.
    static void SetUpTestSuite() {
        testing_registration::RemoveStaleSettings();
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        const std::wstring built[] = {WindowsPath(BRIMWELL_X86_ADDON_DLL),
                                      testing_addon::BuiltLibraryPath()};
        for (Bitness bitness : kBoth) {
            const std::wstring folder = std::wstring(temp) + L"brimwell " + Name(bitness);
            ::CreateDirectoryW(folder.c_str(), nullptr);
            Library(bitness) = folder + L"\\brimwell-addon.dll";
            const std::wstring& source = built[bitness == Bitness::kX86 ? 0 : 1];
            ASSERT_TRUE(::CopyFileW(source.c_str(), Library(bitness).c_str(), FALSE))
                << "cannot copy " << std::string(source.begin(), source.end())
                << " (the x86 library comes from the windows-x86 build)";
        }
    }
    static void TearDownTestSuite() {
        for (Bitness bitness : kBoth) {
            Regsvr32(bitness, L"/u ");
            ::DeleteFileW(Library(bitness).c_str());
            const std::wstring& path = Library(bitness);
            ::RemoveDirectoryW(path.substr(0, path.rfind(L'\\')).c_str());
        }
    }
    void SetUp() override {
        // A prefix made without the 32-bit Wine has no 32-bit programs to register with.
        const std::wstring x86Regsvr32 = testing_addon::BuiltinPath(Bitness::kX86, L"regsvr32");
        if (::GetFileAttributesW(x86Regsvr32.c_str()) == INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "no 32-bit regsvr32: install the 32-bit Wine (scripts/setup.sh does)";
        for (Bitness bitness : kBoth) {
            ASSERT_EQ(0, Regsvr32(bitness, L"/u "));
            // Left by a registration whose type library keys were removed by hand.
            win::UniqueHKey interfaces;
            if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"Interface", 0, KEY_ALL_ACCESS | View(bitness),
                                interfaces.Put()) == ERROR_SUCCESS)
                ::RegDeleteTreeW(interfaces.Get(), kInterfaceKey + wcslen(L"Interface\\"));
        }
        ExpectNothingRegistered();
    }

    static std::wstring& Library(Bitness bitness) {
        static std::wstring libraries[2];
        return libraries[bitness == Bitness::kX86 ? 0 : 1];
    }
    static long Regsvr32(Bitness bitness, const std::wstring& options) {
        return RunBuiltin(bitness, L"regsvr32", L"/s " + options + L"\"" + Library(bitness) + L"\"");
    }

    // Each view holds the class keys of its own bitness when that is registered, and the
    // shared keys while either is; the menu entries name `menu`'s library.
    static void ExpectRegistered(bool x86, bool x64, Bitness menu) {
        const bool registered[] = {x86, x64};
        for (Bitness view : kBoth) {
            SCOPED_TRACE(std::string("view of ") + NarrowName(view));
            const bool own = registered[view == Bitness::kX86 ? 0 : 1];
            Lines expected = own ? ClassKeys(Library(view)) : Lines();
            const Lines shared = SharedKeys(Library(menu));
            expected.insert(shared.begin(), shared.end());
            EXPECT_EQ(expected, Registered(View(view)));
            EXPECT_EQ(own, TypeLibPlatformRegistered(TypeLibPlatform(view)));
            // The type library registers its interfaces for both bitnesses.
            EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kInterfaceKey, View(view)));
        }
    }
    static void ExpectNothingRegistered() {
        for (Bitness view : kBoth) {
            EXPECT_EQ(Lines{}, Registered(View(view))) << "view of " << NarrowName(view);
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kInterfaceKey, View(view)));
        }
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey));
    }
    static void Register(Bitness bitness) { ASSERT_EQ(0, Regsvr32(bitness, L"")) << Name(bitness); }
    static void Unregister(Bitness bitness) { ASSERT_EQ(0, Regsvr32(bitness, L"/u ")) << Name(bitness); }

    // Runs the menu script's two statements in the script host of `bitness`; true when the
    // call reached RefreshMetadata (which sets "Force Refresh") and the script ended normally.
    static bool MenuScriptRefreshes(Bitness bitness) {
        if (testing_registry::WriteDword(HKEY_CURRENT_USER, kSettings, L"Force Refresh", 0) != ERROR_SUCCESS)
            return false;
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        const std::wstring script = std::wstring(temp) + L"brimwell_menu_" + Name(bitness) + L".js";
        {
            std::ofstream out(script.c_str(), std::ios::binary);
            // A script error ends the host with 0 under Wine: only the last line proves success.
            out << "var oBrimwell = new ActiveXObject(\"brimwelladdon.BrimwellBHO\");\n"
                   "oBrimwell.RefreshMetadata();\n"
                   "WScript.Quit(" << kScriptSucceeded << ");\n";
        }
        const long code = RunBuiltin(bitness, L"cscript", L"//nologo \"" + script + L"\"");
        ::DeleteFileW(script.c_str());
        return code == kScriptSucceeded && ReadDword(HKEY_CURRENT_USER, kSettings, L"Force Refresh") == 1;
    }
};

TEST_F(BitnessCoexistence, EachBitnessAloneKeepsItsClassInItsOwnViewAndTheSettingsOnce) {
    for (Bitness bitness : kBoth) {
        SCOPED_TRACE(std::string("registered alone: ") + NarrowName(bitness));
        Register(bitness);
        ExpectRegistered(bitness == Bitness::kX86, bitness == Bitness::kX64, bitness);
        Unregister(bitness);
        ExpectNothingRegistered();
    }
}

TEST_F(BitnessCoexistence, BothInEitherOrderKeepBothClassesAndOneSetOfSettings) {
    for (Bitness first : kBoth) {
        SCOPED_TRACE(std::string("first: ") + NarrowName(first));
        Register(first);
        Register(Other(first));
        // Registering again resets the settings and names the latest library in the menus.
        ExpectRegistered(true, true, Other(first));
        Unregister(first);
        Unregister(Other(first));
        ExpectNothingRegistered();
    }
}

TEST_F(BitnessCoexistence, UnregisteringOneLeavesTheOtherWholeAndTheLastRemovesEverything) {
    for (Bitness leaving : kBoth) {
        const Bitness staying = Other(leaving);
        SCOPED_TRACE(std::string("unregistered: ") + NarrowName(leaving));
        Register(staying);
        Register(leaving);  // the menus now name the library that leaves
        ASSERT_EQ(ERROR_SUCCESS, testing_registry::WriteDword(HKEY_LOCAL_MACHINE, kSettings,
                                                              L"Selector Selector Port", 4242,
                                                              KEY_WOW64_64KEY));
        ASSERT_EQ(ERROR_SUCCESS, testing_registry::WriteString(HKEY_CURRENT_USER, kSettings,
                                                               L"Metadata Cache", L"{}"));
        Unregister(leaving);

        // The settings, the user's cache and the shared keys stay, the menus now name the
        // library that stays, and the class of the bitness that left is gone from its view.
        Lines shared = SharedKeys(Library(staying));
        const std::wstring hklm = L"HKLM\\Software\\Veltrane\\Brimwell";
        const std::wstring hkcu = L"HKCU\\Software\\Veltrane\\Brimwell";
        shared.erase(hklm + L" | Selector Selector Port = d:31002");
        shared.insert(hklm + L" | Selector Selector Port = d:4242");
        shared.erase(hkcu + L" | Metadata Cache = s:");
        shared.insert(hkcu + L" | Metadata Cache = s:{}");
        Lines expected = ClassKeys(Library(staying));
        expected.insert(shared.begin(), shared.end());
        EXPECT_EQ(expected, Registered(View(staying)));
        EXPECT_EQ(shared, Registered(View(leaving)));
        EXPECT_TRUE(TypeLibPlatformRegistered(TypeLibPlatform(staying)));
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kInterfaceKey, View(staying)));
        EXPECT_FALSE(TypeLibPlatformRegistered(TypeLibPlatform(leaving)));
        EXPECT_TRUE(MenuScriptRefreshes(staying));

        Unregister(staying);
        ExpectNothingRegistered();
    }
}

TEST_F(BitnessCoexistence, MenuScriptReachesTheClassOfItsScriptHostsBitness) {
    for (Bitness only : kBoth) {
        SCOPED_TRACE(std::string("registered: ") + NarrowName(only));
        Register(only);
        EXPECT_TRUE(MenuScriptRefreshes(only));
        EXPECT_FALSE(MenuScriptRefreshes(Other(only)));
        Unregister(only);
    }
    Register(Bitness::kX86);
    Register(Bitness::kX64);
    for (Bitness host : kBoth) EXPECT_TRUE(MenuScriptRefreshes(host)) << Name(host);
}

}  // namespace
