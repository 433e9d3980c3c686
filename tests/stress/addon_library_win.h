// The built add-on library as the browser uses it: loaded, asked for its class factory,
// asked whether it can unload, and freed.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "addon/win/com_ptr.h"

namespace soak {

class AddonLibrary {
public:
    AddonLibrary();
    ~AddonLibrary();  // frees it when Free was not called
    AddonLibrary(const AddonLibrary&) = delete;
    AddonLibrary& operator=(const AddonLibrary&) = delete;

    bool Loaded() const { return library != nullptr; }
    win::ComPtr<IClassFactory> Factory() const;
    // DllCanUnloadNow: S_OK once no object and no server lock is left.
    HRESULT CanUnloadNow() const;
    // Gives back this reference; the library stays mapped while its threads still hold theirs.
    void Free();

    // Whether the library is mapped in the process at all.
    static bool Mapped();

private:
    HMODULE library;
};

}  // namespace soak
