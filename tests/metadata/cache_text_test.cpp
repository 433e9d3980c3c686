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

// Any bytes at all, in every place the text holds a string.
TEST(CacheText, ArbitraryBytesReadBackToThemselves) {
    std::mt19937 random(7);
    auto text = [&random]() {
        std::string s(random() % 6, '\0');
        for (char& c : s) c = static_cast<char>(random() % 256);
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
