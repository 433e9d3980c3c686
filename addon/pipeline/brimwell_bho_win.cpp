// The add-on object's COM surface: identity, counting, siting, detaching and type information.
#include "addon/pipeline/brimwell_bho.h"

#include <atomic>

#include "addon/pipeline/module_lock.h"
#include "addon/win/catch_return.h"

namespace {

const DWORD kNoCookie = 0xFEFEFEFE;
const DWORD kDetachWaitMs = 1000;

std::atomic<TypeInfoLoader> typeInfoLoader{nullptr};

HRESULT LoadTypeInfo(win::ComPtr<ITypeInfo>& info) {
    const TypeInfoLoader loader = typeInfoLoader.load();
    if (!loader) return E_NOTIMPL;
    return loader(info.Put());
}

HRESULT FindBrowserEvents(IWebBrowser2* browser, win::ComPtr<IConnectionPoint>& point) {
    win::ComPtr<IConnectionPointContainer> container;
    HRESULT hr = browser->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
    if (FAILED(hr)) return hr;
    hr = container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Put());
    return SUCCEEDED(hr) && !point ? E_FAIL : hr;
}

}  // namespace

void SetTypeInfoLoader(TypeInfoLoader loader) { typeInfoLoader = loader; }

HRESULT CreateBrimwellBHO(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    try {
        win::ComPtr<CBrimwellBHO> created(new CBrimwellBHO());  // held while we ask
        return created->QueryInterface(riid, object);           // failure destroys it
    }
    BRIMWELL_CATCH_RETURN()
}

CBrimwellBHO::CBrimwellBHO()
    : uiThreadId(::GetCurrentThreadId()), eventCookie(kNoCookie), eventSink(*this) {
    pipeline::LockModule();
}

CBrimwellBHO::~CBrimwellBHO() {
    // Sinks that outlive this object must not call back into it.
    for (CHtmlWindowEventSink* sink : liveSinks) sink->ClearCallback();
    if (::GetCurrentThreadId() != uiThreadId) {
        // The last reference went on a page worker without a detach first: the browser's
        // references belong to its own apartment and must not be released here.
        site.Detach();
        browser.Detach();
    }
    pipeline::UnlockModule();
}

STDMETHODIMP CBrimwellBHO::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IObjectWithSite) {
        *object = static_cast<IObjectWithSite*>(this);
    } else if (riid == IID_IBrimwellBHO || riid == IID_IDispatch) {
        *object = static_cast<IBrimwellBHO*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CBrimwellBHO::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&refCount));
}

STDMETHODIMP_(ULONG) CBrimwellBHO::Release() {
    const LONG count = ::InterlockedDecrement(&refCount);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP CBrimwellBHO::SetSite(IUnknown* newSite) {
    try {
        if (newSite) {
            if (subscribed) {  // a new site: leave the old browser and its workers first
                ++attachment;
                Unsubscribe();
            }
            win::ComPtr<IWebBrowser2> top;
            if (FAILED(newSite->QueryInterface(IID_IWebBrowser2, top.PutVoid()))) top.Reset();
            browser = top;
            if (browser) Subscribe();  // not a browser: stay idle, but keep the site
        } else {
            Detach();
        }
        if (site.Get() != newSite) site = newSite;
        return S_OK;
    }
    BRIMWELL_CATCH_RETURN()
}

STDMETHODIMP CBrimwellBHO::GetSite(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!site) return E_FAIL;
    return site->QueryInterface(riid, object);
}

HRESULT CBrimwellBHO::Subscribe() {
    win::ComPtr<IConnectionPoint> point;
    HRESULT hr = FindBrowserEvents(browser.Get(), point);
    if (FAILED(hr)) return hr;
    if (eventCookie != kNoCookie) return E_FAIL;
    DWORD cookie = 0;
    hr = point->Advise(static_cast<DWebBrowserEvents2*>(&eventSink), &cookie);
    if (FAILED(hr)) return hr;
    eventCookie = cookie;
    subscribed = 1;
    return S_OK;
}

void CBrimwellBHO::Unsubscribe() {
    if (!subscribed) return;
    win::ComPtr<IConnectionPoint> point;
    if (browser && SUCCEEDED(FindBrowserEvents(browser.Get(), point))) point->Unadvise(eventCookie);
    eventCookie = kNoCookie;
    subscribed = 0;
}

void CBrimwellBHO::Detach() {
    detaching = true;  // events dispatched during the wait start nothing
    stopRequested = 1;
    ++attachment;      // no worker started before this point runs again
    WaitForLatestWorker();
    Unsubscribe();
    DisconnectWindowSinks();
    pageEvents = PageEventState();
    // A worker may release this object last; nothing of the browser's apartment may be left
    // for its thread to release.
    browser.Reset();
    detaching = false;
}

void CBrimwellBHO::WaitForLatestWorker() {
    if (!worker || !worker->Running()) return;
    HANDLE handle = worker->handle.get();
    const ULONGLONG deadline = ::GetTickCount64() + kDetachWaitMs;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return;
        DWORD index = 0;
        // Dispatches incoming COM calls: the worker's calls on the document run on this thread.
        const HRESULT hr = ::CoWaitForMultipleHandles(0, static_cast<DWORD>(deadline - now), 1,
                                                      &handle, &index);
        if (hr == S_OK || hr == RPC_S_CALLPENDING) return;
        if (FAILED(hr)) {
            ::WaitForSingleObject(handle, static_cast<DWORD>(deadline - now));
            return;
        }
    }
}

void CBrimwellBHO::DisconnectWindowSinks() {
    std::vector<CHtmlWindowEventSink*> sinks;
    sinks.swap(liveSinks);
    windowSink = nullptr;
    for (CHtmlWindowEventSink* sink : sinks) {
        win::ComPtr<CHtmlWindowEventSink> hold(sink);  // Disconnect may drop the last reference
        sink->Disconnect();
    }
}

void CBrimwellBHO::OnWindowSinkReleased(CHtmlWindowEventSink* sink) {
    for (auto it = liveSinks.begin(); it != liveSinks.end(); ++it) {
        if (*it == sink) { liveSinks.erase(it); break; }
    }
    if (windowSink == sink) windowSink = nullptr;
}

STDMETHODIMP CBrimwellBHO::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP CBrimwellBHO::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    win::ComPtr<ITypeInfo> loaded;
    const HRESULT hr = LoadTypeInfo(loaded);
    if (SUCCEEDED(hr)) *info = loaded.Detach();
    return hr;
}

STDMETHODIMP CBrimwellBHO::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                         DISPID* ids) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    win::ComPtr<ITypeInfo> info;
    const HRESULT hr = LoadTypeInfo(info);
    if (FAILED(hr)) return hr;
    return ::DispGetIDsOfNames(info.Get(), names, count, ids);
}

STDMETHODIMP CBrimwellBHO::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    win::ComPtr<ITypeInfo> info;
    const HRESULT hr = LoadTypeInfo(info);
    if (FAILED(hr)) return hr;
    return ::DispInvoke(static_cast<IBrimwellBHO*>(this), info.Get(), id, flags, params, result,
                        exception, argError);
}
