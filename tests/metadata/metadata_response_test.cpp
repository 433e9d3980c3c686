// Reading the selector's XML reply into the model; splitting and trimming of its fields.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "addon/metadata/metadata_response.h"
#include "addon/metadata/text_fields.h"

namespace {

typedef std::vector<std::string> Strings;

std::string Item(const std::string& name, const std::string& text) {
    return "<item name=\"" + name + "\">" + text + "</item>";
}

std::string Card(const std::string& items) {
    return "<card><VeltraneMetadata>" + items + "</VeltraneMetadata></card>";
}

MetadataModel Build(const std::string& reply, ReplyReading expected = kReplyRead) {
    MetadataModel model;
    std::string text = reply;
    EXPECT_EQ(expected, BuildModelFromResponse(text, "1024", model));
    EXPECT_TRUE(text.empty());
    return model;
}

Strings Fields(const std::string& text) {
    Strings fields;
    for (std::string_view field : SplitList(text)) fields.emplace_back(field);
    return fields;
}

TEST(TextFields, SplitListKeepsEmptyFieldsTrimSpacesOnlySpaces) {
    EXPECT_EQ(Strings{}, Fields(""));
    EXPECT_EQ((Strings{"a", "b"}), Fields("a,b"));
    EXPECT_EQ((Strings{"a", "", "b"}), Fields("a,,b"));
    EXPECT_EQ((Strings{"a", ""}), Fields("a,"));
    EXPECT_EQ((Strings{"", "a"}), Fields(",a"));
    EXPECT_EQ((Strings{" "}), Fields(" "));
    EXPECT_EQ((Strings{"", ""}), Fields(","));
    EXPECT_EQ("a b", TrimSpaces("  a b "));
    EXPECT_EQ("", TrimSpaces("   "));
    EXPECT_EQ("\ta\n", TrimSpaces(" \ta\n "));
}

TEST(TextFields, RemoveEveryUrnAlsoRemovesOccurrencesFormedByAnErase) {
    const char* cases[][2] = {{"urn:x", "x"}, {"uurn:rn:x", "x"}, {"urn:urn:", ""},
                              {"a urn:b, urn:c", "a b, c"}, {"uuurn:rn:rn:", ""},
                              {"urnurn", "urnurn"}};
    for (const auto& c : cases) {
        std::string text = c[0];
        RemoveEveryUrn(text);
        EXPECT_EQ(c[1], text) << c[0];
    }
}

TEST(MetadataReply, SitesAreSplitAndCleanedOnlyWhereTheyCarryUrn) {
    MetadataModel model = Build("<r>" + Card(Item("searchOverlayCard.ruleid", "5") +
        Item("searchOverlayCard.sites", "urn:a.com, urn:b.com,c.com ,")) + "</r>");
    Strings patterns;
    for (const auto& site : model.Sites()) {
        patterns.push_back(site.first);
        EXPECT_EQ(RuleIdSet{"5"}, site.second);
    }
    EXPECT_EQ((Strings{"", "a.com", "b.com", "c.com "}), patterns);
    EXPECT_EQ(RuleData{}, model.Data().at("5"));  // sites are not rule data
}

// A field that is only "urn:" and spaces trims to the empty pattern; the rest of the card
// (later items, the rule's data, later blocks) is still read.
TEST(MetadataReply, FieldOfOnlyUrnAndSpacesIsTheEmptyPattern) {
    const std::string later = "<VeltraneMetadata>" + Item("searchOverlayCard.ruleid", "6") +
                              Item("searchOverlayCard.sites", "b.com") + "</VeltraneMetadata>";
    for (const char* sites : {"urn:a.com,urn:", "urn:a.com,urn:   "}) {
        SCOPED_TRACE(sites);
        const std::string first = "<VeltraneMetadata>" + Item("searchOverlayCard.ruleid", "5") +
                                  Item("searchOverlayCard.sites", sites) + Item("k", "v") +
                                  "</VeltraneMetadata>";
        MetadataModel model = Build("<r><card>" + first + later + "</card></r>");
        EXPECT_EQ((SiteMap{{"", {"5"}}, {"a.com", {"5"}}, {"b.com", {"6"}}}), model.Sites());
        EXPECT_EQ((RuleDataMap{{"5", {{"k", "v"}}}, {"6", {}}}), model.Data());
    }
    MetadataModel model = Build("<r>" + Card(Item("searchOverlayCard.ruleid", "5") +
                                Item("searchOverlayCard.sites", "urn: , c.com")) + "</r>");
    EXPECT_EQ((SiteMap{{"", {"5"}}, {" c.com", {"5"}}}), model.Sites());
}

TEST(MetadataReply, UrlBecomesDatasetsAndJoinsAcrossCards) {
    MetadataModel model = Build("<r>" +
        Card(Item("searchOverlayCard.ruleid", "7") + Item("searchOverlayCard.url", " urn:x, urn:y ")) +
        Card(Item("searchOverlayCard.ruleid", "7") + Item("searchOverlayCard.url", "urn:b") +
             Item("k", "v")) + "</r>");
    EXPECT_EQ((RuleData{{"datasets", "x, y,b"}, {"k", "v"}}), model.Data().at("7"));
}

TEST(MetadataReply, UrlAndAnItemNamedDatasetsShareOneKeyLaterWinning) {
    MetadataModel model = Build("<r>" +
        Card(Item("searchOverlayCard.ruleid", "1") + Item("searchOverlayCard.url", "urn:long-first-dataset-name") +
             Item("datasets", "plain") + Item("searchOverlayCard.url", "urn:second-long-dataset-name") +
             Item("searchOverlayCard.url", " urn: ")) +
        Card(Item("searchOverlayCard.ruleid", "2") + Item("searchOverlayCard.url", "urn:u") +
             Item("datasets", "d")) + "</r>");
    EXPECT_EQ((RuleData{{"datasets", "second-long-dataset-name"}}), model.Data().at("1"));
    EXPECT_EQ((RuleData{{"datasets", "d"}}), model.Data().at("2"));
}

TEST(MetadataReply, EveryBlockLeavesADataEntryMissingRuleIdsTakingTheDefault) {
    MetadataModel model = Build("<r>" + Card(Item("searchOverlayCard.sites", "a.com") +
                                             Item("searchOverlayCard.ruleid", "")) +
                                Card(Item("searchOverlayCard.ruleid", "9")) + "</r>");
    EXPECT_EQ((SiteMap{{"a.com", {"1024"}}}), model.Sites());
    EXPECT_EQ((RuleDataMap{{"1024", {}}, {"9", {}}}), model.Data());
}

TEST(MetadataReply, LaterItemWinsWithinABlockButEmptyTextChangesNothing) {
    MetadataModel model = Build("<r>" + Card(Item("searchOverlayCard.ruleid", "3") +
        Item("k", "first") + Item("k", "second") + Item("k", "") + Item("j", "<b>bold</b>") +
        "<item>unnamed</item><item id=\"x\" name=\"n\">  a \n\t b  </item>") + "</r>");
    // "j" has an element, not text, as first child; white space inside text is condensed.
    EXPECT_EQ((RuleData{{"k", "second"}, {"n", "a b"}}), model.Data().at("3"));
}

TEST(MetadataReply, OnlyCardsAndMetadataBlocksAreRead) {
    MetadataModel model = Build(
        "<?xml version=\"1.0\"?><!-- made by the service --><anyRoot>"
        "<other><VeltraneMetadata>" + Item("searchOverlayCard.ruleid", "1") + "</VeltraneMetadata></other>"
        "text between"
        "<my_cardX><notes>" + Item("searchOverlayCard.ruleid", "2") + "</notes>"
        "<xVeltraneMetadataY>" + Item("searchOverlayCard.ruleid", "3") + "</xVeltraneMetadataY></my_cardX>"
        "<Card><VeltraneMetadata>" + Item("searchOverlayCard.ruleid", "4") + "</VeltraneMetadata></Card>"
        "</anyRoot>");
    EXPECT_EQ((RuleDataMap{{"3", {}}}), model.Data());  // names match as case-sensitive substrings
}

TEST(MetadataReply, UnreadableReplyEmptiesTheModelAndSaysSo) {
    const char* replies[] = {"<r><card><VeltraneMetadata><item name=\"a\">x</item>", "not xml",
                             "<!-- only a comment -->", "   ", "<r></s>"};
    for (const char* reply : replies) {
        SCOPED_TRACE(reply);
        MetadataModel model;
        model.AddSite("old.com", "1");
        std::string text = reply;
        EXPECT_EQ(kReplyUnreadable, BuildModelFromResponse(text, "1024", model));
        EXPECT_TRUE(model.Empty());
    }
}

TEST(MetadataReply, ReplyWithoutCardsReplacesTheModelWithAnEmptyOne) {
    MetadataModel model;
    model.AddSite("old.com", "1");
    std::string text = "<r><nothing/></r>";
    EXPECT_EQ(kReplyRead, BuildModelFromResponse(text, "1024", model));
    EXPECT_TRUE(model.Empty());
}

}  // namespace
