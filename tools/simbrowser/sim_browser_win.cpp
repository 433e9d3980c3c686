// The top-level simulated browser: firing DWebBrowserEvents2 in the browser's order and the
// window's onload.
#include "tools/simbrowser/sim_objects_win.h"

#include <exdispid.h>
#include <mshtmdid.h>

#include "addon/win/scoped_variant.h"

namespace simbrowser {
namespace {

VARIANTARG ByRef(VARIANT* value) {
    VARIANTARG arg;
    ::VariantInit(&arg);
    arg.vt = VT_VARIANT | VT_BYREF;
    arg.pvarVal = value;
    return arg;
}

VARIANTARG Dispatch(IDispatch* value) {
    VARIANTARG arg;
    ::VariantInit(&arg);
    arg.vt = VT_DISPATCH;
    arg.pdispVal = value;
    return arg;
}

std::vector<HRESULT> Broadcast(const std::vector<win::ComPtr<IDispatch>>& sinks, DISPID dispid,
                               DISPPARAMS* params) {
    std::vector<HRESULT> answers;
    for (const auto& sink : sinks)
        answers.push_back(sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                       params, nullptr, nullptr, nullptr));
    return answers;
}

void MarkLoading(Page& page) {
    page.SetReadyState(L"loading");
    for (std::size_t i = 0; i < page.FrameCount(); ++i) MarkLoading(page.Frame(i));
}

// The type libraries behind the proxies and stubs of the browser's and the document's
// interfaces (registered in every Wine prefix).
const GUID kHtmlLibrary = {
    0x3050f1c5, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};  // version 4.0
const GUID kBrowserLibrary = {
    0xeab22ac0, 0x30c1, 0x11cf, {0xa7, 0xeb, 0x00, 0x00, 0xc0, 0x5b, 0xae, 0x0b}};  // version 1.1

}  // namespace

// The type-library marshaler looks the library up for every proxy and stub it builds; when
// nobody holds it, Wine loads and parses it again each time (a few hundred milliseconds for
// the document's). A browser process keeps it loaded, and so do we. Failing to load is not
// fatal: marshalling then fails or is slow, and the tests say so.
SimBrowser::SimBrowser(const std::wstring& url, Threading threading)
    : uiThread(::GetCurrentThreadId()),
      treeLock(std::make_shared<std::recursive_mutex>()),
      top(new Page(*this, journal, nullptr, url, treeLock, threading == Threading::kFreeThreaded)) {
    if (threading == Threading::kApartment) {
        ::LoadRegTypeLib(kHtmlLibrary, 4, 0, LOCALE_NEUTRAL, htmlTypes.Put());
        ::LoadRegTypeLib(kBrowserLibrary, 1, 1, LOCALE_NEUTRAL, browserTypes.Put());
    }
}

SimBrowser::~SimBrowser() = default;

win::ComPtr<IUnknown> SimBrowser::Site() const {
    win::ComPtr<IUnknown> site;
    top->Browser()->QueryInterface(IID_IUnknown, site.PutVoid());
    return site;
}

void SimBrowser::Navigate(const NavigateOptions& options) {
    MarkLoading(*top);
    if (NavigateTree(*top, options)) CompleteTree(*top, options);
}

void SimBrowser::NavigateFrame(Page& frame, const std::wstring& url,
                               const NavigateOptions& options) {
    frame.SetUrl(url);
    MarkLoading(frame);
    if (NavigateTree(frame, options)) CompleteTree(frame, options);
}

// BeforeNavigate2 and NavigateComplete2 of the page, then of its frames, depth first.
bool SimBrowser::NavigateTree(Page& page, const NavigateOptions& options) {
    if (FireBeforeNavigate2(page)) return false;
    if (options.downloadBegin) FireDownloadBegin();
    FireNavigateComplete2(page);
    page.navigated = true;
    for (std::size_t i = 0; i < page.FrameCount(); ++i) {
        Page& frame = page.Frame(i);
        frame.navigated = false;
        NavigateTree(frame, options);
    }
    return true;
}

