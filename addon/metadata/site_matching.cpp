// Site matching through the model's pattern index.
#include "addon/metadata/site_matching.h"

#include <vector>

#include "addon/metadata/site_index.h"

MatchResult MatchSites(const std::string& host, MetadataModel& model) {
    MatchResult result;
    if (host.empty() || host == "blank")
        return result;
    std::vector<const RuleIdSet*> hits;
    bool nonEmptyPatternMatched = model.Index().Find(host, hits);
    RuleDataMap& data = model.Data();
    for (const RuleIdSet* ruleIds : hits) {
        for (const std::string& ruleId : *ruleIds) {
            RuleDataMap::iterator slot = result.data.lower_bound(ruleId);
            if (slot != result.data.end() && slot->first == ruleId)
                continue;  // reached through an earlier pattern: same data
            result.data.emplace_hint(slot, ruleId, data[ruleId]);
        }
    }
    // The empty pattern sorts first, so any later match replaces it as the last one matched.
    result.matched = nonEmptyPatternMatched && !result.data.empty();
    return result;
}
