// Simulated documents used from a worker apartment: calls travel through the registered
// proxies and run on the user-interface thread while it dispatches messages.
#include "tools/simbrowser/message_pump_win.h"
#include "tools/simbrowser/sim_browser_win.h"

#include <gtest/gtest.h>
#include <servprov.h>
#include <shlguid.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>

#include "addon/win/com_ptr.h"
#include "addon/win/scoped_bstr.h"
#include "addon/win/scoped_co_init.h"
#include "addon/win/scoped_variant.h"

namespace {

using simbrowser::Op;
using simbrowser::Page;
using simbrowser::SimBrowser;
using win::ComPtr;
using win::ScopedBstr;
using win::ScopedVariant;

IStream* MarshalDocument(Page& page) {
    IStream* stream = nullptr;
    EXPECT_EQ(S_OK, ::CoMarshalInterThreadInterfaceInStream(IID_IHTMLDocument2,
                                                            page.Document().Get(), &stream));
    return stream;
}

ComPtr<IHTMLDocument2> Unmarshal(IStream* stream) {
    ComPtr<IHTMLDocument2> doc;
    ::CoGetInterfaceAndReleaseStream(stream, IID_IHTMLDocument2, doc.PutVoid());
    return doc;
}

// What the worker saw; checked on the test's thread.
struct WorkerView {
    DWORD thread = 0;
    bool isProxy = false;
    std::wstring url, state, existingSrc, frameUrl;
    HRESULT frameDirect = S_OK, appendConfig = E_FAIL, appendLoader = E_FAIL;
};

// The injection the add-on performs, plus the frame walk, from the worker's side.
void UseDocument(IHTMLDocument2* doc, WorkerView& view) {
    view.thread = ::GetCurrentThreadId();
    ScopedBstr url, state;
    doc->get_URL(url.Put());
    doc->get_readyState(state.Put());
    view.url = url.Str();
    view.state = state.Str();

    ComPtr<IHTMLElementCollection> scripts;
    LONG count = 0;
    if (doc->get_scripts(scripts.Put()) == S_OK && scripts->get_length(&count) == S_OK && count) {
        ScopedVariant index(0L), empty;
        ComPtr<IDispatch> item;
        ComPtr<IHTMLScriptElement> script;
        ScopedBstr src;
        if (scripts->item(index.AsInput(), empty.AsInput(), item.Put()) == S_OK &&
            item->QueryInterface(IID_IHTMLScriptElement, script.PutVoid()) == S_OK &&
            script->get_src(src.Put()) == S_OK)
            view.existingSrc = src.Str();
    }

    ComPtr<IHTMLElement> body, loader, config;
    ScopedBstr scriptTag(L"script"), upperTag(L"SCRIPT"), srcName(L"src");
    ScopedVariant srcValue(L"http://r.test/s.js");
    doc->get_body(body.Put());
    doc->createElement(scriptTag.Get(), loader.Put());
    doc->createElement(upperTag.Get(), config.Put());
    if (!body || !loader || !config) return;
    loader->setAttribute(srcName.Get(), srcValue.AsInput(), 0);
    ComPtr<IHTMLScriptElement> configScript;
    if (config->QueryInterface(IID_IHTMLScriptElement, configScript.PutVoid()) == S_OK) {
        ScopedBstr text(L"var c = 1;"), type(L"text/javascript");
        configScript->put_text(text.Get());
        configScript->put_type(type.Get());
    }
    ComPtr<IHTMLDOMNode> bodyNode, loaderNode, configNode, added;
    body->QueryInterface(IID_IHTMLDOMNode, bodyNode.PutVoid());
    loader->QueryInterface(IID_IHTMLDOMNode, loaderNode.PutVoid());
    config->QueryInterface(IID_IHTMLDOMNode, configNode.PutVoid());
    if (!bodyNode || !loaderNode || !configNode) return;
    view.appendConfig = bodyNode->appendChild(configNode.Get(), added.Put());
    view.appendLoader = bodyNode->appendChild(loaderNode.Get(), added.Put());

    ComPtr<IHTMLFramesCollection2> frames;
    ScopedVariant first(0L), frame;
    ComPtr<IHTMLWindow2> window;
    if (doc->get_frames(frames.Put()) != S_OK ||
        frames->item(const_cast<VARIANT*>(&first.AsInput()), frame.Put()) != S_OK ||
        frame.Type() != VT_DISPATCH ||
        frame.Get()->pdispVal->QueryInterface(IID_IHTMLWindow2, window.PutVoid()) != S_OK)
        return;
    ComPtr<IHTMLDocument2> frameDoc;
    view.frameDirect = window->get_document(frameDoc.Put());
    ComPtr<IServiceProvider> services;
    ComPtr<IWebBrowser2> browser;
    ComPtr<IDispatch> viaBrowser;
    if (window->QueryInterface(IID_IServiceProvider, services.PutVoid()) == S_OK &&
        services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.PutVoid()) == S_OK &&
        browser->get_Document(viaBrowser.Put()) == S_OK &&
        viaBrowser->QueryInterface(IID_IHTMLDocument2, frameDoc.PutVoid()) == S_OK) {
        ScopedBstr frameUrl;
        frameDoc->get_URL(frameUrl.Put());
        view.frameUrl = frameUrl.Str();
    }
}

// Takes the document out of the stream in a new worker apartment and uses it there while
// this thread pumps; true when the worker ended in time.
bool UseDocumentFromWorker(Page& page, IStream* stream, WorkerView& view) {
    return simbrowser::RunInWorkerApartment(
        [&] {
            ComPtr<IHTMLDocument2> doc = Unmarshal(stream);
            if (!doc) return;
            view.isProxy = doc.Get() != page.Document().Get();
            UseDocument(doc.Get(), view);
        },
        60000);
}

