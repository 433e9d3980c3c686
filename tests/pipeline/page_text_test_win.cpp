// Card text from the selector's reply into pages and the registry cache, in the Windows language
// the process runs in: the test driver sets it through the locale (code page 1252 or 932), so
// the add-on's own worker threads run in it too.
#include <cstdio>
#include <cstdlib>

#include "addon/win/text_win.h"
#include "tests/pipeline/addon_fixture_win.h"
#include "tests/settings/international_text.h"

namespace {

using namespace pipeline_test;
namespace text = international_text;
using selector_test::LoopbackService;
using selector_test::ServiceScript;

ServiceScript Replying(const std::string& reply) {
    ServiceScript script;
    script.reply = reply;
    return script;
}

std::wstring Config(const std::wstring& insertion) {
    return L"var ZLVX_config ={" + insertion + L"};";
}

class PageText : public AddonTest {
protected:
    void SetUp() override {
        AddonTest::SetUp();
        // The driver names the code page it set up; a test run without it runs in Wine's default.
        if (const char* expected = std::getenv("BRIMWELL_TEST_CODE_PAGE")) {
            ASSERT_EQ(static_cast<UINT>(std::atoi(expected)), ::GetACP());
        }
    }

    // Opens a page whose add-on object asks the service for its cards.
    simbrowser::SimBrowser& OpenFetching(const LoopbackService& service, const std::wstring& url) {
        SetSelectorPort(service.Port());
        SetDword(HKEY_CURRENT_USER, L"Force Refresh", 1);
        Detach();
        return Open(url);
    }

    std::wstring ConfigOf(const simbrowser::Page& page) {
        const std::vector<simbrowser::ElementSnapshot> children = page.BodyChildren();
        return children.empty() ? L"(nothing injected)" : children[0].text;
    }

    std::wstring StoredCache() { return ReadStored(HKEY_CURRENT_USER, L"Metadata Cache").text; }
};

// For the script engine of the test driver: the page's text as UTF-8.
void WriteForScriptEngine(const std::wstring& script) {
    const char* path = std::getenv("BRIMWELL_PAGE_SCRIPT");
    if (!path) return;
    FILE* file = std::fopen(path, "wb");
    ASSERT_NE(nullptr, file) << path;
    const std::string utf8 = win::ToNarrow(script);
    std::fwrite(utf8.data(), 1, utf8.size(), file);
    std::fclose(file);
}

TEST_F(PageText, ReplyTextReachesThePageAndTheCacheCharacterForCharacter) {
    LoopbackService service(Replying(text::Reply()));
    // An internationalised host, as the browser reports it.
    const std::wstring url = std::wstring(L"http://www.") + text::kSofuto + L".example/";
    simbrowser::SimBrowser& first = OpenFetching(service, url);
    ASSERT_EQ(1u, NavigateAndWait());
    EXPECT_EQ(1u, service.Connections());
    EXPECT_EQ(text::ConfigurationText(), ConfigOf(first.Top()));
    EXPECT_TRUE(HasBothScripts(first.Top(), kStaticUrl, text::ConfigurationText()));
    EXPECT_EQ(text::CacheText(), StoredCache());
    WriteForScriptEngine(ConfigOf(first.Top()));

    // A new add-on object starts from the cache: the same text again, without a fetch.
    Detach();
    simbrowser::SimBrowser& next = Open(url);
    ASSERT_EQ(1u, NavigateAndWait());
    EXPECT_EQ(1u, service.Connections());
    EXPECT_EQ(text::ConfigurationText(), ConfigOf(next.Top()));
}

std::string LegacyCard(const std::string& declaration, const std::string& value) {
    return declaration + "<cards><card><VeltraneMetadata>"
                         "<item name=\"searchOverlayCard.ruleid\">5</item>"
                         "<item name=\"searchOverlayCard.sites\">legacy.example</item>"
                         "<item name=\"t\">" + value + "</item></VeltraneMetadata></card></cards>";
}

std::string Utf16LittleEndian(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>((unit >> 8) & 0xFF);
    }
    return bytes;
}

