// Subscribing to a page window's events and reporting its onload to the add-on object.
#include "addon/pipeline/html_window_event_sink_win.h"

#include <mshtmdid.h>
#include <ocidl.h>

namespace {

// HTMLWindowEvents2; the import libraries do not carry its identity.
const IID kHtmlWindowEvents2 = {0x3050f625, 0x98b5, 0x11cf,
                                {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};

HRESULT FindWindowEvents(IHTMLWindow2* window, win::ComPtr<IConnectionPoint>& point) {
    win::ComPtr<IConnectionPointContainer> container;
    HRESULT hr = window->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
    if (FAILED(hr)) return hr;
    hr = container->FindConnectionPoint(kHtmlWindowEvents2, point.Put());
    if (SUCCEEDED(hr) && !point) hr = E_FAIL;
    return hr;
}

}  // namespace

HRESULT CHtmlWindowEventSink::Connect(IHTMLWindow2* target) {
    if (!target) return E_POINTER;
    window = target;
    win::ComPtr<IConnectionPoint> point;
    HRESULT hr = FindWindowEvents(target, point);
    if (FAILED(hr)) return hr;
    if (cookie != 0) return S_OK;
    return point->Advise(static_cast<IDispatch*>(this), &cookie);
}

void CHtmlWindowEventSink::Disconnect() {
    callback = nullptr;
    if (cookie == 0 || !window) return;
    win::ComPtr<IConnectionPoint> point;
    const DWORD connection = cookie;
    cookie = 0;
    win::ComPtr<IHTMLWindow2> keep(window);  // Unadvise may release this sink
    if (SUCCEEDED(FindWindowEvents(keep.Get(), point))) point->Unadvise(connection);
}

HRESULT CHtmlWindowEventSink::HandleInvoke(DISPID id, DISPPARAMS* params) {
    if (!params) return E_INVALIDARG;
    if (!callback) return E_UNEXPECTED;
    if (id == DISPID_HTMLWINDOWEVENTS2_ONLOAD) callback->OnWindowLoad();
    return S_OK;
}

void CHtmlWindowEventSink::OnFinalRelease() {
    if (callback) callback->OnWindowSinkReleased(this);
}
