// The two completion handlers of a selector conversation; exactly one of them runs, once.
#pragma once

#include <boost/function.hpp>

#include <string>

namespace selector {

typedef boost::function<void(const std::string&)> ReplyHandler;  // the whole, non-empty reply
typedef boost::function<void()> NoReplyHandler;                   // nothing usable arrived

}  // namespace selector
