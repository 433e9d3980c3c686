// Fuzzes the configuration text: for any matched rules it is one script statement whose
// object literal holds exactly "rids" (the ids in order) and one "id:key" entry per key, each
// string literal reading as exactly the text given read as UTF-8 (a sequence that is not
// UTF-8 as U+FFFD, a lone surrogate as itself) and written in its one form: escaped exactly
// where a raw character could end the literal, the line, the statement or the script element.
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

// One character of UTF-8 text read as a page reads it, following the well-formed byte
// sequences of Unicode; a surrogate encoded on its own counts as that surrogate.
struct Decoded {
    char32_t code;       // 0xFFFD for a sequence that is not UTF-8
    std::size_t length;  // bytes taken: an invalid sequence takes only what began a valid one
    bool valid;
};

Decoded DecodeAt(const std::string& text, std::size_t at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return {lead, 1, true};
    struct Form { unsigned char first, last, secondLow, secondHigh; std::size_t length; };
    static const Form kForms[] = {
        {0xC2, 0xDF, 0x80, 0xBF, 2}, {0xE0, 0xE0, 0xA0, 0xBF, 3}, {0xE1, 0xEF, 0x80, 0xBF, 3},
        {0xF0, 0xF0, 0x90, 0xBF, 4}, {0xF1, 0xF3, 0x80, 0xBF, 4}, {0xF4, 0xF4, 0x80, 0x8F, 4},
    };
    for (const Form& form : kForms) {
        if (lead < form.first || lead > form.last) continue;
        char32_t code = lead & (0xFF >> (form.length + 1));
        for (std::size_t i = 1; i < form.length; ++i) {
            const unsigned char next =
                at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0;
            const bool fits = i == 1 ? next >= form.secondLow && next <= form.secondHigh
                                     : next >= 0x80 && next <= 0xBF;
            if (!fits) return {0xFFFD, i, false};
            code = code << 6 | (next & 0x3F);
        }
        return {code, form.length, true};
    }
    return {0xFFFD, 1, false};
}

void AppendUnits(std::u16string& out, char32_t code) {
    if (code < 0x10000) {
        out += static_cast<char16_t>(code);
    } else {
        out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
        out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
}

// The UTF-16 text a page makes of UTF-8 text.
std::u16string AsPageText(const std::string& text) {
    std::u16string units;
    for (std::size_t at = 0; at < text.size();) {
        const Decoded c = DecodeAt(text, at);
        AppendUnits(units, c.code);
        at += c.length;
    }
    return units;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// What a script literal in a page may not hold raw: what ends the literal, the line or the
// script element, and a surrogate, which is not UTF-8 on its own.
bool MustBeEscaped(char32_t code) {
    return code < 0x20 || code == '"' || code == '\\' || code == '<' || code == 0x2028 ||
           code == 0x2029 || (code >= 0xD800 && code < 0xE000);
}

// Reads one double-quoted JavaScript string literal at `at` as the page's text. False when
// there is none, or when it is not the one literal of its text: a character that must be
// escaped stands raw, a raw byte is not UTF-8, or an escape stands for a character that
// needs none or is not in its short form (\" \\ \n \r \t, else \uXXXX).
bool ReadLiteral(const std::string& text, std::size_t& at, std::u16string& value) {
    static const std::string kShort = "\"\\nrt", kMeaning = "\"\\\n\r\t";
    value.clear();
    if (at >= text.size() || text[at] != '"') return false;
    for (++at; at < text.size();) {
        const char c = text[at];
        if (c == '"') {
            ++at;
            return true;
        }
        if (c != '\\') {
            const Decoded raw = DecodeAt(text, at);
            if (!raw.valid || MustBeEscaped(raw.code)) return false;
            AppendUnits(value, raw.code);
            at += raw.length;
            continue;
        }
        if (++at == text.size()) return false;
        const std::size_t simple = kShort.find(text[at]);
        if (text[at] == 'u') {
            char16_t unit = 0;
            for (int i = 1; i <= 4; ++i) {
                const int digit = at + i < text.size() ? HexDigit(text[at + i]) : -1;
                if (digit < 0) return false;
                unit = static_cast<char16_t>(unit * 16 + digit);
            }
            const bool hasShortForm =
                unit < 0x80 && kMeaning.find(static_cast<char>(unit)) != std::string::npos;
            if (!MustBeEscaped(unit) || hasShortForm) return false;
            value += unit;
            at += 5;
        } else if (simple == std::string::npos) {
            return false;  // \/, \b, \f, \v, octal, \x, line continuations: never written
        } else {
            value += static_cast<char16_t>(kMeaning[simple]);
            ++at;
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
bool ReadStatement(const std::string& text, std::vector<std::u16string>& ids,
                   std::vector<std::pair<std::u16string, std::u16string>>& entries) {
    std::size_t at = 0;
    std::u16string value, name;
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
    std::vector<std::u16string> ids, expectedIds;
    std::vector<std::pair<std::u16string, std::u16string>> entries, expectedEntries;
    for (const RuleDataMap::value_type& rule : matched) {
        expectedIds.push_back(AsPageText(rule.first));
        for (const RuleData::value_type& entry : rule.second)
            expectedEntries.emplace_back(AsPageText(rule.first) + u":" + AsPageText(entry.first),
                                         AsPageText(entry.second));
    }
    const std::string text = ConfigurationText(kPrefix + "${1}" + kSuffix, matched);
    if (!ReadStatement(text, ids, entries) || ids != expectedIds || entries != expectedEntries)
        std::abort();
    return 0;
}
