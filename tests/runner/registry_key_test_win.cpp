// RegistryKey::ReadString: only REG_SZ text, the terminating NUL dropped only when present.
#include "runner/registry_key_win.h"

#include <gtest/gtest.h>

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

}  // namespace
