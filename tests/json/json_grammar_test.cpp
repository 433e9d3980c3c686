// json::grammar<char>: where a run stops and what its actions leave on the value stack.
#include "addon/json/json_grammar.h"

#include <cstring>
#include <string>

#include <boost/any.hpp>
#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

namespace {

typedef json::grammar<char> Grammar;
typedef Grammar::stack_type Stack;

json::value_ptr Str(const char* s) { return boost::make_shared<boost::any>(std::string(s)); }
json::value_ptr Int(int i) { return boost::make_shared<boost::any>(i); }

// One letter per stack entry: o/a markers, p pair, s string, i int, O object, A array, n null.
std::string Shape(const Stack& stack) {
    std::string shape;
    for (const json::value_ptr& e : stack) {
        if (boost::any_cast<Grammar::object_delimiter>(e.get())) shape += 'o';
        else if (boost::any_cast<Grammar::array_delimiter>(e.get())) shape += 'a';
        else if (boost::any_cast<Grammar::pair_type>(e.get())) shape += 'p';
        else if (boost::any_cast<std::string>(e.get())) shape += 's';
        else if (boost::any_cast<int>(e.get())) shape += 'i';
        else if (boost::any_cast<json::object>(e.get())) shape += 'O';
        else if (boost::any_cast<json::array>(e.get())) shape += 'A';
        else if (e->empty()) shape += 'n';
        else shape += '?';
    }
    return shape;
}

struct RunCase { const char* text; std::size_t stop; const char* shape; };

// Actions fire as soon as their part matches, also inside attempts that fail later;
// a failed run stops after what the object rule consumed, whitespace included.
const RunCase kRuns[] = {
    {"{}", 2, "O"}, {" {} \n", 3, "O"}, {"x", 0, ""}, {"  x", 2, ""},
    {"{", 1, "o"}, {"{  ", 3, "o"}, {"{ x", 2, "o"},
    {"{\"a\":1,\"b\"}", 6, "ops"}, {"{\"a\":1 ,", 7, "op"}, {"{\"a\" 1}", 1, "os"},
    {"{\"a\":[1,\"x\"", 1, "osais"}, {"{\"a\":{\"b\":2", 1, "osop"},
    {"{\"a\":1}}", 7, "O"}, {"[1]", 0, ""},
};

TEST(JsonGrammar, RunStopsAndLeavesTheStackAsTheActionsLeftIt) {
    for (const RunCase& c : kRuns) {
        SCOPED_TRACE(c.text);
        Stack stack;
        Grammar g(stack);
        const char* first = c.text;
        const char* stop = g.run(first, first + std::strlen(first));
        EXPECT_EQ(c.stop, static_cast<std::size_t>(stop - first));
        EXPECT_EQ(c.shape, Shape(stack));
    }
}

TEST(JsonGrammar, CreatePairTakesTheEmptyKeyWhenTheKeyIsNoString) {
    Stack stack{Int(5), Str("v")};
    Grammar g(stack);
    Grammar::create_pair{g}(nullptr, nullptr);
    ASSERT_EQ(1u, stack.size());
    const Grammar::pair_type& pair = boost::any_cast<const Grammar::pair_type&>(*stack.back());
    EXPECT_EQ("", pair.first);
    EXPECT_EQ("v", boost::any_cast<std::string>(*pair.second));
}

TEST(JsonGrammar, CreatePairOnAnEmptyStackPairsNullUnderTheEmptyKey) {
    Stack stack;
    Grammar g(stack);
    Grammar::create_pair{g}(nullptr, nullptr);
    Grammar::end_object{g}('}');
    ASSERT_EQ("O", Shape(stack));
    const json::object& members = boost::any_cast<const json::object&>(*stack.back());
    ASSERT_EQ(1u, members.count(""));
    ASSERT_TRUE(members.at(""));
    EXPECT_TRUE(members.at("")->empty());
}

TEST(JsonGrammar, CreatePairLeavesASharedKeyUntouched) {
    json::value_ptr key = Str("k");
    Stack stack{key, Int(1)};
    Grammar g(stack);
    Grammar::create_pair{g}(nullptr, nullptr);
    EXPECT_EQ("k", boost::any_cast<const Grammar::pair_type&>(*stack.back()).first);
    EXPECT_EQ("k", boost::any_cast<std::string>(*key));
}

// Without a marker the end actions take the whole stack; end_object drops non-pairs.
TEST(JsonGrammar, EndActionsWithoutAMarkerTakeTheWholeStack) {
    Stack stack{Str("x"), Str("k"), Int(1)};
    Grammar g(stack);
    Grammar::create_pair{g}(nullptr, nullptr);
    Grammar::end_object{g}('}');
    ASSERT_EQ("O", Shape(stack));
    const json::object& members = boost::any_cast<const json::object&>(*stack.back());
    ASSERT_EQ(1u, members.size());
    EXPECT_EQ(1, boost::any_cast<int>(*members.at("k")));

    stack.assign({Int(1), Str("two"), Int(3)});
    Grammar::end_array{g}(']');
    ASSERT_EQ("A", Shape(stack));
    const json::array& items = boost::any_cast<const json::array&>(*stack.back());
    ASSERT_EQ(3u, items.size());
    EXPECT_EQ(1, boost::any_cast<int>(*items[0]));
    EXPECT_EQ(3, boost::any_cast<int>(*items[2]));
}

// end_object stops at an object marker only; an array marker in between is dropped.
TEST(JsonGrammar, EndObjectStopsAtItsOwnMarkerOnly) {
    Stack stack{Int(7)};
    Grammar g(stack);
    Grammar::begin_object{g}('{');
    Grammar::begin_array{g}('[');
    stack.push_back(Str("k"));
    stack.push_back(Int(1));
    Grammar::create_pair{g}(nullptr, nullptr);
    Grammar::end_object{g}('}');
    EXPECT_EQ("iO", Shape(stack));
    EXPECT_EQ(1u, boost::any_cast<const json::object&>(*stack.back()).size());
}

}  // namespace
