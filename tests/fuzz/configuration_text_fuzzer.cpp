// Fuzzes the configuration text: for any matched rules it is one script statement whose
// object literal holds exactly "rids" (the ids in order) and one "id:key" entry per key, each
// string literal decoding to exactly the bytes given, with no raw character that could end
// the literal, the statement or the script element.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "addon/metadata/configuration_text.h"

namespace {

const std::string kPrefix = "var ZLVX_config ={";
const std::string kSuffix = "};";

void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A raw byte that may stand in the literal: not a control character, quote, backslash or "<",
// and no UTF-8 line or paragraph separator starting here.
bool AllowedRaw(const std::string& text, std::size_t at) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c < 0x20 || c == '"' || c == '\\' || c == '<') return false;
    return !(c == 0xE2 && text.compare(at, 2, "\xE2\x80") == 0 && at + 2 < text.size() &&
             (text[at + 2] == '\xA8' || text[at + 2] == '\xA9'));
}

// Reads one double-quoted JavaScript string literal at `at`, giving its value as UTF-8 bytes
// (escapes decoded, raw bytes kept). False when there is none or it could break out.
bool ReadLiteral(const std::string& text, std::size_t& at, std::string& value) {
    static const std::string kSimple = "\"\\/bfnrtv", kMeaning = "\"\\/\b\f\n\r\t\v";
    value.clear();
    if (at >= text.size() || text[at] != '"') return false;
    for (++at; at < text.size(); ++at) {
        if (text[at] == '"') {
            ++at;
            return true;
        }
        if (text[at] != '\\') {
            if (!AllowedRaw(text, at)) return false;
            value += text[at];
            continue;
        }
        if (++at == text.size()) return false;
        const std::size_t simple = kSimple.find(text[at]);
        if (text[at] == 'u') {
            unsigned code = 0;
            for (int i = 1; i <= 4; ++i) {
                const int digit = at + i < text.size() ? HexDigit(text[at + i]) : -1;
                if (digit < 0) return false;
                code = code * 16 + static_cast<unsigned>(digit);
            }
            if (code >= 0xD800 && code < 0xE000) return false;  // half a pair: not a byte string
            AppendUtf8(value, code);
            at += 4;
        } else if (simple == std::string::npos) {
            return false;  // octal, \x or line continuations: never written
        } else {
            value += kMeaning[simple];
        }
    }
    return false;
}

bool Expect(const std::string& text, std::size_t& at, const std::string& token) {
    if (text.compare(at, token.size(), token) != 0) return false;
    at += token.size();
    return true;
}

// The object's members in text order; false unless the text is exactly the statement.
bool ReadStatement(const std::string& text, std::vector<std::string>& ids,
                   std::vector<std::pair<std::string, std::string>>& entries) {
    std::size_t at = 0;
    std::string value, name;
    if (!Expect(text, at, kPrefix + "\"rids\":[")) return false;
    while (text.compare(at, 1, "]") != 0) {
        if ((!ids.empty() && !Expect(text, at, ",")) || !ReadLiteral(text, at, value))
            return false;
        ids.push_back(value);
    }
    ++at;
    while (text.compare(at, kSuffix.size(), kSuffix) != 0) {
        if (!Expect(text, at, ",") || !ReadLiteral(text, at, name) || !Expect(text, at, ":") ||
            !ReadLiteral(text, at, value))
            return false;
        entries.emplace_back(name, value);
    }
    return at + kSuffix.size() == text.size();
}

std::string Text(FuzzedDataProvider& input) {
    return input.ConsumeRandomLengthString(24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    RuleDataMap matched;
    const int rules = input.ConsumeIntegralInRange<int>(0, 4);
    for (int r = 0; r < rules; ++r) {
        RuleData& rule = matched[Text(input)];
        const int keys = input.ConsumeIntegralInRange<int>(0, 4);
        for (int k = 0; k < keys; ++k) rule[Text(input)] = Text(input);
    }
    std::vector<std::string> ids, expectedIds;
    std::vector<std::pair<std::string, std::string>> entries, expectedEntries;
    for (const RuleDataMap::value_type& rule : matched) {
        expectedIds.push_back(rule.first);
        for (const RuleData::value_type& entry : rule.second)
            expectedEntries.emplace_back(rule.first + ":" + entry.first, entry.second);
    }
    const std::string text = ConfigurationText(kPrefix + "${1}" + kSuffix, matched);
    if (!ReadStatement(text, ids, entries) || ids != expectedIds || entries != expectedEntries)
        std::abort();
    return 0;
}
