// Registrar applied to a scratch key standing in for the hives: register and unregister rules.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "addon/com/registrar_win.h"
#include "addon/win/unique_handle.h"
#include "tests/com/registry_dump_win.h"

namespace {

using testing_registry::Tree;
typedef std::set<std::wstring> Lines;

const wchar_t kScratch[] = L"Software\\BrimwellTests\\RegistrarApply";

class RegistrarApply : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0,
                                                   KEY_ALL_ACCESS, nullptr, scratch.Put(), nullptr));
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(scratch.Get(), L"HKCR", 0, nullptr, 0,
                                                   KEY_ALL_ACCESS, nullptr, classes.Put(), nullptr));
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(scratch.Get(), L"HKCU", 0, nullptr, 0,
                                                   KEY_ALL_ACCESS, nullptr, user.Put(), nullptr));
        roots = registrar::RootMap{classes.Get(), user.Get(), nullptr, nullptr, nullptr};
    }
    void TearDown() override {
        classes.Reset();
        user.Reset();
        scratch.Reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    }

    HRESULT Run(const wchar_t* text, registrar::Mode mode) {
        registrar::Replacements replacements;
        replacements[L"Module"] = L"C:\\x.dll";
        return registrar::RunScriptText(text, replacements, mode, roots);
    }
    void Put(const wchar_t* path, const wchar_t* valueName) {
        win::UniqueHKey key;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(scratch.Get(), path, 0, nullptr, 0,
                                                   KEY_ALL_ACCESS, nullptr, key.Put(), nullptr));
        if (valueName) {
            ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key.Get(), valueName, 0, REG_SZ,
                                                      reinterpret_cast<const BYTE*>(L"x"), 4));
        }
    }
    Lines All() { return Tree(HKEY_CURRENT_USER, kScratch); }

    win::UniqueHKey scratch, classes, user;
    registrar::RootMap roots{};
};

// A listing that shows string values as the registrar should store them, and anything else
// differently: without its NUL, with text after a NUL, or larger than a first read.
TEST_F(RegistrarApply, DumpShowsAStringAsStoredNotAsFarAsItsFirstNul) {
    const std::wstring large(33000, L'x');  // more bytes than the first read takes
    const struct {
        const wchar_t* name;
        std::wstring data;
        std::size_t stored;  // characters given to the registry
        std::wstring shown;
    } values[] = {
        {L"terminated", L"ab", 3, L"s:ab"},
        // Without a NUL after the counted text, or the registry would count it in itself.
        {L"unterminated", L"abX", 2, L"sz of 4 bytes:ab"},
        {L"after a NUL", std::wstring(L"ab\0c", 4), 5, L"sz of 10 bytes:ab\\0c\\0"},
        {L"large", large, large.size() + 1, L"s:" + large},
    };
    for (const auto& v : values) {
        ASSERT_EQ(ERROR_SUCCESS,
                  ::RegSetValueExW(user.Get(), v.name, 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(v.data.c_str()),
                                   static_cast<DWORD>(v.stored * sizeof(wchar_t))));
    }
    const Lines all = All();
    for (const auto& v : values) {
        const std::wstring line = L"HKCU | " + std::wstring(v.name) + L" = " + v.shown;
        EXPECT_EQ(1u, all.count(line)) << std::string(v.name, v.name + wcslen(v.name));
    }
    EXPECT_EQ(2u + sizeof values / sizeof values[0], all.size());  // HKCR, HKCU and the values
}

const wchar_t kScript[] =
    L"HKCR { NoRemove CLSID { ForceRemove {C1} = s 'Cls' { InprocServer32 = s '%MODULE%' "
    L"{ val ThreadingModel = s 'Apartment' } } } "
    L"Prog = s 'P' { CLSID = s '{C1}' } }\n"
    L"HKCU { NoRemove Software { Plain { val Keep = d 5 } } }";

TEST_F(RegistrarApply, RegisterWritesKeysAndTypedValues) {
    ASSERT_EQ(S_OK, Run(kScript, registrar::Mode::kRegister));
    EXPECT_EQ((Lines{L"HKCR", L"HKCR\\CLSID", L"HKCR\\CLSID\\{C1}", L"HKCR\\CLSID\\{C1} | @ = s:Cls",
                     L"HKCR\\CLSID\\{C1}\\InprocServer32",
                     L"HKCR\\CLSID\\{C1}\\InprocServer32 | @ = s:C:\\x.dll",
                     L"HKCR\\CLSID\\{C1}\\InprocServer32 | ThreadingModel = s:Apartment",
                     L"HKCR\\Prog", L"HKCR\\Prog | @ = s:P", L"HKCR\\Prog\\CLSID",
                     L"HKCR\\Prog\\CLSID | @ = s:{C1}", L"HKCU", L"HKCU\\Software",
                     L"HKCU\\Software\\Plain", L"HKCU\\Software\\Plain | Keep = d:5"}),
              All());
}

