// The card metadata: site patterns to rule ids, rule ids to their key-value data.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

class SiteIndex;

// Key to value; values that several cards give for one rule id and key are joined with ",".
typedef std::map<std::string, std::string> RuleData;
typedef std::set<std::string> RuleIdSet;
// Pattern to the rule ids that apply where it matches. std::string orders byte-wise.
typedef std::map<std::string, RuleIdSet> SiteMap;
typedef std::map<std::string, RuleData> RuleDataMap;

struct MatchResult {
    bool matched = false;
    RuleDataMap data;  // rule id to a copy of its data
};

// The patterns can only be changed through this class, so the matching index built from them
// is dropped whenever they change; the rule data may be edited freely, the index never holds it.
class MetadataModel {
public:
    MetadataModel();
    ~MetadataModel();
    MetadataModel(const MetadataModel& other);
    MetadataModel& operator=(const MetadataModel& other);
    MetadataModel(MetadataModel&& other) noexcept;  // the index moves along with the patterns
    MetadataModel& operator=(MetadataModel&& other) noexcept;

    const SiteMap& Sites() const { return sites; }
    // The rule ids of a pattern, created empty when the pattern is new. Creating the entries in
    // ascending order costs no search.
    RuleIdSet& RuleIdsOf(const std::string& pattern);
    RuleIdSet& RuleIdsOf(std::string&& pattern);
    void AddSite(const std::string& pattern, const std::string& ruleId);

    RuleDataMap& Data() { return data; }
    const RuleDataMap& Data() const { return data; }

    void Clear();
    bool Empty() const { return sites.empty() && data.empty(); }

    // Built on first use after the patterns changed. Like the rest of the model, not for use
    // from two threads at once.
    const SiteIndex& Index() const;

    friend bool operator==(const MetadataModel& a, const MetadataModel& b) {
        return a.sites == b.sites && a.data == b.data;
    }
    friend bool operator!=(const MetadataModel& a, const MetadataModel& b) { return !(a == b); }

private:
    SiteMap sites;
    RuleDataMap data;
    mutable std::unique_ptr<SiteIndex> index;
};
