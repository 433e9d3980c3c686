// The simulated document's DOM and its failure injection, called on the owning thread.
#include "tools/simbrowser/sim_browser_win.h"

#include <gtest/gtest.h>
#include <ocidl.h>
#include <servprov.h>
#include <shlguid.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "addon/win/com_ptr.h"
#include "addon/win/scoped_bstr.h"
#include "addon/win/scoped_co_init.h"
#include "addon/win/scoped_variant.h"
#include "tests/simbrowser/event_recorder_win.h"

namespace {

using simbrowser::ElementSnapshot;
using simbrowser::FailureRule;
using simbrowser::Op;
using simbrowser::Page;
using simbrowser::SimBrowser;
using win::ComPtr;
using win::ScopedBstr;
using win::ScopedVariant;

ComPtr<IHTMLElement> Create(IHTMLDocument2* doc, const wchar_t* tag) {
    ComPtr<IHTMLElement> element;
    ScopedBstr name(tag);
    EXPECT_EQ(S_OK, doc->createElement(name.Get(), element.Put()));
    return element;
}

HRESULT Append(IHTMLElement* parent, IHTMLElement* child) {
    ComPtr<IHTMLDOMNode> parentNode, childNode, result;
    HRESULT hr = parent->QueryInterface(IID_IHTMLDOMNode, parentNode.PutVoid());
    if (hr != S_OK) return hr;
    hr = child->QueryInterface(IID_IHTMLDOMNode, childNode.PutVoid());
    if (hr != S_OK) return hr;
    return parentNode->appendChild(childNode.Get(), result.Put());
}

ComPtr<IHTMLElement> Body(Page& page) {
    ComPtr<IHTMLElement> body;
    EXPECT_EQ(S_OK, page.Document()->get_body(body.Put()));
    return body;
}

std::vector<std::wstring> ScriptSources(IHTMLDocument2* doc) {
    std::vector<std::wstring> sources;
    ComPtr<IHTMLElementCollection> scripts;
    EXPECT_EQ(S_OK, doc->get_scripts(scripts.Put()));
    LONG length = 0;
    EXPECT_EQ(S_OK, scripts->get_length(&length));
    for (LONG i = 0; i < length; ++i) {
        ScopedVariant index(i), empty;
        ComPtr<IDispatch> item;
        EXPECT_EQ(S_OK, scripts->item(index.AsInput(), empty.AsInput(), item.Put()));
        ComPtr<IHTMLScriptElement> script;
        EXPECT_EQ(S_OK, item->QueryInterface(IID_IHTMLScriptElement, script.PutVoid()));
        ScopedBstr src;
        EXPECT_EQ(S_OK, script->get_src(src.Put()));
        sources.push_back(src.Str());
    }
    return sources;
}

class DomTest : public ::testing::Test {
protected:
    win::ScopedCoInit apartment;
    SimBrowser sim{L"http://a.test/"};
    Page& page = sim.Top();
    ComPtr<IHTMLDocument2> doc = page.Document();
};

TEST_F(DomTest, AppendedElementsShowInOrderWithAttributesTextAndType) {
    ComPtr<IHTMLElement> config = Create(doc.Get(), L"SCRIPT");
    ComPtr<IHTMLScriptElement> script;
    ASSERT_EQ(S_OK, config->QueryInterface(IID_IHTMLScriptElement, script.PutVoid()));
    ScopedBstr text(L"var x = 1;"), type(L"text/javascript");
    ASSERT_EQ(S_OK, script->put_text(text.Get()));
    ASSERT_EQ(S_OK, script->put_type(type.Get()));
    ComPtr<IHTMLElement> loader = Create(doc.Get(), L"script");
    ScopedBstr src(L"src"), typeName(L"type");
    ScopedVariant url(L"http://r.test/s.js"), js(L"text/javascript");
    ASSERT_EQ(S_OK, loader->setAttribute(src.Get(), url.AsInput(), 0));
    ASSERT_EQ(S_OK, loader->setAttribute(typeName.Get(), js.AsInput(), 0));

    ASSERT_EQ(S_OK, Append(Body(page).Get(), config.Get()));
    ASSERT_EQ(S_OK, Append(Body(page).Get(), loader.Get()));

    std::vector<ElementSnapshot> children = page.BodyChildren();
    ASSERT_EQ(2u, children.size());
    EXPECT_EQ(L"SCRIPT", children[0].tag);
    EXPECT_EQ(L"var x = 1;", children[0].text);
    EXPECT_EQ(L"text/javascript", children[0].Attribute(L"type"));
    EXPECT_FALSE(children[0].HasAttribute(L"src"));
    EXPECT_EQ(L"script", children[1].tag);
    EXPECT_EQ(L"http://r.test/s.js", children[1].Attribute(L"SRC"));
    EXPECT_TRUE(children[1].text.empty());
}

TEST_F(DomTest, ScriptCollectionHoldsPageScriptsThenAppendedOnes) {
    page.AddScript(L"http://cdn.test/a.js");
    EXPECT_EQ((std::vector<std::wstring>{L"http://cdn.test/a.js"}), ScriptSources(doc.Get()));
    ComPtr<IHTMLElement> loader = Create(doc.Get(), L"script");
    ScopedBstr src(L"src");
    ScopedVariant url(L"http://r.test/s.js");
    ASSERT_EQ(S_OK, loader->setAttribute(src.Get(), url.AsInput(), 0));
    EXPECT_EQ(1u, ScriptSources(doc.Get()).size());  // not in the page until appended
    ASSERT_EQ(S_OK, Append(Body(page).Get(), loader.Get()));
    EXPECT_EQ((std::vector<std::wstring>{L"http://cdn.test/a.js", L"http://r.test/s.js"}),
              ScriptSources(doc.Get()));

    ComPtr<IHTMLElementCollection> scripts;
    ASSERT_EQ(S_OK, doc->get_scripts(scripts.Put()));
    ScopedVariant beyond(5L), empty;
    ComPtr<IDispatch> none;
    EXPECT_EQ(S_OK, scripts->item(beyond.AsInput(), empty.AsInput(), none.Put()));
    EXPECT_FALSE(none);
}

TEST_F(DomTest, AppendingMovesANodeAndRefusesCycles) {
    ComPtr<IHTMLElement> div = Create(doc.Get(), L"DIV");
    ComPtr<IHTMLElement> span = Create(doc.Get(), L"SPAN");
    ASSERT_EQ(S_OK, Append(Body(page).Get(), span.Get()));
    ASSERT_EQ(S_OK, Append(Body(page).Get(), div.Get()));
    ASSERT_EQ(S_OK, Append(div.Get(), span.Get()));
    EXPECT_EQ(E_INVALIDARG, Append(span.Get(), div.Get()));
    std::vector<ElementSnapshot> children = page.BodyChildren();
    ASSERT_EQ(1u, children.size());
    EXPECT_EQ(L"DIV", children[0].tag);
    ASSERT_EQ(1u, children[0].children.size());
    EXPECT_EQ(L"SPAN", children[0].children[0].tag);
}

ULONG References(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

TEST_F(DomTest, AppendChildHandsBackTheChildWithItsOwnReference) {
    ComPtr<IHTMLElement> body = Body(page), child = Create(doc.Get(), L"DIV");
    ComPtr<IHTMLDOMNode> bodyNode, childNode, returned;
    ASSERT_EQ(S_OK, body->QueryInterface(IID_IHTMLDOMNode, bodyNode.PutVoid()));
    ASSERT_EQ(S_OK, child->QueryInterface(IID_IHTMLDOMNode, childNode.PutVoid()));
    ULONG bodyBefore = References(body.Get()), childBefore = References(child.Get());
    ASSERT_EQ(S_OK, bodyNode->appendChild(childNode.Get(), returned.Put()));
    EXPECT_TRUE(win::SameComObject(returned.Get(), child.Get()));
    returned.Reset();
    EXPECT_EQ(bodyBefore, References(body.Get()));
    EXPECT_EQ(childBefore + 1, References(child.Get()));  // the body holds it now
}

TEST_F(DomTest, OnlyScriptElementsOfferTheScriptInterface) {
    ComPtr<IHTMLScriptElement> script;
    EXPECT_EQ(E_NOINTERFACE,
              Create(doc.Get(), L"DIV")->QueryInterface(IID_IHTMLScriptElement, script.PutVoid()));
    EXPECT_EQ(
        S_OK,
        Create(doc.Get(), L"Script")->QueryInterface(IID_IHTMLScriptElement, script.PutVoid()));
}

TEST_F(DomTest, PageWithoutBodyGivesNoneWithSuccess) {
    page.RemoveBody();
    ComPtr<IHTMLElement> body;
    EXPECT_EQ(S_OK, doc->get_body(body.Put()));
    EXPECT_FALSE(body);
    EXPECT_TRUE(page.BodyChildren().empty());
}

// One row per operation: the call as a client makes it, answering its HRESULT.
struct InjectionCase {
    Op op;
    std::function<HRESULT(Page&)> call;
};

HRESULT CallWithNewScript(Page& page, const std::function<HRESULT(IHTMLScriptElement*)>& use) {
    ComPtr<IHTMLElement> element = Create(page.Document().Get(), L"SCRIPT");
    ComPtr<IHTMLScriptElement> script;
    element->QueryInterface(IID_IHTMLScriptElement, script.PutVoid());
    return use(script.Get());
}

ComPtr<IConnectionPoint> BrowserEvents(Page& page) {
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    page.Browser()->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
    container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Put());
    return point;
}

HRESULT AdviseRecorder(Page& page, DWORD* cookie) {
    ComPtr<IDispatch> sink(new simbrowser_test::EventRecorder());
    ComPtr<IConnectionPoint> point = BrowserEvents(page);
    return point ? point->Advise(sink.Get(), cookie) : E_FAIL;
}

const InjectionCase kInjections[] = {
    {Op::kFindConnectionPoint,
     [](Page& p) {
         ComPtr<IConnectionPointContainer> c;
         p.Browser()->QueryInterface(IID_IConnectionPointContainer, c.PutVoid());
         ComPtr<IConnectionPoint> point;
         return c->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Put());
     }},
    {Op::kAdvise,
     [](Page& p) {
         DWORD cookie = 0;
         return AdviseRecorder(p, &cookie);
     }},
    {Op::kUnadvise,
     [](Page& p) {
         DWORD cookie = 0;
         AdviseRecorder(p, &cookie);
         return BrowserEvents(p)->Unadvise(cookie);
     }},
    {Op::kQueryService,
     [](Page& p) {
         ComPtr<IServiceProvider> services;
         p.Window()->QueryInterface(IID_IServiceProvider, services.PutVoid());
         ComPtr<IWebBrowser2> browser;
         return services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.PutVoid());
     }},
    {Op::kCollectionGetLength,
     [](Page& p) {
         ComPtr<IHTMLElementCollection> c;
         p.Document()->get_scripts(c.Put());
         LONG n = 0;
         return c->get_length(&n);
     }},
    {Op::kGetDocument,
     [](Page& p) {
         ComPtr<IDispatch> d;
         return p.Browser()->get_Document(d.Put());
     }},
    {Op::kGetLocationUrl,
     [](Page& p) {
         ScopedBstr u;
         return p.Browser()->get_LocationURL(u.Put());
     }},
    {Op::kGetReadyState,
     [](Page& p) {
         ScopedBstr s;
         return p.Document()->get_readyState(s.Put());
     }},
    {Op::kGetParentWindow,
     [](Page& p) {
         ComPtr<IHTMLWindow2> w;
         return p.Document()->get_parentWindow(w.Put());
     }},
    {Op::kGetFrames,
     [](Page& p) {
         ComPtr<IHTMLFramesCollection2> f;
         return p.Document()->get_frames(f.Put());
     }},
    {Op::kGetUrl,
     [](Page& p) {
         ScopedBstr u;
         return p.Document()->get_URL(u.Put());
     }},
    {Op::kGetScripts,
     [](Page& p) {
         ComPtr<IHTMLElementCollection> c;
         return p.Document()->get_scripts(c.Put());
     }},
    {Op::kGetBody,
     [](Page& p) {
         ComPtr<IHTMLElement> b;
         return p.Document()->get_body(b.Put());
     }},
    {Op::kCreateElement,
     [](Page& p) {
         ScopedBstr tag(L"script");
         ComPtr<IHTMLElement> e;
         return p.Document()->createElement(tag.Get(), e.Put());
     }},
    {Op::kWindowGetDocument,
     [](Page& p) {
         ComPtr<IHTMLDocument2> d;
         return p.Window()->get_document(d.Put());
     }},
    {Op::kFramesGetLength,
     [](Page& p) {
         ComPtr<IHTMLFramesCollection2> f;
         p.Document()->get_frames(f.Put());
         LONG n = 0;
         return f->get_length(&n);
     }},
    {Op::kFramesItem,
     [](Page& p) {
         ComPtr<IHTMLFramesCollection2> f;
         p.Document()->get_frames(f.Put());
         ScopedVariant index(0L), frame;
         return f->item(const_cast<VARIANT*>(&index.AsInput()), frame.Put());
     }},
    {Op::kCollectionItem,
     [](Page& p) {
         ComPtr<IHTMLElementCollection> c;
         p.Document()->get_scripts(c.Put());
         ScopedVariant index(0L), empty;
         ComPtr<IDispatch> item;
         return c->item(index.AsInput(), empty.AsInput(), item.Put());
     }},
    {Op::kSetAttribute,
     [](Page& p) {
         ScopedBstr name(L"src");
         ScopedVariant value(L"x");
         return Create(p.Document().Get(), L"script")->setAttribute(name.Get(), value.AsInput(), 0);
     }},
    {Op::kPutText,
     [](Page& p) {
         return CallWithNewScript(p, [](IHTMLScriptElement* s) {
             ScopedBstr t(L"t");
             return s->put_text(t.Get());
         });
     }},
    {Op::kPutType,
     [](Page& p) {
         return CallWithNewScript(p, [](IHTMLScriptElement* s) {
             ScopedBstr t(L"t");
             return s->put_type(t.Get());
         });
     }},
    {Op::kGetSrc,
     [](Page& p) {
         return CallWithNewScript(p, [](IHTMLScriptElement* s) {
             ScopedBstr src;
             return s->get_src(src.Put());
         });
     }},
    {Op::kQueryScriptElement,
     [](Page& p) {
         ComPtr<IHTMLScriptElement> s;
         return Create(p.Document().Get(), L"SCRIPT")
             ->QueryInterface(IID_IHTMLScriptElement, s.PutVoid());
     }},
    {Op::kQueryDomNode,
     [](Page& p) {
         ComPtr<IHTMLDOMNode> n;
         return Create(p.Document().Get(), L"SCRIPT")
             ->QueryInterface(IID_IHTMLDOMNode, n.PutVoid());
     }},
    {Op::kAppendChild,
     [](Page& p) { return Append(Body(p).Get(), Create(p.Document().Get(), L"SCRIPT").Get()); }},
};

