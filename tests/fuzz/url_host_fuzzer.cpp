// Fuzzes the host rule. Any URL: the host is part of it, holds no "/", "?", "#" or "@" (nor
// a backslash in http and https), keeps brackets only around a whole IPv6 literal, and the
// wide rule agrees. A URL composed as scheme://[user@]host[:port][rest]: the rule finds host.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "addon/metadata/host_of_url.h"

namespace {

bool IsWebScheme(const std::string& url) {
    const std::string::size_type colon = url.find(':');
    std::string scheme = url.substr(0, colon == std::string::npos ? 0 : colon);
    for (char& c : scheme) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return scheme == "http" || scheme == "https";
}

void CheckAnyUrl(const std::string& url) {
    const std::string host = HostOfUrl(url);
    if (url.find(host) == std::string::npos) std::abort();
    if (host.find_first_of("/?#@") != std::string::npos) std::abort();
    if (IsWebScheme(url) && host.find('\\') != std::string::npos) std::abort();
    const std::string::size_type bracket = host.find_first_of("[]");
    if (bracket != std::string::npos &&
        (bracket != 0 || host.back() != ']' || host.find_first_of("[]", 1) != host.size() - 1))
        std::abort();
    std::wstring wide;
    for (unsigned char c : url) wide += static_cast<wchar_t>(c);
    std::wstring wideHost;
    for (unsigned char c : host) wideHost += static_cast<wchar_t>(c);
    if (HostOfUrl(wide) != wideHost) std::abort();
}

// Bytes drawn from `allowed`, so a piece never holds what would end it early.
std::string Piece(FuzzedDataProvider& input, const std::string& allowed, std::size_t most) {
    std::string piece;
    const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, most);
    for (std::size_t i = 0; i < length && input.remaining_bytes() > 0; ++i)
        piece += allowed[input.ConsumeIntegralInRange<std::size_t>(0, allowed.size() - 1)];
    return piece;
}

void CheckComposedUrl(FuzzedDataProvider& input) {
    static const char* const kSchemes[] = {"http", "https", "HTTP", "hTtPs", "ftp", "x-y+z.1"};
    const std::string scheme = kSchemes[input.ConsumeIntegralInRange<int>(0, 5)];
    const bool web = IsWebScheme(scheme + ":");
    const std::string ends = web ? "/?#\\" : "/?#";
    std::string hostBytes = "abcXYZ019.-_~!$&'()*+,;=%\xC3\xA9\x80\xFF";
    if (!web) hostBytes += '\\';
    std::string host;
    if (input.ConsumeBool()) {
        host = "[" + Piece(input, "0123456789abcdefABCDEF:.%", 40) + "]";
    } else {
        host = Piece(input, hostBytes, 30);
        if (host.empty()) host = "h";
    }
    std::string url = scheme + "://";
    if (input.ConsumeBool()) url += Piece(input, "ab:@%[]" + hostBytes, 20) + "@";
    url += host;
    if (input.ConsumeBool()) url += ":" + Piece(input, "0123456789", 6);
    if (input.ConsumeBool()) {
        url += ends[input.ConsumeIntegralInRange<std::size_t>(0, ends.size() - 1)];
        url += input.ConsumeRemainingBytesAsString();  // anything, once the authority has ended
    }
    if (HostOfUrl(url) != host) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckAnyUrl(std::string(reinterpret_cast<const char*>(data), size));
    FuzzedDataProvider input(data, size);
    CheckComposedUrl(input);
    return 0;
}
