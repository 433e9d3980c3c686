// Card text from several scripts, the same in every test that follows it from the selector's
// reply to the registry and into a page: as the service writes it (UTF-8) and as the registry
// and the page must hold it (UTF-16).
#pragma once

#include <string>

namespace international_text {

// Café «Été» — 10€ (a key), 表示 (the rule id), ソフト (in a site and a value) and an emoji
// outside the Basic Multilingual Plane.
const char kCafeUtf8[] = "Caf\xC3\xA9 \xC2\xAB\xC3\x89t\xC3\xA9\xC2\xBB \xE2\x80\x94 10\xE2\x82\xAC";
const char kHyoujiUtf8[] = "\xE8\xA1\xA8\xE7\xA4\xBA";
const char kSofutoUtf8[] = "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88";
const char kEmojiUtf8[] = "\xF0\x9F\x98\x80";

const wchar_t kCafe[] = L"Caf\u00e9 \u00ab\u00c9t\u00e9\u00bb \u2014 10\u20ac";
const wchar_t kHyouji[] = L"\u8868\u793a";
const wchar_t kSofuto[] = L"\u30bd\u30d5\u30c8";
const wchar_t kEmoji[] = L"\U0001F600";

// The rule id 表示 for the site ソフト.example, with the key Café «Été» — 10€ holding "😀 ソフト".
inline std::string Reply() {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><cards><card><VeltraneMetadata>"
                       "<item name=\"searchOverlayCard.ruleid\">") +
           kHyoujiUtf8 + "</item><item name=\"searchOverlayCard.sites\">urn:" + kSofutoUtf8 +
           ".example</item><item name=\"" + kCafeUtf8 + "\">" + kEmojiUtf8 + " " + kSofutoUtf8 +
           "</item></VeltraneMetadata></card></cards>";
}

inline std::wstring CacheText() {
    return std::wstring(L"{\"sites\":{\"") + kSofuto + L".example\":[\"" + kHyouji +
           L"\"]},\"data\":{\"" + kHyouji + L"\":{\"" + kCafe + L"\":\"" + kEmoji + L" " +
           kSofuto + L"\"}}}";
}

inline std::wstring ConfigurationText() {
    return std::wstring(L"var ZLVX_config ={\"rids\":[\"") + kHyouji + L"\"],\"" + kHyouji +
           L":" + kCafe + L"\":\"" + kEmoji + L" " + kSofuto + L"\"};";
}

}  // namespace international_text
