// The add-on object's browser events and page workers: which events start a worker, and what
// a worker does with its document.
#include "addon/pipeline/brimwell_bho.h"

#include <memory>

#include "addon/metadata/script_scheme.h"
#include "addon/pipeline/document_walk_win.h"
#include "addon/pipeline/page_events.h"
#include "addon/pipeline/script_injection_win.h"
#include "addon/selector/fetch_metadata.h"
#include "addon/win/scoped_bstr.h"
#include "addon/win/scoped_co_init.h"
#include "addon/win/text_win.h"

namespace {

const DWORD kReadyPollMs = 100;

std::wstring Text(BSTR text) { return std::wstring(text, ::SysStringLen(text)); }

// Takes the document out of a stream nobody will use, releasing its marshalled reference.
// Only COM can do that, and the release goes to the document's own apartment: a worker that
// leaves before its apartment enters one for just this call, which waits on nothing else.
void DropDocument(win::ComPtr<IStream>& stream) {
    if (!stream) return;
    win::ScopedCoInit apartment(COINIT_APARTMENTTHREADED);
    win::ComPtr<IHTMLDocument2> unused;
    ::CoGetInterfaceAndReleaseStream(stream.Detach(), IID_IHTMLDocument2, unused.PutVoid());
}

}  // namespace

// What a page worker holds: a reference on the object and the marshalled document, from
// before its thread starts until it ends, on whichever thread lets go of them last.
struct CBrimwellBHO::PageWork {
    PageWork(CBrimwellBHO* owner, std::uint32_t generation)
        : owner(owner), generation(generation) {}
    ~PageWork() { DropDocument(stream); }  // before the object's reference goes
    PageWork(const PageWork&) = delete;
    PageWork& operator=(const PageWork&) = delete;

    const win::ComPtr<CBrimwellBHO> owner;
    const std::uint32_t generation;
    win::ComPtr<IStream> stream;
};

bool CBrimwellBHO::IsTopLevelBrowser(IDispatch* pDisp) const {
    if (!pDisp || !browser) return false;
    win::ComPtr<IWebBrowser2> eventBrowser;
    if (FAILED(pDisp->QueryInterface(IID_IWebBrowser2, eventBrowser.PutVoid())) || !eventBrowser)
        return false;
    return win::SameComObject(eventBrowser.Get(), browser.Get());
}

void CBrimwellBHO::OnBeforeNavigate2(IDispatch* pDisp, const BSTR* url) {
    if (!AcceptsEvents() || !pDisp || !url || !*url) return;
    ::OnBeforeNavigate2(pageEvents, Text(*url), IsTopLevelBrowser(pDisp));
}

void CBrimwellBHO::OnNavigateComplete2(IDispatch* pDisp, const BSTR* url) {
    if (!AcceptsEvents() || !pDisp || !url || !*url) return;
    if (::OnNavigateComplete2(pageEvents, Text(*url)) != PageAction::kStartEventBrowserWorker)
        return;
    win::ComPtr<IWebBrowser2> eventBrowser;
    if (FAILED(pDisp->QueryInterface(IID_IWebBrowser2, eventBrowser.PutVoid())) || !eventBrowser)
        return;
    win::ComPtr<IDispatch> document;
    if (SUCCEEDED(eventBrowser->get_Document(document.Put()))) StartPageWorker(document);
}

void CBrimwellBHO::OnDocumentComplete(IDispatch* pDisp, const BSTR* url) {
    if (!AcceptsEvents() || !pDisp || !url) return;
    win::ComPtr<IWebBrowser2> eventBrowser;
    if (FAILED(pDisp->QueryInterface(IID_IWebBrowser2, eventBrowser.PutVoid())) || !eventBrowser)
        return;
    try {
        win::ScopedBstr location;
        if (eventBrowser->get_LocationURL(location.Put()) == S_OK)
            pageIsHttps = ContainsHttps(location.Str()) ? 1 : 0;
        // otherwise pageIsHttps keeps its value and the page goes on
    } catch (...) {
        /* Boundary: an unreadable location only leaves the scheme as it was. */
    }
    if (::OnDocumentComplete(pageEvents, IsTopLevelBrowser(pDisp)) == PageAction::kStartTopWorker)
        StartTopLevelWorker();
}

void CBrimwellBHO::OnDownloadBegin() {
    if (!AcceptsEvents() || !DownloadMayArmOnload(pageEvents)) return;
    win::ComPtr<IDispatch> dispatch;
    win::ComPtr<IHTMLDocument2> top;
    if (FAILED(browser->get_Document(dispatch.Put())) || !dispatch ||
        FAILED(dispatch->QueryInterface(IID_IHTMLDocument2, top.PutVoid())) || !top)
        return;
    win::ScopedBstr state;
    const bool complete = SUCCEEDED(top->get_readyState(state.Put())) && state.Equals(L"complete");
    if (::OnDownloadBegin(pageEvents, complete) == PageAction::kAttachOnloadSink)
        AttachOnloadSink(top.Get());
}

