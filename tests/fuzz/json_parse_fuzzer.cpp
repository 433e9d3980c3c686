// Fuzzes json::parse: any exception but std::bad_alloc, any read outside the text, any
// stack-only entry inside a finished tree, and any result other than the value stack's own
// (the parse steps run on the grammar) is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <string>

#include <boost/any.hpp>

#include "addon/json/json_grammar.h"
#include "addon/json/json_parser.h"

namespace {

typedef json::grammar<char> Grammar;

bool IsStackOnly(const json::value_ptr& v) {
    return boost::any_cast<Grammar::pair_type>(v.get())
        || boost::any_cast<Grammar::object_delimiter>(v.get())
        || boost::any_cast<Grammar::array_delimiter>(v.get());
}

// Every value below the root is a null pointer never, and a pair or marker never.
void CheckTree(const json::value_ptr& v, int depth) {
    if (!v || IsStackOnly(v) || depth > json::kMaxNestingDepth) std::abort();
    if (const json::object* members = boost::any_cast<json::object>(v.get()))
        for (const auto& member : *members) CheckTree(member.second, depth + 1);
    if (const json::array* items = boost::any_cast<json::array>(v.get()))
        for (const json::value_ptr& item : *items) CheckTree(item, depth + 1);
}

// The parse steps on the value stack: run the grammar, skip spaces, take a lone entry.
json::value_ptr ParseOnTheStack(const std::string& text) {
    std::deque<json::value_ptr> stack;
    Grammar rules(stack);
    const char* first = text.data();
    const char* last = first + text.size();
    const char* stop = text.empty() ? last : rules.run(first, last);
    while (stop != last && *stop == ' ') ++stop;
    if (stop == last && stack.size() == 1) return stack.back();
    return json::value_ptr(new boost::any());
}

template <class T>
bool SameHeld(const boost::any& a, const boost::any& b) {
    const T* x = boost::any_cast<T>(&a);
    const T* y = boost::any_cast<T>(&b);
    return x && y && std::memcmp(x, y, sizeof(T)) == 0;  // bit for bit, so NaN equals NaN
}

bool SameTree(const json::value_ptr& a, const json::value_ptr& b);

bool SameMembers(const json::object& a, const json::object& b) {
    if (a.size() != b.size()) return false;
    for (auto x = a.begin(), y = b.begin(); x != a.end(); ++x, ++y)
        if (x->first != y->first || !SameTree(x->second, y->second)) return false;
    return true;
}

bool SameItems(const json::array& a, const json::array& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i != a.size(); ++i)
        if (!SameTree(a[i], b[i])) return false;
    return true;
}

bool SameTree(const json::value_ptr& a, const json::value_ptr& b) {
    if (!a || !b) return !a && !b;
    if (a->type() != b->type()) return false;
    if (a->empty()) return true;
    if (const json::object* members = boost::any_cast<json::object>(a.get()))
        return SameMembers(*members, boost::any_cast<const json::object&>(*b));
    if (const json::array* items = boost::any_cast<json::array>(a.get()))
        return SameItems(*items, boost::any_cast<const json::array&>(*b));
    if (const std::string* s = boost::any_cast<std::string>(a.get()))
        return *s == boost::any_cast<const std::string&>(*b);
    return SameHeld<int>(*a, *b) || SameHeld<double>(*a, *b) || SameHeld<bool>(*a, *b)
        || boost::any_cast<Grammar::object_delimiter>(a.get()) != nullptr;
}

void CheckParse(const std::string& text) {
    json::value_ptr root = json::parse(text.begin(), text.end());
    if (!SameTree(root, ParseOnTheStack(text))) std::abort();
    if (!root) std::abort();
    if (boost::any_cast<Grammar::object_delimiter>(root.get())) return;  // the lone "{"
    if (!root->empty() && !boost::any_cast<json::object>(root.get())) std::abort();
    if (!root->empty()) CheckTree(root, 1);
}

// The grammar over a buffer of exactly the text's size, so a read past the end is caught.
void CheckRun(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<char[]> exact(new char[size == 0 ? 1 : size]);
    if (size != 0) std::memcpy(exact.get(), data, size);
    std::deque<json::value_ptr> stack;
    Grammar rules(stack);
    const char* stop = rules.run(exact.get(), exact.get() + size);
    if (stop < exact.get() || stop > exact.get() + size) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        CheckParse(std::string(reinterpret_cast<const char*>(data), size));
        CheckRun(data, size);
    } catch (const std::bad_alloc&) {
        // the one exception parsing may raise
    } catch (...) {
        std::abort();
    }
    return 0;
}
