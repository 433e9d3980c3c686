// App-data and data folders: native form, one separator before "veltrane", caching once known.
// The caches are process-wide, so the steps run in order inside one test.
#include "runner/folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

void SetAppData(const char* value) {
#ifdef _WIN32
    ASSERT_EQ(0, _putenv_s("APPDATA", value ? value : ""));
#else
    if (value)
        ASSERT_EQ(0, setenv("APPDATA", value, 1));
    else
        ASSERT_EQ(0, unsetenv("APPDATA"));
#endif
}

TEST(Folders, AreLookedUpUntilKnownThenCachedForTheProcess) {
    SetAppData(nullptr);
    EXPECT_EQ("", GetAppDataFolder());
    EXPECT_EQ("", GetDataFolder());

    SetAppData("");
    EXPECT_EQ("", GetDataFolder());

    SetAppData("C:/Users/ann/AppData/Roaming\\");
    EXPECT_EQ("C:/Users/ann/AppData/Roaming\\", GetAppDataFolder());
    EXPECT_EQ("C:\\Users\\ann\\AppData\\Roaming\\veltrane", GetDataFolder());

    SetAppData("D:\\elsewhere");
    EXPECT_EQ("C:/Users/ann/AppData/Roaming\\", GetAppDataFolder());
    EXPECT_EQ("C:\\Users\\ann\\AppData\\Roaming\\veltrane", GetDataFolder());
    SetAppData(nullptr);
    EXPECT_EQ("C:\\Users\\ann\\AppData\\Roaming\\veltrane", GetDataFolder());
}

}  // namespace
