// A blocking TCP client that plays the add-on's side of the selector conversation in tests.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <string>

const char kSelectorRequest[] = "<ov_request><url>url</url></ov_request>";

class SelectorTestClient {
public:
    explicit SelectorTestClient(unsigned short port) : port(port), socket(NewSocket()) {}
    ~SelectorTestClient() { ::closesocket(socket); }
    SelectorTestClient(const SelectorTestClient&) = delete;
    SelectorTestClient& operator=(const SelectorTestClient&) = delete;

    // Retries for a few seconds while the service is still starting.
    bool Connect() {
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = ::htons(port);
        ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
        for (int attempt = 0; attempt < 200; ++attempt) {
            if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
                return true;
            ::closesocket(socket);
            socket = NewSocket();
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
        while ((received = ::recv(socket, buffer, sizeof buffer, 0)) > 0)
            reply.append(buffer, received);
        lastError = received == 0 ? 0 : ::WSAGetLastError();
        closed = received == 0 || lastError == WSAECONNRESET;
        return reply;
    }

    bool closed = false;
    int lastError = 0;

private:
    static SOCKET NewSocket() { return ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP); }

    unsigned short port;
    SOCKET socket;
};

// One whole conversation: connect, send the request, read until closed.
inline std::string AskSelector(unsigned short port, const std::string& request = kSelectorRequest) {
    SelectorTestClient client(port);
    if (!client.Connect()) {
        ADD_FAILURE() << "nothing listens on port " << port;
        return std::string();
    }
    client.Send(request);
    const std::string reply = client.ReceiveAll();
    EXPECT_TRUE(client.closed) << "error " << client.lastError;
    return reply;
}
