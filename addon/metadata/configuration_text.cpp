// Composition of the configuration script text.
#include "addon/metadata/configuration_text.h"

namespace {

const char kHex[] = "0123456789abcdef";
const char kPlaceholder[] = "${1}";

void AppendUnicodeEscape(std::string& out, unsigned code) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += kHex[(code >> shift) & 0xF];
}

void AppendQuoted(std::string& out, const std::string& text) {
    out += '"';
    AppendScriptString(out, text);
    out += '"';
}

}  // namespace

void AppendScriptString(std::string& out, const std::string& text) {
    for (std::string::size_type i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '"': out += "\\\""; continue;
        case '\\': out += "\\\\"; continue;
        case '\n': out += "\\n"; continue;
        case '\r': out += "\\r"; continue;
        case '\t': out += "\\t"; continue;
        case '<': AppendUnicodeEscape(out, c); continue;  // no "</script>" or "<!--" in the page
        default: break;
        }
        if (c < 0x20) {
            AppendUnicodeEscape(out, c);
        } else if (c == 0xE2 && i + 2 < text.size() && text[i + 1] == '\x80' &&
                   (text[i + 2] == '\xA8' || text[i + 2] == '\xA9')) {
            AppendUnicodeEscape(out, text[i + 2] == '\xA8' ? 0x2028 : 0x2029);  // line ends in scripts
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
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
