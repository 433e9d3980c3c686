// The selector conversation's steps, each started from the previous step's completion.
#include "addon/selector/selector_client.h"

#include "addon/selector/selector_request.h"

#include <boost/asio/placeholders.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/bind/bind.hpp>

#include <algorithm>

namespace selector {

using boost::system::error_code;

namespace {

// The service's close is the normal end of a reply; anything else is a failed connection.
ConversationEnd EndOfReading(const error_code& ec) {
    return ec == boost::asio::error::eof ? ConversationEnd::kServiceClosed
                                         : ConversationEnd::kReadFailed;
}

}  // namespace

SelectorClient::SelectorClient(boost::asio::io_service& io,
                               const boost::asio::ip::tcp::endpoint& endpoint,
                               const ReplyHandler& onReply, const NoReplyHandler& onNoReply,
                               const SelectorBounds& bounds, ConversationReport* report)
    : socket(io), timer(io), deadline(std::chrono::steady_clock::now() + bounds.deadline),
      request(kSelectorRequest, kSelectorRequestSize), buffer(), onReply(onReply),
      onNoReply(onNoReply), replySizeCap(bounds.replySizeCap), report(report) {
    StartTimer(std::min(std::chrono::steady_clock::now() + bounds.connectTimeout, deadline));
    StartConnect(endpoint);
}

void SelectorClient::StartConnect(const boost::asio::ip::tcp::endpoint& endpoint) {
    error_code ec;
    socket.open(endpoint.protocol(), ec);   // fails where the family is missing, e.g. no IPv6
    if (!ec)
        socket.non_blocking(true, ec);      // for the drain in HandleRead; set once, here
    if (ec) {
        boost::asio::post(socket.get_executor(),
                          boost::bind(&SelectorClient::HandleConnect, this, ec));
        return;
    }
    socket.async_connect(endpoint, boost::bind(&SelectorClient::HandleConnect, this,
                                               boost::asio::placeholders::error));
}

void SelectorClient::HandleConnect(const error_code& ec) {
    if (state != kConnecting) return;
    if (ec) { Finish(ConversationEnd::kConnectFailed); return; }  // refused, unreachable, no family
    state = kWriting;
    StartWrite();
}

void SelectorClient::StartWrite() {
    // The whole request and nothing after it: no terminator, no shutdown of the sending side.
    boost::asio::async_write(socket, boost::asio::buffer(request),
                             boost::bind(&SelectorClient::HandleWrite, this,
                                         boost::asio::placeholders::error,
                                         boost::asio::placeholders::bytes_transferred));
}

void SelectorClient::HandleWrite(const error_code& ec, std::size_t /*bytes*/) {
    if (state != kWriting) return;
    if (ec) { Finish(ConversationEnd::kWriteFailed); return; }
    state = kReading;
    StartRead();
}

void SelectorClient::StartRead() {
    socket.async_read_some(boost::asio::buffer(buffer, kReadSize),
                           boost::bind(&SelectorClient::HandleRead, this,
                                       boost::asio::placeholders::error,
                                       boost::asio::placeholders::bytes_transferred));
}

void SelectorClient::HandleRead(const error_code& ec, std::size_t bytes) {
    if (state != kReading) return;
    if (ec) { Finish(EndOfReading(ec)); return; }  // end of stream arrives here too
    if (!Keep(bytes)) return;
    // While reads come back full, more is likely waiting: take it at once, in reads of the same
    // size, without a trip through the I/O service for each; a bounded number per turn, so the
    // timers still get their say against a service that never stops sending.
    for (int i = 0; bytes == kReadSize && i < kReadsPerTurn; ++i) {
        error_code now;
        bytes = socket.read_some(boost::asio::buffer(buffer, kReadSize), now);
        if (now == boost::asio::error::would_block) break;
        if (now) { Finish(EndOfReading(now)); return; }
        if (!Keep(bytes)) return;
    }
    StartRead();
}

bool SelectorClient::Keep(std::size_t bytes) {
    if (bytes > replySizeCap - reply.size()) {
        if (report) report->bytesReceived = reply.size() + bytes;
        Finish(ConversationEnd::kOverCap);  // not a reply: keep the cards we have
        return false;
    }
    reply.append(buffer, bytes);
    return true;
}

// One timer: it first expires at the connect time-out; once connected, an expiry before the
// overall deadline only moves it there, so a quick conversation arms it just once.
void SelectorClient::StartTimer(std::chrono::steady_clock::time_point expiry) {
    timer.expires_at(expiry);
    timer.async_wait(boost::bind(&SelectorClient::HandleTimer, this,
                                 boost::asio::placeholders::error));
}

void SelectorClient::HandleTimer(const error_code& ec) {
    if (ec == boost::asio::error::operation_aborted || state == kFinished) return;
    if (state != kConnecting && std::chrono::steady_clock::now() < deadline) {
        StartTimer(deadline);
        return;
    }
    // What has arrived so far is the reply.
    Finish(state == kConnecting ? ConversationEnd::kConnectTimeout : ConversationEnd::kDeadline);
}

void SelectorClient::Finish(ConversationEnd why) {
    if (state == kFinished) return;
    state = kFinished;
    error_code ignored;
    socket.close(ignored);                  // ends any pending step with operation_aborted
    try { timer.cancel(); } catch (...) {}  // else run() waits for it
    if (report) {
        report->end = why;
        if (why != ConversationEnd::kOverCap) report->bytesReceived = reply.size();
    }
    if (why == ConversationEnd::kOverCap) std::string().swap(reply);
    try {
        if (reply.empty()) {
            onNoReply();
        } else {
            const std::string copy(reply);
            onReply(copy);
        }
    } catch (...) { /* Boundary: a failing handler ends only this conversation. */ }
}

}  // namespace selector
