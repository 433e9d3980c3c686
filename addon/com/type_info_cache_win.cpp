// Loads type information from the registered type library or the module's own resource.
#include "addon/com/type_info_cache_win.h"

#include <oleauto.h>

#include <new>
#include <string>

#include "addon/com/brimwell_addon_h.h"
#include "addon/com/module_path_win.h"

namespace com {
namespace {
// The type library is registered for US English (locale 1033), as its definition states.
const LCID kTypeLibLocale = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);
}  // namespace

HMODULE ModuleOfThisCode() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&ModuleOfThisCode), &module);
    return module;
}

TypeInfoCache::TypeInfoCache(const GUID& library, WORD majorVersion, WORD minorVersion,
                             const IID& interfaceId)
    : libid(library), major(majorVersion), minor(minorVersion), iid(interfaceId) {}

HRESULT TypeInfoCache::Get(ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    try {
        std::lock_guard<std::mutex> hold(guard);
        if (!cached) {
            const HRESULT hr = Load(cached);
            if (FAILED(hr)) return hr;
        }
        win::ComPtr<ITypeInfo> copy(cached);
        *info = copy.Detach();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT TypeInfoCache::Load(win::ComPtr<ITypeInfo>& info) const {
    win::ComPtr<ITypeLib> library;
    if (SUCCEEDED(::LoadRegTypeLib(libid, major, minor, kTypeLibLocale, library.Put())) &&
        SUCCEEDED(library->GetTypeInfoOfGuid(iid, info.Put())))
        return S_OK;
    std::wstring path;
    HRESULT hr = ModuleFilePath(ModuleOfThisCode(), path);
    if (SUCCEEDED(hr)) hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put());
    if (FAILED(hr)) return hr;
    return library->GetTypeInfoOfGuid(iid, info.Put());
}

HRESULT LoadBrimwellTypeInfo(ITypeInfo** info) {
    static TypeInfoCache cache(LIBID_brimwelladdonLib, 1, 0, IID_IBrimwellBHO);
    return cache.Get(info);
}

}  // namespace com
