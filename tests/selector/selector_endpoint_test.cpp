// Host and port settings to endpoints: numbers only, IPv6 before IPv4, port cut to 16 bits.
#include "addon/selector/selector_endpoint.h"

#include <gtest/gtest.h>

namespace {

TEST(SelectorEndpoint, NumericAddressesOnly) {
    const struct {
        std::string host;
        std::uint32_t port;
        bool valid;
        bool v6;
        const char* address;
        unsigned short expectedPort;
    } cases[] = {
        {"127.0.0.1", 31002, true, false, "127.0.0.1", 31002},
        {"10.1.2.3", 0x10000u + 31002, true, false, "10.1.2.3", 31002},
        {"127.0.0.1", 0xFFFFFFFFu, true, false, "127.0.0.1", 65535},
        {"::1", 31002, true, true, "::1", 31002},
        {"fe80::2:3", 80, true, true, "fe80::2:3", 80},
        {"::ffff:127.0.0.1", 1, true, true, "::ffff:127.0.0.1", 1},
        {"localhost", 31002, false, false, "", 0},
        {"selector.example", 31002, false, false, "", 0},
        {"", 31002, false, false, "", 0},
        {"256.0.0.1", 31002, false, false, "", 0},
        {std::string("127.0.0.1\0x", 11), 31002, false, false, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        boost::asio::ip::tcp::endpoint endpoint;
        ASSERT_EQ(c.valid, selector::MakeSelectorEndpoint(c.host, c.port, endpoint));
        if (!c.valid) continue;
        EXPECT_EQ(c.v6, endpoint.address().is_v6());
        EXPECT_EQ(c.address, endpoint.address().to_string());
        EXPECT_EQ(c.expectedPort, endpoint.port());
    }
}

}  // namespace
