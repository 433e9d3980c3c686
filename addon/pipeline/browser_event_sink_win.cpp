// Turning DWebBrowserEvents2 calls into the add-on object's event handlers.
#include "addon/pipeline/browser_event_sink_win.h"

#include <exdispid.h>

#include "addon/pipeline/brimwell_bho.h"

namespace {

// Event arguments arrive last to first; fromFirst counts from the first declared argument.
const VARIANT* Argument(const DISPPARAMS* params, UINT fromFirst) {
    if (!params || !params->rgvarg || fromFirst >= params->cArgs) return nullptr;
    const VARIANT* value = &params->rgvarg[params->cArgs - 1 - fromFirst];
    // A VARIANT passed by reference, as the browser passes URL.
    while (value && value->vt == (VT_BYREF | VT_VARIANT)) value = value->pvarVal;
    return value;
}

IDispatch* DispatchArgument(const DISPPARAMS* params, UINT fromFirst) {
    const VARIANT* value = Argument(params, fromFirst);
    if (!value) return nullptr;
    if (value->vt == VT_DISPATCH) return value->pdispVal;
    if (value->vt == (VT_BYREF | VT_DISPATCH) && value->ppdispVal) return *value->ppdispVal;
    return nullptr;
}

const BSTR* StringArgument(const DISPPARAMS* params, UINT fromFirst) {
    const VARIANT* value = Argument(params, fromFirst);
    if (!value) return nullptr;
    if (value->vt == VT_BSTR) return &value->bstrVal;
    if (value->vt == (VT_BYREF | VT_BSTR)) return value->pbstrVal;
    return nullptr;
}

}  // namespace

STDMETHODIMP BrowserEventSink::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == DIID_DWebBrowserEvents2 || riid == IID_IDispatch || riid == IID_IUnknown) {
        *object = static_cast<DWebBrowserEvents2*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) BrowserEventSink::AddRef() { return owner.AddRef(); }

STDMETHODIMP_(ULONG) BrowserEventSink::Release() { return owner.Release(); }

STDMETHODIMP BrowserEventSink::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP BrowserEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP BrowserEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

STDMETHODIMP BrowserEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                      VARIANT*, EXCEPINFO*, UINT*) {
    try {
        switch (id) {
        case DISPID_BEFORENAVIGATE2:
            owner.OnBeforeNavigate2(DispatchArgument(params, 0), StringArgument(params, 1));
            break;
        case DISPID_NAVIGATECOMPLETE2:
            owner.OnNavigateComplete2(DispatchArgument(params, 0), StringArgument(params, 1));
            break;
        case DISPID_DOCUMENTCOMPLETE:
            owner.OnDocumentComplete(DispatchArgument(params, 0), StringArgument(params, 1));
            break;
        case DISPID_DOWNLOADBEGIN:
            owner.OnDownloadBegin();
            break;
        default:
            break;
        }
    } catch (...) {
        /* Boundary: a failed event handler never reaches the browser. */
    }
    return S_OK;
}
