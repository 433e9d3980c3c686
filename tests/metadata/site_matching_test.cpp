// Site matching: the documented rules, and the index against a plain scan of random models.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "addon/metadata/site_matching.h"
#include "tests/metadata/plain_scan.h"

namespace {

typedef std::vector<std::string> Strings;

Strings MatchedIds(const MatchResult& result) {
    Strings ids;
    for (const auto& rule : result.data) ids.push_back(rule.first);
    return ids;
}

struct HostCase {
    const char* pattern;
    const char* host;
    bool matched;
};

const HostCase kHosts[] = {
    {"example.com", "example.com", true},
    {"example.com", "www.example.com", true},
    {"example.com", "shop.example.com.other.net", true},
    {"example.com", "myexample.com", true},
    {"example.com", "Example.com", false},
    {"example.com", "example.org", false},
    {"www.example.com", "example.com", false},
    {"example.com:8080", "example.com", false},
    {".*", "anything.test", true},
    {"all", "x", true},
    {".*", "blank", false},
    {"all", "", false},
    {"example.com", "blank", false},
    {"blank", "blank", false},
};

TEST(SiteMatching, PatternsMatchAsPlainSubstrings) {
    for (const HostCase& c : kHosts) {
        SCOPED_TRACE(std::string(c.pattern) + " / " + c.host);
        MetadataModel model;
        model.AddSite(c.pattern, "7");
        model.Data()["7"]["k"] = "v";
        MatchResult result = MatchSites(c.host, model);
        EXPECT_EQ(c.matched, result.matched);
        EXPECT_EQ(c.matched ? (RuleDataMap{{"7", {{"k", "v"}}}}) : RuleDataMap{}, result.data);
    }
}

TEST(SiteMatching, EmptyPatternAddsItsRuleIdsButNeverMatchesAlone) {
    MetadataModel model;
    model.AddSite("", "1");
    model.AddSite("a.com", "2");
    MatchResult alone = MatchSites("b.com", model);
    EXPECT_FALSE(alone.matched);
    EXPECT_EQ(Strings{"1"}, MatchedIds(alone));
    MatchResult both = MatchSites("a.com", model);
    EXPECT_TRUE(both.matched);
    EXPECT_EQ((Strings{"1", "2"}), MatchedIds(both));
}

TEST(SiteMatching, PatternWithoutRuleIdsMatchesOnlyWithOtherRuleIds) {
    MetadataModel model;
    model.RuleIdsOf("a.com");  // as a cache text may hold it
    EXPECT_FALSE(MatchSites("a.com", model).matched);
    model.AddSite("", "1");
    EXPECT_TRUE(MatchSites("a.com", model).matched);
}

TEST(SiteMatching, RuleIdsWithoutDataGetAnEmptyEntry) {
    MetadataModel model;
    model.AddSite("a.com", "5");
    model.AddSite("com", "5");
    model.AddSite("com", "6");
    model.Data()["6"]["x"] = "1";
    MatchResult result = MatchSites("a.com", model);
    EXPECT_TRUE(result.matched);
    EXPECT_EQ((RuleDataMap{{"5", {}}, {"6", {{"x", "1"}}}}), result.data);
    EXPECT_EQ((RuleDataMap{{"5", {}}, {"6", {{"x", "1"}}}}), model.Data());
}

TEST(SiteMatching, IndexFollowsPatternsAddedAfterAMatch) {
    MetadataModel model;
    model.AddSite("a.com", "1");
    EXPECT_FALSE(MatchSites("b.com", model).matched);
    model.AddSite("b.com", "2");
    EXPECT_EQ(Strings{"2"}, MatchedIds(MatchSites("b.com", model)));
    MetadataModel copy = model;
    model.Clear();
    EXPECT_FALSE(MatchSites("b.com", model).matched);
    EXPECT_EQ(Strings{"2"}, MatchedIds(MatchSites("b.com", copy)));
    model = copy;
    copy.Clear();  // the assigned model must not use the copy's index
    EXPECT_EQ(Strings{"1"}, MatchedIds(MatchSites("a.com", model)));
    MetadataModel moved = std::move(model);
    moved.AddSite("c.com", "3");
    EXPECT_EQ(Strings{"3"}, MatchedIds(MatchSites("c.com", moved)));
    EXPECT_EQ(Strings{"2"}, MatchedIds(MatchSites("b.com", moved)));
}

// Patterns and hosts from a small alphabet, so that overlaps, repeats and nested patterns
// (the cases an automaton gets wrong) are common.
std::string RandomText(std::mt19937& random, int maxLength) {
    static const char kLetters[] = "ab.c";
    std::string text(std::uniform_int_distribution<int>(0, maxLength)(random), 'a');
    for (char& c : text) c = kLetters[std::uniform_int_distribution<int>(0, 3)(random)];
    return text;
}

TEST(SiteMatching, IndexAgreesWithPlainScanOnRandomModels) {
    std::mt19937 random(20261208);
    const char* kSpecial[] = {"", ".*", "all", "blank"};
    for (int round = 0; round < 400; ++round) {
        MetadataModel model;
        int patterns = std::uniform_int_distribution<int>(0, 30)(random);
        for (int p = 0; p < patterns; ++p) {
            std::string pattern = random() % 10 == 0 ? kSpecial[random() % 4] : RandomText(random, 5);
            std::string ruleId = std::to_string(random() % 12);
            model.AddSite(pattern, ruleId);
            if (random() % 2) model.Data()[ruleId]["k" + ruleId] = RandomText(random, 3);
        }
        MetadataModel scanned = model;
        for (int h = 0; h < 25; ++h) {
            std::string host = random() % 12 == 0 ? kSpecial[random() % 4] : RandomText(random, 10);
            if (random() % 10 == 0) host += "all";
            SCOPED_TRACE("round " + std::to_string(round) + " host '" + host + "'");
            MatchResult indexed = MatchSites(host, model);
            MatchResult plain = MatchSitesByScan(host, scanned);
            ASSERT_EQ(plain.matched, indexed.matched);
            ASSERT_EQ(plain.data, indexed.data);
            ASSERT_EQ(scanned.Data(), model.Data());
        }
    }
}

}  // namespace
