// The simulated browser on its own thread: event order, frames, DOM, failure injection.
#include "tools/simbrowser/sim_browser_win.h"

#include <gtest/gtest.h>
#include <exdispid.h>
#include <mshtmdid.h>
#include <ocidl.h>
#include <servprov.h>
#include <shlguid.h>

#include <string>
#include <vector>

#include "addon/win/com_ptr.h"
#include "addon/win/scoped_bstr.h"
#include "addon/win/scoped_co_init.h"
#include "addon/win/scoped_variant.h"
#include "tests/simbrowser/event_recorder_win.h"

namespace {

using simbrowser::Op;
using simbrowser::Page;
using simbrowser::SimBrowser;
using simbrowser_test::EventRecorder;
using win::ComPtr;
using win::ScopedBstr;
using win::ScopedVariant;
typedef std::vector<std::wstring> Strings;

DWORD Advise(IUnknown* source, REFIID events, IUnknown* sink) {
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    EXPECT_EQ(S_OK, source->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()));
    EXPECT_EQ(S_OK, container->FindConnectionPoint(events, point.Put()));
    EXPECT_EQ(S_OK, point->Advise(sink, &cookie));
    return cookie;
}

const Page* PageOf(IDispatch* disp, const std::vector<const Page*>& pages) {
    for (const Page* page : pages)
        if (win::SameComObject(disp, page->Browser().Get())) return page;
    return nullptr;
}

class SimBrowserTest : public ::testing::Test {
protected:
    SimBrowserTest()
        : top(sim.Top()),
          f0(top.AddFrame(L"http://a.test/f0")),
          f00(f0.AddFrame(L"http://a.test/f00")),
          f1(top.AddFrame(L"http://b.test/f1")),
          recorder(new EventRecorder()),
          holdRecorder(recorder) {
        Advise(sim.Site().Get(), DIID_DWebBrowserEvents2, recorder);
    }

    // "BN2 f0" style lines of what the recorder got, naming pages by pDisp.
    Strings Transcript() const {
        const std::vector<const Page*> pages = {&top, &f0, &f00, &f1};
        const Strings names = {L"top", L"f0", L"f00", L"f1"};
        Strings lines;
        for (const auto& event : recorder->events) {
            std::wstring kind = event.dispid == DISPID_BEFORENAVIGATE2     ? L"BN2"
                                : event.dispid == DISPID_NAVIGATECOMPLETE2 ? L"NC2"
                                : event.dispid == DISPID_DOCUMENTCOMPLETE  ? L"DC"
                                : event.dispid == DISPID_DOWNLOADBEGIN     ? L"DB"
                                                                           : L"?";
            const Page* page = PageOf(event.disp, pages);
            std::wstring who;
            for (std::size_t i = 0; i < pages.size(); ++i)
                if (pages[i] == page) who = L" " + names[i];
            lines.push_back(kind + who);
        }
        return lines;
    }

    win::ScopedCoInit apartment;
    SimBrowser sim{L"http://a.test/top"};
    Page& top;
    Page& f0;
    Page& f00;
    Page& f1;
    EventRecorder* recorder;
    ComPtr<IDispatch> holdRecorder;
};

TEST_F(SimBrowserTest, NavigationFiresFramesBetweenTopEventsAndCompletesInnermostFirst) {
    sim.Navigate();
    EXPECT_EQ((Strings{L"BN2 top", L"DB", L"NC2 top", L"BN2 f0", L"DB", L"NC2 f0", L"BN2 f00",
                       L"DB", L"NC2 f00", L"BN2 f1", L"DB", L"NC2 f1", L"DC f00", L"DC f0",
                       L"DC f1", L"DC top"}),
              Transcript());
}

TEST_F(SimBrowserTest, EventArgumentsHaveTheBrowsersLayout) {
    sim.Navigate();
    for (const auto& event : recorder->events) {
        SCOPED_TRACE(event.dispid);
        if (event.dispid == DISPID_BEFORENAVIGATE2) {
            const std::vector<VARTYPE> kLayout = {VT_DISPATCH,           VT_VARIANT | VT_BYREF,
                                                  VT_VARIANT | VT_BYREF, VT_VARIANT | VT_BYREF,
                                                  VT_VARIANT | VT_BYREF, VT_VARIANT | VT_BYREF,
                                                  VT_BOOL | VT_BYREF};
            EXPECT_EQ(kLayout, event.types);
        } else if (event.dispid == DISPID_DOWNLOADBEGIN) {
            EXPECT_TRUE(event.types.empty());
        } else {
            EXPECT_EQ((std::vector<VARTYPE>{VT_DISPATCH, VT_VARIANT | VT_BYREF}), event.types);
        }
    }
    EXPECT_EQ(L"http://a.test/top", recorder->events.front().url);
    EXPECT_EQ(L"http://a.test/top", recorder->events.back().url);
}

