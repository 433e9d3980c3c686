// krestel-ss.dll loaded into the test: it answers the selector request with the cards file byte
// for byte, one connection at a time within its bounds, and stops through its stop event.
// HKEY_LOCAL_MACHINE is redirected to a scratch key that names a test port.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <string>

#include "addon/metadata/settings_win.h"
#include "addon/selector/fetch_metadata.h"
#include "addon/win/text_win.h"
#include "tests/runner/child_process_win.h"
#include "tests/runner/host_path_win.h"
#include "tests/runner/scratch_win.h"
#include "tests/selector-standin/selector_test_client_win.h"
#include "tools/selector-standin/stop_event.h"

namespace {

const char kScratch[] = "Software\\Brimwell-tests\\standin-machine";
const unsigned short kTestPort = 31993;
const std::string kRequest = kSelectorRequest;
typedef int (*EntryPoint)();

DWORD RunStopHelper() {
    return ChildProcess(HostPathToWindows(STANDIN_STOP_EXE), std::string()).Wait(30000);
}

class StandinTest : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(0, ::WSAStartup(MAKEWORD(2, 2), &data));
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0,
                                                   KEY_ALL_ACCESS, nullptr, &machine, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(machine, "Software\\Veltrane\\Brimwell", 0,
                                                   nullptr, 0, KEY_ALL_ACCESS, nullptr, &settings,
                                                   nullptr));
        const DWORD port = kTestPort;
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(settings, "Selector Selector Port", 0, REG_DWORD,
                                                  reinterpret_cast<const BYTE*>(&port), 4));
        SetHost("127.0.0.1");
        ASSERT_EQ(ERROR_SUCCESS, ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine));
        library = ::LoadLibraryA(HostPathToWindows(KRESTEL_SS_DLL).c_str());
        ASSERT_NE(nullptr, library);
        entry = reinterpret_cast<EntryPoint>(
            reinterpret_cast<void (*)()>(::GetProcAddress(library, "RunTcpServer")));
        ASSERT_NE(nullptr, entry);
        cardsPath = folder.path + "\\cards.xml";
        ASSERT_TRUE(::SetEnvironmentVariableA("BRIMWELL_STANDIN_CARDS", cardsPath.c_str()));
    }
    void TearDown() override {
        if (server.valid()) {
            Stop();
            EXPECT_EQ(std::future_status::ready, server.wait_for(std::chrono::seconds(10)));
        }
        ::SetEnvironmentVariableA("BRIMWELL_STANDIN_CARDS", nullptr);
        if (library) ::FreeLibrary(library);
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        ::RegCloseKey(settings);
        ::RegCloseKey(machine);
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
        ::WSACleanup();
    }

    void SetHost(const std::string& host) {
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(settings, "Selector Selector Host", 0, REG_SZ,
                                                  reinterpret_cast<const BYTE*>(host.c_str()),
                                                  static_cast<DWORD>(host.size() + 1)));
    }
    void WriteCards(const std::string& bytes) {
        std::ofstream(cardsPath, std::ios::binary) << bytes;
    }
    void Start() { server = std::async(std::launch::async, entry); }
    void Stop() {
        HANDLE stop = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, kStandinStopEventName);
        if (stop) {
            ::SetEvent(stop);
            ::CloseHandle(stop);
        }
    }
    std::string Ask(const std::string& request) { return AskSelector(kTestPort, request); }

    HKEY machine = nullptr;
    HKEY settings = nullptr;
    HMODULE library = nullptr;
    EntryPoint entry = nullptr;
    ScratchFolder folder{"standin"};
    std::string cardsPath;
    std::future<int> server;
};

TEST_F(StandinTest, AnswersEachRequestWithTheCardsFileByteForByte) {
    std::string cards = ReadWholeFile(HostPathToWindows(CARDS_EXAMPLE));
    ASSERT_NE(std::string::npos, cards.find("searchOverlayCard.sites"));
    WriteCards(cards);
    Start();
    EXPECT_EQ(cards, Ask(kRequest));

    // A large document with every byte value, read afresh for the next connection.
    cards.clear();
    for (int i = 0; i < 300000; ++i) cards.push_back(static_cast<char>(i * 7 % 256));
    WriteCards(cards);
    EXPECT_EQ(cards, Ask(kRequest));
}

TEST_F(StandinTest, ClosesWithoutReplyOnOverlongRequestsOrWithoutCards) {
    WriteCards("<r/>");
    Start();
    EXPECT_EQ("", Ask(std::string(70 * 1024, 'x') + kRequest));
    ::DeleteFileA(cardsPath.c_str());
    EXPECT_EQ("", Ask(kRequest));
    WriteCards("<r/>");
    EXPECT_EQ("<r/>", Ask(kRequest));
}

