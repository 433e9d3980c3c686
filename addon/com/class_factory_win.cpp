// Class factory: aggregation refused, creation errors passed on, server locks counted.
#include "addon/com/class_factory_win.h"

#include <new>

namespace com {

ClassFactory::ClassFactory(CreateObjectFn createFn, const ModuleLockCalls& lockCalls)
    : references(0), serverLocks(0), create(createFn), moduleLock(lockCalls) {}

STDMETHODIMP ClassFactory::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&references));
}

STDMETHODIMP_(ULONG) ClassFactory::Release() {
    const LONG left = ::InterlockedDecrement(&references);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    try {
        const HRESULT hr = create(riid, ppv);
        if (FAILED(hr)) *ppv = nullptr;
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
    if (lock) {
        ::InterlockedIncrement(&serverLocks);
        moduleLock.lock();
        return S_OK;
    }
    for (LONG held = serverLocks; held > 0; held = serverLocks) {
        if (::InterlockedCompareExchange(&serverLocks, held - 1, held) == held) {
            moduleLock.unlock();
            return S_OK;
        }
    }
    return E_UNEXPECTED;
}

}  // namespace com
