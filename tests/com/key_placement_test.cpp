// Placement of registration keys: the most specific rule, whole names, any ASCII case.
#include "addon/com/key_placement.h"
#include "addon/com/server_key_placement.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

using registrar::Hive;
using registrar::Placement;
using registrar::PlacementOf;

TEST(KeyPlacement, MostSpecificWholeNameRuleWins) {
    const std::vector<registrar::PlacementRule> rules = {
        {Hive::kLocalMachine, L"", Placement::kOwnView},
        {Hive::kLocalMachine, L"Software\\Vel", Placement::kShared64BitView},
        {Hive::kLocalMachine, L"Software\\Vel\\Own", Placement::kOwnView},
    };
    EXPECT_EQ(Placement::kShared64BitView, PlacementOf(rules, Hive::kLocalMachine, L"Software\\Vel"));
    EXPECT_EQ(Placement::kShared64BitView, PlacementOf(rules, Hive::kLocalMachine, L"SOFTWARE\\vel\\X"));
    EXPECT_EQ(Placement::kOwnView, PlacementOf(rules, Hive::kLocalMachine, L"Software\\Vel\\Own\\Y"));
    EXPECT_EQ(Placement::kOwnView, PlacementOf(rules, Hive::kLocalMachine, L"Software\\Veltrane"));
    EXPECT_EQ(Placement::kOwnView, PlacementOf(rules, Hive::kLocalMachine, L"Software"));
    EXPECT_EQ(Placement::kOwnView, PlacementOf(rules, Hive::kCurrentUser, L"Software\\Vel"));
}

TEST(KeyPlacement, ServerKeepsClassesPerBitnessAndSettingsOnce) {
    const auto& rules = com::ServerKeyPlacement();
    const struct { Hive hive; const wchar_t* path; Placement placement; } kKeys[] = {
        {Hive::kClassesRoot, L"CLSID\\{5B2C8A41-7D3E-4F90-A6C1-2E8D94B07F13}", Placement::kOwnView},
        {Hive::kClassesRoot, L"brimwelladdon.BrimwellBHO", Placement::kShared},
        {Hive::kClassesRoot, L"AppID\\brimwell-addon.DLL", Placement::kShared},
        {Hive::kLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                              L"Browser Helper Objects\\{5B2C8A41-7D3E-4F90-A6C1-2E8D94B07F13}",
         Placement::kOwnView},
        {Hive::kLocalMachine, L"Software\\Microsoft\\Internet Explorer\\Extensions\\X", Placement::kOwnView},
        {Hive::kLocalMachine, L"Software\\Veltrane\\Brimwell", Placement::kShared64BitView},
        {Hive::kCurrentUser, L"Software\\Veltrane\\Brimwell", Placement::kShared},
        {Hive::kCurrentUser, L"Software\\Microsoft\\Internet Explorer\\MenuExt\\Refresh Veltrane Brimwell",
         Placement::kShared},
    };
    for (const auto& key : kKeys)
        EXPECT_EQ(key.placement, PlacementOf(rules, key.hive, key.path)) << std::string(
            key.path, key.path + wcslen(key.path));
}

}  // namespace
