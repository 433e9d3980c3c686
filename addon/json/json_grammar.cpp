// The rules of the JSON grammar, transcribed one function per rule.
#include "addon/json/json_grammar.h"

#include "addon/json/json_lexer.h"

namespace json {

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
    pos = lexer::skip_space(pos, end);
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
    depth_guard open(depth);
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
    depth_guard open(depth);
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
    bool escaped = false;
    const CharT* last = lexer::scan_string(pos, end, escaped);
    if (!last) return false;
    pos = last;
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

template <class CharT>
bool grammar<CharT>::match_real(double& value) {
    const CharT* last = lexer::scan_real(pos, end, value);
    if (!last) return false;
    pos = last;
    return true;
}

template <class CharT>
bool grammar<CharT>::match_int32(int& value) {
    const CharT* last = lexer::scan_int32(pos, end, value);
    if (!last) return false;
    pos = last;
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
    const CharT* last = lexer::scan_word(pos, end, word, length);
    if (!last) return false;
    pos = last;
    return true;
}

// The rules are reached only through run().
template const char* grammar<char>::run(const char*, const char*);

}  // namespace json
