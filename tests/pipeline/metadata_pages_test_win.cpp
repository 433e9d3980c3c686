// Pages of an add-on object keep the card metadata current: when they ask the selector service,
// what they cache, and what a forced refresh does.
#include <chrono>
#include <cstdio>
#include <thread>

#include "addon/win/text_win.h"
#include "tests/pipeline/addon_fixture_win.h"
#include "tests/pipeline/app_message_window_win.h"

namespace {

using namespace pipeline_test;
using selector_test::LoopbackService;
using selector_test::ServiceScript;

const char kReply[] =
    "<cards><card><VeltraneMetadata>"
    "<item name=\"searchOverlayCard.ruleid\">8</item>"
    "<item name=\"searchOverlayCard.sites\">urn:fresh.test</item>"
    "</VeltraneMetadata></card></cards>";
const wchar_t kFreshConfig[] = L"var ZLVX_config ={\"rids\":[\"8\"]};";

ServiceScript Replying(const std::string& reply) {
    ServiceScript script;
    script.reply = reply;
    return script;
}

class MetadataPages : public AddonTest {
protected:
    void UseService(const LoopbackService& service) { SetSelectorPort(service.Port()); }
    void SetCacheAge(std::uint32_t seconds) {
        SetDword(HKEY_CURRENT_USER, L"Cache Modified Time", Now() - seconds);
    }
    std::wstring StoredCache() { return ReadStored(HKEY_CURRENT_USER, L"Metadata Cache").text; }
    std::uint32_t StoredForce() { return ReadStored(HKEY_CURRENT_USER, L"Force Refresh").number; }
};

TEST_F(MetadataPages, FreshInstallationFetchesOnTheFirstPageOnly) {
    settings_test::WriteInstallationDefaults(HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER);
    LoopbackService service(Replying(kReply));
    UseService(service);
    simbrowser::SimBrowser& b = Open(L"http://www.fresh.test/");
    ASSERT_EQ(1u, NavigateAndWait());
    EXPECT_EQ(1u, service.Connections());
    EXPECT_TRUE(HasBothScripts(b.Top(), kStaticUrl, kFreshConfig));
    EXPECT_EQ(L"{\"sites\":{\"fresh.test\":[\"8\"]},\"data\":{\"8\":{}}}", StoredCache());
    EXPECT_EQ(0u, StoredForce());
    EXPECT_LE(Now() - ReadStored(HKEY_CURRENT_USER, L"Cache Modified Time").number, 5u);
    ASSERT_EQ(1u, NavigateAndWait());
    EXPECT_EQ(1u, service.Connections());
}

struct RefreshCase {
    const char* name;
    std::uint32_t age;          // seconds before now
    bool future;                // the cache time lies ahead (clock set back)
    std::uint32_t force;
    bool triggerTouched;        // the trigger file is written after the cache
    bool fetches;
};

const RefreshCase kRefreshCases[] = {
    {"young cache", 100, false, 0, false, false},
    {"older than the interval", 86400 + 100, false, 0, false, true},
    {"written in the future", 100000, true, 0, false, false},
    {"forced", 0, false, 1, false, true},
    {"trigger file newer", 100, false, 0, true, true},
};

TEST_F(MetadataPages, PageFetchesByAgeForceAndTriggerFile) {
    wchar_t appData[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH));
    const std::wstring folder = std::wstring(appData) + L"\\BrimwellTests";
    const std::wstring trigger = folder + L"\\refresh.trigger";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    for (const RefreshCase& c : kRefreshCases) {
        SCOPED_TRACE(c.name);
        ::DeleteFileW(trigger.c_str());
        SetString(HKEY_LOCAL_MACHINE, L"Refresh Trigger File", L"BrimwellTests\\refresh.trigger");
        SetString(HKEY_CURRENT_USER, L"Metadata Cache", kExampleCache);
        SetDword(HKEY_CURRENT_USER, L"Cache Modified Time",
                 c.future ? Now() + c.age : Now() - c.age);
        SetDword(HKEY_CURRENT_USER, L"Force Refresh", c.force);
        if (c.triggerTouched) {
            FILE* file = _wfopen(trigger.c_str(), L"w");
            ASSERT_NE(nullptr, file);
            std::fclose(file);
        }
        LoopbackService service(Replying(kReply));
        UseService(service);
        simbrowser::SimBrowser& b = Open();
        ASSERT_EQ(1u, NavigateAndWait());
        EXPECT_EQ(c.fetches ? 1u : 0u, service.Connections());
        // A fetch replaces the cards: example.com no longer matches.
        EXPECT_EQ(!c.fetches, HasBothScripts(b.Top()));
        ASSERT_EQ(1u, NavigateAndWait());  // the next page: fresh in every case
        EXPECT_EQ(c.fetches ? 1u : 0u, service.Connections());
        Detach();
    }
    ::DeleteFileW(trigger.c_str());
    ::RemoveDirectoryW(folder.c_str());
}

