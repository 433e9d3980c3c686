// One selector conversation on loopback against the same exchange over plain blocking sockets,
// in interleaved pairs (goal: at most 1.5 times as long).
#include "addon/selector/fetch_metadata.h"
#include "addon/selector/selector_request.h"

#include "bench/common/paired_runs.h"
#include "tests/selector/loopback_service.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

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

}  // namespace

int main() {
    bench::PairOptions options;
    options.clock = bench::Clock::kWall;  // the service answers from a thread of its own
    options.sampleSeconds = 0.05;
    for (std::size_t size : {std::size_t(2) << 10, std::size_t(200) << 10, std::size_t(2) << 20}) {
        const std::uint16_t port = ServiceFor(size).Port();
        const tcp::endpoint endpoint(boost::asio::ip::address_v4::loopback(), port);
        boost::asio::io_context io;
        bool whole = true;
        char name[96];
        std::snprintf(name, sizeof name, "selector conversation vs plain sockets, %zu KiB",
                      size >> 10);
        bench::ComparePairs(name,
                            [&](bench::Stopwatch&) { whole = Conversation(port, size) && whole; },
                            [&](bench::Stopwatch&) {
                                whole = PlainExchange(io, endpoint, size) && whole;
                            },
                            bench::Goal::kTimeRatio, 1.5, options);
        if (!whole) {
            std::fprintf(stderr, "a reply of %zu bytes did not arrive whole\n", size);
            return 1;
        }
    }
    return 0;
}
