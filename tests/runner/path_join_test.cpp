// The joining rule: separators, native form, share prefixes and roots.
#include "runner/path_join.h"

#include <gtest/gtest.h>

namespace {

struct JoinCase {
    const char* folder;
    const char* name;
    const char* path;
};

const JoinCase kJoins[] = {
    {"C:\\bin", "krestel-ss.dll", "C:\\bin\\krestel-ss.dll"},
    {"C:\\bin\\", "krestel-ss.dll", "C:\\bin\\krestel-ss.dll"},
    {"C:/Program Files/Krestel/", "krestel-ss.dll", "C:\\Program Files\\Krestel\\krestel-ss.dll"},
    {"C:/bin", "krestel-ss.dll", "C:\\bin\\krestel-ss.dll"},
    {"", "krestel-ss.dll", "krestel-ss.dll"},
    {"C:", "switchhost.log", "C:switchhost.log"},
    {"C:\\data\\", "veltrane", "C:\\data\\veltrane"},
    {"C:\\data", "", "C:\\data"},
    {"C:\\data", "/veltrane", "C:\\data\\veltrane"},
    {"C:\\data", "sub/file.log", "C:\\data\\sub\\file.log"},
    {"//server/share", "krestel-ss.dll", "\\\\server\\share\\krestel-ss.dll"},
    {"\\\\server\\share\\", "x", "\\\\server\\share\\x"},
    {"\\\\server\\\\share", "x", "\\\\server\\share\\x"},
    {"C:\\\\\\bin", "x", "C:\\bin\\x"},
    {"C://bin", "x", "C:\\bin\\x"},
    {"\\\\\\bin", "x", "\\bin\\x"},
    {"bin", "x", "bin\\x"},
};

TEST(PathJoin, FollowsTheJoiningRuleInNativeForm) {
    for (const JoinCase& c : kJoins) {
        SCOPED_TRACE(std::string(c.folder) + " + " + c.name);
        EXPECT_EQ(c.path, JoinPath(c.folder, c.name));
    }
}

TEST(PathJoin, NativeFormOfTextWithoutSeparatorsIsUnchanged) {
    EXPECT_EQ("", ToNativePath(""));
    EXPECT_EQ("krestel-ss.dll", ToNativePath("krestel-ss.dll"));
    EXPECT_EQ("\\\\", ToNativePath("//"));
}

}  // namespace
