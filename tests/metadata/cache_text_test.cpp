// The metadata cache text: its exact layout, reading back, and texts of the wrong shape.
#include <random>
#include <string>

#include <boost/any.hpp>
#include <gtest/gtest.h>

#include "addon/metadata/cache_text.h"

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



}  // namespace
