// UTF-8 text one character at a time: what the writers of the cache and configuration texts and
// the reader of the selector's reply need to know about the narrow text they handle.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

const char32_t kReplacementCharacter = 0xFFFD;

enum class Utf8Kind {
    kCharacter,  // a Unicode scalar value
    kSurrogate,  // a surrogate encoded on its own (ED A0 80 to ED BF BF), as \uD83D gives
    kInvalid,    // bytes that start no UTF-8 sequence
};

struct Utf8Char {
    Utf8Kind kind;
    char32_t code;       // the character or surrogate; kReplacementCharacter when invalid
    std::size_t length;  // bytes taken, at least 1
};

// The character starting at text[at], at < text.size(). An invalid sequence takes only the bytes
// that began a valid one, so a bad byte never hides the character after it:
//   "\xE2\x80\"" => kInvalid of 2 bytes, then '"';  "\xC0\xAF" => two kInvalid of 1 byte.
Utf8Char DecodeUtf8(std::string_view text, std::size_t at);

// Every character valid; a surrogate on its own does not count as UTF-8.
bool IsUtf8(std::string_view text);

void AppendUtf8(std::string& out, char32_t code);

// Each sequence that is not UTF-8 replaced by U+FFFD; surrogates on their own too.
std::string ValidUtf8(std::string_view text);
