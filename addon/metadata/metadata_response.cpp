// Reading of the selector's XML reply into the metadata model.
#include "addon/metadata/metadata_response.h"

#include <cstring>
#include <exception>
#include <map>

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

void AddPatterns(const std::string& sitesText, const std::string& ruleId, MetadataModel& model) {
    for (std::string& field : SplitList(sitesText)) {
        std::string::size_type urn = field.find("urn:");
        if (urn != std::string::npos) {  // only such fields are trimmed
            field.erase(urn, 4);
            field = TrimSpaces(field);
        }
        model.RuleIdsOf(std::move(field)).insert(ruleId);
    }
}

}  // namespace

void ProcessMetadataBlock(const TiXmlElement& block, const std::string& defaultRuleId,
                          MetadataModel& model) {
    std::map<std::string, std::string> entries;  // a later item with the same key wins
    for (const TiXmlElement* item = block.FirstChildElement(); item;
         item = item->NextSiblingElement()) {
        const char* name = ItemName(*item);
        if (!name)
            continue;
        std::string value = ItemText(*item);
        const char* key = name;
        if (std::strcmp(name, kUrlKey) == 0) {
            key = kDatasetsKey;
            if (!value.empty()) {
                RemoveEveryUrn(value);
                value = TrimSpaces(value);
            }
        }
        if (!value.empty())
            entries[key] = std::move(value);
    }
    std::string& ruleId = entries[kRuleIdKey];
    if (ruleId.empty())
        ruleId = defaultRuleId;
    std::map<std::string, std::string>::const_iterator sites = entries.find(kSitesKey);
    AddPatterns(sites == entries.end() ? std::string() : sites->second, ruleId, model);

    RuleData& ruleData = model.Data()[ruleId];
    for (const auto& entry : entries) {
        if (entry.first == kRuleIdKey || entry.first == kSitesKey)
            continue;
        std::string& slot = ruleData[entry.first];
        if (!slot.empty())
            slot.append(",").append(entry.second);
        else
            slot = entry.second;
    }
}

ReplyReading BuildModelFromResponse(std::string& responseText, const std::string& defaultRuleId,
                                    MetadataModel& model) {
    TiXmlDocument document;
    document.Parse(responseText.c_str());
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