TEST_F(StandinTest, ASilentClientIsDroppedAndTheNextOneServed) {
    WriteCards("<r/>");
    Start();
    SelectorTestClient silent(kTestPort);
    ASSERT_TRUE(silent.Connect());
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ("<r/>", Ask(kRequest));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ("", silent.ReceiveAll(1000));
    EXPECT_TRUE(silent.closed);
}

TEST_F(StandinTest, StopHelperEndsTheServiceEvenDuringAConnection) {
    WriteCards("<r/>");
    Start();
    SelectorTestClient silent(kTestPort);
    ASSERT_TRUE(silent.Connect());
    ::Sleep(200);  // the service now waits for this client's request
    EXPECT_EQ(0u, RunStopHelper());
    ASSERT_EQ(std::future_status::ready, server.wait_for(std::chrono::seconds(2)));
    EXPECT_EQ(0, server.get());

    EXPECT_EQ(1u, RunStopHelper());  // nothing left to stop
}

TEST_F(StandinTest, RefusesToRunTwiceOrOnUnusableSettings) {
    WriteCards("<r/>");
    Start();
    EXPECT_EQ("<r/>", Ask(kRequest));
    EXPECT_EQ(1, entry());  // a second service in the same session
    Stop();
    ASSERT_EQ(std::future_status::ready, server.wait_for(std::chrono::seconds(5)));
    EXPECT_EQ(0, server.get());

    SetHost("localhost");
    EXPECT_EQ(1, entry());
    SetHost("127.0.0.1");
    const DWORD noPort = 0x10000;  // the add-on would use its low 16 bits: port 0
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(settings, "Selector Selector Port", 0, REG_DWORD,
                                              reinterpret_cast<const BYTE*>(&noPort), 4));
    EXPECT_EQ(1, entry());
}

// Whatever the host setting holds, the stand-in serves exactly when the add-on, reading the
// same settings, gets a reply from it.
TEST_F(StandinTest, ServesExactlyWhereTheAddonConnects) {
    WriteCards("<r/>");
    const struct {
        const char* name;
        const char* host;  // null: no value
        bool reached;
    } cases[] = {
        {"IPv4", "127.0.0.1", true},
        {"IPv6", "::1", true},
        {"IPv6 with a scope", "::1%1", true},
        {"empty", "", false},
        {"missing", nullptr, false},
        {"a name", "localhost", false},
    };
    HKEY user = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(machine, "user", 0, nullptr, 0, KEY_ALL_ACCESS,
                                               nullptr, &user, nullptr));
    SettingsRoots roots;
    roots.user = user;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.host) SetHost(c.host);
        else ::RegDeleteValueA(settings, "Selector Selector Host");
        Start();
        Settings addon;
        LoadSettings(addon, 0, false, roots);
        bool replied = false;
        for (int attempt = 0; attempt < 40 && !replied &&
                              server.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
             ++attempt) {
            selector::FetchMetadata(false, win::ToNarrow(addon.selectorHost), addon.selectorPort,
                                    [&](const std::string&) { replied = true; }, [] {});
            if (!replied) ::Sleep(50);
        }
        const bool serving = server.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
        EXPECT_EQ(serving, replied);
        EXPECT_EQ(c.reached, replied);
        Stop();
        ASSERT_EQ(std::future_status::ready, server.wait_for(std::chrono::seconds(5)));
        EXPECT_EQ(serving ? 0 : 1, server.get());
    }
    ::RegCloseKey(user);
}

// A handle to the stop event held anywhere keeps it, set, after a stop: the next run must
// serve all the same, and the stop helper must see that no stand-in runs once it has ended.
TEST_F(StandinTest, AStopEventKeptByAnotherHandleDoesNotEndTheNextRun) {
    WriteCards("<r/>");
    Start();
    EXPECT_EQ("<r/>", Ask(kRequest));
    HANDLE held = ::OpenEventA(SYNCHRONIZE, FALSE, kStandinStopEventName);
    ASSERT_NE(nullptr, held);
    EXPECT_EQ(0u, RunStopHelper());
    ASSERT_EQ(std::future_status::ready, server.wait_for(std::chrono::seconds(5)));
    EXPECT_EQ(0, server.get());
    EXPECT_EQ(1u, RunStopHelper());

    Start();
    EXPECT_EQ("<r/>", Ask(kRequest));
    EXPECT_EQ(std::future_status::timeout, server.wait_for(std::chrono::milliseconds(300)));
    EXPECT_EQ(0u, RunStopHelper());
    ASSERT_EQ(std::future_status::ready, server.wait_for(std::chrono::seconds(5)));
    EXPECT_EQ(0, server.get());
    EXPECT_EQ(1u, RunStopHelper());
    ::CloseHandle(held);
}

}  // namespace
