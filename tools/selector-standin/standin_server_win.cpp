// Accept -> read until "</ov_request>" -> write the cards document -> close, then the next
// connection. Every wait also watches the stop event, so a stop ends the service promptly.
#include "tools/selector-standin/standin_server_win.h"

#include <fstream>
#include <sstream>
#include <string>

#include "tools/selector-standin/request_reader.h"
#include "tools/selector-standin/socket_win.h"

namespace {

enum class WaitResult { kReady, kTimedOut, kStopRequested };

// Longest single wait: readiness is re-checked at least this often.
const DWORD kPollSliceMs = 250;

ULONGLONG Now() { return ::GetTickCount64(); }

// Reads the cards file afresh for each reply, so it can be replaced while serving; false
// when it cannot be read (the client then gets no reply and keeps its cached cards).
bool ReadCards(std::string& cards) {
    std::ifstream in(CardsFilePath(), std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    cards = text.str();
    return !in.bad();
}

class Connection {
public:
    Connection(SOCKET socket, HANDLE stop) : socket(socket), stop(stop) {}

    // False when a stop was requested while serving.
    bool Serve() {
        if (!ready.Get()) return true;
        WaitResult result = ReadRequest();
        std::string cards;
        if (result == WaitResult::kReady && ReadCards(cards)) result = WriteReply(cards);
        if (result == WaitResult::kStopRequested) return false;
        ::shutdown(socket, SD_SEND);
        return AwaitClose() != WaitResult::kStopRequested;
    }

private:
    // kReady when the socket may be ready: the caller retries its call, which also covers a
    // readiness notification that never came.
    WaitResult WaitFor(long events, ULONGLONG deadline) {
        const ULONGLONG now = Now();
        if (now >= deadline) return WaitResult::kTimedOut;
        if (::WSAEventSelect(socket, ready.Get(), events) != 0) return WaitResult::kTimedOut;
        HANDLE handles[2] = {stop, ready.Get()};
        const ULONGLONG slice = deadline - now < kPollSliceMs ? deadline - now : kPollSliceMs;
        const DWORD woke = ::WaitForMultipleObjects(2, handles, FALSE, static_cast<DWORD>(slice));
        if (woke == WAIT_OBJECT_0) return WaitResult::kStopRequested;
        if (woke == WAIT_FAILED) return WaitResult::kTimedOut;
        WSANETWORKEVENTS happened;
        ::WSAEnumNetworkEvents(socket, ready.Get(), &happened);  // resets the event
        return WaitResult::kReady;
    }

    // kReady once the closing tag has arrived; kTimedOut also for a closed connection or an
    // over-long request.
    WaitResult ReadRequest() {
        const ULONGLONG deadline = Now() + kRequestTimeMs;
        RequestReader reader(kMaxRequestBytes);
        for (;;) {
            char buffer[4096];
            const int received = ::recv(socket, buffer, sizeof buffer, 0);
            if (received > 0) {
                const RequestReader::State state = reader.Append(buffer, received);
                if (state == RequestReader::kComplete) return WaitResult::kReady;
                if (state == RequestReader::kTooLong) return WaitResult::kTimedOut;
                continue;
            }
            if (received == 0 || ::WSAGetLastError() != WSAEWOULDBLOCK) return WaitResult::kTimedOut;
            const WaitResult waited = WaitFor(FD_READ | FD_CLOSE, deadline);
            if (waited != WaitResult::kReady) return waited;
        }
    }

    WaitResult WriteReply(const std::string& cards) {
        const ULONGLONG deadline = Now() + kReplyTimeMs;
        std::size_t sent = 0;
        while (sent < cards.size()) {
            const std::size_t chunk = cards.size() - sent < 65536 ? cards.size() - sent : 65536;
            const int written = ::send(socket, cards.data() + sent, static_cast<int>(chunk), 0);
            if (written > 0) {
                sent += static_cast<std::size_t>(written);
                continue;
            }
            if (::WSAGetLastError() != WSAEWOULDBLOCK) return WaitResult::kTimedOut;
            const WaitResult waited = WaitFor(FD_WRITE | FD_CLOSE, deadline);
            if (waited != WaitResult::kReady) return waited;
        }
        return WaitResult::kReady;
    }

    // Reads and drops what the client still sends until it closes, so that closing our side
    // never resets the connection while the reply is still on its way.
    WaitResult AwaitClose() {
        const ULONGLONG deadline = Now() + kLingerTimeMs;
        for (;;) {
            char buffer[4096];
            const int received = ::recv(socket, buffer, sizeof buffer, 0);
            if (received > 0) continue;
            if (received == 0 || ::WSAGetLastError() != WSAEWOULDBLOCK) return WaitResult::kReady;
            const WaitResult waited = WaitFor(FD_READ | FD_CLOSE, deadline);
            if (waited != WaitResult::kReady) return waited;
        }
    }

    SOCKET socket;
    HANDLE stop;
    UniqueEvent ready{::WSACreateEvent()};
};

}  // namespace

ServeResult ServeUntilStopped(const ListenEndpoint& endpoint, HANDLE stop) {
    UniqueSocket listener(::socket(endpoint.address.ss_family, SOCK_STREAM, IPPROTO_TCP));
    if (!listener.Valid()) return ServeResult::kCannotListen;
    BOOL exclusive = TRUE;  // a second stand-in must fail rather than share the port
    ::setsockopt(listener.Get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                 reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
    if (::bind(listener.Get(), reinterpret_cast<const sockaddr*>(&endpoint.address),
               endpoint.addressSize) != 0
        || ::listen(listener.Get(), SOMAXCONN) != 0)
        return ServeResult::kCannotListen;
    UniqueEvent pending(::WSACreateEvent());
    if (!pending.Get() || ::WSAEventSelect(listener.Get(), pending.Get(), FD_ACCEPT) != 0)
        return ServeResult::kCannotListen;

    // Accepts before every wait, and wakes now and then even without a notification, so a
    // connection that arrived before the event was armed is not left waiting.
    HANDLE handles[2] = {stop, pending.Get()};
    for (;;) {
        for (;;) {
            UniqueSocket client(::accept(listener.Get(), nullptr, nullptr));
            if (!client.Valid()) break;  // WSAEWOULDBLOCK: no more waiting connections
            if (!Connection(client.Get(), stop).Serve()) return ServeResult::kStopped;
        }
        const DWORD woke = ::WaitForMultipleObjects(2, handles, FALSE, kPollSliceMs);
        if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) break;
        WSANETWORKEVENTS happened;
        ::WSAEnumNetworkEvents(listener.Get(), pending.Get(), &happened);
    }
    return ServeResult::kStopped;
}
