// A DWebBrowserEvents2 / HTMLWindowEvents2 sink for the tests: records each event it gets.
#pragma once

#include <windows.h>
#include <exdisp.h>

#include <functional>
#include <string>
#include <vector>

namespace simbrowser_test {

struct Received {
    DISPID dispid;
    std::vector<VARTYPE> types;  // of the arguments, in the order they travel (last first)
    IDispatch* disp;             // pDisp when there is one (not held)
    std::wstring url;
};

class EventRecorder final : public IDispatch {
public:
    explicit EventRecorder(bool* released = nullptr) : released(released) {}

    std::vector<Received> events;
    std::function<void(const Received&, DISPPARAMS*)> onEvent;  // runs inside Invoke

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != DIID_DWebBrowserEvents2)
            return E_NOINTERFACE;
        AddRef();
        *out = static_cast<IDispatch*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ::InterlockedIncrement(&refs); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = ::InterlockedDecrement(&refs);
        if (left == 0) {
            if (released) *released = true;
            delete this;
        }
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params,
                                     VARIANT*, EXCEPINFO*, UINT*) override {
        Received event{dispid, {}, nullptr, std::wstring()};
        for (UINT i = params ? params->cArgs : 0; i-- > 0;) {
            const VARIANTARG& arg = params->rgvarg[i];
            event.types.push_back(arg.vt);
            if (arg.vt == VT_DISPATCH && !event.disp) event.disp = arg.pdispVal;
            if (arg.vt == (VT_VARIANT | VT_BYREF) && event.url.empty() && arg.pvarVal &&
                arg.pvarVal->vt == VT_BSTR && arg.pvarVal->bstrVal)
                event.url = arg.pvarVal->bstrVal;
        }
        events.push_back(event);
        if (onEvent) onEvent(event, params);
        return S_OK;
    }

private:
    ~EventRecorder() = default;
    volatile LONG refs = 0;
    bool* released;
};

}  // namespace simbrowser_test
