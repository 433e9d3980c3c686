// The selector's reply decoded to UTF-8: which encoding each form of reply is read in.
#include <string>

#include <gtest/gtest.h>

#include "addon/metadata/metadata_response.h"
#include "addon/metadata/reply_text.h"

namespace {

// Marks what went through the legacy decoder, and under which declared name.
std::string TaggingDecoder(const std::string& bytes, const std::string& declared) {
    return "[" + declared + "]" + Utf8FromWindows1252(bytes);
}

std::string Decode(const std::string& reply) { return ReplyTextAsUtf8(reply, TaggingDecoder); }

MetadataModel Cards(const std::string& reply) {
    std::string text = ReplyTextAsUtf8(reply, [](const std::string& bytes, const std::string&) {
        return Utf8FromWindows1252(bytes);
    });
    MetadataModel model;
    EXPECT_EQ(kReplyRead, BuildModelFromResponse(text, "1024", model));
    return model;
}

const char kCafe[] = "Caf\xC3\xA9";  // UTF-8

TEST(ReplyEncoding, Utf8ByDeclarationByteOrderMarkOrByDefault) {
    const std::string declared = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><c>Caf\xC3\xA9</c>";
    EXPECT_EQ(declared, Decode(declared));
    EXPECT_EQ("<?xml version='1.0' encoding='utf8'?>x\xEF\xBF\xBDy",
              Decode("<?xml version='1.0' encoding='utf8'?>x\xE9y"));  // declared, so not legacy
    EXPECT_EQ(std::string("<c>") + kCafe + "</c>", Decode(std::string("\xEF\xBB\xBF<c>") + kCafe + "</c>"));
    EXPECT_EQ(std::string("<c>") + kCafe + "</c>", Decode(std::string("<c>") + kCafe + "</c>"));
    EXPECT_EQ("<?xml version=\"1.0\"?><c/>", Decode("<?xml version=\"1.0\"?><c/>"));
}

TEST(ReplyEncoding, OtherDeclaredEncodingsAndUndeclaredNonUtf8GoToTheLegacyDecoder) {
    EXPECT_EQ("[windows-1252]<?xml version=\"1.0\" encoding=\"windows-1252\"?><c>\xC3\x83\xC2\xA9</c>",
              Decode("<?xml version=\"1.0\" encoding=\"windows-1252\"?><c>\xC3\xA9</c>"));
    EXPECT_EQ("[ISO-8859-1]<?xml encoding = 'ISO-8859-1' ?>\xE2\x82\xAC",
              Decode("<?xml encoding = 'ISO-8859-1' ?>\x80"));
    EXPECT_EQ("[]<c>Caf\xC3\xA9 10\xE2\x82\xAC</c>", Decode("<c>Caf\xE9 10\x80</c>"));
    // A UTF-16 name on 8-bit text says nothing: the bytes decide.
    EXPECT_EQ("<?xml version='1.0' encoding='UTF-16'?><c/>",
              Decode("<?xml version='1.0' encoding='UTF-16'?><c/>"));
    EXPECT_EQ("[]<?xml version='1.0' encoding='UTF-16'?>\xC3\xA9",
              Decode("<?xml version='1.0' encoding='UTF-16'?>\xE9"));
}

std::string Utf16(const std::u16string& text, bool bigEndian) {
    std::string bytes;
    for (char16_t unit : text) {
        const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

TEST(ReplyEncoding, Utf16IsReadWithOrWithoutAByteOrderMark) {
    const std::u16string text = u"<c a='\u8868'>Caf\u00e9 \U0001F600</c>";
    const std::string utf8 = "<c a='\xE8\xA1\xA8'>Caf\xC3\xA9 \xF0\x9F\x98\x80</c>";
    EXPECT_EQ(utf8, Decode(Utf16(u"\uFEFF" + text, false)));
    EXPECT_EQ(utf8, Decode(Utf16(u"\uFEFF" + text, true)));
    EXPECT_EQ(utf8, Decode(Utf16(text, false)));
    EXPECT_EQ(utf8, Decode(Utf16(text, true)));
    // A surrogate without its partner, and half a code unit at the end, become U+FFFD.
    EXPECT_EQ("<\xEF\xBF\xBD" "c\xEF\xBF\xBD\xEF\xBF\xBD",
              Decode(Utf16(u"<", false) + std::string("\x00\xD8", 2) + Utf16(u"c", false) +
                     std::string("\x00\xDC", 2) + "x"));
}

TEST(ReplyEncoding, Utf16RepliesBuildTheSameCardsAsUtf8Ones) {
    const std::u16string reply =
        u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><cards><card><VeltraneMetadata>"
        u"<item name=\"searchOverlayCard.sites\">urn:\u8868\u793a.example</item>"
        u"<item name=\"t\u00eftle\">Caf\u00e9 \U0001F600</item>"
        u"</VeltraneMetadata></card></cards>";
    for (bool bigEndian : {false, true}) {
        MetadataModel model = Cards(Utf16(u"\uFEFF" + reply, bigEndian));
        EXPECT_EQ(1u, model.Sites().count("\xE8\xA1\xA8\xE7\xA4\xBA.example"));
        EXPECT_EQ((RuleData{{"t\xC3\xAFtle", "Caf\xC3\xA9 \xF0\x9F\x98\x80"}}), model.Data()["1024"]);
    }
}

TEST(ReplyEncoding, CharacterReferencesGiveUtf8WhateverTheDeclaration) {
    MetadataModel model = Cards("<?xml version='1.0' encoding='windows-1252'?><cards><card>"
                                "<VeltraneMetadata><item name='k'>\xE9&#xE9;&#x1F600;</item>"
                                "</VeltraneMetadata></card></cards>");
    EXPECT_EQ("\xC3\xA9\xC3\xA9\xF0\x9F\x98\x80", model.Data()["1024"]["k"]);
}

TEST(ReplyEncoding, DeclaredEncodingIsReadOnlyFromADeclarationAtTheStart) {
    EXPECT_EQ("windows-1252", DeclaredEncoding(" \r\n<?xml version=\"1.0\" encoding=\"windows-1252\"?>"));
    EXPECT_EQ("Shift_JIS", DeclaredEncoding("<?xml version='1.0' encoding\t=\t'Shift_JIS' standalone='no'?>"));
    EXPECT_EQ("", DeclaredEncoding("<?xml version=\"1.0\"?><c encoding=\"x\"/>"));
    EXPECT_EQ("", DeclaredEncoding("<!-- --><?xml version=\"1.0\" encoding=\"x\"?>"));
    EXPECT_EQ("", DeclaredEncoding("<?xml-stylesheet encoding=\"x\"?>"));
    EXPECT_EQ("", DeclaredEncoding("<?xml version=\"1.0\" encoding=\"x"));
    EXPECT_EQ("", DeclaredEncoding("<?xml version=\"1.0\" encoding=x?>"));
    EXPECT_EQ("", DeclaredEncoding(""));
}

TEST(ReplyEncoding, Windows1252HasItsOwnCharactersFrom0x80To0x9F) {
    EXPECT_EQ("\xE2\x82\xAC\xC2\x81\xE2\x80\x9A\xC5\xB8\xC2\xA0\xC3\xA9\xC3\xBF",
              Utf8FromWindows1252("\x80\x81\x82\x9F\xA0\xE9\xFF"));
}

}  // namespace
