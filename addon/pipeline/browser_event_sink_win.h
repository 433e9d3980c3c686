// The browser's DWebBrowserEvents2 sink: its own COM identity, counted with its owner.
#pragma once

#include <exdisp.h>
#include <windows.h>

class CBrimwellBHO;

class BrowserEventSink : public DWebBrowserEvents2 {
public:
    explicit BrowserEventSink(CBrimwellBHO& owner) : owner(owner) {}
    BrowserEventSink(const BrowserEventSink&) = delete;
    BrowserEventSink& operator=(const BrowserEventSink&) = delete;

    // Answers DWebBrowserEvents2, IDispatch and IUnknown with itself; counts on the owner.
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    // BeforeNavigate2, NavigateComplete2, DocumentComplete and DownloadBegin reach the owner;
    // every other event is accepted and ignored.
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

private:
    CBrimwellBHO& owner;
};
