// Page trees and navigations of the soak's windows.
#include "tests/stress/soak_pages_win.h"

#include <cstring>

#include "addon/metadata/registration_defaults.h"
#include "addon/win/text_win.h"
#include "tools/simbrowser/message_pump_win.h"

namespace soak {
namespace {

struct KnownUrl {
    const wchar_t* url;
    bool hasCards;  // its host contains "example.com", the one site of the round's cards
};

const KnownUrl kUrls[] = {
    {L"http://www.example.com/", true},
    {L"https://shop.example.com/cart?id=3", true},
    {L"http://example.com/search?q=https", true},
    {L"http://ads.example.com/frame.html", true},
    {L"http://www.other.test/", false},
    {L"https://bank.test/login", false},
    {L"http://cdn.elsewhere.test/embed", false},
    {L"about:blank", false},
};

bool HasCards(const std::wstring& url) {
    for (const KnownUrl& known : kUrls)
        if (url == known.url) return known.hasCards;
    return false;
}

const wchar_t kStaticUrl[] = BRIMWELL_WIDE(BRIMWELL_DEFAULT_STATIC_SCRIPT);
const wchar_t kHttpsStaticUrl[] =
    L"https://" BRIMWELL_WIDE(BRIMWELL_RULE_ENGINE_HOST) BRIMWELL_WIDE(BRIMWELL_STATIC_SCRIPT_PATH);
const wchar_t kConfig[] = L"var ZLVX_config ={\"rids\":[\"7\"],\"7:k\":\"v\"};";

void Collect(simbrowser::Page& page, std::vector<simbrowser::Page*>& pages) {
    pages.push_back(&page);
    for (std::size_t i = 0; i < page.FrameCount(); ++i) Collect(page.Frame(i), pages);
}

void Pause(Dice& dice, int mostMs) { simbrowser::PumpFor(static_cast<DWORD>(dice.Between(0, mostMs))); }

std::string Describe(const simbrowser::Page& page) { return win::ToNarrow(page.Url()); }

bool IsPair(const std::vector<simbrowser::ElementSnapshot>& children) {
    if (children.size() != 2) return false;
    const simbrowser::ElementSnapshot& config = children[0];
    const simbrowser::ElementSnapshot& loader = children[1];
    const std::wstring src = loader.Attribute(L"src");
    return config.tag == L"SCRIPT" && config.text == kConfig &&
           config.Attribute(L"type") == L"text/javascript" && loader.tag == L"script" &&
           (src == kStaticUrl || src == kHttpsStaticUrl) &&
           loader.Attribute(L"type") == L"text/javascript";
}

}  // namespace

const wchar_t* RandomUrl(Dice& dice) {
    return kUrls[dice.Index(sizeof kUrls / sizeof kUrls[0] - 1)].url;  // never about:blank
}

std::unique_ptr<simbrowser::SimBrowser> NewBrowser(Dice& dice) {
    std::unique_ptr<simbrowser::SimBrowser> browser(new simbrowser::SimBrowser(RandomUrl(dice)));
    std::vector<simbrowser::Page*> pages{&browser->Top()};
    const int frames = dice.Between(0, 5);
    for (int i = 0; i < frames; ++i) {
        simbrowser::Page& parent = *pages[dice.Index(pages.size())];
        const wchar_t* url = dice.Chance(0.1) ? L"about:blank" : RandomUrl(dice);
        simbrowser::Page& frame = parent.AddFrame(url);
        frame.SetCrossDomain(dice.Chance(0.3));
        pages.push_back(&frame);
    }
    return browser;
}

std::vector<simbrowser::Page*> AllPages(simbrowser::SimBrowser& browser) {
    std::vector<simbrowser::Page*> pages;
    Collect(browser.Top(), pages);
    return pages;
}

simbrowser::Page* RandomFrame(simbrowser::SimBrowser& browser, Dice& dice) {
    const std::vector<simbrowser::Page*> pages = AllPages(browser);
    if (pages.size() < 2) return nullptr;
    return pages[1 + dice.Index(pages.size() - 1)];
}

NavigationStyle RandomStyle(Dice& dice) {
    NavigationStyle style;
    style.downloadBegin = dice.Chance(0.7);
    style.completeDocuments = dice.Chance(0.7);
    style.shuffled = dice.Chance(0.4);
    return style;
}

std::size_t Navigate(simbrowser::SimBrowser& browser, const NavigationStyle& style, Dice& dice) {
    std::vector<simbrowser::Page*> pages = AllPages(browser);
    if (!style.shuffled) {
        simbrowser::NavigateOptions options;
        options.downloadBegin = style.downloadBegin;
        options.completeDocuments = style.completeDocuments;
        browser.Navigate(options);
        return pages.size();
    }
    for (simbrowser::Page* page : pages) page->SetReadyState(L"loading");
    for (simbrowser::Page* page : pages) {
        browser.FireBeforeNavigate2(*page);
        if (style.downloadBegin && page == &browser.Top()) browser.FireDownloadBegin();
        browser.FireNavigateComplete2(*page);
    }
    dice.Shuffle(pages);
    for (simbrowser::Page* page : pages) {
        if (style.completeDocuments) page->SetComplete();
        browser.FireDocumentComplete(*page);
        Pause(dice, 20);
    }
    return pages.size();
}

void CompleteLoading(simbrowser::SimBrowser& browser, Dice& dice) {
    std::vector<simbrowser::Page*> pages = AllPages(browser);
    dice.Shuffle(pages);
    for (simbrowser::Page* page : pages) {
        if (page->ReadyState() == L"complete") continue;
        page->SetComplete();
        Pause(dice, 30);
    }
}

void DownloadDuringPage(simbrowser::SimBrowser& browser, Dice& dice) {
    simbrowser::Page& top = browser.Top();
    top.SetReadyState(L"interactive");
    browser.FireDownloadBegin();
    if (dice.Chance(0.3)) browser.FireDownloadBegin();  // a second sink, still one worker
    Pause(dice, 50);
    if (dice.Chance(0.6)) {
        top.SetComplete();
        browser.FireWindowLoad(top);
    }
}

bool MatchingDocumentsInjected(simbrowser::SimBrowser& browser) {
    for (simbrowser::Page* page : AllPages(browser))
        if (HasCards(page->Url()) && page->BodyChildren().size() < 2) return false;
    return true;
}

std::vector<std::string> ScriptProblems(simbrowser::SimBrowser& browser) {
    std::vector<std::string> problems;
    for (simbrowser::Page* page : AllPages(browser)) {
        const std::vector<simbrowser::ElementSnapshot> children = page->BodyChildren();
        if (HasCards(page->Url()) && !IsPair(children))
            problems.push_back(Describe(*page) + ": " + std::to_string(children.size()) +
                               " elements where exactly the two scripts belong");
        if (!HasCards(page->Url()) && !children.empty())
            problems.push_back(Describe(*page) + ": scripts in a page without cards");
    }
    return problems;
}

}  // namespace soak
