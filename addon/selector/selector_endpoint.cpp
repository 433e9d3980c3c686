// Numeric endpoint parsing for the selector service.
#include "addon/selector/selector_endpoint.h"

#include <boost/asio/ip/address.hpp>

namespace selector {

bool MakeSelectorEndpoint(const std::string& narrowHost, std::uint32_t port,
                          boost::asio::ip::tcp::endpoint& endpoint) {
    // The parsers see a C string: "127.0.0.1\0x" must not pass as 127.0.0.1.
    if (narrowHost.find('\0') != std::string::npos)
        return false;
    const unsigned short portNumber = static_cast<unsigned short>(port & 0xFFFFu);
    boost::system::error_code ec;
    const boost::asio::ip::address_v6 v6 = boost::asio::ip::make_address_v6(narrowHost, ec);
    if (!ec) {
        endpoint = boost::asio::ip::tcp::endpoint(v6, portNumber);
        return true;
    }
    const boost::asio::ip::address_v4 v4 = boost::asio::ip::make_address_v4(narrowHost, ec);
    if (!ec) {
        endpoint = boost::asio::ip::tcp::endpoint(v4, portNumber);
        return true;
    }
    return false;
}

}  // namespace selector
