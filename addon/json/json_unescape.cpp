// Decoding the body of a JSON string literal into bytes.
#include "addon/json/json_unescape.h"

#include <cstring>

namespace json {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// 0x41 => "A"; 0xE9 => C3 A9; 0x20AC => E2 82 AC; surrogates get three bytes of their own.
void AppendUtf8(unsigned code, std::string& out) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        const char bytes[] = {static_cast<char>(0xC0 | (code >> 6)),
                              static_cast<char>(0x80 | (code & 0x3F))};
        out.append(bytes, 2);
    } else {
        const char bytes[] = {static_cast<char>(0xE0 | (code >> 12)),
                              static_cast<char>(0x80 | ((code >> 6) & 0x3F)),
                              static_cast<char>(0x80 | (code & 0x3F))};
        out.append(bytes, 3);
    }
}

// Reads up to four hex digits after "\u"; returns where reading stopped.
const char* AppendUnicodeEscape(const char* p, const char* last, std::string& out) {
    unsigned code = 0;
    for (int i = 0; i < 4 && p != last && HexDigit(*p) >= 0; ++i, ++p)
        code = code * 16 + static_cast<unsigned>(HexDigit(*p));
    AppendUtf8(code, out);
    return p;
}

char SimpleEscape(char c) {
    switch (c) {
    case 'b': return '\b';
    case 'f': return '\f';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    default: return c;  // '"', '\\' and '/' stand for themselves
    }
}

}  // namespace

void unescape(const char* first, const char* last, std::string& out) {
    while (first != last) {
        // Copy the run up to the next backslash in one piece.
        const void* found = std::memchr(first, '\\', static_cast<std::size_t>(last - first));
        const char* stop = found ? static_cast<const char*>(found) : last;
        out.append(first, stop);
        if (stop == last) return;
        first = stop + 1;
        if (first == last) return;  // a trailing lone backslash carries nothing
        const char kind = *first++;
        if (kind == 'u')
            first = AppendUnicodeEscape(first, last, out);
        else
            out.push_back(SimpleEscape(kind));
    }
}

}  // namespace json