TEST_F(RegistrarApply, RegisterRecreatesForceRemoveKeysAndMergesOthers) {
    Put(L"HKCR\\CLSID\\{C1}\\Stale", L"old");
    Put(L"HKCR\\Prog", L"Foreign");
    ASSERT_EQ(S_OK, Run(kScript, registrar::Mode::kRegister));
    const Lines once = All();
    EXPECT_EQ(0u, once.count(L"HKCR\\CLSID\\{C1}\\Stale"));
    EXPECT_EQ(1u, once.count(L"HKCR\\Prog | Foreign = s:x"));
    ASSERT_EQ(S_OK, Run(kScript, registrar::Mode::kRegister));
    EXPECT_EQ(once, All());
}

TEST_F(RegistrarApply, UnregisterKeepsNoRemoveAndForeignSubkeysRemovesTheRest) {
    ASSERT_EQ(S_OK, Run(kScript, registrar::Mode::kRegister));
    Put(L"HKCR\\CLSID\\{C1}\\Foreign", nullptr);  // inside ForceRemove: goes with it
    Put(L"HKCR\\CLSID\\Other", nullptr);          // beside our class: stays
    Put(L"HKCR\\Prog\\Foreign", nullptr);         // keeps Prog alive
    Put(L"HKCU\\Software\\Plain", L"Foreign");    // values alone do not keep a key
    ASSERT_EQ(S_OK, Run(kScript, registrar::Mode::kUnregister));
    EXPECT_EQ((Lines{L"HKCR", L"HKCR\\CLSID", L"HKCR\\CLSID\\Other", L"HKCR\\Prog",
                     L"HKCR\\Prog | @ = s:P", L"HKCR\\Prog\\Foreign", L"HKCU",
                     L"HKCU\\Software"}),
              All());
}

TEST_F(RegistrarApply, UnregisterDeletesListedValuesOfKeptKeys) {
    ASSERT_EQ(S_OK, Run(L"HKCU { NoRemove K { val A = s 'a' val B = d 1 } }",
                        registrar::Mode::kRegister));
    Put(L"HKCU\\K", L"C");
    ASSERT_EQ(S_OK, Run(L"HKCU { NoRemove K { val A = s 'a' val B = d 1 } }",
                        registrar::Mode::kUnregister));
    EXPECT_EQ((Lines{L"HKCR", L"HKCU", L"HKCU\\K", L"HKCU\\K | C = s:x"}), All());
}

TEST_F(RegistrarApply, UnregisterOfWhatIsNotThereSucceedsAndChangesNothing) {
    EXPECT_EQ(S_OK, Run(kScript, registrar::Mode::kUnregister));
    EXPECT_EQ((Lines{L"HKCR", L"HKCU"}), All());
}

TEST_F(RegistrarApply, DeleteFlagRemovesAtRegistrationOnly) {
    Put(L"HKCU\\Old\\Below", L"v");
    ASSERT_EQ(S_OK, Run(L"HKCU { Delete Old New }", registrar::Mode::kRegister));
    EXPECT_EQ((Lines{L"HKCR", L"HKCU", L"HKCU\\New"}), All());
}

TEST_F(RegistrarApply, MalformedScriptChangesNothing) {
    Put(L"HKCR\\CLSID\\{C1}\\Stale", L"old");
    const Lines before = All();
    // The first root block is valid and would delete {C1}; the error comes later.
    EXPECT_EQ(registrar::kMalformedScript,
              Run(L"HKCR { NoRemove CLSID { ForceRemove {C1} } }\nHKCU { K { val v = d 'x' } }",
                  registrar::Mode::kRegister));
    EXPECT_EQ(before, All());
    EXPECT_EQ(registrar::kMalformedScript,
              Run(L"HKCR { NoRemove CLSID { ForceRemove {C1} } } %NOPE%", registrar::Mode::kUnregister));
    EXPECT_EQ(before, All());
}

TEST_F(RegistrarApply, HiveWithoutARootFailsWithoutWriting) {
    EXPECT_EQ(E_INVALIDARG, Run(L"HKLM { K }", registrar::Mode::kRegister));
    EXPECT_EQ((Lines{L"HKCR", L"HKCU"}), All());
}

}  // namespace