// Each page completes after all its frames; a frame whose navigation was cancelled does not.
void SimBrowser::CompleteTree(Page& page, const NavigateOptions& options) {
    for (std::size_t i = 0; i < page.FrameCount(); ++i)
        if (page.Frame(i).navigated) CompleteTree(page.Frame(i), options);
    if (options.completeDocuments) page.SetComplete();
    FireDocumentComplete(page);
}

bool SimBrowser::FireBeforeNavigate2(Page& page) {
    win::ScopedVariant url(page.Url().c_str()), flags(0L), targetFrame(L""), postData, headers(L"");
    VARIANT_BOOL cancel = VARIANT_FALSE;
    // Arguments travel in reverse: pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel.
    VARIANTARG args[7];
    args[6] = Dispatch(page.BrowserObj().Interface());
    args[5] = ByRef(url.Get());
    args[4] = ByRef(flags.Get());
    args[3] = ByRef(targetFrame.Get());
    args[2] = ByRef(postData.Get());
    args[1] = ByRef(headers.Get());
    ::VariantInit(&args[0]);
    args[0].vt = VT_BOOL | VT_BYREF;
    args[0].pboolVal = &cancel;
    DISPPARAMS params{args, nullptr, 7, 0};
    journal.RecordEvent(DISPID_BEFORENAVIGATE2, &page, page.Url());
    Broadcast(top->BrowserEvents().Sinks(), DISPID_BEFORENAVIGATE2, &params);
    return cancel != VARIANT_FALSE;
}

void SimBrowser::FireNavigateComplete2(Page& page) {
    win::ScopedVariant url(page.Url().c_str());
    VARIANTARG args[2] = {ByRef(url.Get()), Dispatch(page.BrowserObj().Interface())};
    DISPPARAMS params{args, nullptr, 2, 0};
    journal.RecordEvent(DISPID_NAVIGATECOMPLETE2, &page, page.Url());
    Broadcast(top->BrowserEvents().Sinks(), DISPID_NAVIGATECOMPLETE2, &params);
}

void SimBrowser::FireDocumentComplete(Page& page) {
    win::ScopedVariant url(page.Url().c_str());
    VARIANTARG args[2] = {ByRef(url.Get()), Dispatch(page.BrowserObj().Interface())};
    DISPPARAMS params{args, nullptr, 2, 0};
    journal.RecordEvent(DISPID_DOCUMENTCOMPLETE, &page, page.Url());
    Broadcast(top->BrowserEvents().Sinks(), DISPID_DOCUMENTCOMPLETE, &params);
}

void SimBrowser::FireDownloadBegin() {
    DISPPARAMS params{nullptr, nullptr, 0, 0};
    journal.RecordEvent(DISPID_DOWNLOADBEGIN, top.get(), top->Url());
    Broadcast(top->BrowserEvents().Sinks(), DISPID_DOWNLOADBEGIN, &params);
}

void SimBrowser::FireEvent(DISPID dispid, DISPPARAMS* params) {
    journal.RecordEvent(dispid, nullptr, std::wstring());
    Broadcast(top->BrowserEvents().Sinks(), dispid, params);
}

// onload carries the event object; the simulation has none and passes a null one.
std::vector<HRESULT> SimBrowser::FireWindowLoad(Page& page) {
    VARIANTARG args[1] = {Dispatch(nullptr)};
    DISPPARAMS params{args, nullptr, 1, 0};
    journal.RecordEvent(DISPID_HTMLWINDOWEVENTS2_ONLOAD, &page, page.Url());
    return Broadcast(page.WindowEvents().Sinks(), DISPID_HTMLWINDOWEVENTS2_ONLOAD, &params);
}

void SimBrowser::ReleaseWindowConnections(Page& page) {
    page.WindowEvents().Clear();
}

std::size_t SimBrowser::EventSinkCount() const {
    return top->BrowserEvents().SinkCount();
}

std::vector<win::ComPtr<IDispatch>> SimBrowser::EventSinks() const {
    return top->BrowserEvents().Sinks();
}

std::size_t LiveObjectCount() { return LiveComObjects(); }

}  // namespace simbrowser
