// Site matching as a plain scan over every pattern: the reference for the indexed matcher.
#pragma once

#include <string>

#include "addon/metadata/metadata_model.h"

inline MatchResult MatchSitesByScan(const std::string& host, MetadataModel& model) {
    MatchResult result;
    if (host.empty() || host == "blank")
        return result;
    std::string lastMatchedPattern;
    for (const SiteMap::value_type& site : model.Sites()) {
        const std::string& pattern = site.first;
        if (pattern == ".*" || pattern == "all" || host.find(pattern) != std::string::npos) {
            lastMatchedPattern = pattern;
            for (const std::string& ruleId : site.second)
                result.data[ruleId] = model.Data()[ruleId];
        }
    }
    result.matched = !lastMatchedPattern.empty() && !result.data.empty();
    return result;
}