TEST_F(SimBrowserTest, DocumentsTurnCompleteOnlyAtTheirOwnDocumentComplete) {
    Strings seen;
    recorder->onEvent = [&](const simbrowser_test::Received& event, DISPPARAMS*) {
        if (event.dispid != DISPID_DOCUMENTCOMPLETE) return;
        ScopedBstr topState, ownState;
        top.Document()->get_readyState(topState.Put());
        ComPtr<IDispatch> doc;
        ComPtr<IWebBrowser2> browser;
        event.disp->QueryInterface(IID_IWebBrowser2, browser.PutVoid());
        browser->get_Document(doc.Put());
        ComPtr<IHTMLDocument2> html;
        doc->QueryInterface(IID_IHTMLDocument2, html.PutVoid());
        html->get_readyState(ownState.Put());
        seen.push_back(ownState.Str() + L"/" + topState.Str());
    };
    sim.Navigate();
    EXPECT_EQ((Strings{L"complete/loading", L"complete/loading", L"complete/loading",
                       L"complete/complete"}),
              seen);

    simbrowser::NavigateOptions stayLoading;
    stayLoading.completeDocuments = false;
    sim.Navigate(stayLoading);
    EXPECT_EQ(L"loading", top.ReadyState());
    top.SetComplete();
    ScopedBstr state;
    ASSERT_EQ(S_OK, top.Document()->get_readyState(state.Put()));
    EXPECT_TRUE(state.Equals(L"complete"));
}

TEST_F(SimBrowserTest, CancelledFrameNavigationSkipsThatFrameAndItsFrames) {
    recorder->onEvent = [&](const simbrowser_test::Received& event, DISPPARAMS* params) {
        if (event.dispid == DISPID_BEFORENAVIGATE2 && event.url == L"http://a.test/f0")
            *params->rgvarg[0].pboolVal = VARIANT_TRUE;
    };
    simbrowser::NavigateOptions options;
    options.downloadBegin = false;
    sim.Navigate(options);
    EXPECT_EQ(
        (Strings{L"BN2 top", L"NC2 top", L"BN2 f0", L"BN2 f1", L"NC2 f1", L"DC f1", L"DC top"}),
        Transcript());
}

TEST_F(SimBrowserTest, FrameNavigatedLaterFiresOnlyItsOwnEvents) {
    sim.Navigate();
    recorder->events.clear();
    sim.NavigateFrame(f1, L"http://b.test/later");
    EXPECT_EQ((Strings{L"BN2 f1", L"DB", L"NC2 f1", L"DC f1"}), Transcript());
    EXPECT_EQ(L"http://b.test/later", recorder->events.back().url);
}

TEST_F(SimBrowserTest, FramesAreWalkableWindowsWithTheirOwnDocuments) {
    ComPtr<IHTMLFramesCollection2> frames;
    ASSERT_EQ(S_OK, top.Document()->get_frames(frames.Put()));
    LONG length = 0;
    ASSERT_EQ(S_OK, frames->get_length(&length));
    ASSERT_EQ(2, length);
    for (LONG i = 0; i < length; ++i) {
        ScopedVariant index(i), frame;
        ASSERT_EQ(S_OK, frames->item(const_cast<VARIANT*>(&index.AsInput()), frame.Put()));
        ASSERT_EQ(VT_DISPATCH, frame.Type());
        ComPtr<IHTMLWindow2> window;
        ASSERT_EQ(S_OK, frame.Get()->pdispVal->QueryInterface(IID_IHTMLWindow2, window.PutVoid()));
        ComPtr<IHTMLDocument2> doc;
        ASSERT_EQ(S_OK, window->get_document(doc.Put()));
        EXPECT_TRUE(win::SameComObject(doc.Get(), top.Frame(i).Document().Get()));
    }
    ScopedVariant beyond(2L), none;
    EXPECT_EQ(E_INVALIDARG, frames->item(const_cast<VARIANT*>(&beyond.AsInput()), none.Put()));
}

