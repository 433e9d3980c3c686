// Decoding and encoding of UTF-8 characters.
#include "addon/metadata/utf8_text.h"

namespace {

Utf8Char Invalid(std::size_t length) {
    return Utf8Char{Utf8Kind::kInvalid, kReplacementCharacter, length};
}

}  // namespace

Utf8Char DecodeUtf8(std::string_view text, std::size_t at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return Utf8Char{Utf8Kind::kCharacter, lead, 1};
    // The range of the second byte excludes overlong forms and values above U+10FFFF; later
    // bytes are always 80..BF. ED A0..BF (the surrogates) is decoded and reported as such.
    std::size_t continuation = 0;
    char32_t code = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        continuation = 1;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuation = 2;
        code = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuation = 3;
        code = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return Invalid(1);
    }
    for (std::size_t i = 1; i <= continuation; ++i) {
        if (at + i >= text.size()) return Invalid(i);
        const unsigned char next = static_cast<unsigned char>(text[at + i]);
        if (next < low || next > high) return Invalid(i);
        low = 0x80;
        high = 0xBF;
        code = (code << 6) | (next & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return Utf8Char{surrogate ? Utf8Kind::kSurrogate : Utf8Kind::kCharacter, code,
                    continuation + 1};
}

bool IsUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Char c = DecodeUtf8(text, at);
        if (c.kind != Utf8Kind::kCharacter) return false;
        at += c.length;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string ValidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Char c = DecodeUtf8(text, at);
        if (c.kind == Utf8Kind::kCharacter)
            out.append(text.data() + at, c.length);
        else
            AppendUtf8(out, kReplacementCharacter);
        at += c.length;
    }
    return out;
}
