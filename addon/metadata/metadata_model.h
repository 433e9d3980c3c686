// The card metadata: site patterns to rule ids, rule ids to their key-value data.
//
// Text rule: all narrow text of the model, of the reply it is built from (responseText) and of
// the texts made from it is UTF-8. Every boundary converts between UTF-8 and UTF-16 with
// win::ToNarrow and win::ToWide, never through an ANSI code page, so no character is lost or
// changed in any Windows language:
//   selector reply (bytes) -> UTF-8: ReplyTextAsUtf8, by its byte-order mark and declaration
//   "Metadata Cache" (UTF-16) -> UTF-8 -> ReadCacheText; CacheText -> UTF-16 -> "Metadata Cache"
//   page URL (UTF-16) -> host -> UTF-8 for MatchSites
//   "Default Rule Id", "Zolvex Dynamic Script", "Selector Selector Host" (UTF-16) -> UTF-8
//   configuration text (UTF-8) -> UTF-16 for the page's script element
// Code pages are used for replies in neither UTF-8 nor UTF-16 only: one that declares another
// encoding is read in that encoding's code page, one that declares none in the thread's ANSI
// code page (services that write legacy text without saying so). The trigger file's path
// stays UTF-16 throughout. Text may hold surrogates encoded on their own, as the cache parser
// makes of \uD83D escapes; the writers give them back as \u escapes. Any other byte sequence
// that is not UTF-8 is written out as U+FFFD.
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
