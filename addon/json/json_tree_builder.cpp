// Building the tree of an acceptable JSON text directly, without a value stack.
#include "addon/json/json_tree_builder.h"

#include <tuple>
#include <utility>

#include <boost/make_shared.hpp>

#include "addon/json/json_block_pool.h"
#include "addon/json/json_lexer.h"
#include "addon/json/json_nesting.h"
#include "addon/json/json_unescape.h"

namespace json {

tree_builder::~tree_builder() {
    if (pool) pool->release();
}

// The counts of all values come from one pool per parse, which lives until the last of them
// is gone.
template <class... T>
value_ptr tree_builder::make_value(T&&... held) {
    if (!pool) pool = block_pool::create();
    return boost::allocate_shared<boost::any>(pool_allocator<boost::any>(pool),
                                              std::forward<T>(held)...);
}

void tree_builder::skip_space() {
    pos = lexer::skip_space(pos, end);
}

value_ptr tree_builder::build(const char* first, const char* last) {
    pos = first;
    end = last;
    skip_space();
    if (pos == end || *pos != '{') return value_ptr();
    ++pos;
    value_ptr root = make_value(object());
    depth_guard open(depth);
    if (!read_members(*boost::unsafe_any_cast<object>(root.get()))) return value_ptr();
    // Only spaces may follow; a tab, line feed or carriage return does not count.
    while (pos != end && *pos == ' ') ++pos;
    return pos == end ? root : value_ptr();
}

// After "{": (pair ("," pair)*)? "}", pair = string ":" value. Each member goes in under its
// key before its value is read; a repeated key reads its value over the earlier one, so the
// last in the text wins, as it does on the value stack.
bool tree_builder::read_members(object& members) {
    skip_space();
    if (pos != end && *pos == '}') {
        ++pos;
        return true;
    }
    for (;;) {
        skip_space();
        bool escaped = false;
        const char* first = pos;
        const char* last = lexer::scan_string(pos, end, escaped);
        if (!last) return false;
        pos = last;
        skip_space();
        if (pos == end || *pos != ':') return false;
        ++pos;
        object::iterator member;
        if (escaped) {
            std::string key;
            unescape(first + 1, last - 1, key);
            member = members.emplace_hint(members.end(), std::move(key), value_ptr());
        } else {
            // Keys come in ascending order in the add-on's own texts, so the hint saves the search.
            member = members.emplace_hint(members.end(), std::piecewise_construct,
                                          std::forward_as_tuple(first + 1, last - 1),
                                          std::forward_as_tuple());
        }
        if (!read_value(member->second)) return false;
        skip_space();
        if (pos == end) return false;
        if (*pos == '}') {
            ++pos;
            return true;
        }
        if (*pos != ',') return false;
        ++pos;
    }
}

// After "[": (value ("," value)*)? "]"
bool tree_builder::read_items(array& items) {
    skip_space();
    if (pos != end && *pos == ']') {
        ++pos;
        return true;
    }
    for (;;) {
        items.emplace_back();
        if (!read_value(items.back())) return false;
        skip_space();
        if (pos == end) return false;
        if (*pos == ']') {
            ++pos;
            return true;
        }
        if (*pos != ',') return false;
        ++pos;
    }
}

// No two alternatives of the value rule begin with the same character, so the first one
// tells which alone can match.
bool tree_builder::read_value(value_ptr& value) {
    skip_space();
    if (pos == end) return false;
    switch (*pos) {
    case '"': return read_string(value);
    case '{': return read_nested(value, true);
    case '[': return read_nested(value, false);
    case 't':
    case 'f':
    case 'n': return read_word(value);
    default: return read_number(value);
    }
}

bool tree_builder::read_string(value_ptr& value) {
    bool escaped = false;
    const char* last = lexer::scan_string(pos, end, escaped);
    if (!last) return false;
    std::string text;
    if (escaped)
        unescape(pos + 1, last - 1, text);
    else
        text.assign(pos + 1, last - 1);
    pos = last;
    value = make_value(std::move(text));
    return true;
}

// number = real | int, the real form tried first.
bool tree_builder::read_number(value_ptr& value) {
    double real = 0;
    if (const char* last = lexer::scan_real(pos, end, real)) {
        pos = last;
        value = make_value(real);
        return true;
    }
    int integer = 0;
    const char* last = lexer::scan_int32(pos, end, integer);
    if (!last) return false;
    pos = last;
    value = make_value(integer);
    return true;
}

bool tree_builder::read_word(value_ptr& value) {
    if (const char* last = lexer::scan_word(pos, end, "true", 4)) {
        pos = last;
        value = make_value(true);
    } else if ((last = lexer::scan_word(pos, end, "false", 5))) {
        pos = last;
        value = make_value(false);
    } else if ((last = lexer::scan_word(pos, end, "null", 4))) {
        pos = last;
        value = make_value();      // null: an empty holder
    } else {
        return false;
    }
    return true;
}

bool tree_builder::read_nested(value_ptr& value, bool isObject) {
    if (depth >= kMaxNestingDepth) return false;
    depth_guard open(depth);
    ++pos;
    if (isObject) {
        value = make_value(object());
        return read_members(*boost::unsafe_any_cast<object>(value.get()));
    }
    static const array kEmpty;      // copying it allocates less than moving a fresh deque
    value = make_value(kEmpty);
    return read_items(*boost::unsafe_any_cast<array>(value.get()));
}

}  // namespace json
