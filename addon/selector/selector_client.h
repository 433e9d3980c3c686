// One selector conversation as a chain of asynchronous steps on the caller's I/O service.
#pragma once

#include "addon/selector/conversation_end.h"
#include "addon/selector/selector_bounds.h"
#include "addon/selector/selector_handlers.h"

#include <boost/asio/io_service.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <chrono>
#include <cstddef>
#include <string>

namespace selector {

// Connect -> Write (the whole request) -> Read (512 bytes, repeats) -> Finish.
// Constructing the client starts the connect; it reports only through its two handlers, and
// Finish calls exactly one of them, once. Handlers bind `this`: the client must outlive run().
// A report, when given, learns how the conversation ended before the handler runs.
class SelectorClient {
public:
    SelectorClient(boost::asio::io_service& io, const boost::asio::ip::tcp::endpoint& endpoint,
                   const ReplyHandler& onReply, const NoReplyHandler& onNoReply,
                   const SelectorBounds& bounds = SelectorBounds(),
                   ConversationReport* report = nullptr);
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
    bool Keep(std::size_t bytes);           // false when the reply would pass the cap
    void StartTimer(std::chrono::steady_clock::time_point expiry);
    void HandleTimer(const boost::system::error_code& ec);
    void Finish(ConversationEnd why);

    static const std::size_t kReadSize = 512;
    static const int kReadsPerTurn = 64;

    boost::asio::ip::tcp::socket socket;
    boost::asio::steady_timer timer;
    const std::chrono::steady_clock::time_point deadline;
    const std::string request;  // must outlive the write
    char buffer[kReadSize];
    std::string reply;
    ReplyHandler onReply;
    NoReplyHandler onNoReply;
    std::size_t replySizeCap;
    ConversationReport* report;
    State state = kConnecting;
};

}  // namespace selector
