// Building the tree of an acceptable JSON text directly, without a value stack.
#pragma once

#include <string>

#include "addon/json/json_value.h"

namespace json {

class block_pool;

// Reads a text by the grammar's rules and builds each value in place inside its parent as soon
// as it is read. It only tells acceptable texts from the rest: what the value stack makes of a
// refused text is the grammar's to say.
class tree_builder {
public:
    tree_builder() = default;
    ~tree_builder();
    tree_builder(const tree_builder&) = delete;
    void operator=(const tree_builder&) = delete;

    // The root object when [first, last) is one object with any whitespace before it and
    // only spaces (0x20) after it; otherwise null.
    value_ptr build(const char* first, const char* last);

private:
    bool read_members(object& members);
    bool read_items(array& items);
    bool read_value(value_ptr& value);
    bool read_string(value_ptr& value);
    bool read_number(value_ptr& value);
    bool read_word(value_ptr& value);
    bool read_nested(value_ptr& value, bool isObject);
    void skip_space();

    template <class... T>
    value_ptr make_value(T&&... held);

    const char* pos = nullptr;
    const char* end = nullptr;
    int depth = 0;
    block_pool* pool = nullptr;
};

}  // namespace json