TEST_F(DomTest, EveryOperationAnswersItsInjectedFailureAndOnlyOnItsPage) {
    std::set<Op> covered;
    for (const InjectionCase& c : kInjections) covered.insert(c.op);
    EXPECT_EQ(static_cast<std::size_t>(Op::kCount), covered.size());
    for (const InjectionCase& c : kInjections) {
        SCOPED_TRACE(simbrowser::OpName(c.op));
        SimBrowser fresh(L"http://a.test/");
        Page& top = fresh.Top();
        top.AddFrame(L"http://a.test/frame");
        top.AddScript(L"http://cdn.test/a.js");
        Page& frame = top.Frame(0);
        EXPECT_EQ(S_OK, c.call(top));
        top.Fail(c.op, E_ACCESSDENIED);
        EXPECT_EQ(E_ACCESSDENIED, c.call(top));
        frame.AddScript(L"http://cdn.test/b.js");
        frame.AddFrame(L"http://a.test/inner");
        EXPECT_EQ(S_OK, c.call(frame));  // another page is not affected
        EXPECT_GE(top.CallCount(c.op), 2u);
        top.ClearFailures();
        EXPECT_EQ(S_OK, c.call(top));
    }
}

TEST_F(DomTest, RuleCanSkipCallsLimitFailuresAndPickATag) {
    FailureRule second{Op::kCreateElement, E_OUTOFMEMORY, L"", 1, 1};
    page.Fail(second);
    ScopedBstr tag(L"script");
    ComPtr<IHTMLElement> element;
    EXPECT_EQ(S_OK, doc->createElement(tag.Get(), element.Put()));
    EXPECT_EQ(E_OUTOFMEMORY, doc->createElement(tag.Get(), element.Put()));
    EXPECT_FALSE(element);
    EXPECT_EQ(S_OK, doc->createElement(tag.Get(), element.Put()));

    FailureRule upperOnly{Op::kAppendChild, E_FAIL, L"SCRIPT"};
    page.Fail(upperOnly);
    EXPECT_EQ(E_FAIL, Append(Body(page).Get(), Create(doc.Get(), L"SCRIPT").Get()));
    EXPECT_EQ(S_OK, Append(Body(page).Get(), Create(doc.Get(), L"script").Get()));
    ASSERT_EQ(1u, page.BodyChildren().size());
    EXPECT_EQ(L"script", page.BodyChildren()[0].tag);
}

TEST_F(DomTest, InjectedSuccessHandsOutNothing) {
    page.Fail(Op::kGetScripts, S_OK);
    page.Fail(Op::kGetDocument, S_OK);
    ComPtr<IHTMLElementCollection> scripts;
    EXPECT_EQ(S_OK, doc->get_scripts(scripts.Put()));
    EXPECT_FALSE(scripts);
    ComPtr<IDispatch> none;
    EXPECT_EQ(S_OK, page.Browser()->get_Document(none.Put()));
    EXPECT_FALSE(none);
}

TEST_F(DomTest, CallsAreCountedPerOperationWithTheirThread) {
    ScopedBstr url;
    doc->get_URL(url.Put());
    doc->get_URL(url.Put());
    EXPECT_EQ(2u, page.CallCount(Op::kGetUrl));
    EXPECT_EQ(0u, page.CallCount(Op::kGetBody));
    for (const simbrowser::Call& call : page.Calls()) EXPECT_EQ(sim.UiThreadId(), call.threadId);
    EXPECT_TRUE(url.Equals(L"http://a.test/"));
}

}  // namespace
