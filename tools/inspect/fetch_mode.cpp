// One selector conversation as the add-on holds it, and its outcome in words.
#include "tools/inspect/fetch_mode.h"

#include <chrono>
#include <string>

#include "addon/metadata/cache_text.h"
#include "addon/metadata/selector_reply.h"
#include "addon/selector/fetch_metadata.h"
#include "tools/inspect/legacy_decoder.h"
#include "tools/inspect/page_report.h"

namespace {

using selector::ConversationEnd;

struct Conversation {
    selector::ConversationReport report;
    bool replied = false;
    std::string reply;
    long long milliseconds = 0;
};

Conversation Converse(const FetchSettings& settings, const selector::SelectorBounds& bounds) {
    Conversation c;
    const auto start = std::chrono::steady_clock::now();
    selector::FetchMetadata(
        false, settings.host, settings.port,
        [&c](const std::string& reply) {
            c.replied = true;
            c.reply = reply;
        },
        [] {}, bounds, &c.report);
    c.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - start)
                         .count();
    return c;
}

std::string Bytes(std::size_t count) { return std::to_string(count) + " bytes"; }

// "reply of 812 bytes in 14 ms", "refused or unreachable after 2 ms", ...
std::string Ending(const Conversation& c, const selector::SelectorBounds& bounds) {
    const std::string after = " after " + std::to_string(c.milliseconds) + " ms";
    const std::size_t bytes = c.report.bytesReceived;
    switch (c.report.end) {
    case ConversationEnd::kNotHeld:
        return "none";
    case ConversationEnd::kConnectFailed:
        return "refused or unreachable" + after;
    case ConversationEnd::kConnectTimeout:
        return "no connection within the connect time-out of " +
               std::to_string(bounds.connectTimeout.count()) + " ms" + after;
    case ConversationEnd::kWriteFailed:
        return "the request could not be sent" + after;
    case ConversationEnd::kServiceClosed:
        if (bytes == 0) return "no reply: the service closed the connection" + after;
        return "reply of " + Bytes(bytes) + " in " + std::to_string(c.milliseconds) + " ms";
    case ConversationEnd::kReadFailed:
        if (bytes == 0) return "no reply: the connection failed" + after;
        return "reply of " + Bytes(bytes) + " in " + std::to_string(c.milliseconds) +
               " ms, cut by a connection failure";
    case ConversationEnd::kOverCap:
        return "cut at the cap of " + Bytes(bounds.replySizeCap) + after + ": not a reply";
    case ConversationEnd::kDeadline:
        if (bytes == 0)
            return "deadline of " + std::to_string(bounds.deadline.count()) +
                   " ms passed without a reply";
        return "deadline of " + std::to_string(bounds.deadline.count()) + " ms passed after " +
               Bytes(bytes) + ", taken as the reply";
    }
    return "unknown";
}

// The model the add-on would hold after this conversation; false when it keeps what it had
// and that is not known here.
bool ModelAfter(const Conversation& c, const FetchSettings& settings, MetadataModel& model,
                std::ostream& out) {
    if (c.replied) {
        switch (ModelFromReply(c.reply, settings.defaultRuleId, InspectLegacyDecoder(), model)) {
        case ReplyUse::kCards:
            out << "reply: read\n";
            return true;
        case ReplyUse::kEmptyText:
            out << "reply: empty once decoded: the add-on rebuilds its cards from the cache\n";
            break;
        case ReplyUse::kUnreadable:
            out << "reply: unreadable (not well-formed XML, or nested or attributed beyond the"
                   " limits): the add-on keeps the cards of its cache\n";
            break;
        }
    } else {
        out << "reply: none: the add-on rebuilds its cards from the cache\n";
    }
    if (!settings.haveCacheText) return false;
    switch (TryReadCacheText(settings.cacheText, model)) {
    case kCacheRead:
    case kCacheEmpty:
        return true;
    case kCacheUnreadable:
        out << "cache: unreadable: the add-on's cards stay as they were\n";
        break;
    }
    return false;
}

}  // namespace

int RunFetchMode(const FetchSettings& settings, const InspectOptions& options,
                 const selector::SelectorBounds& bounds, std::ostream& out) {
    out << "selector: " << settings.host << " port " << (settings.port & 0xFFFFu) << " (from "
        << settings.source << ")\n";
    const Conversation c = Converse(settings, bounds);
    if (c.report.end == ConversationEnd::kNotHeld) {
        out << "conversation: none: \"" << settings.host
            << "\" is not a numeric IPv4 or IPv6 address (no name lookup is made)\n";
        return 1;
    }
    out << "conversation: " << Ending(c, bounds) << "\n";
    MetadataModel model;
    const bool known = ModelAfter(c, settings, model, out);
    if (known)
        out << "model: " << CacheText(model) << "\n";
    else
        out << "model: unknown here (the cards the add-on has cached stay)\n";
    if (options.haveUrl && known) {
        const bool matched = PrintPage(options.url, settings.scriptTemplate, model, out);
        PrintStaticScript(matched, settings.staticScriptUrl, out);
    }
    return out.good() ? 0 : 1;
}
