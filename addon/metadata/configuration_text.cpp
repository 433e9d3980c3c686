// Composition of the configuration script text.
#include "addon/metadata/configuration_text.h"

#include "addon/metadata/literal_text.h"

namespace {

const char kPlaceholder[] = "${1}";

void AppendQuoted(std::string& out, const std::string& text) {
    out += '"';
    AppendScriptString(out, text);
    out += '"';
}

}  // namespace

void AppendScriptString(std::string& out, const std::string& text) {
    AppendLiteralText(out, text, LiteralKind::kScript);
}

std::string InsertionText(const RuleDataMap& matched) {
    std::string text = "\"rids\":[";
    bool first = true;
    for (const RuleDataMap::value_type& rule : matched) {
        if (!first) text += ',';
        first = false;
        AppendQuoted(text, rule.first);
    }
    text += ']';
    for (const RuleDataMap::value_type& rule : matched) {
        for (const RuleData::value_type& entry : rule.second) {
            text += ",\"";
            AppendScriptString(text, rule.first);
            text += ':';
            AppendScriptString(text, entry.first);
            text += "\":";
            AppendQuoted(text, entry.second);
        }
    }
    return text;
}

std::string ConfigurationText(const std::string& scriptTemplate, const RuleDataMap& matched) {
    std::string::size_type at = scriptTemplate.find(kPlaceholder);
    if (at == std::string::npos)
        return scriptTemplate;
    std::string text = scriptTemplate;
    text.replace(at, sizeof kPlaceholder - 1, InsertionText(matched));
    return text;
}