void CBrimwellBHO::AttachOnloadSink(IHTMLDocument2* document) {
    win::ComPtr<IHTMLWindow2> window;
    if (FAILED(document->get_parentWindow(window.Put())) || !window) return;
    // Held while connecting: a sink that cannot connect is released again here.
    win::ComPtr<CHtmlWindowEventSink> sink(new CHtmlWindowEventSink(this));
    liveSinks.push_back(sink.Get());
    windowSink = sink.Get();
    sink->Connect(window.Get());  // the outcome is not examined
}

void CBrimwellBHO::OnWindowLoad() {
    if (AcceptsEvents() && ::OnWindowLoad(pageEvents) == PageAction::kStartTopWorker)
        StartTopLevelWorker();
}

void CBrimwellBHO::StartTopLevelWorker() {
    win::ComPtr<IDispatch> document;
    if (SUCCEEDED(browser->get_Document(document.Put()))) StartPageWorker(document);
}

void CBrimwellBHO::StartPageWorker(const win::ComPtr<IDispatch>& document) {
    if (detaching || !document) return;
    try {
        win::ComPtr<IHTMLDocument2> html;
        if (FAILED(document->QueryInterface(IID_IHTMLDocument2, html.PutVoid())) || !html) return;
        std::unique_ptr<WorkerThread> started(new WorkerThread());
        const std::shared_ptr<PageWork> work = std::make_shared<PageWork>(this, attachment);
        if (FAILED(::CoMarshalInterThreadInterfaceInStream(IID_IHTMLDocument2, html.Get(),
                                                           work->stream.Put())))
            return;
        stopRequested = 0;
        if (!StartWorkerThread([work] { work->owner->PageWorker(*work); }, *started)) return;
        worker = std::move(started);  // the previous worker goes on unobserved
        EnterWorker(*worker);
    } catch (...) {
        /* Boundary: a page that cannot get a worker is left alone. */
    }
}

void CBrimwellBHO::PageWorker(PageWork& work) {
    if (Stopped(work.generation)) return;
    std::lock_guard<std::mutex> hold(pageMutex);
    // Detached while an earlier page held the mutex: nothing more to do for this browser.
    if (Stopped(work.generation)) return;
    const std::uint32_t alreadyLoaded = reloadRequested.exchange(0) ? 0 : settings.settingsLoaded;
    LoadSettings(settings, alreadyLoaded, pageIsHttps != 0, settingsRoots);
    const std::uint32_t generation = work.generation;
    EnsureMetadataCurrent(settings, metadata, [this, generation] { FetchUnlessStopped(generation); },
                          CurrentUnixSeconds());
    // A fetch may outlast the detach: a detached object leaves the page alone.
    if (Stopped(work.generation)) return;
    // Only now the apartment: one entered earlier would pump no messages while this worker
    // waits for the mutex or a conversation.
    win::ScopedCoInit apartment(COINIT_APARTMENTTHREADED);
    win::ComPtr<IHTMLDocument2> document;
    ::CoGetInterfaceAndReleaseStream(work.stream.Detach(), IID_IHTMLDocument2, document.PutVoid());
    if (!document || !WaitUntilComplete(document.Get(), work.generation)) return;
    WalkDocument(document.Get(), [this, &work](IHTMLDocument2* each) {
        if (!Stopped(work.generation)) InjectScripts(each);
    });
}

bool CBrimwellBHO::WaitUntilComplete(IHTMLDocument2* document, std::uint32_t generation) const {
    for (;;) {
        win::ScopedBstr state;
        if (SUCCEEDED(document->get_readyState(state.Put())) && state.Equals(L"complete"))
            return true;
        ::Sleep(kReadyPollMs);
        if (Stopped(generation)) return false;
    }
}

void CBrimwellBHO::InjectScripts(IHTMLDocument2* document) {
    ::InjectScripts(document, settings, metadata.model);
}

void CBrimwellBHO::FetchUnlessStopped(std::uint32_t generation) {
    if (Stopped(generation)) return;
    try {
        FetchMetadata();
    } catch (...) {
        /* Boundary: a failed conversation ends only itself, its setup included. */
    }
}

void CBrimwellBHO::FetchMetadata() {
    selector::FetchMetadata(
        stopRequested != 0, win::ToNarrow(settings.selectorHost), settings.selectorPort,
        [this](const std::string& reply) { OnSelectorReply(reply); },
        [this] { OnSelectorNoReply(); }, selectorBounds);
}

void CBrimwellBHO::OnSelectorReply(const std::string& reply) {
    ::OnSelectorReply(settings, metadata, reply, settingsRoots);
}

void CBrimwellBHO::OnSelectorNoReply() { ::OnSelectorNoReply(settings, metadata, settingsRoots); }

STDMETHODIMP CBrimwellBHO::RefreshMetadata() {
    try {
        std::unique_lock<std::mutex> hold(pageMutex, std::try_to_lock);
        if (hold.owns_lock()) {
            LoadSettings(settings, 0, pageIsHttps != 0, settingsRoots);
            if (WriteForceRefresh(1, settingsRoots)) settings.forceRefresh = 1;
        } else {
            // A page is being handled and reads the record: its next page reloads in full.
            reloadRequested = 1;
            WriteForceRefresh(1, settingsRoots);
        }
    } catch (...) {
        /* Boundary: the refresh request reports nothing. */
    }
    return S_OK;
}
