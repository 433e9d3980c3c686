// Encoding detection and decoding of the selector's reply.
#include "addon/metadata/reply_text.h"

#include <cstddef>

#include "addon/metadata/utf8_text.h"

namespace {

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool NamesUtf8(std::string_view name) {
    return EqualsIgnoringCase(name, "utf-8") || EqualsIgnoringCase(name, "utf8");
}

// A UTF-16 name in text that is evidently not UTF-16 says nothing about the bytes.
bool NamesUtf16(std::string_view name) {
    return EqualsIgnoringCase(name, "utf-16") || EqualsIgnoringCase(name, "utf-16le") ||
           EqualsIgnoringCase(name, "utf-16be") || EqualsIgnoringCase(name, "ucs-2");
}

bool StartsWith(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

enum class ByteOrder { kLittleEndian, kBigEndian };

std::string Utf8FromUtf16(std::string_view bytes, ByteOrder order) {
    auto unit = [&bytes, order](std::size_t i) -> char32_t {
        const unsigned char first = static_cast<unsigned char>(bytes[i]);
        const unsigned char second = static_cast<unsigned char>(bytes[i + 1]);
        return order == ByteOrder::kLittleEndian ? first | (second << 8) : (first << 8) | second;
    };
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const char32_t code = unit(i);
        const bool high = code >= 0xD800 && code <= 0xDBFF;
        if (high && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((code - 0xD800) << 10) + (unit(i + 2) - 0xDC00));
            i += 2;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            AppendUtf8(out, kReplacementCharacter);
        } else {
            AppendUtf8(out, code);
        }
    }
    if (i < bytes.size()) AppendUtf8(out, kReplacementCharacter);  // half a code unit at the end
    return out;
}

}  // namespace

std::string DeclaredEncoding(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && IsXmlSpace(text[at])) ++at;
    text.remove_prefix(at);
    if (text.substr(0, 5) != "<?xml" || text.size() < 6 || !IsXmlSpace(text[5])) return "";
    const std::string_view declaration = text.substr(0, text.find("?>"));
    std::size_t name = declaration.find("encoding");
    if (name == std::string_view::npos) return "";
    at = name + 8;
    while (at < declaration.size() && IsXmlSpace(declaration[at])) ++at;
    if (at >= declaration.size() || declaration[at] != '=') return "";
    ++at;
    while (at < declaration.size() && IsXmlSpace(declaration[at])) ++at;
    if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\'')) return "";
    const std::size_t close = declaration.find(declaration[at], at + 1);
    if (close == std::string_view::npos) return "";
    return std::string(declaration.substr(at + 1, close - at - 1));
}

std::string ReplyTextAsUtf8(const std::string& reply, const LegacyTextDecoder& legacy) {
    const std::string_view bytes = reply;
    if (StartsWith(reply, "\xFF\xFE")) return Utf8FromUtf16(bytes.substr(2), ByteOrder::kLittleEndian);
    if (StartsWith(reply, "\xFE\xFF")) return Utf8FromUtf16(bytes.substr(2), ByteOrder::kBigEndian);
    // No 8-bit XML text holds a NUL byte, so "<" next to one is UTF-16 without a mark.
    if (StartsWith(reply, std::string_view("<\0", 2)))
        return Utf8FromUtf16(bytes, ByteOrder::kLittleEndian);
    if (StartsWith(reply, std::string_view("\0<", 2)))
        return Utf8FromUtf16(bytes, ByteOrder::kBigEndian);
    if (StartsWith(reply, "\xEF\xBB\xBF")) return ValidUtf8(bytes.substr(3));

    const std::string declared = DeclaredEncoding(bytes);
    if (NamesUtf8(declared)) return ValidUtf8(bytes);
    if (!declared.empty() && !NamesUtf16(declared)) return ValidUtf8(legacy(reply, declared));
    if (IsUtf8(bytes)) return reply;
    return ValidUtf8(legacy(reply, ""));
}

std::string Utf8FromWindows1252(std::string_view bytes) {
    // 0x80..0x9F; zero where the code page defines nothing.
    static const char16_t kHigh[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
        0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const char32_t mapped = c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : 0;
        AppendUtf8(out, mapped ? mapped : c);
    }
    return out;
}
