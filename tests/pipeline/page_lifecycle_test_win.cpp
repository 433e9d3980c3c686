// The add-on object in a simulated browser: which events start page workers, the walk over
// frames, detaching, and the object's COM surface.
#include <exdispid.h>

#include <chrono>

#include "tests/pipeline/addon_fixture_win.h"

namespace {

using namespace pipeline_test;
using simbrowser::Op;
using simbrowser::Page;

std::vector<const Page*> UrlReaders(const simbrowser::SimBrowser& browser) {
    std::vector<const Page*> pages;
    for (const simbrowser::Call& call : browser.Calls())
        if (call.op == Op::kGetUrl) pages.push_back(call.page);
    return pages;
}

class PageLifecycle : public AddonTest {};

TEST_F(PageLifecycle, TwoFramePageIsOneWorkerVisitingDepthFirst) {
    simbrowser::SimBrowser& b = Open();
    Page& f0 = b.Top().AddFrame(L"http://f0.example.com/");
    Page& f00 = f0.AddFrame(L"http://f00.example.com/");
    Page& f1 = b.Top().AddFrame(L"http://f1.example.com/");
    b.ClearJournal();
    EXPECT_EQ(1u, NavigateAndWait());
    EXPECT_EQ((std::vector<const Page*>{&b.Top(), &f0, &f00, &f1}), UrlReaders(b));
    for (const Page* page : {&b.Top(), &f0, &f00, &f1}) {
        SCOPED_TRACE(testing::Message() << std::string(page->Url().begin(), page->Url().end()));
        EXPECT_TRUE(HasBothScripts(*page));
    }
}

TEST_F(PageLifecycle, AboutBlankIsIgnoredOnlyWhenExact) {
    simbrowser::SimBrowser& b = Open();
    Page& frame = b.Top().AddFrame(L"http://f.example.com/");
    ASSERT_EQ(1u, NavigateAndWait());
    std::size_t before = StartedWorkerCount();
    b.NavigateFrame(frame, L"about:blank");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(before, StartedWorkerCount());
    b.NavigateFrame(frame, L"about:blank#top");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(before + 1, StartedWorkerCount());
}

TEST_F(PageLifecycle, FrameNavigatedAfterCompletionGetsAWorkerOfItsOwn) {
    simbrowser::SimBrowser& b = Open();
    Page& f0 = b.Top().AddFrame(L"http://f0.example.com/");
    Page& f1 = b.Top().AddFrame(L"http://other.test/");
    ASSERT_EQ(1u, NavigateAndWait());
    EXPECT_TRUE(f1.BodyChildren().empty());
    b.ClearJournal();
    const std::size_t before = StartedWorkerCount();
    b.NavigateFrame(f1, L"http://late.example.com/");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(before + 1, StartedWorkerCount());
    EXPECT_EQ(std::vector<const Page*>{&f1}, UrlReaders(b));
    EXPECT_TRUE(HasBothScripts(f1));
    EXPECT_TRUE(HasBothScripts(f0));  // untouched by the frame's worker: still one pair
}

TEST_F(PageLifecycle, DocumentHandledTwiceGetsTheScriptsOnce) {
    simbrowser::SimBrowser& b = Open();
    Page& frame = b.Top().AddFrame(L"http://f.example.com/");
    ASSERT_EQ(1u, NavigateAndWait());
    b.NavigateFrame(frame, frame.Url());
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(1u, frame.CallCount(Op::kAppendChild) / 2);
    EXPECT_TRUE(HasBothScripts(frame));
}

TEST_F(PageLifecycle, OnloadPathStartsOneWorkerForTwoDownloads) {
    simbrowser::SimBrowser& b = Open();
    ASSERT_EQ(1u, NavigateAndWait());
    b.Top().SetReadyState(L"interactive");
    const std::size_t before = StartedWorkerCount();
    b.FireDownloadBegin();
    b.FireDownloadBegin();
    EXPECT_EQ(2u, b.Top().WindowSinkCount());
    EXPECT_EQ(before, StartedWorkerCount());
    b.Top().SetComplete();
    b.FireWindowLoad(b.Top());
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(before + 1, StartedWorkerCount());
    b.ReleaseWindowConnections(b.Top());
    EXPECT_EQ(0u, b.Top().WindowSinkCount());
}

TEST_F(PageLifecycle, DetachDisconnectsWindowSinksSoLaterOnloadStartsNothing) {
    simbrowser::SimBrowser& b = Open();
    ASSERT_EQ(1u, NavigateAndWait());
    b.Top().SetReadyState(L"interactive");
    b.FireDownloadBegin();
    ASSERT_EQ(1u, b.Top().WindowSinkCount());
    const std::size_t before = StartedWorkerCount();
    Detach();
    EXPECT_EQ(0u, b.Top().WindowSinkCount());
    b.Top().SetComplete();
    EXPECT_TRUE(b.FireWindowLoad(b.Top()).empty());
    EXPECT_EQ(before, StartedWorkerCount());
}

TEST_F(PageLifecycle, SinkThatOutlivesItsObjectNoLongerCallsIt) {
    simbrowser::SimBrowser& b = Open();
    ASSERT_EQ(1u, NavigateAndWait());
    b.Top().SetReadyState(L"interactive");
    b.FireDownloadBegin();
    // Moving to a site that is not a browser leaves the window's sink connected.
    win::ComPtr<IHTMLDocument2> notABrowser = b.Top().Document();
    ASSERT_EQ(S_OK, addon->SetSite(notABrowser.Get()));
    const std::size_t before = StartedWorkerCount();
    addon.Reset();
    ASSERT_EQ(lockBefore, pipeline::ModuleLockCount());  // the object is gone
    ASSERT_EQ(1u, b.Top().WindowSinkCount());
    b.Top().SetComplete();
    // A sink without its object answers E_UNEXPECTED and calls nothing.
    EXPECT_EQ(std::vector<HRESULT>{E_UNEXPECTED}, b.FireWindowLoad(b.Top()));
    b.ReleaseWindowConnections(b.Top());  // its last release reports to nobody either
    EXPECT_EQ(before, StartedWorkerCount());
}

TEST_F(PageLifecycle, DownloadOfACompleteDocumentAttachesNothing) {
    simbrowser::SimBrowser& b = Open();
    ASSERT_EQ(1u, NavigateAndWait());
    b.FireDownloadBegin();
    EXPECT_EQ(0u, b.Top().WindowSinkCount());
}

TEST_F(PageLifecycle, StaticScriptFollowsThePageSchemeAndBack) {
    simbrowser::SimBrowser& b = Open(L"https://secure.example.com/");
    ASSERT_EQ(1u, NavigateAndWait());
    EXPECT_TRUE(HasBothScripts(b.Top(), kHttpsStaticUrl));
    b.Top().SetUrl(L"http://plain.example.com/");  // the same document, now over http
    ASSERT_EQ(1u, NavigateAndWait());
    const std::vector<simbrowser::ElementSnapshot> children = b.Top().BodyChildren();
    ASSERT_EQ(4u, children.size());
    EXPECT_EQ(kStaticUrl, children[3].Attribute(L"src"));
}

TEST_F(PageLifecycle, HttpsAnywhereInTheLocationCountsAsAnHttpsPage) {
    simbrowser::SimBrowser& b = Open(L"http://plain.example.com/?next=https%3A%2F%2Fx");
    ASSERT_EQ(1u, NavigateAndWait());
    EXPECT_TRUE(HasBothScripts(b.Top(), kHttpsStaticUrl));
}

TEST_F(PageLifecycle, DetachWhileAWorkerPollsEndsBothQuickly) {
    simbrowser::SimBrowser& b = Open();
    simbrowser::NavigateOptions loading;
    loading.completeDocuments = false;
    b.Navigate(loading);
    ASSERT_TRUE(simbrowser::PumpUntil([] { return RunningWorkerCount() == 1; }, 2000));
    simbrowser::PumpFor(250);  // the worker is polling the ready state now
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(S_OK, addon->SetSite(nullptr));
    const auto detached = std::chrono::steady_clock::now() - start;
    // The worker's last calls (its document's release) run on this thread: a wait that did
    // not dispatch them would always last its full second.
    EXPECT_LT(detached, std::chrono::milliseconds(500));
    EXPECT_TRUE(WaitIdle(300));
    EXPECT_TRUE(b.Top().BodyChildren().empty());
    EXPECT_EQ(0u, b.EventSinkCount());
}

TEST_F(PageLifecycle, SecondWorkerWaitsForTheFirst) {
    simbrowser::SimBrowser& b = Open();
    Page& f0 = b.Top().AddFrame(L"http://f0.example.com/");
    Page& f1 = b.Top().AddFrame(L"http://other.test/");
    ASSERT_EQ(1u, NavigateAndWait());
    simbrowser::NavigateOptions loading;
    loading.completeDocuments = false;
    b.NavigateFrame(f0, L"http://f0b.example.com/", loading);  // first worker polls f0
    simbrowser::PumpFor(300);
    b.NavigateFrame(f1, L"http://f1b.example.com/");
    simbrowser::PumpFor(400);
    EXPECT_TRUE(f1.BodyChildren().empty());  // the second page has not been handled yet
    EXPECT_EQ(2u, RunningWorkerCount());
    f0.SetComplete();
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(HasBothScripts(f1));
}

TEST_F(PageLifecycle, CrossDomainFrameIsReachedThroughItsBrowser) {
    simbrowser::SimBrowser& b = Open();
    Page& frame = b.Top().AddFrame(L"http://ads.example.com/");
    frame.SetCrossDomain(true);
    ASSERT_EQ(1u, NavigateAndWait());
    EXPECT_LE(1u, frame.CallCount(Op::kQueryService));
    EXPECT_TRUE(HasBothScripts(frame));
}

TEST_F(PageLifecycle, UnreachableFramesAreSkippedAndTheWalkGoesOn) {
    simbrowser::SimBrowser& b = Open();
    Page& denied = b.Top().AddFrame(L"http://denied.example.com/");
    Page& broken = b.Top().AddFrame(L"http://broken.example.com/");
    Page& last = b.Top().AddFrame(L"http://last.example.com/");
    denied.SetCrossDomain(true);
    denied.Fail(Op::kQueryService, E_NOINTERFACE);
    b.Top().Fail({Op::kFramesItem, E_FAIL, L"", 1, 1});  // frame 1 cannot be fetched
    ASSERT_EQ(1u, NavigateAndWait());
    EXPECT_TRUE(denied.BodyChildren().empty());
    EXPECT_TRUE(broken.BodyChildren().empty());
    EXPECT_TRUE(HasBothScripts(last));
}

struct WalkCodeCase {
    const char* name;
    bool onFrame;  // the rules belong to the frame's page, else to the top page
    std::vector<simbrowser::FailureRule> rules;
    std::size_t queryService;  // the frame's document reached through its browser
};

// S_FALSE with the result handed out: the walk goes on where only a failure stops it, and
// takes the frame's browser where exactly S_OK is required of the frame's document.
const WalkCodeCase kWalkCodes[] = {
    {"frames collection", false, {{Op::kGetFrames, S_FALSE, L""}}, 0},
    {"frame count", false, {{Op::kFramesGetLength, S_FALSE, L""}}, 0},
    {"frame", false, {{Op::kFramesItem, S_FALSE, L""}}, 0},
    {"frame document", true, {{Op::kWindowGetDocument, S_FALSE, L""}}, 0},
    {"frame document after a denial", true,
     {{Op::kWindowGetDocument, E_ACCESSDENIED, L"", 0, 1},
      {Op::kWindowGetDocument, S_FALSE, L""}}, 1},
};

TEST_F(PageLifecycle, WalkTellsSFalseFromSOkOnlyWhereTheRuleSaysExactly) {
    for (const WalkCodeCase& c : kWalkCodes) {
        SCOPED_TRACE(c.name);
        simbrowser::SimBrowser& b = Open();
        Page& frame = b.Top().AddFrame(L"http://f.example.com/");
        Page& failing = c.onFrame ? frame : b.Top();
        for (const simbrowser::FailureRule& rule : c.rules) failing.Fail(rule);
        ASSERT_EQ(1u, NavigateAndWait());
        EXPECT_EQ(c.queryService, frame.CallCount(Op::kQueryService));
        EXPECT_TRUE(HasBothScripts(frame));
        Detach();
    }
}

TEST_F(PageLifecycle, LocationAnsweredWithSFalseLeavesThePageSchemeAsItWas) {
    simbrowser::SimBrowser& b = Open(L"https://secure.example.com/");
    b.Top().Fail(Op::kGetLocationUrl, S_FALSE);
    ASSERT_EQ(1u, NavigateAndWait());
    EXPECT_TRUE(HasBothScripts(b.Top(), kStaticUrl));
}

TEST_F(PageLifecycle, EventsWithoutUsableArgumentsChangeNothing) {
    simbrowser::SimBrowser& b = Open();
    const std::size_t before = StartedWorkerCount();
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    b.FireEvent(DISPID_DOCUMENTCOMPLETE, &none);
    b.FireEvent(DISPID_NAVIGATECOMPLETE2, &none);
    VARIANTARG args[2];
    args[1].vt = VT_DISPATCH;  // pDisp present, URL of the wrong type
    win::ComPtr<IWebBrowser2> top = b.Top().Browser();
    args[1].pdispVal = top.Get();
    args[0].vt = VT_I4;
    args[0].lVal = 5;
    DISPPARAMS odd = {args, nullptr, 2, 0};
    b.FireEvent(DISPID_DOCUMENTCOMPLETE, &odd);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(before, StartedWorkerCount());
}

TEST(AddonObject, AnswersItsInterfacesAndHoldsAModuleLock) {
    win::ScopedCoInit apartment(COINIT_APARTMENTTHREADED);
    const long before = pipeline::ModuleLockCount();
    win::ComPtr<IUnknown> object;
    ASSERT_EQ(S_OK, CreateBrimwellBHO(IID_IUnknown, object.PutVoid()));
    EXPECT_EQ(before + 1, pipeline::ModuleLockCount());
    for (const IID* iid : {&IID_IBrimwellBHO, &IID_IDispatch, &IID_IObjectWithSite}) {
        win::ComPtr<IUnknown> other;
        EXPECT_EQ(S_OK, object->QueryInterface(*iid, other.PutVoid()));
        EXPECT_TRUE(win::SameComObject(object.Get(), other.Get()));
    }
    win::ComPtr<IUnknown> none;
    EXPECT_EQ(E_NOINTERFACE, object->QueryInterface(DIID_DWebBrowserEvents2, none.PutVoid()));
    EXPECT_EQ(E_NOINTERFACE, object->QueryInterface(IID_IConnectionPointContainer, none.PutVoid()));

    win::ComPtr<IObjectWithSite> sited;
    ASSERT_EQ(S_OK, object.As(sited));
    void* out = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(E_FAIL, sited->GetSite(IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, sited->GetSite(IID_IUnknown, nullptr));
    void* bad = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(E_NOINTERFACE, CreateBrimwellBHO(IID_IClassFactory, &bad));
    EXPECT_EQ(nullptr, bad);

    win::ComPtr<IBrimwellBHO> refresh;
    ASSERT_EQ(S_OK, object.As(refresh));
    UINT count = 0;
    EXPECT_EQ(S_OK, refresh->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    sited.Reset();
    refresh.Reset();
    object.Reset();
    EXPECT_EQ(before, pipeline::ModuleLockCount());
}

TEST_F(PageLifecycle, EventSinkHasItsOwnIdentityAndCountsForTheObject) {
    simbrowser::SimBrowser& b = Open();
    win::ComPtr<IDispatch> sink;
    {
        const std::vector<win::ComPtr<IDispatch>> sinks = b.EventSinks();
        ASSERT_EQ(1u, sinks.size());
        sink = sinks[0];
    }
    win::ComPtr<IUnknown> sinkIdentity, objectIdentity;
    ASSERT_EQ(S_OK, sink->QueryInterface(IID_IUnknown, sinkIdentity.PutVoid()));
    ASSERT_EQ(S_OK, addon->QueryInterface(IID_IUnknown, objectIdentity.PutVoid()));
    EXPECT_NE(sinkIdentity.Get(), objectIdentity.Get());
    for (const IID* iid : {&DIID_DWebBrowserEvents2, &IID_IDispatch, &IID_IUnknown}) {
        win::ComPtr<IUnknown> same;
        EXPECT_EQ(S_OK, sink->QueryInterface(*iid, same.PutVoid()));
        EXPECT_EQ(static_cast<IUnknown*>(sink.Get()), same.Get());
    }
    win::ComPtr<IUnknown> none;
    EXPECT_EQ(E_NOINTERFACE, sink->QueryInterface(IID_IObjectWithSite, none.PutVoid()));

    win::ComPtr<IWebBrowser2> site;
    ASSERT_EQ(S_OK, addon->GetSite(IID_IWebBrowser2, site.PutVoid()));
    EXPECT_TRUE(win::SameComObject(site.Get(), b.Top().Browser().Get()));
    Detach();
    EXPECT_EQ(0u, b.EventSinkCount());
    void* out = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(E_FAIL, addon->GetSite(IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);

    // The sink's references are the object's: holding only the sink keeps the object alive.
    sinkIdentity.Reset();
    objectIdentity.Reset();
    addon.Reset();
    EXPECT_EQ(lockBefore + 1, pipeline::ModuleLockCount());
    sink.Reset();
    EXPECT_EQ(lockBefore, pipeline::ModuleLockCount());
}

TEST_F(PageLifecycle, NewSiteWhileSubscribedMovesTheSubscription) {
    simbrowser::SimBrowser& first = Open();
    simbrowser::SimBrowser second(L"http://second.example.com/");
    EXPECT_EQ(S_OK, addon->SetSite(second.Site().Get()));
    EXPECT_EQ(0u, first.EventSinkCount());
    EXPECT_EQ(1u, second.EventSinkCount());
    const std::size_t before = StartedWorkerCount();
    second.Navigate();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(before + 1, StartedWorkerCount());
    EXPECT_TRUE(HasBothScripts(second.Top()));
    Detach();
    EXPECT_EQ(0u, second.EventSinkCount());
}

TEST_F(PageLifecycle, SiteThatIsNotABrowserLeavesTheObjectIdle) {
    browser.reset(new simbrowser::SimBrowser());
    ASSERT_EQ(S_OK, CreateBrimwellBHO(IID_IObjectWithSite, addon.PutVoid()));
    win::ComPtr<IHTMLDocument2> document = browser->Top().Document();
    EXPECT_EQ(S_OK, addon->SetSite(document.Get()));
    EXPECT_EQ(0u, browser->EventSinkCount());
    win::ComPtr<IHTMLDocument2> back;
    EXPECT_EQ(S_OK, addon->GetSite(IID_IHTMLDocument2, back.PutVoid()));
}

}  // namespace
