// Escaping of text inside string literals.
#include "addon/metadata/literal_text.h"

#include <cstddef>

#include "addon/metadata/utf8_text.h"

namespace {

void AppendUnicodeEscape(std::string& out, char32_t code) {
    static const char kHex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += kHex[(code >> shift) & 0xF];
}

void AppendAscii(std::string& out, char c, LiteralKind kind) {
    switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default: break;
    }
    if (kind == LiteralKind::kJson && c == '\b') out += "\\b";
    else if (kind == LiteralKind::kJson && c == '\f') out += "\\f";
    else if (c < 0x20 || (kind == LiteralKind::kScript && c == '<')) AppendUnicodeEscape(out, c);
    else out += c;
}

// Returns the bytes taken.
std::size_t AppendNonAscii(std::string& out, std::string_view text, std::size_t at,
                           LiteralKind kind) {
    const Utf8Char c = DecodeUtf8(text, at);
    const bool lineEnd = c.code == 0x2028 || c.code == 0x2029;
    if (c.kind == Utf8Kind::kSurrogate || (lineEnd && kind == LiteralKind::kScript))
        AppendUnicodeEscape(out, c.code);
    else if (c.kind == Utf8Kind::kCharacter)
        out.append(text.data() + at, c.length);
    else
        AppendUtf8(out, kReplacementCharacter);
    return c.length;
}

}  // namespace

// In UTF-8 no byte of a multi-byte character is below 0x80, so the ASCII cases never split one.
void AppendLiteralText(std::string& out, std::string_view text, LiteralKind kind) {
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        if (static_cast<unsigned char>(c) >= 0x80) {
            at += AppendNonAscii(out, text, at, kind);
        } else {
            AppendAscii(out, c, kind);
            ++at;
        }
    }
}