TEST_F(MetadataPages, ServiceDownCostsOneConversationPerInterval) {
    SetCacheAge(86400 + 100);  // stale; the selector port is closed
    simbrowser::SimBrowser& b = Open();
    ASSERT_EQ(1u, NavigateAndWait());
    EXPECT_TRUE(HasBothScripts(b.Top()));   // cards rebuilt from the cached text
    EXPECT_EQ(kExampleCache, StoredCache()); // written back
    EXPECT_LE(Now() - ReadStored(HKEY_CURRENT_USER, L"Cache Modified Time").number, 5u);
    // A second conversation would write its cards over this text again.
    SetString(HKEY_CURRENT_USER, L"Metadata Cache", L"sentinel");
    simbrowser::Page& frame = b.Top().AddFrame(L"http://f.example.com/");
    b.NavigateFrame(frame, frame.Url());
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(L"sentinel", StoredCache());
    EXPECT_TRUE(HasBothScripts(frame));
}

TEST_F(MetadataPages, BrokenReplyKeepsTheCachedCards) {
    SetDword(HKEY_CURRENT_USER, L"Force Refresh", 1);
    LoopbackService service(Replying("<cards><card><VeltraneMetadata>"));
    UseService(service);
    simbrowser::SimBrowser& b = Open();
    ASSERT_EQ(1u, NavigateAndWait());
    EXPECT_EQ(1u, service.Connections());
    EXPECT_TRUE(HasBothScripts(b.Top()));
    EXPECT_EQ(kExampleCache, StoredCache());
    EXPECT_EQ(0u, StoredForce());
}

TEST_F(MetadataPages, UnreadableCacheOnAFreshPageMatchesNothingWithoutFailing) {
    SetString(HKEY_CURRENT_USER, L"Metadata Cache", L"{\"sites\":[]}");
    simbrowser::SimBrowser& b = Open();
    ASSERT_EQ(1u, NavigateAndWait());
    EXPECT_TRUE(b.Top().BodyChildren().empty());
    EXPECT_EQ(b.Top().CallCount(simbrowser::Op::kGetUrl), 1u);  // the page was still walked
}

TEST_F(MetadataPages, RefreshMetadataMakesTheNextPageFetch) {
    LoopbackService service(Replying(kReply));
    UseService(service);
    simbrowser::SimBrowser& b = Open(L"http://www.fresh.test/");
    ASSERT_EQ(1u, NavigateAndWait());
    ASSERT_EQ(0u, service.Connections());
    EXPECT_TRUE(b.Top().BodyChildren().empty());

    win::ComPtr<IBrimwellBHO> menu;  // the context menu's own instance, without a browser
    ASSERT_EQ(S_OK, CreateBrimwellBHO(IID_IBrimwellBHO, menu.PutVoid()));
    EXPECT_EQ(S_OK, menu->RefreshMetadata());
    EXPECT_EQ(1u, StoredForce());
    menu.Reset();

    ASSERT_EQ(1u, NavigateAndWait());
    EXPECT_EQ(1u, service.Connections());
    EXPECT_TRUE(HasBothScripts(b.Top(), kStaticUrl, kFreshConfig));
    EXPECT_EQ(0u, StoredForce());
}

