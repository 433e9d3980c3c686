// Owners for Winsock start-up, sockets and event handles of the stand-in.
#pragma once

#include <winsock2.h>

class WinsockSession {
public:
    WinsockSession() { WSADATA data; started = ::WSAStartup(MAKEWORD(2, 2), &data) == 0; }
    ~WinsockSession() { if (started) ::WSACleanup(); }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    bool Started() const { return started; }

private:
    bool started;
};

class UniqueSocket {
public:
    explicit UniqueSocket(SOCKET s = INVALID_SOCKET) : socket(s) {}
    ~UniqueSocket() { if (socket != INVALID_SOCKET) ::closesocket(socket); }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;
    SOCKET Get() const { return socket; }
    bool Valid() const { return socket != INVALID_SOCKET; }

private:
    SOCKET socket;
};

class UniqueEvent {
public:
    explicit UniqueEvent(HANDLE h = nullptr) : handle(h) {}
    ~UniqueEvent() { if (handle) ::CloseHandle(handle); }
    UniqueEvent(const UniqueEvent&) = delete;
    UniqueEvent& operator=(const UniqueEvent&) = delete;
    HANDLE Get() const { return handle; }

private:
    HANDLE handle;
};
