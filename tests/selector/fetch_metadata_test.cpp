// The selector conversation against scripted loopback services: outcomes, bytes sent, bounds.
#include "addon/selector/fetch_metadata.h"

#include "tests/selector/loopback_service.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <gtest/gtest.h>

#include <chrono>
#include <new>
#include <stdexcept>
#include <thread>

namespace {

using selector::FetchMetadata;
using selector::SelectorBounds;
using selector_test::LoopbackFamily;
using selector_test::LoopbackService;
using selector_test::ServiceScript;
using std::chrono::milliseconds;

const char kRequest[] = "<ov_request><url>url</url></ov_request>";
const char kLoopback[] = "127.0.0.1";

// Generous enough for sanitizers and Wine, short enough that a hang fails fast.
SelectorBounds Bounds(milliseconds deadline = milliseconds(5000),
                      std::size_t cap = selector::kReplySizeCap,
                      milliseconds connect = milliseconds(3000)) {
    SelectorBounds bounds;
    bounds.connectTimeout = connect;
    bounds.deadline = deadline;
    bounds.replySizeCap = cap;
    return bounds;
}

struct Outcome {
    int replies = 0;
    int noReplies = 0;
    std::string reply;
    milliseconds elapsed{0};
};

Outcome Fetch(const std::string& host, std::uint32_t port, const SelectorBounds& bounds = Bounds(),
              bool stopRequested = false) {
    Outcome outcome;
    const auto start = std::chrono::steady_clock::now();
    FetchMetadata(stopRequested, host, port,
                  [&](const std::string& reply) { ++outcome.replies; outcome.reply = reply; },
                  [&] { ++outcome.noReplies; }, bounds);
    outcome.elapsed = std::chrono::duration_cast<milliseconds>(
        std::chrono::steady_clock::now() - start);
    return outcome;
}

std::string Text(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + i % 26);
    return text;
}

ServiceScript Replying(const std::string& reply, std::size_t pieceSize = 0) {
    ServiceScript script;
    script.reply = reply;
    script.pieceSize = pieceSize;
    return script;
}

// The service saw the request, nothing after it, and no end of the client's sending side
// until the whole reply had gone out.
void ExpectOnlyTheRequest(const LoopbackService& service) {
    ASSERT_TRUE(service.WaitForClientEnds(1, milliseconds(5000)));
    const auto transcript = service.Transcript();
    ASSERT_EQ(1u, transcript.size());
    EXPECT_EQ(kRequest, transcript[0].received);
    EXPECT_FALSE(transcript[0].clientEndedBeforeReply);
}

struct ReplyCase {
    const char* name;
    std::string reply;
    std::size_t pieceSize;
};

TEST(SelectorConversation, ReplyArrivesWholeOnceWhateverItsPieces) {
    const std::string xml = "<cards><card><VeltraneMetadata/></card></cards>";
    const ReplyCase cases[] = {
        {"one piece", xml, 0},
        {"one byte at a time", xml, 1},
        {"exactly one read buffer", Text(512), 0},
        {"larger than a read, odd pieces", Text(5000), 700},
        {"large, one write", Text(300000), 0},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        ServiceScript script = Replying(c.reply, c.pieceSize);
        script.quietPeriod = milliseconds(30);  // room for a stray byte or shutdown to show
        LoopbackService service(script);
        const Outcome outcome = Fetch(kLoopback, service.Port());
        EXPECT_EQ(1, outcome.replies);
        EXPECT_EQ(0, outcome.noReplies);
        EXPECT_EQ(c.reply, outcome.reply);
        ExpectOnlyTheRequest(service);
    }
}

TEST(SelectorConversation, NoServiceOrNoBytesMeansNoReply) {
    {
        SCOPED_TRACE("nothing listening");
        const Outcome outcome = Fetch(kLoopback, selector_test::UnusedLoopbackPort());
        EXPECT_EQ(0, outcome.replies);
        EXPECT_EQ(1, outcome.noReplies);
    }
    {
        SCOPED_TRACE("reads the request and closes");
        LoopbackService service(Replying(""));
        const Outcome outcome = Fetch(kLoopback, service.Port());
        EXPECT_EQ(0, outcome.replies);
        EXPECT_EQ(1, outcome.noReplies);
        ExpectOnlyTheRequest(service);
    }
}

TEST(SelectorConversation, PortIsTheLowSixteenBitsOfTheSetting) {
    LoopbackService service(Replying("<r/>"));
    const Outcome outcome = Fetch(kLoopback, 0x30000u + service.Port());
    EXPECT_EQ("<r/>", outcome.reply);
}

TEST(SelectorConversation, RunsOverIPv6Loopback) {
    if (!selector_test::HasIPv6Loopback())
        GTEST_SKIP() << "this machine cannot listen on ::1";
    LoopbackService service(Replying("<six/>", 2), LoopbackFamily::kIPv6);
    const Outcome outcome = Fetch("::1", service.Port());
    EXPECT_EQ(1, outcome.replies);
    EXPECT_EQ("<six/>", outcome.reply);
    ExpectOnlyTheRequest(service);
}

