// Entry points of the add-on library: DllMain and the four in-process server exports.
#include <windows.h>

#include <new>

#include "addon/com/brimwell_addon_h.h"
#include "addon/com/module_win.h"
#include "addon/com/type_info_cache_win.h"
#include "addon/pipeline/brimwell_bho.h"
#include "addon/pipeline/module_lock.h"

namespace {

constexpr UINT kClassScriptId = 102;

HINSTANCE library = nullptr;

com::CbrimwelladdonModule& Module() {
    static const com::ClassEntry entry = {&CLSID_BrimwellBHO, kClassScriptId, &CreateBrimwellBHO};
    static const com::ModuleLockCalls lockCalls = {&pipeline::LockModule, &pipeline::UnlockModule,
                                                   &pipeline::ModuleLockCount};
    static com::CbrimwelladdonModule module(entry, lockCalls);
    return module;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        library = instance;
        ::DisableThreadLibraryCalls(instance);
        SetTypeInfoLoader(&com::LoadBrimwellTypeInfo);
        if (!Module().Initialised()) return FALSE;
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
    try {
        return Module().GetClassObject(clsid, riid, ppv);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDAPI DllCanUnloadNow() { return Module().CanUnloadNow(); }

STDAPI DllRegisterServer() {
    try {
        return Module().RegisterServer(library);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDAPI DllUnregisterServer() {
    try {
        return Module().UnregisterServer(library);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}
