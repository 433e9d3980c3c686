// A minimal hand-written IDispatch base for event sinks: the derived class answers Invoke.
#pragma once

#include <oaidl.h>
#include <windows.h>

class CDispatchImpl : public IDispatch {
public:
    // IUnknown: answers IUnknown and IDispatch; the count is changed atomically.
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch: no type information; Invoke passes the DISPID and parameters on, and turns
    // whatever the handler throws into an error code.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    virtual ~CDispatchImpl() = default;

protected:
    CDispatchImpl() = default;
    CDispatchImpl(const CDispatchImpl&) = delete;
    CDispatchImpl& operator=(const CDispatchImpl&) = delete;

    virtual HRESULT HandleInvoke(DISPID id, DISPPARAMS* params) = 0;
    // Runs once, just before the object is destroyed by its last Release.
    virtual void OnFinalRelease() {}

private:
    LONG refCount = 0;
};