TEST(SelectorConversation, NoConversationForANameOrAStopRequest) {
    LoopbackService service(Replying("<r/>"));
    const struct {
        const char* name;
        std::string host;
        bool stopRequested;
    } cases[] = {
        {"host name", "localhost", false},
        {"empty host", "", false},
        {"stop requested", kLoopback, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome outcome = Fetch(c.host, service.Port(), Bounds(), c.stopRequested);
        EXPECT_EQ(0, outcome.replies);
        EXPECT_EQ(0, outcome.noReplies);
    }
    std::this_thread::sleep_for(milliseconds(50));  // a connect would have been accepted by now
    EXPECT_EQ(0u, service.Connections());
}

// Whichever handler throws, it ran once, the other did not, and the fetch returns normally.
TEST(SelectorConversation, AThrowingHandlerEndsOnlyTheConversation) {
    for (const char* reply : {"<r/>", ""}) {
        SCOPED_TRACE(*reply ? "reply" : "no reply");
        LoopbackService service(Replying(reply));
        int replies = 0, noReplies = 0;
        FetchMetadata(false, kLoopback, service.Port(),
                      [&](const std::string&) { ++replies; throw std::runtime_error("handler"); },
                      [&] { ++noReplies; throw std::bad_alloc(); }, Bounds());
        EXPECT_EQ(*reply ? 1 : 0, replies);
        EXPECT_EQ(*reply ? 0 : 1, noReplies);
    }
}

// The cap is on the reply as a whole: a reply that fits is delivered, one that does not is
// dropped as no reply, however it is cut into reads.
TEST(SelectorBounds, ReplyBeyondTheCapIsNoReply) {
    const std::size_t cap = 4096;
    const struct {
        const char* name;
        std::size_t size;
        bool delivered;
    } cases[] = {
        {"exactly the cap", cap, true},
        {"one byte over", cap + 1, false},
        {"far over", 3 * cap + 100, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackService service(Replying(Text(c.size), 300));
        const Outcome outcome = Fetch(kLoopback, service.Port(), Bounds(milliseconds(5000), cap));
        EXPECT_EQ(c.delivered ? 1 : 0, outcome.replies);
        EXPECT_EQ(c.delivered ? 0 : 1, outcome.noReplies);
        if (c.delivered) {
            EXPECT_EQ(Text(c.size), outcome.reply);
        }
    }
}

TEST(SelectorBounds, EndlessReplyStopsAtTheCapNotTheDeadline) {
    ServiceScript script = Replying(Text(1000));
    script.endless = true;
    LoopbackService service(script);
    const Outcome outcome = Fetch(kLoopback, service.Port(), Bounds(milliseconds(20000), 64 * 1024));
    EXPECT_EQ(0, outcome.replies);
    EXPECT_EQ(1, outcome.noReplies);
    EXPECT_LT(outcome.elapsed, milliseconds(10000));
}

TEST(SelectorBounds, DeadlineEndsAStalledConversationWithWhatArrived) {
    const milliseconds deadline(300);
    ServiceScript silent = Replying("");
    silent.closeAfterReply = false;
    ServiceScript neverReads;
    neverReads.readRequest = false;
    ServiceScript partThenSilent = Replying("<cards><card>");
    partThenSilent.closeAfterReply = false;
    const struct {
        const char* name;
        ServiceScript script;
        std::string reply;                  // empty: no reply expected
    } cases[] = {
        {"silent after the request", silent, ""},
        {"never reads the request", neverReads, ""},
        {"part of a reply, then silent", partThenSilent, "<cards><card>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackService service(c.script);
        const Outcome outcome = Fetch(kLoopback, service.Port(), Bounds(deadline));
        EXPECT_EQ(c.reply.empty() ? 0 : 1, outcome.replies);
        EXPECT_EQ(c.reply.empty() ? 1 : 0, outcome.noReplies);
        EXPECT_EQ(c.reply, outcome.reply);
        EXPECT_GE(outcome.elapsed, deadline - milliseconds(20));  // timers may round down
        EXPECT_LT(outcome.elapsed, milliseconds(3000));
    }
}

// A listener whose backlog is full drops new connection attempts, so the connect hangs.
TEST(SelectorBounds, ConnectTimeoutEndsAHangingConnect) {
    ServiceScript script;
    script.acceptConnections = false;
    script.backlog = 0;
    LoopbackService service(script);
    boost::asio::io_context io;
    std::vector<boost::asio::ip::tcp::socket> fillers;
    const boost::asio::ip::tcp::endpoint endpoint(boost::asio::ip::address_v4::loopback(),
                                                  service.Port());
    fillers.reserve(2);
    for (int i = 0; i < 2; ++i) {           // started here, never completed: io is not run
        fillers.emplace_back(io);
        fillers.back().async_connect(endpoint, [](const boost::system::error_code&) {});
    }
    const Outcome outcome = Fetch(kLoopback, service.Port(),
                                  Bounds(milliseconds(20000), selector::kReplySizeCap,
                                         milliseconds(300)));
    EXPECT_EQ(0, outcome.replies);
    EXPECT_EQ(1, outcome.noReplies);
    EXPECT_GE(outcome.elapsed, milliseconds(280));
    EXPECT_LT(outcome.elapsed, milliseconds(5000));
}

}  // namespace
