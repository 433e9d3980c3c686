// How one selector conversation ended, for diagnostics; the add-on itself only needs the handler
// that ran.
#pragma once

#include <cstddef>

namespace selector {

enum class ConversationEnd {
    kNotHeld,         // stop requested or the host is not a numeric address: nothing was sent
    kConnectFailed,   // refused, unreachable, or no such address family here
    kConnectTimeout,  // the connect did not complete within the connect time-out
    kWriteFailed,     // the request could not be sent
    kServiceClosed,   // the service closed the connection: the normal end of a reply
    kReadFailed,      // the connection failed while reading
    kOverCap,         // the reply passed the size cap: not a reply
    kDeadline,        // the conversation's deadline passed
};

struct ConversationReport {
    ConversationEnd end = ConversationEnd::kNotHeld;
    std::size_t bytesReceived = 0;  // counted before an over-cap reply is dropped
};

}  // namespace selector