TEST_F(PageText, LegacyAndUtf16RepliesGiveTheRightCharacters) {
    const char kCafe1252[] = "Caf\xE9 \xAB\xC9t\xE9\xBB \x97 10\x80";
    const char kWords932[] = "\x95\x5C\x8E\xA6\x83\x5C\x83\x74\x83\x67";  // 表示ソフト
    const std::wstring words = std::wstring(text::kHyouji) + text::kSofuto;
    // Undeclared legacy text is in the system's own code page, whichever that is.
    const bool western = ::GetACP() == 1252;
    struct Case {
        const char* name;
        std::string reply;
        std::wstring value;
    } cases[] = {
        {"declared windows-1252",
         LegacyCard("<?xml version=\"1.0\" encoding=\"windows-1252\"?>", kCafe1252), text::kCafe},
        {"declared Shift_JIS", LegacyCard("<?xml version='1.0' encoding='Shift_JIS'?>", kWords932),
         words},
        {"undeclared, not UTF-8", LegacyCard("", western ? kCafe1252 : kWords932),
         western ? text::kCafe : words},
        {"UTF-16 with a byte-order mark",
         Utf16LittleEndian(win::ToWide(LegacyCard("<?xml version=\"1.0\" encoding=\"UTF-16\"?>",
                                                  text::kCafeUtf8))),
         text::kCafe},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackService service(Replying(c.reply));
        simbrowser::SimBrowser& b = OpenFetching(service, L"http://legacy.example/");
        ASSERT_EQ(1u, NavigateAndWait());
        EXPECT_EQ(Config(L"\"rids\":[\"5\"],\"5:t\":\"" + c.value + L"\""), ConfigOf(b.Top()));
    }
}

TEST_F(PageText, HostsMatchPatternsWrittenTheSameWayInternationalisedOrPunycode) {
    SetString(HKEY_CURRENT_USER, L"Metadata Cache",
              std::wstring(L"{\"sites\":{\"b\u00fccher.example\":[\"1\"],"
                           L"\"xn--bcher-kva.example\":[\"2\"],\"") +
                  text::kHyouji + L".example\":[\"3\"],\"??.example\":[\"4\"]},\"data\":{}}");
    struct Case {
        std::wstring url;
        std::wstring rids;  // empty: nothing injected
    } cases[] = {
        {L"http://www.b\u00fccher.example/", L"\"1\""},
        {L"http://xn--bcher-kva.example/", L"\"2\""},
        {std::wstring(L"https://") + text::kHyouji + L".example/", L"\"3\""},
        {L"http://b\u00fcchers.example/", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(win::ToNarrow(c.url));
        Detach();
        simbrowser::SimBrowser& b = Open(c.url);
        ASSERT_EQ(1u, NavigateAndWait());
        EXPECT_EQ(c.rids.empty() ? L"(nothing injected)" : Config(L"\"rids\":[" + c.rids + L"]"),
                  ConfigOf(b.Top()));
    }
}

TEST_F(PageText, SettingsBeyondAsciiReachThePageAsTheyAre) {
    SetString(HKEY_LOCAL_MACHINE, L"Zolvex Dynamic Script",
              std::wstring(L"/* ") + text::kCafe + L" */ c={${1}};");
    SetString(HKEY_LOCAL_MACHINE, L"Default Rule Id", text::kHyouji);
    LoopbackService service(Replying(
        "<cards><card><VeltraneMetadata><item name=\"searchOverlayCard.sites\">legacy.example"
        "</item></VeltraneMetadata></card></cards>"));
    simbrowser::SimBrowser& b = OpenFetching(service, L"http://legacy.example/");
    ASSERT_EQ(1u, NavigateAndWait());
    EXPECT_EQ(std::wstring(L"/* ") + text::kCafe + L" */ c={\"rids\":[\"" + text::kHyouji +
                  L"\"]};",
              ConfigOf(b.Top()));
}

// Fullwidth digits are no address: converted through the ANSI code page with its best-fit
// mapping they would have read as 127.0.0.1.
TEST_F(PageText, SelectorHostBeyondAsciiIsNotTakenForAnAddress) {
    SetString(HKEY_LOCAL_MACHINE, L"Selector Selector Host",
              L"\uff11\uff12\uff17.\uff10.\uff10.\uff11");
    LoopbackService service(Replying(text::Reply()));
    OpenFetching(service, L"http://www.example.com/");
    ASSERT_EQ(1u, NavigateAndWait());
    EXPECT_EQ(0u, service.Connections());
}

}  // namespace
