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

#include "tests/runner/host_path_win.h"
#include "tests/runner/scratch_win.h"

namespace {

const char kScratch[] = "Software\\Brimwell-tests\\standin-machine";
const DWORD kTestPort = 31993;
const std::string kRequest = "<ov_request><url>url</url></ov_request>";
typedef int (*EntryPoint)();

class Client {
public:
    Client() : socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {}
    ~Client() { ::closesocket(socket); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // Retries while the service is still starting.
    bool Connect() {
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = ::htons(static_cast<u_short>(kTestPort));
        ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
                return true;
            ::closesocket(socket);
            socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            ::Sleep(50);
        }
        return false;
    }
    void Send(const std::string& bytes) {
        ASSERT_EQ(static_cast<int>(bytes.size()),
                  ::send(socket, bytes.data(), static_cast<int>(bytes.size()), 0));
    }
    // Everything until the service closes; gives up after timeoutMs without data.
    std::string ReceiveAll(DWORD timeoutMs = 15000) {
        ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs),
                     sizeof timeoutMs);
        std::string reply;
        char buffer[8192];
        int received;
        while ((received = ::recv(socket, buffer, sizeof buffer, 0)) > 0) reply.append(buffer, received);
        lastError = received == 0 ? 0 : ::WSAGetLastError();
        closed = received == 0 || lastError == WSAECONNRESET;
        return reply;
    }

    bool closed = false;
    int lastError = 0;

private:
    SOCKET socket;
};

bool RunStopHelper(DWORD& exitCode) {
    std::string command = "selector-standin-stop.exe";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(HostPathToWindows(STANDIN_STOP_EXE).c_str(), &command[0], nullptr,
                          nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    ::WaitForSingleObject(process.hProcess, 30000);
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
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
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(settings, "Selector Selector Port", 0, REG_DWORD,
                                                  reinterpret_cast<const BYTE*>(&kTestPort), 4));
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

    void WriteCards(const std::string& bytes) {
        std::ofstream(cardsPath, std::ios::binary) << bytes;
    }
    void Start() { server = std::async(std::launch::async, entry); }
    void Stop() {
        HANDLE stop = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, "Local\\BrimwellSelectorStandinStop");
        if (stop) {
            ::SetEvent(stop);
            ::CloseHandle(stop);
        }
    }
    std::string Ask(const std::string& request) {
        Client client;
        if (!client.Connect()) {
            ADD_FAILURE() << "the stand-in does not listen";
            return std::string();
        }
        client.Send(request);
        const std::string reply = client.ReceiveAll();
        EXPECT_TRUE(client.closed) << "error " << client.lastError;
        return reply;
    }

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

TEST_F(StandinTest, WaitsForTheClosingTagOfARequestSentInPieces) {
    WriteCards("<r><card/></r>");
    Start();
    Client client;
    ASSERT_TRUE(client.Connect());
    client.Send(kRequest.substr(0, 20));
    ::Sleep(300);
    client.Send(kRequest.substr(20, 14));
    ::Sleep(300);
    client.Send(kRequest.substr(34));
    EXPECT_EQ("<r><card/></r>", client.ReceiveAll());
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
    Client silent;
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
    Client silent;
    ASSERT_TRUE(silent.Connect());
    ::Sleep(200);  // the service now waits for this client's request
    DWORD exitCode = 99;
    ASSERT_TRUE(RunStopHelper(exitCode));
    EXPECT_EQ(0u, exitCode);
    ASSERT_EQ(std::future_status::ready, server.wait_for(std::chrono::seconds(2)));
    EXPECT_EQ(0, server.get());

    ASSERT_TRUE(RunStopHelper(exitCode));
    EXPECT_EQ(1u, exitCode);  // nothing left to stop
}

TEST_F(StandinTest, RefusesToRunTwiceOrOnANonNumericHost) {
    WriteCards("<r/>");
    Start();
    EXPECT_EQ("<r/>", Ask(kRequest));
    EXPECT_EQ(1, entry());  // a second service in the same session
    Stop();
    ASSERT_EQ(std::future_status::ready, server.wait_for(std::chrono::seconds(5)));
    EXPECT_EQ(0, server.get());

    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(settings, "Selector Selector Host", 0, REG_SZ,
                                              reinterpret_cast<const BYTE*>("localhost"), 10));
    EXPECT_EQ(1, entry());
}

}  // namespace
