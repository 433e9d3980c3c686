// Limits on one selector conversation, so an unresponsive or endless service cannot hold a page.
#pragma once

#include <chrono>
#include <cstddef>

namespace selector {

// The service is local: a connect that takes longer than this will not succeed.
constexpr std::chrono::milliseconds kConnectTimeout{3000};
// Connect, request and the whole reply; a page waits at most this long for fresh cards.
constexpr std::chrono::milliseconds kConversationDeadline{10000};
// Far above any real card list (a few hundred bytes per card); a longer reply is not one.
constexpr std::size_t kReplySizeCap = 8 * 1024 * 1024;

struct SelectorBounds {
    std::chrono::milliseconds connectTimeout = kConnectTimeout;
    std::chrono::milliseconds deadline = kConversationDeadline;
    std::size_t replySizeCap = kReplySizeCap;
};

}  // namespace selector
