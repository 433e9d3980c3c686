// The selector's reply as UTF-8 text, whatever encoding the service wrote it in.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// Turns reply bytes that are not UTF-8 into UTF-8. declaredEncoding is the encoding name of the
// reply's XML declaration, "" when it names none.
typedef std::function<std::string(const std::string& bytes, const std::string& declaredEncoding)>
    LegacyTextDecoder;

// The value of the encoding pseudo-attribute of an XML declaration at the start of the text
// (white space may come first); "" without a declaration or without that attribute.
//   "<?xml version='1.0' encoding='windows-1252'?>" => "windows-1252"
std::string DeclaredEncoding(std::string_view text);

// The reply decoded for the XML parser, which then reads it as UTF-8 whatever it declares:
//   byte-order mark FF FE or FE FF, or "<" in UTF-16 without one => UTF-16, converted;
//   byte-order mark EF BB BF, or a declaration naming UTF-8 => UTF-8 (the mark removed);
//   another declared encoding => the legacy decoder with that name;
//   no declaration => UTF-8 when the bytes are UTF-8, else the legacy decoder with "".
// Whatever is not UTF-8 in text taken as UTF-8, and a UTF-16 surrogate without its partner,
// becomes U+FFFD, so the result is always UTF-8.
std::string ReplyTextAsUtf8(const std::string& reply, const LegacyTextDecoder& legacy);

// Windows-1252 to UTF-8, the five bytes it leaves undefined read as the C1 controls they are in
// ISO-8859-1: the legacy decoder where no code page can be asked for.
std::string Utf8FromWindows1252(std::string_view bytes);
