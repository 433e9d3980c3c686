// RegistryKey::ReadString: only REG_SZ text, the terminating NUL dropped only when present.
#include "runner/registry_key_win.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/runner/scratch_win.h"

namespace {

const char kScratch[] = "Software\\Brimwell-tests\\runner-registry";

class RegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0,
                                                   KEY_ALL_ACCESS, nullptr, &key, nullptr));
    }
    void TearDown() override {
        ::RegCloseKey(key);
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
    }

    // Stores the value and checks that the registry kept exactly the bytes given.
    void Store(const char* name, DWORD type, const char* data, DWORD size) {
        ASSERT_EQ(ERROR_SUCCESS, SetRawValue(key, name, type, data, size));
        DWORD stored = 0;
        ASSERT_EQ(ERROR_SUCCESS, ::RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &stored));
        ASSERT_EQ(size, stored) << name;
    }

    HKEY key = nullptr;
};

struct StoredCase {
    const char* name;
    DWORD type;
    const char* data;
    DWORD size;
    std::string text;
};

TEST_F(RegistryKeyTest, ReadsStringValuesAndRefusesEveryOtherKind) {
    const DWORD seven = 7;
    const StoredCase cases[] = {
        {"terminated", REG_SZ, "C:\\bin", 7, "C:\\bin"},
        {"unterminated", REG_SZ, "C:\\binX", 6, "C:\\bin"},
        {"inner nul", REG_SZ, "ab\0cd", 6, std::string("ab\0cd", 5)},
        {"only nul", REG_SZ, "", 1, ""},
        {"one char unterminated", REG_SZ, "xY", 1, "x"},
        {"empty", REG_SZ, "", 0, ""},
        {"expandable", REG_EXPAND_SZ, "%SystemRoot%\\bin", 17, ""},
        {"multi", REG_MULTI_SZ, "a\0b\0", 5, ""},
        {"binary", REG_BINARY, "C:\\bin", 7, ""},
        {"dword", REG_DWORD, reinterpret_cast<const char*>(&seven), 4, ""},
    };
    for (const StoredCase& c : cases) Store(c.name, c.type, c.data, c.size);

    RegistryKey reader(HKEY_CURRENT_USER, kScratch);
    for (const StoredCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.text, reader.ReadString(c.name));
    }
    EXPECT_EQ("", reader.ReadString("missing"));
}

TEST_F(RegistryKeyTest, MissingKeyOrEmptyKeyNameReadsNothing) {
    Store("", REG_SZ, "default", 8);  // the key's default value, reachable by an empty name
    EXPECT_EQ("", RegistryKey(HKEY_CURRENT_USER, std::string(kScratch) + "\\absent").ReadString(""));
    EXPECT_EQ("", RegistryKey(HKEY_CURRENT_USER, "").ReadString(""));
    EXPECT_EQ("default", RegistryKey(HKEY_CURRENT_USER, kScratch).ReadString(""));
}

// On 64-bit Windows an installer writes one value, in the 64-bit view; a copy in the 32-bit
// view is stale and must not be read, whatever the runner's own bitness.
TEST(RegistryKeyView, ReadsTheSixtyFourBitViewFromEitherBitness) {
    const char path[] = "Software\\Brimwell-tests\\runner-view";
    const struct { REGSAM view; const char* text; } kCopies[] = {
        {KEY_WOW64_64KEY, "C:\\installed"}, {KEY_WOW64_32KEY, "C:\\stale"}};
    for (const auto& copy : kCopies) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0,
                                                   KEY_ALL_ACCESS | copy.view, nullptr, &key, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, SetRawValue(key, "VELTRANE_BIN", REG_SZ, copy.text,
                                             static_cast<DWORD>(strlen(copy.text) + 1)));
        ::RegCloseKey(key);
    }
    EXPECT_EQ("C:\\installed", RegistryKey(HKEY_LOCAL_MACHINE, path).ReadString("VELTRANE_BIN"));
    for (const auto& copy : kCopies) ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path, copy.view, 0);
}

}  // namespace
