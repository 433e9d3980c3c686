// switchhost.exe as a whole: every outcome of a run, read back from its exit code and log.
// Each run gets its own APPDATA and bin folder; "VELTRANE_BIN" lives in the real machine hive.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/runner/child_process_win.h"
#include "tests/runner/host_path_win.h"
#include "tests/runner/log_file_win.h"
#include "tests/runner/scratch_win.h"
#include "tests/selector-standin/selector_test_client_win.h"

namespace {

typedef std::vector<std::string> Strings;
const char kKrestel[] = "Software\\Krestel";

// The current environment without APPDATA, plus APPDATA=value when one is given.
std::string EnvironmentBlock(const char* appData) {
    std::string block;
    LPCH strings = ::GetEnvironmentStringsA();
    for (const char* entry = strings; *entry; entry += strlen(entry) + 1)
        if (_strnicmp(entry, "APPDATA=", 8) != 0) block.append(entry).push_back('\0');
    ::FreeEnvironmentStringsA(strings);
    if (appData) block.append("APPDATA=").append(appData).push_back('\0');
    block.push_back('\0');
    return block;
}

// Points the add-on's selector settings in the machine hive at 127.0.0.1 and a test port for
// a while, and puts back what was there.
class ScopedSelectorAddress {
public:
    explicit ScopedSelectorAddress(DWORD port) {
        EXPECT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kBrimwell, 0, nullptr, 0,
                                                   KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key,
                                                   nullptr));
        Save(kPortValue, savedPort);
        Save(kHostValue, savedHost);
        ::RegSetValueExA(key, kPortValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&port), 4);
        ::RegSetValueExA(key, kHostValue, 0, REG_SZ, reinterpret_cast<const BYTE*>("127.0.0.1"), 10);
    }
    ~ScopedSelectorAddress() {
        Restore(kPortValue, savedPort);
        Restore(kHostValue, savedHost);
        ::RegCloseKey(key);
    }
    ScopedSelectorAddress(const ScopedSelectorAddress&) = delete;
    ScopedSelectorAddress& operator=(const ScopedSelectorAddress&) = delete;

private:
    struct Saved {
        bool present = false;
        DWORD type = 0;
        std::vector<BYTE> data = std::vector<BYTE>(512);
    };
    void Save(const char* name, Saved& saved) {
        DWORD size = static_cast<DWORD>(saved.data.size());
        saved.present = ::RegQueryValueExA(key, name, nullptr, &saved.type, saved.data.data(),
                                           &size) == ERROR_SUCCESS;
        saved.data.resize(saved.present ? size : 0);
    }
    void Restore(const char* name, const Saved& saved) {
        if (saved.present)
            ::RegSetValueExA(key, name, 0, saved.type, saved.data.data(),
                             static_cast<DWORD>(saved.data.size()));
        else
            ::RegDeleteValueA(key, name);
    }

    static constexpr const char* kBrimwell = "Software\\Veltrane\\Brimwell";
    static constexpr const char* kPortValue = "Selector Selector Port";
    static constexpr const char* kHostValue = "Selector Selector Host";
    HKEY key = nullptr;
    Saved savedPort, savedHost;
};

class SwitchhostTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Installers write both values once, in the 64-bit view, for either bitness.
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKrestel, 0, nullptr, 0,
                                                   KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                                                   &krestel, nullptr));
        char saved[MAX_PATH * 2];
        DWORD size = sizeof saved;
        hadBin = ::RegQueryValueExA(krestel, "VELTRANE_BIN", nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(saved), &size) == ERROR_SUCCESS;
        if (hadBin) savedBin.assign(saved, size);
    }
    void TearDown() override {
        if (hadBin)
            ::RegSetValueExA(krestel, "VELTRANE_BIN", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(savedBin.data()),
                             static_cast<DWORD>(savedBin.size()));
        else
            ::RegDeleteValueA(krestel, "VELTRANE_BIN");
        ::RegCloseKey(krestel);
    }

    void SetBinFolder(const std::string& folder) {
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(krestel, "VELTRANE_BIN", 0, REG_SZ,
                                                  reinterpret_cast<const BYTE*>(folder.c_str()),
                                                  static_cast<DWORD>(folder.size() + 1)));
    }

    // A bin folder holding the given test library as "krestel-ss.dll".
    void InstallLibrary(const char* hostPath) {
        ASSERT_TRUE(::CopyFileA(HostPathToWindows(hostPath).c_str(),
                                (bin.path + "\\krestel-ss.dll").c_str(), FALSE));
        SetBinFolder(bin.path);
    }

    DWORD Run(const char* appData, const std::string& arguments = std::string()) {
        std::string environment = EnvironmentBlock(appData);
        return ChildProcess(HostPathToWindows(SWITCHHOST_EXE), arguments, &environment[0]).Wait();
    }

    std::string LogPath() const { return appData.path + "\\veltrane\\switchhost.log"; }
    Strings LogTexts() const { return Texts(ParseLog(ReadWholeFile(LogPath()))); }

    HKEY krestel = nullptr;
    bool hadBin = false;
    std::string savedBin;
    ScratchFolder appData{"appdata"};
    ScratchFolder bin{"bin"};
};

