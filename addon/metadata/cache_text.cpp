// Writing and reading of the metadata cache text.
#include "addon/metadata/cache_text.h"

#include <utility>

#include <boost/any.hpp>

#include "addon/json/json_parser.h"
#include "addon/json/json_value.h"
#include "addon/metadata/compact_cache_text.h"
#include "addon/metadata/literal_text.h"

namespace {

// Puts "," before every item of a list but the first.
class CommaBetween {
public:
    void Next(std::string& out) {
        if (!first) out += ',';
        first = false;
    }
private:
    bool first = true;
};

void AppendJsonString(std::string& out, const std::string& text) {
    out += '"';
    AppendLiteralText(out, text, LiteralKind::kJson);
    out += '"';
}

// The exact kind asked for, or boost::bad_any_cast (also for null and for a missing holder).
template <class T>
T& Take(const json::value_ptr& value) {
    if (!value)
        throw boost::bad_any_cast();
    return boost::any_cast<T&>(*value);
}

// Members come in ascending order, so each new entry goes at the end without a search. The
// parsed tree is ours alone, so its names and strings are moved out rather than copied.
void ReadSites(json::object& sites, MetadataModel& model) {
    while (!sites.empty()) {
        json::object::node_type site = sites.extract(sites.begin());
        json::array& ruleIds = Take<json::array>(site.mapped());
        RuleIdSet& set = model.RuleIdsOf(std::move(site.key()));
        for (const json::value_ptr& ruleId : ruleIds)
            set.insert(set.end(), std::move(Take<std::string>(ruleId)));
    }
}

void ReadData(json::object& rules, MetadataModel& model) {
    RuleDataMap& data = model.Data();
    while (!rules.empty()) {
        json::object::node_type rule = rules.extract(rules.begin());
        json::object& pairs = Take<json::object>(rule.mapped());
        RuleData& ruleData = data.emplace_hint(data.end(), std::move(rule.key()), RuleData())->second;
        while (!pairs.empty()) {
            json::object::node_type pair = pairs.extract(pairs.begin());
            ruleData.emplace_hint(ruleData.end(), std::move(pair.key()),
                                  std::move(Take<std::string>(pair.mapped())));
        }
    }
}

}  // namespace

std::string CacheText(const MetadataModel& model) {
    std::string text;
    text.reserve(64 + 32 * (model.Sites().size() + model.Data().size()));
    text += "{\"sites\":{";
    CommaBetween sites;
    for (const SiteMap::value_type& site : model.Sites()) {
        sites.Next(text);
        AppendJsonString(text, site.first);
        text += ":[";
        CommaBetween ruleIds;
        for (const std::string& ruleId : site.second) {
            ruleIds.Next(text);
            AppendJsonString(text, ruleId);
        }
        text += ']';
    }
    text += "},\"data\":{";
    CommaBetween rules;
    for (const RuleDataMap::value_type& rule : model.Data()) {
        rules.Next(text);
        AppendJsonString(text, rule.first);
        text += ":{";
        CommaBetween pairs;
        for (const RuleData::value_type& pair : rule.second) {
            pairs.Next(text);
            AppendJsonString(text, pair.first);
            text += ':';
            AppendJsonString(text, pair.second);
        }
        text += '}';
    }
    text += "}}";
    return text;
}

// The add-on's own texts take the compact reader; anything else, or a compact text that turns
// out to differ, is read again from the start through the tree.
bool ReadCacheText(const std::string& cacheText, MetadataModel& model) {
    model.Clear();
    if (cacheText.empty())
        return false;
    if (ReadCompactCacheText(cacheText, model))
        return true;
    model.Clear();
    ReadCacheTextByTree(cacheText, model);
    return true;
}

void ReadCacheTextByTree(const std::string& cacheText, MetadataModel& model) {
    json::value_ptr root = json::parse(cacheText.begin(), cacheText.end());
    json::object& members = Take<json::object>(root);
    for (json::object::iterator member = members.begin(); member != members.end(); ++member) {
        if (member->first == "sites")
            ReadSites(Take<json::object>(member->second), model);
        else if (member->first == "data")
            ReadData(Take<json::object>(member->second), model);
    }
}

CacheReading TryReadCacheText(const std::string& cacheText, MetadataModel& model) {
    try {
        return ReadCacheText(cacheText, model) ? kCacheRead : kCacheEmpty;
    } catch (const boost::bad_any_cast&) {
        model.Clear();
        return kCacheUnreadable;
    }
}
