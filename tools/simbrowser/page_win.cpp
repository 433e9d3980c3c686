// One page of the simulated browser: its objects, its frames, and what a test reads of it.
#include "tools/simbrowser/sim_objects_win.h"

namespace simbrowser {

Page::Page(SimBrowser& owner, Journal& journal, Page* parent, const std::wstring& url)
    : owner(&owner),
      journal(&journal),
      parent(parent),
      url(url),
      readyState(L"loading"),
      denyWindowDocument(false),
      link(std::make_shared<PageLink>(PageLink{this})),
      browser(new BrowserObject(link)),
      window(new WindowObject(link)),
      document(new DocumentObject(link)),
      framesCollection(new FramesObject(link)),
      browserEvents(new ConnectionPointObject(link, DIID_DWebBrowserEvents2,
                                              browser->ContainerPart())),
      windowEvents(new ConnectionPointObject(link, kHtmlWindowEvents2, window->ContainerPart())),
      body(new ElementObject(link, L"BODY")) {}

// Objects still held elsewhere answer RPC_E_DISCONNECTED from now on, like those of a
// closed browser; the connections are dropped, so the sinks get their last releases.
Page::~Page() {
    frames.clear();
    link->page = nullptr;
    browserEvents->Clear();
    windowEvents->Clear();
}

Page& Page::AddFrame(const std::wstring& frameUrl) {
    frames.push_back(std::unique_ptr<Page>(new Page(*owner, *journal, this, frameUrl)));
    return *frames.back();
}

void Page::AddScript(const std::wstring& src) {
    win::ComPtr<ElementObject> script(new ElementObject(link, L"SCRIPT"));
    script->SetAttribute(L"src", src);
    headScripts.push_back(script);
}

void Page::RemoveBody() { body.Reset(); }

void Page::Fail(Op op, HRESULT result) {
    FailureRule rule{op, result, std::wstring()};
    Fail(rule);
}

void Page::Fail(const FailureRule& rule) { journal->AddRule(this, rule); }

void Page::ClearFailures() { journal->ClearRules(this); }

std::vector<ElementSnapshot> Page::BodyChildren() const {
    if (!body) return {};
    return body->Snapshot().children;
}

std::size_t Page::CallCount(Op op) const {
    std::size_t count = 0;
    for (const Call& call : journal->Calls())
        if (call.page == this && call.op == op) ++count;
    return count;
}

std::vector<Call> Page::Calls() const {
    std::vector<Call> own;
    for (const Call& call : journal->Calls())
        if (call.page == this) own.push_back(call);
    return own;
}

win::ComPtr<IWebBrowser2> Page::Browser() const { return browser->Interface(); }
win::ComPtr<IHTMLDocument2> Page::Document() const { return document->Interface(); }
win::ComPtr<IHTMLWindow2> Page::Window() const { return window->Interface(); }
std::size_t Page::WindowSinkCount() const { return windowEvents->SinkCount(); }

void Page::Adopt(ElementObject* element) { created.emplace_back(element); }

}  // namespace simbrowser
