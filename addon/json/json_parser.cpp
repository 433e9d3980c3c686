// Parsing a whole JSON text into a tree of shared values.
#include "addon/json/json_parser.h"

#include <deque>

#include <boost/make_shared.hpp>

#include "addon/json/json_grammar.h"
#include "addon/json/json_tree_builder.h"

namespace json {
namespace {

// The value-stack run: leftovers of a refused text decide what it returns.
value_ptr ParseOnTheStack(const char* first, const char* last) {
    std::deque<value_ptr> stack;
    grammar<char> rules(stack);
    const char* stop = rules.run(first, last);
    // Only spaces may follow; a tab, line feed or carriage return does not count.
    while (stop != last && *stop == ' ') ++stop;
    // Whether the run matched is not consulted: a lone "{" leaves just its marker, which
    // is returned as it is.
    if (stop == last && stack.size() == 1) return std::move(stack.back());
    return boost::make_shared<boost::any>();
}

}  // namespace

// An acceptable text is built directly; a refused one is run again on the value stack, which
// alone knows what such a text returns (the empty holder, or a lone "{"'s marker).
value_ptr parse(std::string::const_iterator begin, std::string::const_iterator end) {
    if (begin == end) return boost::make_shared<boost::any>();
    const char* first = &*begin;
    const char* last = first + (end - begin);
    value_ptr root = tree_builder().build(first, last);
    return root ? root : ParseOnTheStack(first, last);
}

}  // namespace json