TEST_F(MetadataPages, RefreshDuringAPageWaitsForTheNextOne) {
    LoopbackService service(Replying(kReply));
    UseService(service);
    simbrowser::SimBrowser& b = Open(L"http://www.fresh.test/");
    simbrowser::NavigateOptions loading;
    loading.completeDocuments = false;
    b.Navigate(loading);
    ASSERT_TRUE(simbrowser::PumpUntil([] { return RunningWorkerCount() == 1; }, 2000));
    simbrowser::PumpFor(200);
    win::ComPtr<IBrimwellBHO> refresh;
    ASSERT_EQ(S_OK, addon.As(refresh));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(S_OK, refresh->RefreshMetadata());  // must not wait for the polling worker
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_EQ(1u, StoredForce());
    b.Top().SetComplete();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(0u, service.Connections());          // the running page kept its cards
    EXPECT_TRUE(b.Top().BodyChildren().empty());
    ASSERT_EQ(1u, NavigateAndWait());              // the next page fetches
    EXPECT_EQ(1u, service.Connections());
    EXPECT_TRUE(HasBothScripts(b.Top(), kStaticUrl, kFreshConfig));
    EXPECT_EQ(0u, StoredForce());
}

TEST_F(MetadataPages, FetchThatRanNoHandlerLetsALaterFreshPageReadTheCache) {
    SetDword(HKEY_CURRENT_USER, L"Force Refresh", 1);
    SetString(HKEY_LOCAL_MACHINE, L"Selector Selector Host", L"localhost");  // no conversation
    simbrowser::SimBrowser& b = Open();
    ASSERT_EQ(1u, NavigateAndWait());
    EXPECT_TRUE(b.Top().BodyChildren().empty());  // nothing was read on this page
    SetDword(HKEY_CURRENT_USER, L"Force Refresh", 0);  // another window's fetch succeeded
    ASSERT_EQ(1u, NavigateAndWait());
    EXPECT_TRUE(HasBothScripts(b.Top()));
}

TEST_F(MetadataPages, ObjectReleasedDuringASlowConversationEndsCleanly) {
    SetDword(HKEY_CURRENT_USER, L"Force Refresh", 1);
    ServiceScript silent;
    silent.readRequest = false;  // accepts and then says nothing
    LoopbackService service(silent);
    UseService(service);
    bounds.deadline = std::chrono::milliseconds(1500);
    simbrowser::SimBrowser& b = Open();
    b.Navigate();
    ASSERT_TRUE(simbrowser::PumpUntil([&] { return service.Connections() == 1; }, 3000));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(S_OK, addon->SetSite(nullptr));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1300));
    addon.Reset();  // the browser lets go while the worker still talks
    EXPECT_EQ(1u, RunningWorkerCount());
    EXPECT_TRUE(WaitIdle(3000));  // ends within the conversation's bound
    EXPECT_EQ(lockBefore, pipeline::ModuleLockCount());
    EXPECT_TRUE(b.Top().BodyChildren().empty());
}

// Fires the top-level DocumentComplete from inside whatever wait dispatches sent messages.
class EventDuringWait {
public:
    explicit EventDuringWait(simbrowser::SimBrowser& browser)
        : window([this, &browser] {
              browser.FireDocumentComplete(browser.Top());
              fired = true;
          }) {}

    // Sends the event from another thread after delayMs; the send returns once it has run.
    std::thread SendAfter(DWORD delayMs) {
        HWND target = window.Handle();
        return std::thread([target, delayMs] {
            ::Sleep(delayMs);
            ::SendMessageW(target, WM_APP, 0, 0);
        });
    }
    bool fired = false;

private:
    AppMessageWindow window;
};

TEST_F(MetadataPages, EventsDuringTheDetachWaitStartNothing) {
    SetDword(HKEY_CURRENT_USER, L"Force Refresh", 1);
    ServiceScript silent;
    silent.readRequest = false;  // keeps the worker in its conversation through the wait
    LoopbackService service(silent);
    UseService(service);
    bounds.deadline = std::chrono::milliseconds(2500);
    simbrowser::SimBrowser& b = Open();
    b.Navigate();
    ASSERT_TRUE(simbrowser::PumpUntil([&] { return service.Connections() == 1; }, 3000));
    EventDuringWait during(b);
    const std::size_t before = StartedWorkerCount();
    std::thread sender = during.SendAfter(300);
    EXPECT_EQ(S_OK, addon->SetSite(nullptr));
    sender.join();
    EXPECT_TRUE(during.fired);  // the event did arrive while the object was detaching
    EXPECT_EQ(before, StartedWorkerCount());
    EXPECT_TRUE(WaitIdle(4000));
    EXPECT_TRUE(b.Top().BodyChildren().empty());  // and the running worker still stopped
}

}  // namespace
