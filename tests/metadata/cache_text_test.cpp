// The metadata cache text: its exact layout, reading back, and texts of the wrong shape.
#include <random>
#include <string>

#include <boost/any.hpp>
#include <gtest/gtest.h>

#include "addon/metadata/cache_text.h"
#include "addon/metadata/compact_cache_text.h"

namespace {

MetadataModel ExampleModel() {
    MetadataModel model;
    model.AddSite("a.com", "1");
    model.AddSite("a.com", "2");
    model.AddSite("b.com", "2");
    model.Data()["1"]["k"] = "v";
    model.Data()["2"];
    return model;
}

TEST(CacheText, ExampleModelIsWrittenCompactlyInOrderAndReadsBack) {
    std::string text = CacheText(ExampleModel());
    EXPECT_EQ("{\"sites\":{\"a.com\":[\"1\",\"2\"],\"b.com\":[\"2\"]},"
              "\"data\":{\"1\":{\"k\":\"v\"},\"2\":{}}}", text);
    EXPECT_EQ("{\"sites\":{},\"data\":{}}", CacheText(MetadataModel()));
    MetadataModel model;
    EXPECT_TRUE(ReadCacheText(text, model));
    EXPECT_EQ(ExampleModel(), model);
}

TEST(CacheText, SpecialCharactersAreEscapedAsJson) {
    MetadataModel model;
    model.AddSite("q\"b\\", "\n\x01");
    EXPECT_EQ("{\"sites\":{\"q\\\"b\\\\\":[\"\\n\\u0001\"]},\"data\":{}}", CacheText(model));
}

TEST(CacheText, CharactersBeyondAsciiAreWrittenAsTheyAreSurrogatesOnTheirOwnAsEscapes) {
    MetadataModel model;
    model.AddSite("\xE8\xA1\xA8\xE7\xA4\xBA.example", "\xF0\x9F\x98\x80");
    model.Data()["\xED\xA0\xBD\xED\xB8\x80"]["Caf\xC3\xA9"] = "\xE2\x80\xA8\xED\xBF\xBF";
    const std::string text = CacheText(model);
    EXPECT_EQ("{\"sites\":{\"\xE8\xA1\xA8\xE7\xA4\xBA.example\":[\"\xF0\x9F\x98\x80\"]},"
              "\"data\":{\"\\ud83d\\ude00\":{\"Caf\xC3\xA9\":\"\xE2\x80\xA8\\udfff\"}}}",
              text);
    MetadataModel read;
    ASSERT_TRUE(ReadCacheText(text, read));
    EXPECT_EQ(model, read);
}

// The registry keeps the cache text in UTF-16, which has no place for bytes that are not UTF-8.
TEST(CacheText, BytesThatAreNotUtf8AreWrittenAsReplacementCharacters) {
    MetadataModel model;
    model.Data()["1"]["k"] = "Caf\xE9 \xE2\x80\" \xC0\xAF";
    EXPECT_EQ("{\"sites\":{},\"data\":{\"1\":{\"k\":\"Caf\xEF\xBF\xBD \xEF\xBF\xBD\\\" "
              "\xEF\xBF\xBD\xEF\xBF\xBD\"}}}",
              CacheText(model));
}

// Text of every kind the model can hold, in every place the cache text holds a string.
TEST(CacheText, ArbitraryTextReadsBackToItself) {
    const char* const pieces[] = {
        "a", "\"", "\\", "/", "\n", "\x01", "\x1f", "<", "\x7f", "\xC3\xA9", "\xE8\xA1\xA8",
        "\xE2\x80\xA8", "\xF0\x9F\x98\x80", "\xED\xA0\xBD", "\xED\xB8\x80"};
    const unsigned kPieces = sizeof pieces / sizeof *pieces;
    std::mt19937 random(7);
    auto text = [&]() {
        std::string s;
        for (unsigned n = random() % 6; n > 0; --n) {
            const unsigned piece = random() % (kPieces + 1);
            s += piece < kPieces ? std::string(pieces[piece]) : std::string(1, '\0');
        }
        return s;
    };
    for (int round = 0; round < 200; ++round) {
        MetadataModel written;
        for (int i = 0; i < 5; ++i) {
            written.AddSite(text(), text());
            written.Data()[text()][text()] = text();
        }
        written.RuleIdsOf(text());  // a pattern without rule ids
        MetadataModel read;
        ASSERT_EQ(kCacheRead, TryReadCacheText(CacheText(written), read));
        ASSERT_EQ(written, read) << CacheText(written);
    }
}

TEST(CacheText, MemberOrderAndOtherMembersDoNotMatter) {
    MetadataModel model;
    EXPECT_TRUE(ReadCacheText(" {\"data\":{\"2\":{},\"1\":{\"k\":\"v\"}},\"version\":3,"
                              "\"sites\":{\"b.com\":[\"2\"],\"a.com\":[\"2\",\"1\",\"2\"]}} ",
                              model));
    EXPECT_EQ(ExampleModel(), model);
}

TEST(CacheText, EmptyTextEmptiesTheModelAndReadsNothing) {
    MetadataModel model = ExampleModel();
    EXPECT_FALSE(ReadCacheText("", model));
    EXPECT_TRUE(model.Empty());
    model = ExampleModel();
    EXPECT_EQ(kCacheEmpty, TryReadCacheText("", model));
    EXPECT_TRUE(model.Empty());
}

const char* const kWrongShapes[] = {
    "not json",
    "{",
    "{\"sites\":[]}",
    "{\"sites\":{\"a.com\":\"1\"}}",
    "{\"sites\":{\"a.com\":[1]}}",
    "{\"sites\":{\"a.com\":[null]}}",
    "{\"data\":{\"1\":[]}}",
    "{\"data\":{\"1\":{\"k\":2}}}",
    "{\"data\":{\"1\":{\"k\":\"v\"}},\"sites\":{\"a.com\":[\"1\"],\"b.com\":{}}}",
    "{}\n",
};

TEST(CacheText, WrongShapeRaisesKeepingWhatWasReadBeforeUnlessTried) {
    for (const char* text : kWrongShapes) {
        SCOPED_TRACE(text);
        MetadataModel model = ExampleModel();
        EXPECT_THROW(ReadCacheText(text, model), boost::bad_any_cast);
        model = ExampleModel();
        EXPECT_EQ(kCacheUnreadable, TryReadCacheText(text, model));  // no half-read model
        EXPECT_TRUE(model.Empty());
    }
    MetadataModel model;
    const char* last = kWrongShapes[sizeof kWrongShapes / sizeof *kWrongShapes - 2];
    EXPECT_THROW(ReadCacheText(last, model), boost::bad_any_cast);
    EXPECT_EQ((RuleDataMap{{"1", {{"k", "v"}}}}), model.Data());  // "data" comes before "sites"
    EXPECT_EQ(1u, model.Sites().count("a.com"));
}

// What a reader made of a text: its model, and whether it raised.
struct Reading {
    MetadataModel model;
    bool raised = false;
};

Reading ReadWith(void (*read)(const std::string&, MetadataModel&), const std::string& text) {
    Reading reading;
    reading.model = ExampleModel();
    reading.model.Clear();
    try {
        read(text, reading.model);
    } catch (const boost::bad_any_cast&) {
        reading.raised = true;
    }
    return reading;
}

void ReadThroughReadCacheText(const std::string& text, MetadataModel& model) {
    ReadCacheText(text, model);
}

struct ReaderCase { const char* text; bool compact; };

// The add-on's own layout takes the compact reader; every other text, also one that differs
// from that layout only late, must end exactly as the tree reader ends it, fault included.
const ReaderCase kReaderCases[] = {
    {"{\"sites\":{},\"data\":{}}", true},
    {"{\"sites\":{\"a.com\":[\"1\",\"2\"],\"b.com\":[]},\"data\":{\"1\":{\"k\":\"v\"},\"2\":{}}}",
     true},
    {"{\"sites\":{\"q\\\"b\\\\\":[\"\\n\\u0001\\ud83d\"]},\"data\":{\"\\/\":{\"\":\"\\t\"}}}", true},
    {"{\"sites\":{\"a.com\":[\"2\",\"1\",\"2\"]},\"data\":{}}", true},  // the set drops repeats
    {"{\"sites\":{\"b\":[],\"a\":[]},\"data\":{\"2\":{},\"1\":{}}}", true},  // any order
    // not the compact layout: read by the tree
    {"{\"sites\":{},\"data\":{}} ", false},
    {" {\"sites\":{},\"data\":{}}", false},
    {"{\"sites\":{\"a\": [\"1\"]},\"data\":{}}", false},
    {"{\"data\":{\"1\":{\"k\":\"v\"}},\"sites\":{\"a\":[\"1\"]}}", false},
    {"{\"sites\":{},\"data\":{},\"version\":3}", false},
    {"{\"sit\\u0065s\":{\"a\":[\"1\"]},\"data\":{}}", false},
    {"{\"sites\":{\"a\":[\"1\"],\"a\":[\"2\"]},\"data\":{}}", false},
    {"{\"sites\":{},\"data\":{\"1\":{\"k\":\"v\"},\"1\":{}}}", false},
    {"{\"sites\":{},\"data\":{\"1\":{\"k\":\"v\",\"k\":\"w\"}}}", false},
    {"{\"sites\":{}}", false},
    // not the cache format at all: the tree reader raises, keeping what it read first
    {"{\"sites\":{\"a\":[\"1\",2]},\"data\":{\"1\":{}}}", false},
    {"{\"sites\":{\"a\":[null]},\"data\":{}}", false},
    {"{\"sites\":{},\"data\":{\"1\":{\"k\":7}}}", false},
    {"{\"sites\":{\"a\":[\"1\"]},\"data\":{\"1\":{\"k\":\"v\"}}}}", false},
    {"{\"sites\":{\"a\":[\"1\"]},\"data\":{\"1\":{\"k\":\"v\"}}", false},
    {"{\"sites\":{\"a\":[\"1\\q\"]},\"data\":{}}", false},
    {"{\"sites\":[],\"data\":{}}", false},
    {"{", false},
};

TEST(CacheTextReaders, EveryTextEndsAsTheTreeReaderEndsIt) {
    for (const ReaderCase& c : kReaderCases) {
        SCOPED_TRACE(c.text);
        MetadataModel compact;
        EXPECT_EQ(c.compact, ReadCompactCacheText(c.text, compact));
        const Reading tree = ReadWith(ReadCacheTextByTree, c.text);
        const Reading read = ReadWith(ReadThroughReadCacheText, c.text);
        EXPECT_EQ(tree.raised, read.raised);
        EXPECT_EQ(tree.model, read.model);
        if (c.compact) {
            EXPECT_FALSE(tree.raised);
            EXPECT_EQ(tree.model, compact);
        }
    }
}

// Whatever the model holds, its own cache text takes the compact reader and reads back whole.
TEST(CacheTextReaders, EveryWrittenTextIsReadCompactly) {
    std::mt19937 random(11);
    for (int round = 0; round < 100; ++round) {
        MetadataModel written;
        for (int i = 0; i < 4; ++i) {
            std::string piece(random() % 20, '\0');
            for (char& c : piece) c = static_cast<char>(random() % 128);
            written.AddSite(piece, piece + "id");
            written.Data()[piece + "id"][piece] = piece + piece;
        }
        const std::string text = CacheText(written);
        MetadataModel read;
        ASSERT_TRUE(ReadCompactCacheText(text, read)) << text;
        EXPECT_EQ(written, read);
    }
}

}  // namespace
