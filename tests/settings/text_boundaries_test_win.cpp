// Text at the add-on's boundaries under the ANSI code pages 1252 and 932 of the thread: the
// UTF-8 conversions never depend on them, legacy replies do, and the registry cache holds the
// cards' text exactly.
#include <windows.h>

#include <gtest/gtest.h>

#include "addon/metadata/metadata_refresh_win.h"
#include "addon/metadata/reply_code_page_win.h"
#include "addon/win/text_win.h"
#include "tests/settings/international_text.h"
#include "tests/settings/scratch_roots_win.h"

namespace {

using namespace settings_test;
namespace text = international_text;

// The thread's locale, and with it CP_THREAD_ACP, for one scope.
class ScopedThreadLocale {
public:
    explicit ScopedThreadLocale(LANGID language) : saved(::GetThreadLocale()) {
        ::SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
    }
    ~ScopedThreadLocale() { ::SetThreadLocale(saved); }
    ScopedThreadLocale(const ScopedThreadLocale&) = delete;
    ScopedThreadLocale& operator=(const ScopedThreadLocale&) = delete;

private:
    LCID saved;
};

UINT ThreadCodePage() {
    UINT codePage = 0;
    ::GetLocaleInfoW(::GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                     reinterpret_cast<LPWSTR>(&codePage), sizeof codePage / sizeof(wchar_t));
    return codePage;
}

struct Language {
    const char* name;
    LANGID language;
    UINT codePage;
};

const Language kLanguages[] = {
    {"English, code page 1252", MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), 1252},
    {"Japanese, code page 932", MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), 932},
};

// Runs the body once under each language, after checking that the code page took effect.
template <class Body>
void UnderEachLanguage(Body body) {
    for (const Language& language : kLanguages) {
        SCOPED_TRACE(language.name);
        ScopedThreadLocale scope(language.language);
        ASSERT_EQ(language.codePage, ThreadCodePage());
        body(language.codePage);
    }
}

std::string Utf8Of(const char* text) { return text; }

TEST(WideText, ConvertsBetweenUtf16AndUtf8WhateverTheThreadCodePage) {
    UnderEachLanguage([](UINT) {
        const std::wstring wide = std::wstring(text::kCafe) + L" " + text::kHyouji + L" " +
                                  text::kSofuto + L" " + text::kEmoji;
        const std::string utf8 = Utf8Of(text::kCafeUtf8) + " " + text::kHyoujiUtf8 + " " +
                                 text::kSofutoUtf8 + " " + text::kEmojiUtf8;
        EXPECT_EQ(utf8, win::ToNarrow(wide));
        EXPECT_EQ(wide, win::ToWide(utf8));
        EXPECT_EQ(std::string("a\0b", 3), win::ToNarrow(std::wstring(L"a\0b", 3)));
        // A surrogate without its partner, and bytes that are not UTF-8: U+FFFD, the
        // characters next to them kept.
        EXPECT_EQ("a\xEF\xBF\xBD" "b\xEF\xBF\xBD", win::ToNarrow(std::wstring(L"a\xD800" L"b\xDC00")));
        EXPECT_EQ(L"\xFFFD\"x", win::ToWide("\xE2\x80\"x"));
    });
}

TEST(LegacyReply, DeclaredEncodingsAreReadInTheirOwnCodePage) {
    UnderEachLanguage([](UINT) {
        EXPECT_EQ(text::kCafeUtf8,
                  Utf8FromLegacyReply("Caf\xE9 \xAB\xC9t\xE9\xBB \x97 10\x80", "windows-1252"));
        EXPECT_EQ(text::kCafeUtf8,
                  Utf8FromLegacyReply("Caf\xE9 \xAB\xC9t\xE9\xBB \x97 10\x80", "ISO-8859-1"));
        EXPECT_EQ(Utf8Of(text::kHyoujiUtf8) + text::kSofutoUtf8,
                  Utf8FromLegacyReply("\x95\x5C\x8E\xA6\x83\x5C\x83\x74\x83\x67", "Shift_JIS"));
        EXPECT_EQ("\xD0\x96", Utf8FromLegacyReply("\xC6", "windows-1251"));  // Ж
    });
}

