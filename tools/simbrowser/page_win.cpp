// One page of the simulated browser: its objects, its frames, and what a test reads of it.
#include "tools/simbrowser/sim_objects_win.h"

namespace simbrowser {

Page::Page(SimBrowser& owner, Journal& journal, Page* parent, const std::wstring& url,
           const std::shared_ptr<std::recursive_mutex>& treeLock, bool freeThreaded)
    : owner(&owner),
      journal(&journal),
      treeLock(treeLock),
      parent(parent),
      url(url),
      readyState(L"loading"),
      denyWindowDocument(false),
      link(std::make_shared<PageLink>(PageLink{this, treeLock, freeThreaded})),
      browser(new BrowserObject(link)),
      window(new WindowObject(link)),
      document(new DocumentObject(link)),
      framesCollection(new FramesObject(link)),
      browserEvents(
          new ConnectionPointObject(link, DIID_DWebBrowserEvents2, browser->ContainerPart())),
      windowEvents(new ConnectionPointObject(link, kHtmlWindowEvents2, window->ContainerPart())),
      body(new ElementObject(link, L"BODY")) {}

// Objects still held elsewhere answer RPC_E_DISCONNECTED from now on, like those of a
// closed browser; the connections are dropped, so the sinks get their last releases.
Page::~Page() {
    std::unique_lock<std::recursive_mutex> hold(*treeLock);
    frames.clear();
    link->page = nullptr;
    hold.unlock();
    browserEvents->Clear();
    windowEvents->Clear();
}

Page& Page::AddFrame(const std::wstring& frameUrl) {
    std::lock_guard<std::recursive_mutex> hold(*treeLock);
    frames.push_back(std::unique_ptr<Page>(
        new Page(*owner, *journal, this, frameUrl, treeLock, link->freeThreaded)));
    return *frames.back();
}

void Page::SetUrl(const std::wstring& text) {
    std::lock_guard<std::recursive_mutex> hold(*treeLock);
    url = text;
}

void Page::SetReadyState(const std::wstring& state) {
    std::lock_guard<std::recursive_mutex> hold(*treeLock);
    readyState = state;
}

void Page::SetCrossDomain(bool crossDomain) {
    std::lock_guard<std::recursive_mutex> hold(*treeLock);
    denyWindowDocument = crossDomain;
}

void Page::AddScript(const std::wstring& src) {
    std::lock_guard<std::recursive_mutex> hold(*treeLock);
    win::ComPtr<ElementObject> script(new ElementObject(link, L"SCRIPT"));
    script->SetAttribute(L"src", src);
    headScripts.push_back(script);
}

void Page::RemoveBody() {
    win::ComPtr<ElementObject> leaving;  // released outside the lock
    std::lock_guard<std::recursive_mutex> hold(*treeLock);
    leaving.Swap(body);
}

void Page::Fail(Op op, HRESULT result) {
    FailureRule rule{op, result, std::wstring()};
    Fail(rule);
}

void Page::Fail(const FailureRule& rule) {
    journal->AddRule(this, rule);
}

void Page::ClearFailures() {
    journal->ClearRules(this);
}

std::vector<ElementSnapshot> Page::BodyChildren() const {
    std::lock_guard<std::recursive_mutex> hold(*treeLock);
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

win::ComPtr<IWebBrowser2> Page::Browser() const {
    return browser->Interface();
}
win::ComPtr<IHTMLDocument2> Page::Document() const {
    return document->Interface();
}
win::ComPtr<IHTMLWindow2> Page::Window() const {
    return window->Interface();
}
std::size_t Page::WindowSinkCount() const {
    return windowEvents->SinkCount();
}

std::vector<win::ComPtr<IDispatch>> Page::WindowSinks() const {
    return windowEvents->Sinks();
}

void Page::Adopt(ElementObject* element) {
    created.emplace_back(element);
}

}  // namespace simbrowser
