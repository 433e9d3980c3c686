// Fuzzes json::parse: any exception but std::bad_alloc, any read outside the text and any
// stack-only entry inside a finished tree is a finding.
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

void CheckParse(const std::string& text) {
    json::value_ptr root = json::parse(text.begin(), text.end());
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
