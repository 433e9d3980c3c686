// The add-on object: attaches to the browser, follows its events and hands each completed
// document to a page worker that refreshes the card metadata and injects the scripts.
#pragma once

#include <exdisp.h>
#include <mshtml.h>
#include <ocidl.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "addon/com/brimwell_addon_h.h"
#include "addon/metadata/metadata_refresh_win.h"
#include "addon/metadata/settings_win.h"
#include "addon/pipeline/browser_event_sink_win.h"
#include "addon/pipeline/html_window_event_sink_win.h"
#include "addon/pipeline/page_events.h"
#include "addon/pipeline/worker_thread_win.h"
#include "addon/selector/selector_bounds.h"
#include "addon/win/com_ptr.h"

class CBrimwellBHO final : public IObjectWithSite, public IBrimwellBHO, public IHtmlWindowEventCallback {
public:
    CBrimwellBHO();
    CBrimwellBHO(const CBrimwellBHO&) = delete;
    CBrimwellBHO& operator=(const CBrimwellBHO&) = delete;

    // IUnknown: IUnknown, IBrimwellBHO, IDispatch and IObjectWithSite. The count is atomic:
    // page workers hold references of their own.
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* newSite) override;
    STDMETHODIMP GetSite(REFIID riid, void** object) override;

    // IDispatch of IBrimwellBHO, served from the type library (see SetTypeInfoLoader).
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // IBrimwellBHO: reloads the settings and forces the next page of every add-on object to
    // fetch. Always S_OK.
    STDMETHODIMP RefreshMetadata() override;

    // IHtmlWindowEventCallback
    void OnWindowLoad() override;
    void OnWindowSinkReleased(CHtmlWindowEventSink* sink) override;

    // Browser events, called by the event sink on the user-interface thread.
    void OnBeforeNavigate2(IDispatch* pDisp, const BSTR* url);
    void OnNavigateComplete2(IDispatch* pDisp, const BSTR* url);
    void OnDocumentComplete(IDispatch* pDisp, const BSTR* url);
    void OnDownloadBegin();

    // Bounds of this object's selector conversations (tests and benchmarks shorten them).
    void SetSelectorBounds(const selector::SelectorBounds& bounds) { selectorBounds = bounds; }
    // Registry roots of the settings (tests may redirect them).
    void SetSettingsRoots(const SettingsRoots& roots) { settingsRoots = roots; }

private:
    ~CBrimwellBHO();

    bool IsTopLevelBrowser(IDispatch* pDisp) const;
    HRESULT Subscribe();
    void Unsubscribe();
    void Detach();
    void WaitForLatestWorker();
    void DisconnectWindowSinks();
    void AttachOnloadSink(IHTMLDocument2* document);
    struct PageWork;
    void StartTopLevelWorker();
    void StartPageWorker(const win::ComPtr<IDispatch>& document);
    void PageWorker(PageWork& work);
    bool WaitUntilComplete(IHTMLDocument2* document, std::uint32_t generation) const;
    void InjectScripts(IHTMLDocument2* document);
    // A worker stops for good once the object detaches or moves to another browser after the
    // worker was started: clearing stopRequested for a new page cannot revive it.
    bool Stopped(std::uint32_t generation) const {
        return stopRequested != 0 || attachment != generation;
    }
    void FetchUnlessStopped(std::uint32_t generation);
    void FetchMetadata();
    void OnSelectorReply(const std::string& reply);
    void OnSelectorNoReply();
    bool AcceptsEvents() const { return !detaching && browser; }

    LONG refCount = 0;
    const DWORD uiThreadId;  // the browser's thread: the apartment of site and browser
    win::ComPtr<IUnknown> site;
    DWORD eventCookie;
    std::mutex pageMutex;  // held by a page worker for the whole of one document
    win::ComPtr<IWebBrowser2> browser;
    std::uint32_t subscribed = 0;
    std::atomic<std::uint32_t> pageIsHttps{0};
    std::atomic<std::uint32_t> stopRequested{0};
    std::atomic<std::uint32_t> attachment{0};  // counts detaches and moves to another site
    std::unique_ptr<WorkerThread> worker;  // the latest page worker
    Settings settings;
    MetadataState metadata;
    PageEventState pageEvents;  // topNavigationPending and onloadPending
    CHtmlWindowEventSink* windowSink = nullptr;    // the latest, not counted
    std::vector<CHtmlWindowEventSink*> liveSinks;  // every sink still reporting here
    bool detaching = false;                        // events arriving during the detach wait
    std::atomic<std::uint32_t> reloadRequested{0}; // a full reload asked while a page ran
    SettingsRoots settingsRoots;
    selector::SelectorBounds selectorBounds;
    BrowserEventSink eventSink;
};

// Loads the type information of IBrimwellBHO for the dispatch methods; the COM module sets it.
typedef HRESULT (*TypeInfoLoader)(ITypeInfo** info);
void SetTypeInfoLoader(TypeInfoLoader loader);

// Creates an add-on object and asks it for riid (the class factory's work).
HRESULT CreateBrimwellBHO(REFIID riid, void** object);
