// Package rows: how registrar scripts become authored rows, and the WiX text they are written as.
#include "installer/registry_rows.h"
#include "installer/wix_rows.h"

#include <gtest/gtest.h>

#include <string>

#include "addon/com/server_key_placement.h"
#include "addon/com/server_replacements.h"

namespace {

using installer::PackageRows;
using installer::RegistryRow;

bool Collect(const std::wstring& text, PackageRows& rows, std::string& error) {
    registrar::Script script;
    registrar::ParseError parseError;
    if (!registrar::ParseScript(text, com::ServerReplacements(installer::kModuleMarker), script,
                                parseError)) {
        error = parseError.message;
        return false;
    }
    return installer::CollectRows(script, com::ServerKeyPlacement(), rows, error);
}

std::string Narrow(const std::wstring& text) { return installer::Utf8(text); }

std::string Lines(const std::vector<RegistryRow>& rows) {
    return Narrow(installer::RegistryValueElements(rows, L"dll"));
}

TEST(InstallerRows, SortsKeysByViewAndAuthorsForceRemoveAsWholeKeys) {
    PackageRows rows;
    std::string error;
    ASSERT_TRUE(Collect(LR"(HKCR {
        prog.Id = s 'Name' { CLSID = s '{1}' }
        NoRemove CLSID { ForceRemove {1} = s 'Class' { InprocServer32 = s '%MODULE%' { val ThreadingModel = s 'Apartment' } } }
    }
    HKLM { NoRemove Software { ForceRemove Veltrane { val Port = d '31002' } } })",
                        rows, error))
        << error;
    EXPECT_EQ(Lines(rows.ownView),
              "<RegistryValue Root=\"HKCR\" Key=\"CLSID\\{1}\" Name=\"*\" Type=\"string\" Value=\"\"/>\n"
              "<RegistryValue Root=\"HKCR\" Key=\"CLSID\\{1}\" Type=\"string\" Value=\"Class\"/>\n"
              "<RegistryValue Root=\"HKCR\" Key=\"CLSID\\{1}\\InprocServer32\" Type=\"string\" Value=\"[#dll]\"/>\n"
              "<RegistryValue Root=\"HKCR\" Key=\"CLSID\\{1}\\InprocServer32\" Name=\"ThreadingModel\" Type=\"string\" Value=\"Apartment\"/>\n");
    // The ProgID exists once for both bitnesses; the settings once, in the 64-bit view.
    EXPECT_EQ(Lines(rows.shared),
              "<RegistryValue Root=\"HKCR\" Key=\"prog.Id\" Type=\"string\" Value=\"Name\"/>\n"
              "<RegistryValue Root=\"HKCR\" Key=\"prog.Id\\CLSID\" Type=\"string\" Value=\"{1}\"/>\n"
              "<RegistryValue Root=\"HKLM\" Key=\"Software\\Veltrane\" Name=\"*\" Type=\"string\" Value=\"\"/>\n"
              "<RegistryValue Root=\"HKLM\" Key=\"Software\\Veltrane\" Name=\"Port\" Type=\"integer\" Value=\"31002\"/>\n");
    EXPECT_TRUE(rows.userKeys.empty());
}

TEST(InstallerRows, PerUserKeysGetNoRowsButAreListedForRemoval) {
    PackageRows rows;
    std::string error;
    ASSERT_TRUE(Collect(LR"(HKCU { NoRemove Software {
        ForceRemove Veltrane { ForceRemove Brimwell { val 'Force Refresh' = d '1' } }
        NoRemove Microsoft { ForceRemove 'Menu Entry' = s 'res://%MODULE%/201' } } })",
                        rows, error))
        << error;
    EXPECT_TRUE(rows.ownView.empty());
    EXPECT_TRUE(rows.shared.empty());
    // The outermost ForceRemove key only: deleting it takes what is below it.
    ASSERT_EQ(rows.userKeys.size(), 2u);
    EXPECT_EQ(Narrow(rows.userKeys[0]), "Software\\Veltrane");
    EXPECT_EQ(Narrow(rows.userKeys[1]), "Software\\Microsoft\\Menu Entry");
    EXPECT_EQ(Narrow(installer::UserKeyRemovalActions(rows.userKeys)),
              "<CustomAction Id=\"RemoveUserKey1\" Property=\"CMDEXE\" ExeCommand=\"/c if not exist "
              "&quot;$(var.InstalledAddon)&quot; reg.exe delete &quot;HKCU\\Software\\Veltrane&quot; /f\" "
              "Execute=\"immediate\" Return=\"ignore\"/>\n"
              "<CustomAction Id=\"RemoveUserKey2\" Property=\"CMDEXE\" ExeCommand=\"/c if not exist "
              "&quot;$(var.InstalledAddon)&quot; reg.exe delete &quot;HKCU\\Software\\Microsoft\\Menu "
              "Entry&quot; /f\" Execute=\"immediate\" Return=\"ignore\"/>\n");
}

TEST(InstallerRows, RefusesWhatRowsCannotExpress) {
    const wchar_t* const kScripts[] = {
        L"HKCR { Delete Old }",                      // deleting at install time
        L"HKLM { NoRemove Software { Empty } }",     // created, but never removed
        L"HKU { NoRemove Software { X = s 'y' } }",  // another hive
    };
    for (const wchar_t* script : kScripts) {
        PackageRows rows;
        std::string error;
        EXPECT_FALSE(Collect(script, rows, error)) << Narrow(script);
        EXPECT_FALSE(error.empty());
    }
}

TEST(InstallerRows, EscapesTextForTheInstallerAndTheWixPreprocessor) {
    // "[" starts a property reference, "#" at the start makes a number, "$" a WiX variable,
    // and XML needs its own escapes.
    registrar::Value value;
    value.text = L"#a[b]=\"${1}\" & <c>";
    RegistryRow row;
    row.key = L"Software\\K[1]";
    row.value = value;
    EXPECT_EQ(Lines({row}),
              "<RegistryValue Root=\"HKLM\" Key=\"Software\\K[\\[]1[\\]]\" Type=\"string\" "
              "Value=\"##a[\\[]b[\\]]=&quot;$${1}&quot; &amp; &lt;c&gt;\"/>\n");
}

TEST(InstallerRows, WritesWideTextAsUtf8) {
    EXPECT_EQ(installer::Utf8(L"a\u00e9\u20ac\U0001F600"), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
}

}  // namespace
