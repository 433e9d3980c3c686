// One selector conversation as a chain of asynchronous steps on the caller's I/O service.
#pragma once

#include "addon/selector/selector_bounds.h"
#include "addon/selector/selector_handlers.h"

#include <boost/asio/io_service.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <cstddef>
#include <string>

namespace selector {

// Connect -> Write (the whole request) -> Read (512 bytes, repeats) -> Finish.
// Constructing the client starts the connect; it reports only through its two handlers, and
// Finish calls exactly one of them, once. Handlers bind `this`: the client must outlive run().
class SelectorClient {
public:
    SelectorClient(boost::asio::io_service& io, const boost::asio::ip::tcp::endpoint& endpoint,
                   const ReplyHandler& onReply, const NoReplyHandler& onNoReply,
                   const SelectorBounds& bounds = SelectorBounds());
    SelectorClient(const SelectorClient&) = delete;
    SelectorClient& operator=(const SelectorClient&) = delete;

private:
    enum State { kConnecting, kWriting, kReading, kFinished };

    void StartConnect(const boost::asio::ip::tcp::endpoint& endpoint);
    void HandleConnect(const boost::system::error_code& ec);
    void StartWrite();
    void HandleWrite(const boost::system::error_code& ec, std::size_t bytes);
    void StartRead();
    void HandleRead(const boost::system::error_code& ec, std::size_t bytes);
    void HandleConnectTimeout(const boost::system::error_code& ec);
    void HandleDeadline(const boost::system::error_code& ec);
    void Finish();

    static const std::size_t kReadSize = 512;

    boost::asio::ip::tcp::socket socket;
    boost::asio::steady_timer connectTimer;
    boost::asio::steady_timer deadline;
    const std::string request;  // must outlive the write
    char buffer[kReadSize];
    std::string reply;
    ReplyHandler onReply;
    NoReplyHandler onNoReply;
    std::size_t replySizeCap;
    State state = kConnecting;
    bool overCap = false;
};

}  // namespace selector
