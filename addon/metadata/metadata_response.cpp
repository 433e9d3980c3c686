// Reading of the selector's XML reply into the metadata model.
#include "addon/metadata/metadata_response.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <string_view>
#include <vector>

#include <tinyxml.h>

#include "addon/metadata/text_fields.h"

namespace {

const char kRuleIdKey[] = "searchOverlayCard.ruleid";
const char kSitesKey[] = "searchOverlayCard.sites";
const char kUrlKey[] = "searchOverlayCard.url";
const char kDatasetsKey[] = "datasets";

bool NameContains(const TiXmlElement& element, const char* part) {
    return std::strstr(element.Value(), part) != nullptr;
}

const char* ItemName(const TiXmlElement& item) {
    for (const TiXmlAttribute* a = item.FirstAttribute(); a; a = a->Next())
        if (std::strcmp(a->Name(), "name") == 0)
            return a->Value();
    return nullptr;
}

// The text of the first child when that child is text (white space already condensed).
const char* ItemText(const TiXmlElement& item) {
    const TiXmlNode* first = item.FirstChild();
    return first && first->Type() == TiXmlNode::TINYXML_TEXT ? first->Value() : "";
}

void AddPatterns(std::string_view sitesText, const std::string& ruleId, MetadataModel& model) {
    for (std::string_view field : SplitList(sitesText)) {
        std::string pattern(field);
        std::string::size_type urn = pattern.find("urn:");
        if (urn != std::string::npos) {  // only such fields are trimmed
            pattern.erase(urn, 4);
            std::string_view trimmed = TrimSpaces(pattern);
            std::string::size_type lead = trimmed.data() - pattern.data();
            pattern.erase(lead + trimmed.size());
            pattern.erase(0, lead);
        }
        model.RuleIdsOf(std::move(pattern)).insert(ruleId);
    }
}

// One named item of a block; the texts stay in the parsed document.
struct Entry {
    const char* key;
    std::string_view value;
};

bool KeyIs(const Entry& entry, const char* key) { return std::strcmp(entry.key, key) == 0; }

// Entries in key order, each key once with the value of its last item.
void KeepLastOfEachKey(std::vector<Entry>& entries) {
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return std::strcmp(a.key, b.key) < 0;
    });
    std::vector<Entry>::iterator out = entries.begin();
    for (std::vector<Entry>::iterator e = entries.begin(); e != entries.end(); ++e) {
        if (e + 1 != entries.end() && std::strcmp(e->key, (e + 1)->key) == 0)
            continue;  // a later item with the same key replaces this one
        *out++ = *e;
    }
    entries.erase(out, entries.end());
}

}  // namespace

void ProcessMetadataBlock(const TiXmlElement& block, const std::string& defaultRuleId,
                          MetadataModel& model) {
    std::vector<Entry> entries;
    entries.reserve(8);
    std::string datasets;  // the last non-empty cleaned url, the only one that can be kept
    for (const TiXmlElement* item = block.FirstChildElement(); item;
         item = item->NextSiblingElement()) {
        const char* name = ItemName(*item);
        if (!name)
            continue;
        std::string_view value = ItemText(*item);
        if (std::strcmp(name, kUrlKey) == 0) {
            std::string cleaned(value);
            RemoveEveryUrn(cleaned);
            std::string_view trimmed = TrimSpaces(cleaned);
            if (trimmed.empty())
                continue;
            datasets.assign(trimmed.data(), trimmed.size());
            entries.push_back(Entry{kDatasetsKey, std::string_view()});  // value set below
        } else if (!value.empty()) {
            entries.push_back(Entry{name, value});
        }
    }
    KeepLastOfEachKey(entries);
    for (Entry& entry : entries)
        if (entry.key == kDatasetsKey)  // from a url item, not an item named "datasets"
            entry.value = datasets;

    std::string ruleId = defaultRuleId;
    std::string_view sites;
    for (const Entry& entry : entries) {
        if (KeyIs(entry, kRuleIdKey))
            ruleId.assign(entry.value.data(), entry.value.size());
        else if (KeyIs(entry, kSitesKey))
            sites = entry.value;
    }
    AddPatterns(sites, ruleId, model);

    RuleData& ruleData = model.Data()[ruleId];
    for (const Entry& entry : entries) {
        if (KeyIs(entry, kRuleIdKey) || KeyIs(entry, kSitesKey))
            continue;
        // Keys come in ascending order, so a new key goes at the end without a search.
        RuleData::iterator slot = ruleData.end();
        if (!ruleData.empty() && !(ruleData.rbegin()->first < entry.key))
            slot = ruleData.find(entry.key);
        if (slot == ruleData.end())
            ruleData.emplace_hint(slot, entry.key, entry.value);
        else if (slot->second.empty())
            slot->second.assign(entry.value.data(), entry.value.size());
        else
            slot->second.append(",").append(entry.value.data(), entry.value.size());
    }
}

ReplyReading BuildModelFromResponse(std::string& responseText, const std::string& defaultRuleId,
                                    MetadataModel& model) {
    TiXmlDocument document;
    document.SetTabSize(0);  // no row and column for every node: nobody reads them
    // The reply has been decoded to UTF-8 already; a declaration naming another encoding
    // describes the bytes as they came, not this text.
    document.Parse(responseText.c_str(), nullptr, TIXML_ENCODING_UTF8);
    model.Clear();  // the old model is gone whatever the reply holds
    responseText.clear();
    const TiXmlElement* root = document.Error() ? nullptr : document.RootElement();
    if (!root)
        return kReplyUnreadable;
    for (const TiXmlElement* card = root->FirstChildElement(); card;
         card = card->NextSiblingElement()) {
        if (!NameContains(*card, "card"))
            continue;
        try {
            for (const TiXmlElement* block = card->FirstChildElement(); block;
                 block = block->NextSiblingElement())
                if (NameContains(*block, "VeltraneMetadata"))
                    ProcessMetadataBlock(*block, defaultRuleId, model);
        } catch (const std::exception&) {
            // Boundary: a failure abandons this card only; what it added stays.
        }
    }
    return kReplyRead;
}
