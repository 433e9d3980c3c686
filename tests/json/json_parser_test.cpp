// json::parse: which texts are accepted and what tree they give.
#include "addon/json/json_parser.h"

#include <string>

#include <boost/any.hpp>
#include <gtest/gtest.h>

#include "addon/json/json_grammar.h"

namespace {

using json::value_ptr;

value_ptr Parse(const std::string& text) { return json::parse(text.begin(), text.end()); }

const json::object* AsObject(const value_ptr& v) { return boost::any_cast<json::object>(v.get()); }

// The member "n" of a parsed one-member object, or null when the text was not accepted.
value_ptr Member(const std::string& text, const char* name = "n") {
    value_ptr root = Parse(text);
    const json::object* members = AsObject(root);
    if (!members) return value_ptr();
    auto it = members->find(name);
    return it == members->end() ? value_ptr() : it->second;
}

struct AcceptanceCase { const char* text; bool accepted; };

const AcceptanceCase kAcceptance[] = {
    {"{}", true}, {"  {}   ", true}, {"\t\r\n\v\f{}", true}, {"{ \"a\" \n:\t[ 1 , 2 ] }", true},
    {"{\"a\":{\"b\":{}},\"c\":[[],[true,false,null]]}", true},
    // after the object only spaces may follow
    {"{}\n", false}, {"{}\t", false}, {"{}\r", false}, {"{} {}", false}, {"{}}", false},
    // the top level must be an object
    {"", false}, {"   ", false}, {"[1,2]", false}, {"\"x\"", false}, {"5", false},
    {"true", false}, {"null", false},
    // malformed members
    {"{\"a\":1,}", false}, {"{\"a\" 1}", false}, {"{,}", false}, {"{\"a\":1 \"b\":2}", false},
    {"{\"a\":[1,]}", false}, {"{\"a\":[,1]}", false}, {"{a:1}", false}, {"{\"a\":}", false},
    {"{\"a\":truex}", false}, {"{\"a\":tru}", false}, {"{\"a\":nul}", false},
    {"{\"a\":1", false}, {"{\"a\":[1}", false}, {"{\"a\":{}", false},
};

TEST(JsonAcceptance, OnlyOneObjectWithSpacesAfterIsAccepted) {
    for (const AcceptanceCase& c : kAcceptance) {
        SCOPED_TRACE(c.text);
        value_ptr root = Parse(c.text);
        ASSERT_TRUE(root);
        if (c.accepted)
            EXPECT_NE(nullptr, AsObject(root));
        else
            EXPECT_TRUE(root->empty());
    }
}

// Every proper prefix of an acceptable text is refused: nothing is read past the end.
TEST(JsonAcceptance, PrefixesOfAnObjectAreRefused) {
    const std::string full = "{\"k\":[\"a\\u00e9\",-12.5e1,7,true,false,null,{\"x\":\"y\"}]}";
    ASSERT_NE(nullptr, AsObject(Parse(full)));
    for (std::size_t n = 2; n < full.size(); ++n) {
        SCOPED_TRACE(full.substr(0, n));
        const std::string prefix = full.substr(0, n);
        EXPECT_TRUE(json::parse(full.begin(), full.begin() + n)->empty());
        EXPECT_TRUE(Parse(prefix)->empty());
    }
}

enum Kind { kInt, kReal, kRefused };
struct NumberCase { const char* text; Kind kind; double value; };

const NumberCase kNumbers[] = {
    {"{\"n\":1}", kInt, 1}, {"{\"n\":-7}", kInt, -7}, {"{\"n\":+7}", kInt, 7},
    {"{\"n\":007}", kInt, 7}, {"{\"n\":-0}", kInt, 0},
    {"{\"n\":2147483647}", kInt, 2147483647.0}, {"{\"n\":-2147483648}", kInt, -2147483648.0},
    {"{\"n\":1.0}", kReal, 1.0}, {"{\"n\":1.}", kReal, 1.0}, {"{\"n\":.5}", kReal, 0.5},
    {"{\"n\":-.5}", kReal, -0.5}, {"{\"n\":1e5}", kReal, 1e5}, {"{\"n\":1E+2}", kReal, 100},
    {"{\"n\":1.5e2}", kReal, 150}, {"{\"n\":-2.25}", kReal, -2.25}, {"{\"n\":25e-1}", kReal, 2.5},
    {"{\"n\":1.e1}", kReal, 10}, {"{\"n\":2147483648.0}", kReal, 2147483648.0},
    {"{\"n\":2147483648}", kRefused, 0}, {"{\"n\":-2147483649}", kRefused, 0},
    {"{\"n\":99999999999999999999}", kRefused, 0},
    {"{\"n\":.}", kRefused, 0}, {"{\"n\":-}", kRefused, 0}, {"{\"n\":+-1}", kRefused, 0},
    {"{\"n\":1e}", kRefused, 0}, {"{\"n\":1.5e}", kRefused, 0}, {"{\"n\":1e+}", kRefused, 0},
    {"{\"n\":1e99999999999}", kRefused, 0}, {"{\"n\":0x10}", kRefused, 0},
    {"{\"n\":1 2}", kRefused, 0},
};

TEST(JsonNumbers, KindAndValueFollowTheNumberRule) {
    for (const NumberCase& c : kNumbers) {
        SCOPED_TRACE(c.text);
        value_ptr n = Member(c.text);
        if (c.kind == kRefused) {
            EXPECT_FALSE(n);
        } else if (c.kind == kInt) {
            ASSERT_TRUE(n);
            const int* i = boost::any_cast<int>(n.get());
            ASSERT_NE(nullptr, i);
            EXPECT_EQ(static_cast<int>(c.value), *i);
        } else {
            ASSERT_TRUE(n);
            const double* d = boost::any_cast<double>(n.get());
            ASSERT_NE(nullptr, d);
            EXPECT_DOUBLE_EQ(c.value, *d);
        }
    }
}

TEST(JsonNumbers, AnIntegerIsNeverConvertedToAReal) {
    value_ptr n = Member("{\"n\":1}");
    ASSERT_TRUE(n);
    EXPECT_THROW(boost::any_cast<double>(*n), boost::bad_any_cast);
}

struct StringCase { const char* text; bool accepted; std::string bytes; };

const StringCase kStrings[] = {
    {"{\"n\":\"plain\"}", true, "plain"}, {"{\"n\":\"\"}", true, ""},
    {"{\"n\":\"\\u00e9\"}", true, "\xC3\xA9"}, {"{\"n\":\"\\u00E9\"}", true, "\xC3\xA9"},
    {"{\"n\":\"\\u20ac\"}", true, "\xE2\x82\xAC"}, {"{\"n\":\"\\u0041\"}", true, "A"},
    {"{\"n\":\"\\u07ff\\u0800\"}", true, "\xDF\xBF\xE0\xA0\x80"},
    {"{\"n\":\"\\u0000\"}", true, std::string(1, '\0')},
    // a surrogate pair stays two three-byte sequences
    {"{\"n\":\"\\ud83d\\ude00\"}", true, "\xED\xA0\xBD\xED\xB8\x80"},
    {"{\"n\":\"a\\/b\"}", true, "a/b"}, {"{\"n\":\"\\\"\\\\\"}", true, "\"\\"},
    {"{\"n\":\"\\b\\f\\n\\r\\t\"}", true, "\b\f\n\r\t"},
    {"{\"n\":\"x\\u0041y\\tz\"}", true, "xAy\tz"},
    // control characters and high bytes are taken as they are
    {"{\"n\":\"a\nb\"}", true, "a\nb"}, {"{\"n\":\"\xFF\x01\"}", true, "\xFF\x01"},
    {"{\"n\":\" \\u0020 \"}", true, "   "},
    // runs longer than eight bytes, with escapes and high bytes inside them
    {"{\"n\":\"0123456789abcdef\\\"ghijklmnopqrstuv\\\\w\"}", true,
     "0123456789abcdef\"ghijklmnopqrstuv\\w"},
    {"{\"n\":\"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xFF\xFF\xFF\xFF\xFF\xFF\xFF\\n\x80\"}", true,
     "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xFF\xFF\xFF\xFF\xFF\xFF\xFF\n\x80"},
    {"{\"n\":\"a\\qb\"}", false, ""}, {"{\"n\":\"\\u12\"}", false, ""},
    {"{\"n\":\"\\u12G4\"}", false, ""}, {"{\"n\":\"abc}", false, ""},
    {"{\"n\":\"abc\\\"}", false, ""}, {"{\"n\":'a'}", false, ""},
};

TEST(JsonStrings, EscapesDecodeToTheirBytes) {
    for (const StringCase& c : kStrings) {
        SCOPED_TRACE(c.text);
        value_ptr n = Member(c.text);
        if (!c.accepted) {
            EXPECT_FALSE(n);
            continue;
        }
        ASSERT_TRUE(n);
        const std::string* s = boost::any_cast<std::string>(n.get());
        ASSERT_NE(nullptr, s);
        EXPECT_EQ(c.bytes, *s);
    }
}

TEST(JsonObjects, TheLastOfARepeatedKeyWins) {
    value_ptr a = Member("{\"a\":1,\"b\":true,\"a\":2}", "a");
    ASSERT_TRUE(a);
    EXPECT_EQ(2, boost::any_cast<int>(*a));
    EXPECT_EQ(2u, AsObject(Parse("{\"a\":1,\"b\":true,\"a\":2}"))->size());
}

TEST(JsonObjects, MembersIterateInByteOrderOfTheirKeys) {
    value_ptr root = Parse("{\"b\":1,\"B\":2,\"a\":3,\"\xC3\xA9\":4,\"A\":5}");
    ASSERT_NE(nullptr, AsObject(root));
    std::string order;
    for (const auto& member : *AsObject(root)) order += member.first + ",";
    EXPECT_EQ("A,B,a,b,\xC3\xA9,", order);
}

TEST(JsonObjects, ArraysKeepTextOrderAndNestedKinds) {
    value_ptr a = Member("{\"a\":[1,\"x\",{},[],null]}", "a");
    ASSERT_TRUE(a);
    const json::array& items = boost::any_cast<const json::array&>(*a);
    ASSERT_EQ(5u, items.size());
    EXPECT_EQ(1, boost::any_cast<int>(*items[0]));
    EXPECT_EQ("x", boost::any_cast<std::string>(*items[1]));
    EXPECT_TRUE(boost::any_cast<json::object>(*items[2]).empty());
    EXPECT_TRUE(boost::any_cast<json::array>(*items[3]).empty());
    EXPECT_TRUE(items[4]->empty());
}

TEST(JsonObjects, NullIsAnEmptyHolderThatNoCastAccepts) {
    value_ptr z = Member("{\"z\":null}", "z");
    ASSERT_TRUE(z);
    EXPECT_TRUE(z->empty());
    EXPECT_THROW(boost::any_cast<std::string>(*z), boost::bad_any_cast);
    EXPECT_THROW(boost::any_cast<int>(*z), boost::bad_any_cast);
}

TEST(JsonObjects, BooleansKeepTheirWord) {
    value_ptr root = Parse("{\"t\":true,\"f\":false}");
    ASSERT_NE(nullptr, AsObject(root));
    EXPECT_TRUE(boost::any_cast<bool>(*AsObject(root)->at("t")));
    EXPECT_FALSE(boost::any_cast<bool>(*AsObject(root)->at("f")));
}

TEST(JsonObjects, ACacheTextReadsBackItsShape) {
    value_ptr root = Parse("{\"sites\":{\"a.com\":[\"1\",\"2\"],\"b.com\":[\"2\"]},"
                           "\"data\":{\"1\":{\"k\":\"v\"},\"2\":{}}}");
    ASSERT_NE(nullptr, AsObject(root));
    const json::object& sites = boost::any_cast<const json::object&>(*AsObject(root)->at("sites"));
    const json::array& ids = boost::any_cast<const json::array&>(*sites.at("a.com"));
    ASSERT_EQ(2u, ids.size());
    EXPECT_EQ("2", boost::any_cast<std::string>(*ids[1]));
    const json::object& data = boost::any_cast<const json::object&>(*AsObject(root)->at("data"));
    const json::object& one = boost::any_cast<const json::object&>(*data.at("1"));
    EXPECT_EQ("v", boost::any_cast<std::string>(*one.at("k")));
    EXPECT_TRUE(boost::any_cast<const json::object&>(*data.at("2")).empty());
}

// Values share their parse's bookkeeping; a member kept alone must stay whole.
TEST(JsonObjects, AMemberOutlivesItsRootAndItsSiblings) {
    value_ptr kept;
    {
        value_ptr root = Parse("{\"a\":[\"first value\",{\"k\":\"a long enough string value\"}],"
                               "\"b\":\"gone\"}");
        ASSERT_NE(nullptr, AsObject(root));
        kept = AsObject(root)->at("a");
    }
    const json::array& items = boost::any_cast<const json::array&>(*kept);
    ASSERT_EQ(2u, items.size());
    EXPECT_EQ("first value", boost::any_cast<std::string>(*items[0]));
    const json::object& inner = boost::any_cast<const json::object&>(*items[1]);
    EXPECT_EQ("a long enough string value", boost::any_cast<std::string>(*inner.at("k")));
}

// A lone "{" leaves only its marker on the stack, and the marker is what comes back.
TEST(JsonLoneBrace, ReturnsTheObjectMarker) {
    for (const char* text : {"{", "  {  ", "\t{\n", "{\r\n"}) {
        SCOPED_TRACE(text);
        value_ptr root = Parse(text);
        ASSERT_TRUE(root);
        EXPECT_FALSE(root->empty());
        EXPECT_NE(nullptr, boost::any_cast<json::grammar<char>::object_delimiter>(root.get()));
        EXPECT_THROW(boost::any_cast<json::object>(*root), boost::bad_any_cast);
    }
    EXPECT_TRUE(Parse("{ x")->empty());
}

std::string Nested(int levels, const char* open, const char* leaf, const char* close) {
    std::string text = "{\"a\":";
    for (int i = 0; i < levels; ++i) text += open;
    text += leaf;
    for (int i = 0; i < levels; ++i) text += close;
    return text + "}";
}

// The root object is one level, so kMaxNestingDepth - 1 more levels fit.
TEST(JsonNesting, DeeperThanTheLimitIsRefused) {
    const int inner = json::kMaxNestingDepth - 1;
    EXPECT_NE(nullptr, AsObject(Parse(Nested(inner, "[", "", "]"))));
    EXPECT_TRUE(Parse(Nested(inner + 1, "[", "", "]"))->empty());
    EXPECT_NE(nullptr, AsObject(Parse(Nested(inner, "{\"a\":", "1", "}"))));
    EXPECT_TRUE(Parse(Nested(inner + 1, "{\"a\":", "1", "}"))->empty());
}

// Without the limit this would overflow the thread's stack.
TEST(JsonNesting, AMillionOpenLevelsEndQuietly) {
    const std::string arrays = "{\"a\":" + std::string(1000000, '[');
    EXPECT_TRUE(Parse(arrays)->empty());
    std::string objects;
    for (int i = 0; i < 300000; ++i) objects += "{\"a\":";
    EXPECT_TRUE(Parse(objects)->empty());
}

}  // namespace
