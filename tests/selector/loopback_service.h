// A scripted stand-in for the selector service on a loopback port, for conversation tests.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace selector_test {

// What the service does with each connection it accepts.
struct ServiceScript {
    std::string reply;                      // written once the request has arrived
    std::size_t pieceSize = 0;              // 0: the whole reply in one write
    std::chrono::milliseconds pieceInterval{0};  // pause after each piece: a slow drip
    bool endless = false;                   // write the reply again and again until the client goes
    bool readRequest = true;                // false: never read, never write, hold the connection
    bool closeAfterReply = true;            // false: stay silent after the reply, connection open
    bool acceptConnections = true;          // false: listen only; connects wait in the backlog
    int backlog = 16;
    std::chrono::milliseconds quietPeriod{0};  // wait after the request, to catch trailing bytes
};

// What the service saw on one connection.
struct ServiceConnection {
    std::string received;                   // every byte the client sent
    bool requestComplete = false;           // the closing tag has arrived
    bool clientEnded = false;               // the client closed or shut down its sending side
    bool clientEndedBeforeReply = false;    // ... before the whole reply had been written
};

enum class LoopbackFamily { kIPv4, kIPv6 };

// Listens on an ephemeral loopback port and serves every connection by the script on a thread
// of its own, until destroyed.
class LoopbackService {
public:
    explicit LoopbackService(const ServiceScript& script,
                             LoopbackFamily family = LoopbackFamily::kIPv4);
    ~LoopbackService();
    LoopbackService(const LoopbackService&) = delete;
    LoopbackService& operator=(const LoopbackService&) = delete;

    std::uint16_t Port() const;
    std::size_t Connections() const;
    // Waits until `count` clients have ended their connections; false on time-out.
    bool WaitForClientEnds(std::size_t count, std::chrono::milliseconds timeout) const;
    std::vector<ServiceConnection> Transcript() const;

    class Impl;

private:
    std::unique_ptr<Impl> impl;
};

// True where an IPv6 loopback address can be listened on.
bool HasIPv6Loopback();
// A loopback port on which nothing listens (bound once, then released).
std::uint16_t UnusedLoopbackPort();

}  // namespace selector_test
