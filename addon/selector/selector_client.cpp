// The selector conversation's steps, each started from the previous step's completion.
#include "addon/selector/selector_client.h"

#include "addon/selector/selector_request.h"

#include <boost/asio/placeholders.hpp>
#include <boost/asio/write.hpp>
#include <boost/bind/bind.hpp>

namespace selector {

using boost::system::error_code;

SelectorClient::SelectorClient(boost::asio::io_service& io,
                               const boost::asio::ip::tcp::endpoint& endpoint,
                               const ReplyHandler& onReply, const NoReplyHandler& onNoReply,
                               const SelectorBounds& bounds)
    : socket(io), connectTimer(io), deadline(io),
      request(kSelectorRequest, kSelectorRequestSize), buffer(), onReply(onReply),
      onNoReply(onNoReply), replySizeCap(bounds.replySizeCap) {
    deadline.expires_after(bounds.deadline);
    deadline.async_wait(boost::bind(&SelectorClient::HandleDeadline, this,
                                    boost::asio::placeholders::error));
    connectTimer.expires_after(bounds.connectTimeout);
    connectTimer.async_wait(boost::bind(&SelectorClient::HandleConnectTimeout, this,
                                        boost::asio::placeholders::error));
    StartConnect(endpoint);
}

void SelectorClient::StartConnect(const boost::asio::ip::tcp::endpoint& endpoint) {
    // Opens the socket for the endpoint's family; a failed open arrives as a connect error.
    socket.async_connect(endpoint, boost::bind(&SelectorClient::HandleConnect, this,
                                               boost::asio::placeholders::error));
}

void SelectorClient::HandleConnect(const error_code& ec) {
    if (state != kConnecting) return;
    if (ec) { Finish(); return; }           // refused, unreachable, no such address family
    state = kWriting;
    try { connectTimer.cancel(); } catch (...) {}
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
    if (ec) { Finish(); return; }
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
    if (ec) { Finish(); return; }           // end of stream arrives here too
    if (bytes > replySizeCap - reply.size()) {
        overCap = true;                     // not a reply: keep the cards we have
        Finish();
        return;
    }
    reply.append(buffer, bytes);
    StartRead();
}

void SelectorClient::HandleConnectTimeout(const error_code& ec) {
    if (ec == boost::asio::error::operation_aborted || state != kConnecting) return;
    Finish();
}

void SelectorClient::HandleDeadline(const error_code& ec) {
    if (ec == boost::asio::error::operation_aborted) return;
    Finish();                               // what has arrived so far is the reply
}

void SelectorClient::Finish() {
    if (state == kFinished) return;
    state = kFinished;
    error_code ignored;
    socket.close(ignored);                  // ends any pending step with operation_aborted
    try { connectTimer.cancel(); deadline.cancel(); } catch (...) {}  // else run() waits
    if (overCap) std::string().swap(reply);
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
