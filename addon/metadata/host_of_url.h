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

// Browsers read a backslash as "/" in http and https URLs, whatever the case of the scheme.
template <class Char>
bool BackslashIsSlash(const std::basic_string<Char>& url,
                      typename std::basic_string<Char>::size_type end) {
    static const char* const kSchemes[] = {"http", "https"};
    for (const char* scheme : kSchemes) {
        typename std::basic_string<Char>::size_type i = 0;
        for (; i < end && scheme[i]; ++i) {
            Char c = url[i];
            if ((c >= Char('A') && c <= Char('Z') ? Char(c - 'A' + 'a') : c) != Char(scheme[i]))
                break;
        }
        if (i == end && !scheme[i])
            return true;
    }
    return false;
}

template <class Char>
bool EndsAuthority(Char c, bool backslashToo) {
    return c == Char('/') || c == Char('?') || c == Char('#') || (backslashToo && c == Char('\\'));
}

}  // namespace host_of_url_detail

// The host is taken as written (no case folding, no unescaping) from the authority, the part
// after "scheme:" and an optional "//" up to the first "/", "?" or "#" (and a backslash for
// http and https). User information ends at the authority's last "@"; a port is cut off; an
// IPv6 literal keeps its brackets.
//   "http://u:p@a.com:81/x" => "a.com"      "about:blank" => "blank"
//   "http://evil.test/#@a.com" => "evil.test"   "http://[::1]:8080/" => "[::1]"
//   "http://evil.test\@a.com/" => "evil.test"
// Without a scheme, or with a bracket anywhere but around a whole IPv6 literal ("http://[::1/",
// "http://[a@b]/"), the host is empty (it never matches).
template <class Char>
std::basic_string<Char> HostOfUrl(const std::basic_string<Char>& url) {
    typedef std::basic_string<Char> Text;
    using namespace host_of_url_detail;
    typename Text::size_type colon = url.find(Char(':'));
    if (colon == Text::npos || !IsSchemeText(url, colon))
        return Text();
    const bool backslashEnds = BackslashIsSlash(url, colon);
    typename Text::size_type start = colon + 1;
    if (url.size() >= start + 2 && url[start] == Char('/') && url[start + 1] == Char('/'))
        start += 2;
    typename Text::size_type end = start;
    while (end < url.size() && !EndsAuthority(url[end], backslashEnds))
        ++end;
    for (typename Text::size_type i = end; i > start; --i) {
        if (url[i - 1] == Char('@')) {
            start = i;
            break;
        }
    }
    if (start < end && url[start] == Char('[')) {
        typename Text::size_type close = url.find(Char(']'), start);
        if (close >= end || url.find(Char('['), start + 1) < close ||
            (close + 1 < end && url[close + 1] != Char(':')))
            return Text();
        return url.substr(start, close + 1 - start);
    }
    typename Text::size_type port = url.find(Char(':'), start);
    Text host = url.substr(start, (port < end ? port : end) - start);
    const Char brackets[] = {Char('['), Char(']'), Char(0)};
    return host.find_first_of(brackets) == Text::npos ? host : Text();
}

inline std::string HostOfUrl(const char* url) { return HostOfUrl(std::string(url)); }
inline std::wstring HostOfUrl(const wchar_t* url) { return HostOfUrl(std::wstring(url)); }
