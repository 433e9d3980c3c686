// UTF-8 decoding: boundaries of every sequence length, surrogates, and how much of a bad
// sequence one replacement takes.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "addon/metadata/utf8_text.h"

namespace {

struct DecodeCase {
    const char* bytes;
    Utf8Kind kind;
    char32_t code;
    std::size_t length;
};

const DecodeCase kDecodes[] = {
    {"\x7F", Utf8Kind::kCharacter, 0x7F, 1},
    {"\xC2\x80", Utf8Kind::kCharacter, 0x80, 2},
    {"\xDF\xBF", Utf8Kind::kCharacter, 0x7FF, 2},
    {"\xE0\xA0\x80", Utf8Kind::kCharacter, 0x800, 3},
    {"\xED\x9F\xBF", Utf8Kind::kCharacter, 0xD7FF, 3},
    {"\xEF\xBF\xBF", Utf8Kind::kCharacter, 0xFFFF, 3},
    {"\xF0\x90\x80\x80", Utf8Kind::kCharacter, 0x10000, 4},
    {"\xF4\x8F\xBF\xBF", Utf8Kind::kCharacter, 0x10FFFF, 4},
    {"\xED\xA0\x80", Utf8Kind::kSurrogate, 0xD800, 3},
    {"\xED\xBF\xBF", Utf8Kind::kSurrogate, 0xDFFF, 3},
    {"\x80", Utf8Kind::kInvalid, kReplacementCharacter, 1},
    {"\xC0\xAF", Utf8Kind::kInvalid, kReplacementCharacter, 1},      // overlong "/"
    {"\xC1\xBF", Utf8Kind::kInvalid, kReplacementCharacter, 1},
    {"\xE0\x9F\xBF", Utf8Kind::kInvalid, kReplacementCharacter, 1},  // overlong
    {"\xF0\x8F\xBF\xBF", Utf8Kind::kInvalid, kReplacementCharacter, 1},
    {"\xF4\x90\x80\x80", Utf8Kind::kInvalid, kReplacementCharacter, 1},  // above U+10FFFF
    {"\xF5\x80", Utf8Kind::kInvalid, kReplacementCharacter, 1},
    {"\xFF", Utf8Kind::kInvalid, kReplacementCharacter, 1},
    {"\xE2\x80\"", Utf8Kind::kInvalid, kReplacementCharacter, 2},  // the quote stays its own
    {"\xF0\x9F\x98", Utf8Kind::kInvalid, kReplacementCharacter, 3},  // cut off at the end
    {"\xC3", Utf8Kind::kInvalid, kReplacementCharacter, 1},
};

TEST(Utf8Decoding, EachSequenceGivesItsCharacterOrTheBytesOfItsBadStart) {
    for (const DecodeCase& c : kDecodes) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
        const Utf8Char decoded = DecodeUtf8(c.bytes, 0);
        EXPECT_EQ(c.kind, decoded.kind);
        EXPECT_EQ(c.code, decoded.code);
        EXPECT_EQ(c.length, decoded.length);
    }
}

TEST(Utf8Decoding, EncodingIsTheInverseOfDecodingForEveryScalarValue) {
    for (char32_t code = 0; code <= 0x10FFFF; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF) continue;
        std::string text;
        AppendUtf8(text, code);
        const Utf8Char decoded = DecodeUtf8(text, 0);
        ASSERT_EQ(Utf8Kind::kCharacter, decoded.kind) << code;
        ASSERT_EQ(code, decoded.code);
        ASSERT_EQ(text.size(), decoded.length);
    }
}

TEST(Utf8Decoding, ValidTextIsKeptAndEveryBadStartBecomesOneReplacement) {
    const std::string text = "Caf\xC3\xA9 \xE8\xA1\xA8\xE7\xA4\xBA \xF0\x9F\x98\x80";
    EXPECT_TRUE(IsUtf8(text));
    EXPECT_EQ(text, ValidUtf8(text));
    EXPECT_FALSE(IsUtf8("Caf\xE9"));
    EXPECT_FALSE(IsUtf8("\xED\xA0\xBD\xED\xB8\x80"));  // a pair, but each half on its own
    EXPECT_EQ("Caf\xEF\xBF\xBD!", ValidUtf8("Caf\xE9!"));
    EXPECT_EQ("\xEF\xBF\xBD\xEF\xBF\xBD" "a", ValidUtf8("\xC0\xAF" "a"));
    EXPECT_EQ("\xEF\xBF\xBD\"", ValidUtf8("\xE2\x80\""));
    EXPECT_EQ("\xEF\xBF\xBD", ValidUtf8("\xED\xA0\x80"));
}

}  // namespace