TEST_F(SwitchhostTest, NormalRunLogsEveryStepAndAppendsOnTheNextRun) {
    InstallLibrary(FAKE_SERVER_RETURNS_DLL);
    const Strings run{"switchhost started...", "call RunTcpServer()", "end RunTcpServer()",
                      "FreeLibrary()", "switchhost stopped..."};
    EXPECT_EQ(0u, Run(appData.path.c_str()));
    EXPECT_EQ(run, LogTexts());

    EXPECT_EQ(0u, Run(appData.path.c_str(), " ignored arguments"));
    Strings twice = run;
    twice.insert(twice.end(), run.begin(), run.end());
    EXPECT_EQ(twice, LogTexts());
}

TEST_F(SwitchhostTest, UnloadableLibraryIsLoggedWithItsNativePath) {
    // Forward slashes and a trailing separator; the folder holds no library.
    std::string folder = bin.path + "\\";
    for (char& c : folder) c = c == '\\' ? '/' : c;
    SetBinFolder(folder);
    EXPECT_EQ(0u, Run(appData.path.c_str()));
    const Strings texts = LogTexts();
    ASSERT_EQ(3u, texts.size());
    EXPECT_EQ("switchhost started...", texts[0]);
    const std::string prefix = "LoadLibrary() error: " + bin.path + "\\krestel-ss.dll GetLastError: ";
    EXPECT_EQ(0u, texts[1].find(prefix)) << texts[1];
    EXPECT_EQ("126", texts[1].substr(prefix.size()));  // ERROR_MOD_NOT_FOUND
    EXPECT_EQ("switchhost stopped...", texts[2]);
}

TEST_F(SwitchhostTest, WithoutBinFolderTheBareLibraryNameIsTried) {
    ::RegDeleteValueA(krestel, "VELTRANE_BIN");
    EXPECT_EQ(0u, Run(appData.path.c_str()));
    EXPECT_EQ((Strings{"switchhost started...", "LoadLibrary() error: krestel-ss.dll GetLastError: 126",
                       "switchhost stopped..."}),
              LogTexts());
}

TEST_F(SwitchhostTest, MissingEntryPointIsLoggedWithoutAFreeLibraryLine) {
    InstallLibrary(FAKE_SERVER_WITHOUT_ENTRY_DLL);
    EXPECT_EQ(0u, Run(appData.path.c_str()));
    EXPECT_EQ((Strings{"switchhost started...",
                       "GetProcAddress(mod, \"RunTcpServer\") error: 127",  // ERROR_PROC_NOT_FOUND
                       "switchhost stopped..."}),
              LogTexts());
}

TEST_F(SwitchhostTest, ExceptionOutOfTheEntryPointEndsWithExitCodeOne) {
#ifndef _WIN64
    // i686 mingw unwinds with DWARF tables that each statically linked module keeps to itself:
    // an exception thrown in the library never reaches the runner's handler.
    GTEST_SKIP() << "a C++ exception cannot cross from one x86 module to another here";
#endif
    InstallLibrary(FAKE_SERVER_THROWS_DLL);
    EXPECT_EQ(1u, Run(appData.path.c_str()));
    EXPECT_EQ((Strings{"switchhost started...", "call RunTcpServer()",
                       "switchhost stopped with exception..."}),
              LogTexts());
}

TEST_F(SwitchhostTest, WithoutAppDataThereIsNoLogAndExitCodeOne) {
    InstallLibrary(FAKE_SERVER_RETURNS_DLL);
    EXPECT_EQ(1u, Run(nullptr));
    EXPECT_EQ(1u, Run(""));
    EXPECT_FALSE(FileExists(appData.path + "\\veltrane"));
}

TEST_F(SwitchhostTest, UncreatableDataFolderGivesExitCodeOneAndNoLog) {
    InstallLibrary(FAKE_SERVER_RETURNS_DLL);
    const std::string missingParent = appData.path + "\\absent\\deeper";
    EXPECT_EQ(1u, Run(missingParent.c_str()));
    EXPECT_FALSE(FileExists(appData.path + "\\absent"));
}

// The real stand-in hosted for a whole service life: serving, stopped from outside, logged.
TEST_F(SwitchhostTest, HostsTheStandinUntilItsStopHelperRuns) {
    InstallLibrary(KRESTEL_SS_DLL);
    const std::string cards = ReadWholeFile(HostPathToWindows(CARDS_EXAMPLE));
    ASSERT_FALSE(cards.empty());
    ASSERT_TRUE(::CopyFileA(HostPathToWindows(CARDS_EXAMPLE).c_str(),
                            (bin.path + "\\cards.xml").c_str(), FALSE));
    ScopedSelectorAddress address(31994);
    WSADATA data;
    ASSERT_EQ(0, ::WSAStartup(MAKEWORD(2, 2), &data));

    std::string environment = EnvironmentBlock(appData.path.c_str());
    ChildProcess host(HostPathToWindows(SWITCHHOST_EXE), std::string(), &environment[0]);
    EXPECT_EQ(cards, AskSelector(31994));
    EXPECT_EQ(cards, AskSelector(31994));
    EXPECT_EQ(0u, ChildProcess(HostPathToWindows(STANDIN_STOP_EXE), std::string()).Wait());
    EXPECT_EQ(0u, host.Wait(10000));
    ::WSACleanup();
    EXPECT_EQ((Strings{"switchhost started...", "call RunTcpServer()", "end RunTcpServer()",
                       "FreeLibrary()", "switchhost stopped..."}),
              LogTexts());
}

}  // namespace
