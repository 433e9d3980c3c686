// The scripted loopback service: an acceptor and one session per connection on an I/O thread.
#include "tests/selector/loopback_service.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace selector_test {

using boost::asio::ip::tcp;
using boost::system::error_code;

namespace {

const char kRequestEnd[] = "</ov_request>";

tcp::endpoint LoopbackEndpoint(LoopbackFamily family, std::uint16_t port) {
    if (family == LoopbackFamily::kIPv6)
        return tcp::endpoint(boost::asio::ip::address_v6::loopback(), port);
    return tcp::endpoint(boost::asio::ip::address_v4::loopback(), port);
}

}  // namespace

class LoopbackService::Impl {
public:
    Impl(const ServiceScript& script, LoopbackFamily family)
        : acceptor(io), work(boost::asio::make_work_guard(io)), script(script) {
        const tcp::endpoint endpoint = LoopbackEndpoint(family, 0);
        acceptor.open(endpoint.protocol());
        acceptor.bind(endpoint);
        acceptor.listen(script.backlog);
        port = acceptor.local_endpoint().port();
        if (script.acceptConnections)
            StartAccept();
        thread = std::thread([this] {
            try { io.run(); } catch (...) {}
        });
    }

    ~Impl() {
        io.stop();
        thread.join();
    }

    std::size_t Open();                     // records a new connection, returns its index
    template <class Change> void Update(std::size_t index, Change change);

    boost::asio::io_context io;
    std::vector<std::shared_ptr<void>> held;  // sessions that never read; io thread only
    tcp::acceptor acceptor;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work;
    const ServiceScript script;
    std::uint16_t port = 0;
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<ServiceConnection> connections;
    std::size_t clientEnds = 0;
    std::thread thread;

private:
    void StartAccept();
};

namespace {

// One accepted connection: a reader that records everything the client sends, and a writer that
// follows the script once the request is complete.
class Session : public std::enable_shared_from_this<Session> {
public:
    Session(LoopbackService::Impl& service, tcp::socket socket)
        : service(service), script(service.script), socket(std::move(socket)),
          quiet(service.io), index(service.Open()) {}

    void Start() {
        if (!script.readRequest) {
            // Holds the connection without reading: the client's data stays in the buffers.
            service.held.push_back(shared_from_this());
            return;
        }
        StartRead();
    }

private:
    void StartRead() {
        socket.async_read_some(boost::asio::buffer(buffer),
            [self = shared_from_this()](const error_code& ec, std::size_t bytes) {
                self->HandleRead(ec, bytes);
            });
    }

    void HandleRead(const error_code& ec, std::size_t bytes) {
        if (ec) {
            service.Update(index, [&](ServiceConnection& c) {
                c.clientEnded = true;
                c.clientEndedBeforeReply = !replyDone;
            });
            clientEnded = true;
            if (replyDone || !requestComplete) Close();
            return;
        }
        bool completedNow = false;
        service.Update(index, [&](ServiceConnection& c) {
            c.received.append(buffer, bytes);
            if (!c.requestComplete && c.received.find(kRequestEnd) != std::string::npos) {
                c.requestComplete = true;
                completedNow = true;
            }
        });
        if (completedNow) {
            requestComplete = true;
            if (script.quietPeriod.count() > 0) {
                quiet.expires_after(script.quietPeriod);
                quiet.async_wait([self = shared_from_this()](const error_code& e) {
                    if (!e) self->WriteNextPiece();
                });
            } else {
                WriteNextPiece();
            }
        }
        StartRead();
    }

    void WriteNextPiece() {
        if (written == script.reply.size()) {
            if (script.endless && !script.reply.empty()) {
                written = 0;
            } else {
                EndReply();
                return;
            }
        }
        std::size_t size = script.reply.size() - written;
        if (script.pieceSize != 0) size = std::min(size, script.pieceSize);
        boost::asio::async_write(socket, boost::asio::buffer(script.reply.data() + written, size),
            [self = shared_from_this()](const error_code& ec, std::size_t bytes) {
                if (ec) { self->Close(); return; }   // the client has gone
                self->written += bytes;
                self->AfterPiece();
            });
    }

    void AfterPiece() {
        if (script.pieceInterval.count() == 0) {
            WriteNextPiece();
            return;
        }
        quiet.expires_after(script.pieceInterval);
        quiet.async_wait([self = shared_from_this()](const error_code& e) {
            if (!e) self->WriteNextPiece();
        });
    }

    void EndReply() {
        replyDone = true;
        if (!script.closeAfterReply) return;     // silent from here on, connection held
        error_code ignored;
        socket.shutdown(tcp::socket::shutdown_send, ignored);  // the end of the reply
        if (clientEnded) Close();
        // otherwise the reader closes once the client has closed its side
    }

    void Close() {
        error_code ignored;
        quiet.cancel();
        socket.close(ignored);
    }

    LoopbackService::Impl& service;
    const ServiceScript& script;
    tcp::socket socket;
    boost::asio::steady_timer quiet;
    std::size_t index;
    char buffer[4096];
    std::size_t written = 0;
    bool requestComplete = false;
    bool replyDone = false;
    bool clientEnded = false;
};

}  // namespace

void LoopbackService::Impl::StartAccept() {
    acceptor.async_accept([this](const error_code& ec, tcp::socket socket) {
        if (ec) return;
        socket.set_option(tcp::no_delay(true));
        std::make_shared<Session>(*this, std::move(socket))->Start();
        StartAccept();
    });
}

std::size_t LoopbackService::Impl::Open() {
    std::lock_guard<std::mutex> hold(mutex);
    connections.emplace_back();
    changed.notify_all();
    return connections.size() - 1;
}

template <class Change>
void LoopbackService::Impl::Update(std::size_t index, Change change) {
    std::lock_guard<std::mutex> hold(mutex);
    ServiceConnection& connection = connections[index];
    const bool endedBefore = connection.clientEnded;
    change(connection);
    if (!endedBefore && connection.clientEnded) ++clientEnds;
    changed.notify_all();
}

LoopbackService::LoopbackService(const ServiceScript& script, LoopbackFamily family)
    : impl(new Impl(script, family)) {}

LoopbackService::~LoopbackService() = default;

std::uint16_t LoopbackService::Port() const { return impl->port; }

std::size_t LoopbackService::Connections() const {
    std::lock_guard<std::mutex> hold(impl->mutex);
    return impl->connections.size();
}

bool LoopbackService::WaitForClientEnds(std::size_t count,
                                        std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> hold(impl->mutex);
    return impl->changed.wait_for(hold, timeout, [&] { return impl->clientEnds >= count; });
}

std::vector<ServiceConnection> LoopbackService::Transcript() const {
    std::lock_guard<std::mutex> hold(impl->mutex);
    return impl->connections;
}

bool HasIPv6Loopback() {
    try {
        boost::asio::io_context io;
        tcp::acceptor acceptor(io, LoopbackEndpoint(LoopbackFamily::kIPv6, 0));
        return true;
    } catch (...) {
        return false;
    }
}

std::uint16_t UnusedLoopbackPort() {
    boost::asio::io_context io;
    tcp::acceptor acceptor(io, LoopbackEndpoint(LoopbackFamily::kIPv4, 0));
    return acceptor.local_endpoint().port();
}

}  // namespace selector_test
