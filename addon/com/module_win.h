// The module object: lock count, class table of one row, registration of the server.
#pragma once

#include <windows.h>

#include "addon/com/class_factory_win.h"
#include "addon/win/com_ptr.h"

namespace com {

// The one creatable class: its id, its registration script and how to create it.
struct ClassEntry {
    const CLSID* clsid;
    UINT scriptId;
    CreateObjectFn create;
};

class CbrimwelladdonModule {
public:
    CbrimwelladdonModule(const ClassEntry& entry, const ModuleLockCalls& moduleLock);
    ~CbrimwelladdonModule();
    CbrimwelladdonModule(const CbrimwelladdonModule&) = delete;
    CbrimwelladdonModule& operator=(const CbrimwelladdonModule&) = delete;

    // False when the internal lock could not be created; the module then serves nothing.
    bool Initialised() const { return initialised; }

    // The class factory, created on the first request and kept for the life of the module.
    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
    // S_OK when no object and no server lock is alive, otherwise S_FALSE.
    HRESULT CanUnloadNow() const;

    // Module script first, then the class script and the type library; unregistration runs
    // in the opposite order. `library` is the module holding the scripts and the type library.
    HRESULT RegisterServer(HMODULE library);
    HRESULT UnregisterServer(HMODULE library);

private:
    ClassEntry entry;
    ModuleLockCalls moduleLock;
    CRITICAL_SECTION guard;
    bool initialised;
    win::ComPtr<IClassFactory> factory;
};

}  // namespace com
