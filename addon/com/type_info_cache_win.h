// Type information of one interface, loaded once from its type library and then shared.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <mutex>

#include "addon/win/com_ptr.h"

namespace com {

// Looks the library up in the registration first; when the registration lacks it (or names a
// file that no longer loads or lacks the interface), reads the "TYPELIB" resource of the module holding this code, so
// script callers reach the methods after an installation that wrote no TypeLib keys.
class TypeInfoCache {
public:
    TypeInfoCache(const GUID& libid, WORD major, WORD minor, const IID& iid);
    TypeInfoCache(const TypeInfoCache&) = delete;
    TypeInfoCache& operator=(const TypeInfoCache&) = delete;

    // An added reference to the type information; a failed load is tried again next time.
    HRESULT Get(ITypeInfo** info);

private:
    HRESULT Load(win::ComPtr<ITypeInfo>& info) const;

    const GUID libid;
    const WORD major;
    const WORD minor;
    const IID iid;
    std::mutex guard;
    win::ComPtr<ITypeInfo> cached;
};

// The module (library or program) that holds this code.
HMODULE ModuleOfThisCode();

// The type information of IBrimwellBHO from the type library brimwelladdonLib 1.0; the loader
// the add-on object's dispatch methods use.
HRESULT LoadBrimwellTypeInfo(ITypeInfo** info);

}  // namespace com
