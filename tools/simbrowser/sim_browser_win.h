// A simulated web browser: page tree, real COM browser/document objects, events, failure
// injection and a call journal, for driving the add-on without the real browser.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "addon/win/com_ptr.h"

namespace simbrowser {

// HTMLWindowEvents2; defined here because the import library does not carry it.
extern const IID kHtmlWindowEvents2;

// Every operation the simulated objects serve; each call is journaled and can be made to fail.
enum class Op {
    kGetDocument,          // IWebBrowser2::get_Document
    kGetLocationUrl,       // IWebBrowser2::get_LocationURL
    kFindConnectionPoint,  // IConnectionPointContainer (browser and window)
    kAdvise,
    kUnadvise,
    kGetReadyState,  // IHTMLDocument2
    kGetParentWindow,
    kGetFrames,
    kGetUrl,
    kGetScripts,
    kGetBody,
    kCreateElement,
    kWindowGetDocument,  // IHTMLWindow2::get_document
    kQueryService,       // IServiceProvider on a window
    kFramesGetLength,    // IHTMLFramesCollection2 (document's frames and the window itself)
    kFramesItem,
    kCollectionGetLength,  // IHTMLElementCollection
    kCollectionItem,
    kSetAttribute,  // IHTMLElement
    kGetSrc,        // IHTMLScriptElement
    kPutText,
    kPutType,
    kAppendChild,         // IHTMLDOMNode
    kQueryScriptElement,  // QueryInterface of an element for IHTMLScriptElement
    kQueryDomNode,        // QueryInterface of an element for IHTMLDOMNode
    kCount
};
const wchar_t* OpName(Op op);

class Page;
class SimBrowser;
class BrowserObject;
class WindowObject;
class DocumentObject;
class ElementObject;
class FramesObject;
class ConnectionPointObject;
struct PageLink;

// One call that reached a simulated object.
struct Call {
    Op op;
    const Page* page;
    DWORD threadId;
    std::wstring tag;  // element operations: the element's tag (createElement: the one asked)
};

// One event fired to the browser's or a window's sinks.
struct FiredEvent {
    DISPID dispid;
    const Page* page;  // whose browser is pDisp (whose window for onload; top for DownloadBegin)
    std::wstring url;
};

// Makes an operation of one page answer `result` instead of doing its work. With S_OK an
// operation that hands out an object succeeds with none (a null pointer or an empty VARIANT).
// Another success code (S_FALSE) lets the operation do its work and hand out what it has,
// then answers that code instead of S_OK, as a browser may; QueryInterface rules (which can
// only fail) answer their result without an interface.
struct FailureRule {
    Op op;
    HRESULT result;
    std::wstring tag;  // element operations: only elements with this exact tag; empty: any
    int skip = 0;      // calls that succeed before the rule applies
    int times = -1;    // calls that fail once it applies; -1: every later call
};

// A copy of an element and its subtree, as a test reads the page.
struct ElementSnapshot {
    std::wstring tag;  // as passed to createElement ("BODY", "SCRIPT" for built-in ones)
    std::vector<std::pair<std::wstring, std::wstring>> attributes;  // in the order first set
    std::wstring text;
    std::vector<ElementSnapshot> children;

