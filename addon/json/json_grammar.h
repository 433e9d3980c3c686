// The JSON grammar: recursive descent over narrow text whose actions build values on a stack.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "addon/json/json_nesting.h"
#include "addon/json/json_value.h"

namespace json {

class block_pool;

// Alternatives are tried in the order each rule lists them, and each action fires as soon as
// its part of the text has matched, also inside an attempt that fails later. Whitespace (the
// six "C" spaces) is skipped before each token, never inside one. Only grammar<char> exists.
template <class CharT>
class grammar {
public:
    typedef std::deque<value_ptr> stack_type;
    typedef std::pair<std::string, value_ptr> pair_type;

    // Markers left on the stack by begin_object / begin_array until their end action.
    struct object_delimiter {};
    struct array_delimiter {};

    struct action {
        explicit action(grammar& g) : owner(g) {}
        grammar& owner;
    };
    // Receives the matched text including both quotes.
    struct push_string : action {
        using action::action;
        void operator()(const CharT* first, const CharT* last) const;
    };
    struct push_double : action {
        using action::action;
        void operator()(double value) const;
    };
    struct push_int : action {
        using action::action;
        void operator()(int value) const;
    };
    struct push_boolean : action {
        using action::action;
        void operator()(const CharT* first, const CharT* last) const;
    };
    struct push_null : action {
        using action::action;
        void operator()(const CharT* first, const CharT* last) const;
    };
    struct create_pair : action {
        using action::action;
        void operator()(const CharT* first, const CharT* last) const;
    };
    struct begin_object : action {
        using action::action;
        void operator()(CharT) const;
    };
    struct end_object : action {
        using action::action;
        void operator()(CharT) const;
    };
    struct begin_array : action {
        using action::action;
        void operator()(CharT) const;
    };
    struct end_array : action {
        using action::action;
        void operator()(CharT) const;
    };

    explicit grammar(stack_type& valueStack) : stack(valueStack) {}
    ~grammar();
    grammar(const grammar&) = delete;
    void operator=(const grammar&) = delete;

    // Skips leading whitespace and runs the start rule (object) over [first, last).
    // Returns where the run stopped: after the closing brace on a match; on a failure after
    // what the object rule consumed, whitespace before the failing token included.
    const CharT* run(const CharT* first, const CharT* last);

private:
    // The rules, one function each; pos is the cursor, end the end of the text.
    void skip_space();
    bool match_char(CharT expected);
    bool match_object();
    bool match_pair();
    void match_more_pairs();
    bool match_array();
    void match_more_values();
    bool match_value();
    bool match_string();
    bool match_number();
    bool match_real(double& value);
    bool match_int32(int& value);
    bool match_boolean();
    bool match_null();
    bool match_word(const char* word, std::size_t length);

    // Cheap stack entries: counts come from one pool per grammar, and transient holders
    // (keys, pairs) are reused for later entries.
    template <class T>
    value_ptr make_value(T&& held);
    value_ptr make_null();
    value_ptr take_string_holder();
    value_ptr take_pair_holder();
    void recycle_string(value_ptr& holder);
    void recycle_pair(value_ptr& holder);
    value_ptr pop_entry();
    const value_ptr& marker(bool forObject);
    bool is_object_marker(const value_ptr& entry) const;
    bool is_array_marker(const value_ptr& entry) const;

    stack_type& stack;
    const CharT* pos = nullptr;
    const CharT* end = nullptr;
    int depth = 0;
    block_pool* pool = nullptr;
    value_ptr objectMarker;
    value_ptr arrayMarker;
    std::vector<value_ptr> spareStrings;
    std::vector<value_ptr> sparePairs;
};

}  // namespace json
