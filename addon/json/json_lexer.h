// The tokens of the JSON grammar, shared by the value-stack grammar and the tree builder so
// that both read every string, number and word the same way.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace json {
namespace lexer {

// The six characters isspace() accepts in the "C" locale: '\t' '\n' '\v' '\f' '\r' and ' '.
inline bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
inline bool is_hex(char c) {
    return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
inline bool is_simple_escape(char c) {
    return c == '"' || c == '\\' || c == '/' || c == 'b' || c == 'f' || c == 'n' || c == 'r'
        || c == 't';
}

inline const char* skip_space(const char* p, const char* end) {
    while (p != end && is_space(*p)) ++p;
    return p;
}

// Returns the first '"' or '\\' in [p, end), or end. Eight bytes at a time while eight
// remain, so the scan never reads past the end.
inline const char* skip_plain(const char* p, const char* end) {
    const std::uint64_t kOnes = 0x0101010101010101ULL;
    const std::uint64_t kHighs = 0x8080808080808080ULL;
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        const std::uint64_t quote = word ^ (kOnes * '"');
        const std::uint64_t backslash = word ^ (kOnes * '\\');
        // a zero byte in either marks a match (the classic has-zero-byte test)
        const std::uint64_t hit = ((quote - kOnes) & ~quote) | ((backslash - kOnes) & ~backslash);
        if (hit & kHighs) break;
        p += 8;
    }
    while (p != end && *p != '"' && *p != '\\') ++p;
    return p;
}

// string = '"' (any byte but '"' and '\\' | '\\' escape)* '"', with p at the opening quote.
// Returns the end of the token (after the closing quote), or nullptr when it does not match;
// escaped tells whether the body holds a backslash.
inline const char* scan_string(const char* p, const char* end, bool& escaped) {
    escaped = false;
    if (p == end || *p != '"') return nullptr;
    ++p;
    for (;;) {
        p = skip_plain(p, end);
        if (p == end) return nullptr;
        if (*p == '"') return p + 1;
        escaped = true;
        if (++p == end) return nullptr;
        if (is_simple_escape(*p)) {
            ++p;
        } else if (*p == 'u') {
            ++p;
            for (int i = 0; i < 4; ++i, ++p)
                if (p == end || !is_hex(*p)) return nullptr;
        } else {
            return nullptr;         // any other escape ends the rule without a match
        }
    }
}

// int = sign? digits, whose value must fit a 32-bit signed integer. Returns the end of the
// token or nullptr.
inline const char* scan_int32(const char* p, const char* end, int& value) {
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    const long long limit = negative ? 2147483648LL : 2147483647LL;
    long long magnitude = 0;
    const char* digits = p;
    for (; p != end && is_digit(*p); ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > limit) return nullptr;
    }
    if (p == digits) return nullptr;
    value = static_cast<int>(negative ? -magnitude : magnitude);
    return p;
}

// real = sign? digits ("." digits)? (("e" | "E") int)?, with a point or an exponent and
// digits on at least one side of the point: "5." "-.5" "1e5" are reals; "." "1" "1e" are not.
// The value is built by the parser's own arithmetic, not by strtod. Returns the end of the
// token or nullptr.
inline const char* scan_real(const char* p, const char* end, double& value) {
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    double n = 0;
    const char* digits = p;
    for (; p != end && is_digit(*p); ++p) n = n * 10 + (*p - '0');
    const bool gotInteger = p != digits;
    if (negative) n = -n;
    if (p != end && *p == '.') {
        ++p;
        double fraction = 0;
        const char* fractionDigits = p;
        for (; p != end && is_digit(*p); ++p) fraction = fraction * 10 + (*p - '0');
        const long count = static_cast<long>(p - fractionDigits);
        if (count == 0 && !gotInteger) return nullptr;
        fraction *= std::pow(10.0, -static_cast<double>(count));
        n = negative ? n - fraction : n + fraction;
    } else if (!gotInteger || p == end || (*p != 'e' && *p != 'E')) {
        return nullptr;             // without a point the exponent is required
    }
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        int exponent = 0;
        p = scan_int32(p, end, exponent);
        if (!p) return nullptr;
        n *= std::pow(10.0, static_cast<double>(exponent));
    }
    value = n;
    return p;
}

// Returns the end of word when the text at p starts with it, else nullptr.
inline const char* scan_word(const char* p, const char* end, const char* word,
                             std::size_t length) {
    if (static_cast<std::size_t>(end - p) < length || std::memcmp(p, word, length) != 0)
        return nullptr;
    return p + length;
}

}  // namespace lexer
}  // namespace json
