// One selector conversation on loopback against the same exchange over plain blocking sockets,
// with the ratio of their times printed in the same run (goal: at most 1.5).
#include "addon/selector/fetch_metadata.h"
#include "addon/selector/selector_request.h"

#include "tests/selector/loopback_service.h"

#include <benchmark/benchmark.h>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using boost::asio::ip::tcp;

const char kLoopback[] = "127.0.0.1";

// One service per reply size, kept for the whole run so both clients meet the same one.
selector_test::LoopbackService& ServiceFor(std::size_t replySize) {
    static std::map<std::size_t, std::unique_ptr<selector_test::LoopbackService>> services;
    std::unique_ptr<selector_test::LoopbackService>& service = services[replySize];
    if (!service) {
        selector_test::ServiceScript script;
        script.reply.assign(replySize, 'x');
        service.reset(new selector_test::LoopbackService(script));
    }
    return *service;
}

// The conversation as the add-on runs it; the reply's size tells that it arrived whole.
bool Conversation(std::uint16_t port, std::size_t size) {
    std::size_t received = 0;
    selector::FetchMetadata(false, kLoopback, port,
                            [&](const std::string& reply) { received = reply.size(); },
                            [&] { received = 0; });
    return received == size;
}

// The same exchange over a plain blocking socket: connect, write the request, 512-byte reads
// until the service closes, close.
bool PlainExchange(boost::asio::io_context& io, const tcp::endpoint& endpoint, std::size_t size) {
    tcp::socket socket(io);
    socket.connect(endpoint);
    boost::asio::write(socket, boost::asio::buffer(selector::kSelectorRequest,
                                                   selector::kSelectorRequestSize));
    std::string reply;
    char buffer[512];
    boost::system::error_code ec;
    for (;;) {
        const std::size_t bytes = socket.read_some(boost::asio::buffer(buffer), ec);
        if (ec) break;
        reply.append(buffer, bytes);
    }
    socket.close();
    return reply.size() == size;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// Each iteration runs one conversation and one plain exchange back to back, so both meet the
// same load on this shared machine; the counters are the medians and their ratio.
void ConversationVsPlainSockets(benchmark::State& state) {
    typedef std::chrono::steady_clock Clock;
    const std::size_t size = static_cast<std::size_t>(state.range(0));
    const std::uint16_t port = ServiceFor(size).Port();
    const tcp::endpoint endpoint(boost::asio::ip::address_v4::loopback(), port);
    boost::asio::io_context io;
    std::vector<double> conversation, plain;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const bool conversationWhole = Conversation(port, size);
        const Clock::time_point middle = Clock::now();
        const bool plainWhole = PlainExchange(io, endpoint, size);
        const Clock::time_point end = Clock::now();
        if (!conversationWhole || !plainWhole) {
            state.SkipWithError("a reply did not arrive whole");
            break;
        }
        conversation.push_back(std::chrono::duration<double, std::micro>(middle - start).count());
        plain.push_back(std::chrono::duration<double, std::micro>(end - middle).count());
    }
    const double conversationUs = Median(conversation);
    const double plainUs = Median(plain);
    state.counters["conversation_us"] = conversationUs;
    state.counters["plain_us"] = plainUs;
    state.counters["ratio"] = plainUs > 0 ? conversationUs / plainUs : 0.0;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size * 2));
}

BENCHMARK(ConversationVsPlainSockets)->Arg(2 << 10)->Arg(200 << 10)->Arg(2 << 20)
    ->UseRealTime()->MinTime(2.0)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