TEST_F(SimBrowserTest, CrossDomainFrameIsReachedThroughItsBrowserOnly) {
    f1.SetCrossDomain(true);
    ComPtr<IHTMLDocument2> doc;
    EXPECT_EQ(E_ACCESSDENIED, f1.Window()->get_document(doc.Put()));
    EXPECT_FALSE(doc);

    ComPtr<IServiceProvider> services;
    ASSERT_EQ(S_OK, f1.Window()->QueryInterface(IID_IServiceProvider, services.PutVoid()));
    ComPtr<IWebBrowser2> browser;
    ASSERT_EQ(S_OK,
              services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.PutVoid()));
    EXPECT_TRUE(win::SameComObject(browser.Get(), f1.Browser().Get()));
    EXPECT_FALSE(win::SameComObject(browser.Get(), top.Browser().Get()));
    ComPtr<IDispatch> viaBrowser;
    ASSERT_EQ(S_OK, browser->get_Document(viaBrowser.Put()));
    EXPECT_TRUE(win::SameComObject(viaBrowser.Get(), f1.Document().Get()));
    ComPtr<IUnknown> other;
    EXPECT_EQ(E_NOINTERFACE,
              services->QueryService(IID_IHTMLDocument2, IID_IUnknown, other.PutVoid()));
}

TEST_F(SimBrowserTest, WindowOnloadReachesItsSinksAndReleasingDropsThem) {
    bool released = false;
    EventRecorder* onload = new EventRecorder(&released);
    Advise(f0.Window().Get(), simbrowser::kHtmlWindowEvents2, onload);  // ours is the only ref
    ASSERT_EQ(1u, f0.WindowSinkCount());
    sim.FireWindowLoad(f0);
    ASSERT_EQ(1u, onload->events.size());
    EXPECT_EQ(DISPID_HTMLWINDOWEVENTS2_ONLOAD, onload->events[0].dispid);
    EXPECT_TRUE(recorder->events.empty());  // not a browser event

    sim.ReleaseWindowConnections(f0);
    EXPECT_TRUE(released);
    EXPECT_EQ(0u, f0.WindowSinkCount());
}

TEST_F(SimBrowserTest, UnadviseStopsEventsAndUnknownCookiesAreRefused) {
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(S_OK, sim.Site()->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()));
    ASSERT_EQ(S_OK, container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Put()));
    ComPtr<IConnectionPoint> wrong;
    EXPECT_EQ(CONNECT_E_NOCONNECTION,
              container->FindConnectionPoint(simbrowser::kHtmlWindowEvents2, wrong.Put()));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(77));
    ASSERT_EQ(1u, sim.EventSinkCount());
    EXPECT_EQ(S_OK, point->Unadvise(1));
    EXPECT_EQ(0u, sim.EventSinkCount());
    sim.FireDownloadBegin();
    EXPECT_TRUE(recorder->events.empty());
}

TEST_F(SimBrowserTest, ObjectsOfAGonePageAnswerDisconnected) {
    ComPtr<IHTMLDocument2> doc;
    ComPtr<IWebBrowser2> browser;
    {
        SimBrowser shortLived(L"http://gone.test/");
        doc = shortLived.Top().Document();
        browser = shortLived.Top().Browser();
    }
    ScopedBstr url;
    EXPECT_EQ(RPC_E_DISCONNECTED, doc->get_URL(url.Put()));
    ComPtr<IDispatch> none;
    EXPECT_EQ(RPC_E_DISCONNECTED, browser->get_Document(none.Put()));
}

#ifdef _WIN64
TEST_F(SimBrowserTest, UnlistedMethodsAnswerNotImplemented) {
    ScopedBstr title;
    EXPECT_EQ(E_NOTIMPL, top.Document()->get_title(title.Put()));
    UINT count = 7;
    EXPECT_EQ(E_NOTIMPL, top.Document()->GetTypeInfoCount(&count));
    EXPECT_EQ(E_NOTIMPL, top.Browser()->GoBack());
    EXPECT_EQ(E_NOTIMPL, top.Window()->alert(nullptr));
}
#else
// x86: an unlisted method cannot return (it would leave the caller's stack out of place), so
// it ends the process and names its vtable slot.
TEST_F(SimBrowserTest, UnlistedMethodsEndTheProcessNamingTheirSlot) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(top.Browser()->GoBack(), ::testing::ExitedWithCode(static_cast<int>(0xE0B0B001)),
                "unbound vtable slot 7 called");
}
#endif

}  // namespace