class MarshallingTest : public ::testing::Test {
protected:
    MarshallingTest() {
        page.SetComplete();
        page.AddScript(L"http://cdn.test/a.js");
        page.AddFrame(L"http://other.test/frame").SetCrossDomain(true);
    }

    win::ScopedCoInit apartment{COINIT_APARTMENTTHREADED};
    SimBrowser sim{L"http://a.test/page"};
    Page& page = sim.Top();
};

TEST_F(MarshallingTest, WorkerCallsRunOnTheUserInterfaceThread) {
    ASSERT_EQ(S_OK, apartment.Result());
    IStream* stream = MarshalDocument(page);
    ASSERT_NE(nullptr, stream);
    WorkerView view;
    ASSERT_TRUE(UseDocumentFromWorker(page, stream, view));

    EXPECT_NE(sim.UiThreadId(), view.thread);
    EXPECT_TRUE(view.isProxy);
    EXPECT_EQ(L"http://a.test/page", view.url);
    EXPECT_EQ(L"complete", view.state);
    EXPECT_EQ(L"http://cdn.test/a.js", view.existingSrc);
    EXPECT_EQ(E_ACCESSDENIED, view.frameDirect);
    EXPECT_EQ(L"http://other.test/frame", view.frameUrl);
    EXPECT_EQ(S_OK, view.appendConfig);
    EXPECT_EQ(S_OK, view.appendLoader);

    std::vector<simbrowser::ElementSnapshot> children = page.BodyChildren();
    ASSERT_EQ(2u, children.size());
    EXPECT_EQ(L"var c = 1;", children[0].text);
    EXPECT_EQ(L"text/javascript", children[0].Attribute(L"type"));
    EXPECT_EQ(L"http://r.test/s.js", children[1].Attribute(L"src"));

    std::set<Op> reached;
    for (const simbrowser::Call& call : sim.Calls()) {
        EXPECT_EQ(sim.UiThreadId(), call.threadId) << simbrowser::OpName(call.op);
        reached.insert(call.op);
    }
    for (Op op :
         {Op::kGetUrl, Op::kGetScripts, Op::kCollectionItem, Op::kGetSrc, Op::kGetBody,
          Op::kCreateElement, Op::kSetAttribute, Op::kPutText, Op::kPutType, Op::kAppendChild,
          Op::kFramesItem, Op::kWindowGetDocument, Op::kQueryService, Op::kGetDocument})
        EXPECT_TRUE(reached.count(op)) << simbrowser::OpName(op);
}

TEST_F(MarshallingTest, InjectedFailuresCrossTheApartmentBoundary) {
    page.Fail(Op::kGetBody, E_ACCESSDENIED);
    page.Fail(Op::kQueryScriptElement, E_NOINTERFACE);
    IStream* stream = MarshalDocument(page);
    HRESULT body = S_OK, script = S_OK;
    ASSERT_TRUE(simbrowser::RunInWorkerApartment(
        [&] {
            ComPtr<IHTMLDocument2> doc = Unmarshal(stream);
            if (!doc) return;
            ComPtr<IHTMLElement> element;
            body = doc->get_body(element.Put());
            ScopedBstr tag(L"SCRIPT");
            if (doc->createElement(tag.Get(), element.Put()) != S_OK) return;
            ComPtr<IHTMLScriptElement> asScript;
            script = element->QueryInterface(IID_IHTMLScriptElement, asScript.PutVoid());
        },
        60000));
    EXPECT_EQ(E_ACCESSDENIED, body);
    EXPECT_EQ(E_NOINTERFACE, script);
}

TEST_F(MarshallingTest, WorkerCallWaitsUntilTheUserInterfaceThreadDispatches) {
    IStream* stream = MarshalDocument(page);
    std::atomic<bool> returned(false);
    std::thread worker([&] {
        {
            win::ScopedCoInit workerApartment(COINIT_APARTMENTTHREADED);
            ComPtr<IHTMLDocument2> doc = Unmarshal(stream);
            ScopedBstr url;
            if (doc) doc->get_URL(url.Put());
        }  // releasing the proxy calls the object's apartment too
        returned = true;
    });
    ::Sleep(300);  // not dispatching: the call cannot have run yet
    EXPECT_FALSE(returned.load());
    EXPECT_EQ(0u, page.CallCount(Op::kGetUrl));
    EXPECT_TRUE(simbrowser::PumpUntil([&] { return returned.load(); }, 60000));
    worker.join();
    EXPECT_EQ(1u, page.CallCount(Op::kGetUrl));
}

}  // namespace

namespace {

TEST(FreeThreadedSimBrowser, WorkerGetsTheObjectsThemselvesAndCallsRunOnItsThread) {
    win::ScopedCoInit apartment(COINIT_APARTMENTTHREADED);
    SimBrowser sim(L"http://a.test/page", simbrowser::Threading::kFreeThreaded);
    Page& page = sim.Top();
    page.SetComplete();
    page.AddFrame(L"http://other.test/frame").SetCrossDomain(true);
    IStream* stream = MarshalDocument(page);
    WorkerView view;
    ASSERT_TRUE(UseDocumentFromWorker(page, stream, view));
    EXPECT_FALSE(view.isProxy);
    EXPECT_EQ(L"http://other.test/frame", view.frameUrl);
    EXPECT_EQ(2u, page.BodyChildren().size());
    ASSERT_FALSE(sim.Calls().empty());
    for (const simbrowser::Call& call : sim.Calls()) EXPECT_EQ(view.thread, call.threadId);
}

}  // namespace
