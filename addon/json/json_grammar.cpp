// The rules of the JSON grammar, transcribed one function per rule.
#include "addon/json/json_grammar.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace json {
namespace {

// The six characters isspace() accepts in the "C" locale: '\t' '\n' '\v' '\f' '\r' and ' '.
inline bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsHex(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
inline bool IsSimpleEscape(char c) {
    return c == '"' || c == '\\' || c == '/' || c == 'b' || c == 'f' || c == 'n' || c == 'r'
        || c == 't';
}

// Returns the first '"' or '\\' in [p, end), or end. Eight bytes at a time while eight
// remain, so the scan never reads past the end.
const char* SkipPlain(const char* p, const char* end) {
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

// Counts the open objects and arrays for as long as one of their rules runs.
class DepthGuard {
public:
    explicit DepthGuard(int& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
    DepthGuard(const DepthGuard&) = delete;
    void operator=(const DepthGuard&) = delete;
private:
    int& depth;
};

}  // namespace

template <class CharT>
const CharT* grammar<CharT>::run(const CharT* first, const CharT* last) {
    pos = first;
    end = last;
    skip_space();
    match_object();
    return pos;
}

template <class CharT>
void grammar<CharT>::skip_space() {
    while (pos != end && IsSpace(*pos)) ++pos;
}

template <class CharT>
bool grammar<CharT>::match_char(CharT expected) {
    skip_space();
    if (pos == end || *pos != expected) return false;
    ++pos;
    return true;
}

// object = "{" (pair ("," pair)*)? "}"
template <class CharT>
bool grammar<CharT>::match_object() {
    skip_space();
    if (pos == end || *pos != '{' || depth >= kMaxNestingDepth) return false;
    DepthGuard open(depth);
    ++pos;
    begin_object(*this)('{');
    const CharT* saved = pos;       // a failed optional part gives back what it took
    if (match_pair())
        match_more_pairs();
    else
        pos = saved;
    if (!match_char('}')) return false;
    end_object(*this)('}');
    return true;
}

// pair = string ":" value
template <class CharT>
bool grammar<CharT>::match_pair() {
    skip_space();
    const CharT* first = pos;
    if (!(match_string() && match_char(':') && match_value())) return false;
    create_pair(*this)(first, pos);
    return true;
}

// ("," pair)*
template <class CharT>
void grammar<CharT>::match_more_pairs() {
    for (;;) {
        const CharT* saved = pos;   // a failed repeat gives back what it took
        if (!(match_char(',') && match_pair())) {
            pos = saved;
            return;
        }
    }
}

// array = "[" (value ("," value)*)? "]"
template <class CharT>
bool grammar<CharT>::match_array() {
    skip_space();
    if (pos == end || *pos != '[' || depth >= kMaxNestingDepth) return false;
    DepthGuard open(depth);
    ++pos;
    begin_array(*this)('[');
    const CharT* saved = pos;
    if (match_value())
        match_more_values();
    else
        pos = saved;
    if (!match_char(']')) return false;
    end_array(*this)(']');
    return true;
}

// ("," value)*
template <class CharT>
void grammar<CharT>::match_more_values() {
    for (;;) {
        const CharT* saved = pos;
        if (!(match_char(',') && match_value())) {
            pos = saved;
            return;
        }
    }
}

// value = string | number | object | array | boolean | null, tried in this order
template <class CharT>
bool grammar<CharT>::match_value() {
    skip_space();
    const CharT* start = pos;
    if (match_string()) return true;
    pos = start;
    if (match_number()) return true;
    pos = start;
    if (match_object()) return true;
    pos = start;
    if (match_array()) return true;
    pos = start;
    if (match_boolean()) return true;
    pos = start;
    return match_null();
}

// string = '"' (any byte but '"' and '\\' | '\\' escape)* '"'
template <class CharT>
bool grammar<CharT>::match_string() {
    skip_space();
    const CharT* first = pos;
    if (pos == end || *pos != '"') return false;
    ++pos;
    for (;;) {
        pos = SkipPlain(pos, end);
        if (pos == end) return false;
        if (*pos == '"') break;
        if (++pos == end) return false;
        if (IsSimpleEscape(*pos)) {
            ++pos;
        } else if (*pos == 'u') {
            ++pos;
            for (int i = 0; i < 4; ++i, ++pos)
                if (pos == end || !IsHex(*pos)) return false;
        } else {
            return false;           // any other escape ends the rule without a match
        }
    }
    ++pos;
    push_string(*this)(first, pos);
    return true;
}

// number = real | int
template <class CharT>
bool grammar<CharT>::match_number() {
    skip_space();
    const CharT* start = pos;
    double real = 0;
    if (match_real(real)) {
        push_double(*this)(real);
        return true;
    }
    pos = start;
    int integer = 0;
    if (!match_int32(integer)) return false;
    push_int(*this)(integer);
    return true;
}

// real = sign? digits ("." digits)? (("e" | "E") int)?, with a point or an exponent and
// digits on at least one side of the point: "5." "-.5" "1e5" are reals; "." "1" "1e" are not.
// The value is built by the parser's own arithmetic, not by strtod.
template <class CharT>
bool grammar<CharT>::match_real(double& value) {
    bool negative = false;
    if (pos != end && (*pos == '+' || *pos == '-')) negative = *pos++ == '-';
    double n = 0;
    const CharT* digits = pos;
    for (; pos != end && IsDigit(*pos); ++pos) n = n * 10 + (*pos - '0');
    const bool gotInteger = pos != digits;
    if (negative) n = -n;
    if (pos != end && *pos == '.') {
        ++pos;
        double fraction = 0;
        const CharT* fractionDigits = pos;
        for (; pos != end && IsDigit(*pos); ++pos) fraction = fraction * 10 + (*pos - '0');
        const long count = static_cast<long>(pos - fractionDigits);
        if (count == 0 && !gotInteger) return false;
        fraction *= std::pow(10.0, -static_cast<double>(count));
        n = negative ? n - fraction : n + fraction;
    } else if (!gotInteger || pos == end || (*pos != 'e' && *pos != 'E')) {
        return false;               // without a point the exponent is required
    }
    if (pos != end && (*pos == 'e' || *pos == 'E')) {
        ++pos;
        int exponent = 0;
        if (!match_int32(exponent)) return false;
        n *= std::pow(10.0, static_cast<double>(exponent));
    }
    value = n;
    return true;
}

// int = sign? digits, whose value must fit a 32-bit signed integer.
template <class CharT>
bool grammar<CharT>::match_int32(int& value) {
    bool negative = false;
    if (pos != end && (*pos == '+' || *pos == '-')) negative = *pos++ == '-';
    const long long limit = negative ? 2147483648LL : 2147483647LL;
    long long magnitude = 0;
    const CharT* digits = pos;
    for (; pos != end && IsDigit(*pos); ++pos) {
        magnitude = magnitude * 10 + (*pos - '0');
        if (magnitude > limit) return false;
    }
    if (pos == digits) return false;
    value = static_cast<int>(negative ? -magnitude : magnitude);
    return true;
}

// boolean = "true" | "false"; what follows the word is not looked at.
template <class CharT>
bool grammar<CharT>::match_boolean() {
    skip_space();
    const CharT* first = pos;
    if (!match_word("true", 4) && !match_word("false", 5)) return false;
    push_boolean(*this)(first, pos);
    return true;
}

// null = "null"
template <class CharT>
bool grammar<CharT>::match_null() {
    skip_space();
    const CharT* first = pos;
    if (!match_word("null", 4)) return false;
    push_null(*this)(first, pos);
    return true;
}

template <class CharT>
bool grammar<CharT>::match_word(const char* word, std::size_t length) {
    if (static_cast<std::size_t>(end - pos) < length || std::memcmp(pos, word, length) != 0)
        return false;
    pos += length;
    return true;
}

// The rules are reached only through run().
template const char* grammar<char>::run(const char*, const char*);

}  // namespace json
