// Class factory of the module's one creatable class.
#pragma once

#include <unknwn.h>

namespace com {

// Creates one object and asks it for riid; on failure nothing survives and *ppv stays null.
typedef HRESULT (*CreateObjectFn)(REFIID riid, void** ppv);

// Module lock count shared with the objects the module serves.
struct ModuleLockCalls {
    void (*lock)();
    void (*unlock)();
    long (*count)();
};

// Its own references do not keep the module loaded; LockServer(TRUE) does. LockServer(FALSE)
// without an outstanding LockServer(TRUE) is refused: it would release a lock that a live
// object holds and let the module unload under it.
class ClassFactory : public IClassFactory {
public:
    ClassFactory(CreateObjectFn create, const ModuleLockCalls& moduleLock);
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    virtual ~ClassFactory() = default;

    volatile LONG references;
    volatile LONG serverLocks;
    CreateObjectFn create;
    ModuleLockCalls moduleLock;
};

}  // namespace com
