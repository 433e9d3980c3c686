// GetBinFolder and the library path: registry reading until a value is found, then cached.
// HKEY_LOCAL_MACHINE is redirected to a scratch key, so the real hive is never touched.
#include <gtest/gtest.h>

#include "runner/folders.h"
#include "runner/server_host.h"
#include "tests/runner/scratch_win.h"

namespace {

const char kScratch[] = "Software\\Brimwell-tests\\runner-machine";

TEST(BinFolder, IsReadUntilFoundThenCachedAndGivesTheLibraryPath) {
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
    HKEY machine = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0,
                                               KEY_ALL_ACCESS, nullptr, &machine, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine));

    EXPECT_EQ("", GetBinFolder());  // no "Software\Krestel" key at all

    HKEY krestel = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(machine, "Software\\Krestel", 0, nullptr, 0,
                                               KEY_ALL_ACCESS, nullptr, &krestel, nullptr));
    EXPECT_EQ("", GetBinFolder());  // key without the value
    ASSERT_EQ(ERROR_SUCCESS, SetRawValue(krestel, "VELTRANE_BIN", REG_EXPAND_SZ, "%TEMP%\\bin", 11));
    EXPECT_EQ("", GetBinFolder());

    const char stored[] = "C:/Krestel/bin\\\0old tail";
    ASSERT_EQ(ERROR_SUCCESS, SetRawValue(krestel, "VELTRANE_BIN", REG_SZ, stored, sizeof stored));
    EXPECT_EQ("C:/Krestel/bin\\", GetBinFolder());

    ASSERT_EQ(ERROR_SUCCESS, SetRawValue(krestel, "VELTRANE_BIN", REG_SZ, "D:\\other", 9));
    EXPECT_EQ("C:/Krestel/bin\\", GetBinFolder());
    EXPECT_EQ("C:\\Krestel\\bin\\krestel-ss.dll", GetServerLibraryPath());

    ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    ::RegCloseKey(krestel);
    ::RegCloseKey(machine);
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
}

}  // namespace
