// The stack actions of the JSON grammar. Holders that only live on the stack (keys and
// key-value pairs) are handed back to the grammar and reused, so most entries cost no
// allocation of their own.
#include "addon/json/json_grammar.h"

#include <cstring>

#include <boost/make_shared.hpp>

#include "addon/json/json_block_pool.h"
#include "addon/json/json_unescape.h"

namespace json {
namespace {

// Enough for the members of one object at a time; a larger pool would only hold memory.
const std::size_t kMaxSpares = 32;

}  // namespace

template <class CharT>
grammar<CharT>::~grammar() {
    if (pool) pool->release();
}

template <class CharT>
template <class T>
value_ptr grammar<CharT>::make_value(T&& held) {
    if (!pool) pool = block_pool::create();
    return boost::allocate_shared<boost::any>(pool_allocator<boost::any>(pool),
                                              std::forward<T>(held));
}

template <class CharT>
value_ptr grammar<CharT>::make_null() {
    if (!pool) pool = block_pool::create();
    return boost::allocate_shared<boost::any>(pool_allocator<boost::any>(pool));
}

template <class CharT>
value_ptr grammar<CharT>::take_string_holder() {
    if (spareStrings.empty()) return make_value(std::string());
    value_ptr holder = std::move(spareStrings.back());
    spareStrings.pop_back();
    return holder;
}

template <class CharT>
value_ptr grammar<CharT>::take_pair_holder() {
    if (sparePairs.empty()) return make_value(pair_type());
    value_ptr holder = std::move(sparePairs.back());
    sparePairs.pop_back();
    return holder;
}

// Only holders nobody else shares are reused; spares are known to hold their type.
template <class CharT>
void grammar<CharT>::recycle_string(value_ptr& holder) {
    if (spareStrings.size() < kMaxSpares && holder.use_count() == 1
        && boost::any_cast<std::string>(holder.get())) {
        if (spareStrings.empty()) spareStrings.reserve(kMaxSpares);
        spareStrings.push_back(std::move(holder));
    }
}

template <class CharT>
void grammar<CharT>::recycle_pair(value_ptr& holder) {
    if (sparePairs.size() >= kMaxSpares || holder.use_count() != 1) return;
    boost::unsafe_any_cast<pair_type>(holder.get())->second.reset();
    if (sparePairs.empty()) sparePairs.reserve(kMaxSpares);
    sparePairs.push_back(std::move(holder));
}

// A missing entry reads as null, so no null pointer can reach a pair or a tree.
template <class CharT>
value_ptr grammar<CharT>::pop_entry() {
    if (stack.empty()) return make_null();
    value_ptr entry = std::move(stack.back());
    stack.pop_back();
    return entry;
}

// One marker holder per grammar and kind, shared by all its pushes.
template <class CharT>
const value_ptr& grammar<CharT>::marker(bool forObject) {
    value_ptr& m = forObject ? objectMarker : arrayMarker;
    if (!m) {
        m = forObject ? make_value(object_delimiter()) : make_value(array_delimiter());
    }
    return m;
}

template <class CharT>
bool grammar<CharT>::is_object_marker(const value_ptr& entry) const {
    return entry && (entry == objectMarker || boost::any_cast<object_delimiter>(entry.get()));
}

template <class CharT>
bool grammar<CharT>::is_array_marker(const value_ptr& entry) const {
    return entry && (entry == arrayMarker || boost::any_cast<array_delimiter>(entry.get()));
}

// "\"a\\tb\"" => a<TAB>b
template <class CharT>
void grammar<CharT>::push_string::operator()(const CharT* first, const CharT* last) const {
    value_ptr holder = this->owner.take_string_holder();
    std::string& text = *boost::unsafe_any_cast<std::string>(holder.get());
    text.clear();
    if (last - first >= 2) {
        ++first;                    // drop the quotes
        --last;
        const std::size_t length = static_cast<std::size_t>(last - first);
        if (std::memchr(first, '\\', length))
            unescape(first, last, text);
        else if (length <= text.capacity())
            text.assign(first, last);
        else
            text = std::string(first, last);   // sized exactly, not by the growth rule
    }
    this->owner.stack.push_back(std::move(holder));
}

template <class CharT>
void grammar<CharT>::push_double::operator()(double value) const {
    this->owner.stack.push_back(this->owner.make_value(value));
}

template <class CharT>
void grammar<CharT>::push_int::operator()(int value) const {
    this->owner.stack.push_back(this->owner.make_value(value));
}

template <class CharT>
void grammar<CharT>::push_boolean::operator()(const CharT* first, const CharT* last) const {
    const bool value = first != last && *first == 't';
    this->owner.stack.push_back(this->owner.make_value(value));
}

template <class CharT>
void grammar<CharT>::push_null::operator()(const CharT*, const CharT*) const {
    this->owner.stack.push_back(this->owner.make_null());
}

// Pops the value, then the key (the empty string when it holds no string), and pushes the pair.
template <class CharT>
void grammar<CharT>::create_pair::operator()(const CharT*, const CharT*) const {
    grammar& g = this->owner;
    value_ptr value = g.pop_entry();
    value_ptr key = g.pop_entry();
    value_ptr holder = g.take_pair_holder();
    pair_type& pair = *boost::unsafe_any_cast<pair_type>(holder.get());
    std::string* name = key ? boost::any_cast<std::string>(key.get()) : nullptr;
    if (!name)
        pair.first.clear();
    else if (key.use_count() == 1)
        pair.first.swap(*name);     // the key holder is ours alone and is reused below
    else
        pair.first = *name;
    pair.second = std::move(value);
    if (key) g.recycle_string(key);
    g.stack.push_back(std::move(holder));
}

template <class CharT>
void grammar<CharT>::begin_object::operator()(CharT) const {
    this->owner.stack.push_back(this->owner.marker(true));
}

template <class CharT>
void grammar<CharT>::begin_array::operator()(CharT) const {
    this->owner.stack.push_back(this->owner.marker(false));
}

// Pops up to and including the object marker. Pairs come off last first, so of a repeated
// key the last one in the text wins; entries that are not pairs are dropped.
template <class CharT>
void grammar<CharT>::end_object::operator()(CharT) const {
    grammar& g = this->owner;
    value_ptr result = g.make_value(object());
    object& members = *boost::unsafe_any_cast<object>(result.get());
    while (!g.stack.empty()) {
        value_ptr entry = g.pop_entry();
        if (entry && entry == g.objectMarker) break;
        pair_type* pair = entry ? boost::any_cast<pair_type>(entry.get()) : nullptr;
        if (pair) {
            // Keys usually arrive in descending order, so the hint makes insertion O(1).
            if (entry.use_count() == 1)
                members.emplace_hint(members.begin(), std::move(pair->first),
                                     std::move(pair->second));
            else
                members.emplace_hint(members.begin(), pair->first, pair->second);
            g.recycle_pair(entry);
        } else if (g.is_object_marker(entry)) {
            break;
        }
    }
    g.stack.push_back(std::move(result));
}

// Takes the entries above the array marker (or the whole stack) in stack order, which is
// text order, and replaces them and the marker by the array.
template <class CharT>
void grammar<CharT>::end_array::operator()(CharT) const {
    grammar& g = this->owner;
    stack_type& s = g.stack;
    std::size_t first = s.size();
    while (first != 0 && !g.is_array_marker(s[first - 1])) --first;
    static const array kEmpty;      // copying it allocates less than moving a fresh deque
    value_ptr result = g.make_value(kEmpty);
    array& items = *boost::unsafe_any_cast<array>(result.get());
    for (std::size_t i = first; i != s.size(); ++i) items.push_back(std::move(s[i]));
    s.erase(s.begin() + static_cast<std::ptrdiff_t>(first == 0 ? 0 : first - 1), s.end());
    s.push_back(std::move(result));
}

template grammar<char>::~grammar();
template struct grammar<char>::push_string;
template struct grammar<char>::push_double;
template struct grammar<char>::push_int;
template struct grammar<char>::push_boolean;
template struct grammar<char>::push_null;
template struct grammar<char>::create_pair;
template struct grammar<char>::begin_object;
template struct grammar<char>::end_object;
template struct grammar<char>::begin_array;
template struct grammar<char>::end_array;

}  // namespace json
