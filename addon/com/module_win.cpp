// The module object: serves its class factory and registers the server.
#include "addon/com/module_win.h"

#include <new>

#include "addon/com/server_registration_win.h"

namespace com {
namespace {

class CriticalSectionHold {
public:
    explicit CriticalSectionHold(CRITICAL_SECTION& cs) : section(cs) { ::EnterCriticalSection(&section); }
    ~CriticalSectionHold() { ::LeaveCriticalSection(&section); }
    CriticalSectionHold(const CriticalSectionHold&) = delete;
    CriticalSectionHold& operator=(const CriticalSectionHold&) = delete;

private:
    CRITICAL_SECTION& section;
};

}  // namespace

CbrimwelladdonModule::CbrimwelladdonModule(const ClassEntry& classEntry,
                                           const ModuleLockCalls& lockCalls)
    : entry(classEntry),
      moduleLock(lockCalls),
      initialised(::InitializeCriticalSectionAndSpinCount(&guard, 0) != FALSE) {}

CbrimwelladdonModule::~CbrimwelladdonModule() {
    factory.Reset();
    if (initialised) ::DeleteCriticalSection(&guard);
}

HRESULT CbrimwelladdonModule::GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (clsid != *entry.clsid) return CLASS_E_CLASSNOTAVAILABLE;
    if (!initialised) return E_UNEXPECTED;
    win::ComPtr<IClassFactory> kept;
    {
        CriticalSectionHold hold(guard);
        if (!factory) {
            ClassFactory* created = new (std::nothrow) ClassFactory(entry.create, moduleLock);
            if (!created) return E_OUTOFMEMORY;
            factory = win::ComPtr<IClassFactory>(created);
        }
        kept = factory;
    }
    return kept->QueryInterface(riid, ppv);
}

HRESULT CbrimwelladdonModule::CanUnloadNow() const {
    return moduleLock.count() == 0 ? S_OK : S_FALSE;
}

HRESULT CbrimwelladdonModule::RegisterServer(HMODULE library) {
    return com::RegisterServer(library, *entry.clsid, entry.scriptId);
}

HRESULT CbrimwelladdonModule::UnregisterServer(HMODULE library) {
    return com::UnregisterServer(library, *entry.clsid, entry.scriptId);
}

}  // namespace com