    // The attribute's value, "" when absent (names compared without case, like the DOM).
    std::wstring Attribute(const std::wstring& name) const;
    bool HasAttribute(const std::wstring& name) const;
};

// The calls, events and failure rules of one simulated browser; any thread may read them.
class Journal {
public:
    void Record(Op op, const Page* page, const std::wstring& tag = std::wstring());
    void RecordEvent(DISPID dispid, const Page* page, const std::wstring& url);
    // The injected result for this call when a rule of the page applies.
    bool Injected(Op op, const Page* page, const std::wstring& tag, HRESULT* result);
    void AddRule(const Page* page, const FailureRule& rule);
    void ClearRules(const Page* page);
    std::vector<Call> Calls() const;
    std::vector<FiredEvent> Events() const;
    void Clear();

private:
    struct ActiveRule {
        const Page* page;
        FailureRule rule;
        int seen;
    };
    mutable std::mutex lock;
    std::vector<Call> calls;
    std::vector<FiredEvent> events;
    std::vector<ActiveRule> rules;
};

// One document with its window and browser; frames are pages too. Build and change pages on
// the thread that created the SimBrowser (the user-interface thread): the COM objects live in
// its apartment and other apartments reach them through marshalled proxies.
class Page {
public:
    ~Page();
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    Page& AddFrame(const std::wstring& url);
    std::size_t FrameCount() const { return frames.size(); }
    Page& Frame(std::size_t index) const { return *frames.at(index); }
    Page* Parent() const { return parent; }

    const std::wstring& Url() const { return url; }
    void SetUrl(const std::wstring& text);
    const std::wstring& ReadyState() const { return readyState; }
    void SetReadyState(const std::wstring& state);
    void SetComplete() { SetReadyState(L"complete"); }

    // A frame of another security domain: its window's get_document answers E_ACCESSDENIED;
    // its document is still reached through the frame's browser.
    void SetCrossDomain(bool crossDomain);
    bool CrossDomain() const { return denyWindowDocument; }

    // A script element that was in the page before anyone touched it (src as given).
    void AddScript(const std::wstring& src);
    void RemoveBody();

    void Fail(Op op, HRESULT result);
    void Fail(const FailureRule& rule);
    void ClearFailures();

    // The body's children in order; empty when the page has no body.
    std::vector<ElementSnapshot> BodyChildren() const;
    std::size_t CallCount(Op op) const;
    std::vector<Call> Calls() const;  // calls on this page's objects, in order

    win::ComPtr<IWebBrowser2> Browser() const;
    win::ComPtr<IHTMLDocument2> Document() const;
    win::ComPtr<IHTMLWindow2> Window() const;
    std::size_t WindowSinkCount() const;
    std::vector<win::ComPtr<IDispatch>> WindowSinks() const;  // as the window holds them

    // Internal plumbing of the simulated objects.
    Journal& GetJournal() const { return *journal; }
    SimBrowser& Owner() const { return *owner; }
    ElementObject* Body() const { return body.Get(); }
    const std::vector<win::ComPtr<ElementObject>>& HeadScripts() const { return headScripts; }
    WindowObject& WindowObj() const { return *window.Get(); }
    DocumentObject& DocumentObj() const { return *document.Get(); }
    BrowserObject& BrowserObj() const { return *browser.Get(); }
    FramesObject& FramesObj() const { return *framesCollection.Get(); }
    ConnectionPointObject& WindowEvents() const { return *windowEvents.Get(); }
    ConnectionPointObject& BrowserEvents() const { return *browserEvents.Get(); }
    const std::shared_ptr<PageLink>& Link() const { return link; }
    void Adopt(ElementObject* element);  // keeps created elements until the page goes

private:
    friend class SimBrowser;
    Page(SimBrowser& owner, Journal& journal, Page* parent, const std::wstring& url,
         const std::shared_ptr<std::recursive_mutex>& treeLock, bool freeThreaded);