TEST(LegacyReply, UndeclaredOrUnknownEncodingsAreReadInTheThreadsAnsiCodePage) {
    UnderEachLanguage([](UINT codePage) {
        for (const char* name : {"", "x-unknown"}) {
            SCOPED_TRACE(name);
            EXPECT_EQ(CP_THREAD_ACP, CodePageOfEncoding(name));
            if (codePage == 1252) {
                EXPECT_EQ(text::kCafeUtf8,
                          Utf8FromLegacyReply("Caf\xE9 \xAB\xC9t\xE9\xBB \x97 10\x80", name));
            } else {
                EXPECT_EQ(Utf8Of(text::kHyoujiUtf8) + text::kSofutoUtf8,
                          Utf8FromLegacyReply("\x95\x5C\x8E\xA6\x83\x5C\x83\x74\x83\x67", name));
            }
        }
    });
}

class RegistryCache : public ScratchRoots {
protected:
    std::wstring Stored() { return ReadStored(user.Get(), L"Metadata Cache").text; }
};

TEST_F(RegistryCache, HoldsTheCardsTextExactlyAndReadsItBackToTheSameModel) {
    UnderEachLanguage([this](UINT) {
        Settings settings;
        settings.defaultRuleId = L"1024";
        MetadataState state;
        OnSelectorReply(settings, state, text::Reply(), roots);
        EXPECT_EQ(text::CacheText(), Stored());

        Settings next;  // a new add-on object: loads the cache it finds
        SetString(machine.Get(), L"Refresh Trigger File", L"BrimwellTests\\none.trigger");
        LoadSettings(next, 0, false, roots);
        MetadataState loaded;
        ASSERT_EQ(1, EnsureMetadataCurrent(next, loaded, [] { FAIL() << "fetched"; },
                                           CurrentUnixSeconds()));
        EXPECT_EQ(state.model, loaded.model);
        EXPECT_EQ(1u, loaded.model.Sites().count(Utf8Of(text::kSofutoUtf8) + ".example"));
    });
}

TEST_F(RegistryCache, DefaultRuleIdBeyondAsciiReachesTheCacheUnchanged) {
    UnderEachLanguage([this](UINT) {
        Settings settings;
        settings.defaultRuleId = text::kHyouji;
        MetadataState state;
        OnSelectorReply(settings, state, "<cards><card><VeltraneMetadata><item name=\"k\">v</item>"
                                         "</VeltraneMetadata></card></cards>", roots);
        EXPECT_EQ(std::wstring(L"{\"sites\":{},\"data\":{\"") + text::kHyouji + L"\":{\"k\":\"v\"}}}",
                  Stored());
    });
}

// Text an earlier release or another program may have left: plain ASCII reads as before, and a
// lone surrogate, or its \u escape, has a defined outcome.
TEST_F(RegistryCache, StoredTextOfEveryKindHasADefinedReading) {
    struct Case {
        const wchar_t* stored;
        const char* site;
    } cases[] = {
        {L"{\"sites\":{\"a.com\":[\"1\"]},\"data\":{\"1\":{}}}", "a.com"},
        {L"{\"sites\":{\"a\xD800.com\":[\"1\"]},\"data\":{\"1\":{}}}", "a\xEF\xBF\xBD.com"},
        {L"{\"sites\":{\"a\\ud800.com\":[\"1\"]},\"data\":{\"1\":{}}}", "a\xED\xA0\x80.com"},
        {L"{\"sites\":{\"\\u00e9\\ud83d\\ude00\":[\"1\"]},\"data\":{\"1\":{}}}",
         "\xC3\xA9\xED\xA0\xBD\xED\xB8\x80"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(win::ToNarrow(c.stored));
        Settings settings;
        settings.metadataCacheText = c.stored;
        MetadataState state;
        OnSelectorNoReply(settings, state, roots);
        EXPECT_EQ(1u, state.model.Sites().count(c.site));
        // Written back, it reads as the same model again.
        Settings next;
        next.metadataCacheText = Stored();
        MetadataState again;
        OnSelectorNoReply(next, again, roots);
        EXPECT_EQ(state.model, again.model);
    }
}

}  // namespace
