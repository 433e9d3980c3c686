// The host name of a page's URL, for site matching; narrow or wide text alike.
#pragma once

#include <string>

namespace host_of_url_detail {

template <class Char>
bool IsSchemeText(const std::basic_string<Char>& url, typename std::basic_string<Char>::size_type end) {
    for (typename std::basic_string<Char>::size_type i = 0; i < end; ++i) {
        Char c = url[i];
        bool letter = (c >= Char('a') && c <= Char('z')) || (c >= Char('A') && c <= Char('Z'));
        bool other = (c >= Char('0') && c <= Char('9')) || c == Char('+') || c == Char('-') ||
                     c == Char('.');
        if (!(letter || (i > 0 && other)))
            return false;
    }
    return end > 0;
}

template <class Char>
bool EndsAuthority(Char c) {
    return c == Char('/') || c == Char('?') || c == Char('#');
}

}  // namespace host_of_url_detail

// The host is taken as written (no case folding, no unescaping) from the authority, the part
// after "scheme:" and an optional "//" up to the first "/", "?" or "#". User information ends
// at the authority's last "@"; a port is cut off; an IPv6 literal keeps its brackets.
//   "http://u:p@a.com:81/x" => "a.com"      "about:blank" => "blank"
//   "http://evil.test/#@a.com" => "evil.test"   "http://[::1]:8080/" => "[::1]"
// Without a scheme, or with an unclosed "[", the host is empty (it never matches).
template <class Char>
std::basic_string<Char> HostOfUrl(const std::basic_string<Char>& url) {
    typedef std::basic_string<Char> Text;
    using namespace host_of_url_detail;
    typename Text::size_type colon = url.find(Char(':'));
    if (colon == Text::npos || !IsSchemeText(url, colon))
        return Text();
    typename Text::size_type start = colon + 1;
    if (url.size() >= start + 2 && url[start] == Char('/') && url[start + 1] == Char('/'))
        start += 2;
    typename Text::size_type end = start;
    while (end < url.size() && !EndsAuthority(url[end]))
        ++end;
    for (typename Text::size_type i = end; i > start; --i) {
        if (url[i - 1] == Char('@')) {
            start = i;
            break;
        }
    }
    if (start < end && url[start] == Char('[')) {
        typename Text::size_type close = url.find(Char(']'), start);
        return close < end ? url.substr(start, close + 1 - start) : Text();
    }
    typename Text::size_type port = url.find(Char(':'), start);
    return url.substr(start, (port < end ? port : end) - start);
}

inline std::string HostOfUrl(const char* url) { return HostOfUrl(std::string(url)); }
inline std::wstring HostOfUrl(const wchar_t* url) { return HostOfUrl(std::wstring(url)); }