    SimBrowser* owner;
    Journal* journal;
    // Shared with the objects, which may outlive the page.
    std::shared_ptr<std::recursive_mutex> treeLock;
    Page* parent;
    std::wstring url;
    std::wstring readyState;
    bool denyWindowDocument;
    bool navigated = false;  // reached by the navigation under way (not cancelled)
    std::shared_ptr<PageLink> link;
    win::ComPtr<BrowserObject> browser;
    win::ComPtr<WindowObject> window;
    win::ComPtr<DocumentObject> document;
    win::ComPtr<FramesObject> framesCollection;
    win::ComPtr<ConnectionPointObject> browserEvents;
    win::ComPtr<ConnectionPointObject> windowEvents;
    win::ComPtr<ElementObject> body;
    std::vector<win::ComPtr<ElementObject>> headScripts;
    std::vector<win::ComPtr<ElementObject>> created;
    std::vector<std::unique_ptr<Page>> frames;
};

// How the objects cross apartments. kApartment: standard marshalling (proxies and stubs from
// the registered type library); calls from other apartments run on the creating thread while
// it dispatches messages. kFreeThreaded: the objects aggregate the free-threaded marshaler, so
// other apartments get the objects themselves and calls run on the caller's thread (fast, but
// not what the browser does; for bulk tests and benchmarks).
enum class Threading { kApartment, kFreeThreaded };

struct NavigateOptions {
    // DownloadBegin after each BeforeNavigate2, as the browser does.
    bool downloadBegin = true;
    // Each document turns "complete" just before its DocumentComplete.
    bool completeDocuments = true;
};

// The top-level browser and its page tree. Events go to the sinks advised on the top-level
// browser, with pDisp the browser of the page concerned.
class SimBrowser {
public:
    explicit SimBrowser(const std::wstring& url = L"http://www.example.com/",
                        Threading threading = Threading::kApartment);
    ~SimBrowser();
    SimBrowser(const SimBrowser&) = delete;
    SimBrowser& operator=(const SimBrowser&) = delete;

    Page& Top() { return *top; }
    // The object handed to an add-on's SetSite.
    win::ComPtr<IUnknown> Site() const;

    // A whole navigation of the tree: every document goes back to "loading", then
    // BeforeNavigate2(top), NavigateComplete2(top), each frame's BeforeNavigate2 and
    // NavigateComplete2 depth first, each frame's DocumentComplete after its own frames',
    // DocumentComplete(top) last. A cancelled BeforeNavigate2 ends that page's part.
    void Navigate(const NavigateOptions& options = NavigateOptions());
    // A frame navigated on its own after the page completed: its three events.
    void NavigateFrame(Page& frame, const std::wstring& url,
                       const NavigateOptions& options = NavigateOptions());

    // Single events; FireBeforeNavigate2 answers whether a sink cancelled.
    bool FireBeforeNavigate2(Page& page);
    void FireNavigateComplete2(Page& page);
    void FireDocumentComplete(Page& page);
    void FireDownloadBegin();
    // Any DWebBrowserEvents2 event with the caller's own arguments (null URLs, odd types).
    void FireEvent(DISPID dispid, DISPPARAMS* params);
    // onload (1003) to the HTMLWindowEvents2 sinks of the page's window; each sink's answer.
    std::vector<HRESULT> FireWindowLoad(Page& page);
    // The window drops all its connections, releasing the sinks.
    void ReleaseWindowConnections(Page& page);

    std::size_t EventSinkCount() const;
    // The sinks advised on the top-level browser's DWebBrowserEvents2, as the browser holds them.
    std::vector<win::ComPtr<IDispatch>> EventSinks() const;
    std::vector<FiredEvent> FiredEvents() const { return journal.Events(); }
    std::vector<Call> Calls() const { return journal.Calls(); }
    void ClearJournal() { journal.Clear(); }
    DWORD UiThreadId() const { return uiThread; }
    Journal& GetJournal() { return journal; }

private:
    bool NavigateTree(Page& page, const NavigateOptions& options);
    void CompleteTree(Page& page, const NavigateOptions& options);

    DWORD uiThread;
    win::ComPtr<ITypeLib> htmlTypes;  // held like a browser process holds them: see the ctor
    win::ComPtr<ITypeLib> browserTypes;
    Journal journal;
    std::shared_ptr<std::recursive_mutex> treeLock;
    std::unique_ptr<Page> top;
};

// Simulated COM objects alive in the process, of every browser: 0 once all browsers are gone
// and nobody holds a reference any more.
std::size_t LiveObjectCount();

}  // namespace simbrowser
