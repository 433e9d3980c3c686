// Runs one whole selector conversation on the calling thread; the add-on's fetch calls this.
#pragma once

#include "addon/selector/conversation_end.h"
#include "addon/selector/selector_bounds.h"
#include "addon/selector/selector_handlers.h"

#include <cstdint>
#include <string>

namespace selector {

// Returns at once when stopRequested is set or the host is not a numeric IPv6 or IPv4 address
// (neither handler runs). Otherwise connects to narrowHost:port (low 16 bits), sends the request,
// reads the reply within the bounds, and calls exactly one handler before returning. Exceptions
// from anywhere, the handlers included, are dropped. A report, when given, learns how the
// conversation ended (kNotHeld when none was held).
void FetchMetadata(bool stopRequested, const std::string& narrowHost, std::uint32_t port,
                   const ReplyHandler& onReply, const NoReplyHandler& onNoReply,
                   const SelectorBounds& bounds = SelectorBounds(),
                   ConversationReport* report = nullptr);

}  // namespace selector
