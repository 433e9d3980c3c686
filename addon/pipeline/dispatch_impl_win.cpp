// Reference counting and IDispatch plumbing shared by the add-on's event sinks.
#include "addon/pipeline/dispatch_impl_win.h"

#include "addon/win/catch_return.h"

STDMETHODIMP CDispatchImpl::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_INVALIDARG;
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CDispatchImpl::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&refCount));
}

STDMETHODIMP_(ULONG) CDispatchImpl::Release() {
    const LONG count = ::InterlockedDecrement(&refCount);
    if (count != 0) return static_cast<ULONG>(count);
    OnFinalRelease();
    delete this;
    return 0;
}

STDMETHODIMP CDispatchImpl::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }

STDMETHODIMP CDispatchImpl::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

STDMETHODIMP CDispatchImpl::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

STDMETHODIMP CDispatchImpl::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) {
    try {
        return HandleInvoke(id, params);
    }
    BRIMWELL_CATCH_RETURN()
}
