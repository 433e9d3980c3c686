// The card metadata model; keeps its site index in step with the patterns.
#include "addon/metadata/metadata_model.h"

#include <utility>

#include "addon/metadata/site_index.h"

MetadataModel::MetadataModel() = default;
MetadataModel::~MetadataModel() = default;

// The index points into the patterns it was built from, so a copy builds its own.
MetadataModel::MetadataModel(const MetadataModel& other) : sites(other.sites), data(other.data) {}

MetadataModel& MetadataModel::operator=(const MetadataModel& other) {
    if (this != &other) {
        index.reset();
        sites = other.sites;
        data = other.data;
    }
    return *this;
}

MetadataModel::MetadataModel(MetadataModel&& other) noexcept = default;
MetadataModel& MetadataModel::operator=(MetadataModel&& other) noexcept = default;

RuleIdSet& MetadataModel::RuleIdsOf(const std::string& pattern) {
    return RuleIdsOf(std::string(pattern));
}

RuleIdSet& MetadataModel::RuleIdsOf(std::string&& pattern) {
    SiteMap::iterator hint = sites.end();
    if (!sites.empty() && !(sites.rbegin()->first < pattern)) {  // not simply appended
        hint = sites.lower_bound(pattern);
        if (hint != sites.end() && hint->first == pattern)
            return hint->second;
    }
    index.reset();
    return sites.emplace_hint(hint, std::move(pattern), RuleIdSet())->second;
}

void MetadataModel::AddSite(const std::string& pattern, const std::string& ruleId) {
    RuleIdsOf(pattern).insert(ruleId);
}

void MetadataModel::Clear() {
    index.reset();
    sites.clear();
    data.clear();
}

const SiteIndex& MetadataModel::Index() const {
    if (!index)
        index = std::make_unique<SiteIndex>(sites);
    return *index;
}
