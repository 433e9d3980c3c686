// Turns the host and port settings into the service's endpoint, without any name lookup.
#pragma once

#include <boost/asio/ip/tcp.hpp>

#include <cstdint>
#include <string>

namespace selector {

// IPv6 text is tried first, then IPv4 dotted text; a name such as "localhost" gives false.
// The port is the low 16 bits of the setting.
bool MakeSelectorEndpoint(const std::string& narrowHost, std::uint32_t port,
                          boost::asio::ip::tcp::endpoint& endpoint);

}  // namespace selector
