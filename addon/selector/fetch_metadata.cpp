// One conversation: a fresh I/O service, the client, and run() on the caller's thread.
#include "addon/selector/fetch_metadata.h"

#include "addon/selector/selector_client.h"
#include "addon/selector/selector_endpoint.h"

namespace selector {

void FetchMetadata(bool stopRequested, const std::string& narrowHost, std::uint32_t port,
                   const ReplyHandler& onReply, const NoReplyHandler& onNoReply,
                   const SelectorBounds& bounds, ConversationReport* report) {
    if (stopRequested) return;              // the add-on is detaching: send nothing
    try {
        boost::asio::ip::tcp::endpoint endpoint;
        if (!MakeSelectorEndpoint(narrowHost, port, endpoint)) return;
        boost::asio::io_service io(1);      // one thread runs it: no locking inside
        SelectorClient client(io, endpoint, onReply, onNoReply, bounds, report);
        io.run();                           // every handler runs here, on this thread
    } catch (...) { /* Boundary: a failed conversation ends only itself. */ }
}

}  // namespace selector
