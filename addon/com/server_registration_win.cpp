// Runs the registration scripts and registers the type library held in the library itself.
#include "addon/com/server_registration_win.h"

#include <oleauto.h>

#include "addon/com/module_path_win.h"
#include "addon/com/registrar_win.h"
#include "addon/com/server_key_placement.h"
#include "addon/com/server_replacements.h"
#include "addon/win/com_ptr.h"
#include "addon/win/unique_handle.h"

namespace com {
namespace {

// Sets the thread locale for the scope and restores the caller's.
class ThreadLocaleScope {
public:
    explicit ThreadLocaleScope(LCID locale) : saved(::GetThreadLocale()) { ::SetThreadLocale(locale); }
    ~ThreadLocaleScope() { ::SetThreadLocale(saved); }
    ThreadLocaleScope(const ThreadLocaleScope&) = delete;
    ThreadLocaleScope& operator=(const ThreadLocaleScope&) = delete;

private:
    LCID saved;
};

// The type library of the library's own "TYPELIB" resource 1.
HRESULT LoadOwnTypeLib(const std::wstring& path, win::ComPtr<ITypeLib>& typeLib) {
    return ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, typeLib.Put());
}

HRESULT RegisterOwnTypeLib(const std::wstring& path) {
    win::ComPtr<ITypeLib> typeLib;
    HRESULT hr = LoadOwnTypeLib(path, typeLib);
    if (FAILED(hr)) return hr;
    std::wstring fullPath = path;  // the API takes a non-const string
    return ::RegisterTypeLib(typeLib.Get(), &fullPath[0], nullptr);
}

// "TypeLib\{libid}\<major>.<minor>" (hexadecimal numbers), or "" when the id cannot be written.
std::wstring TypeLibVersionKey(const TLIBATTR& attributes) {
    wchar_t libid[40];
    if (!::StringFromGUID2(attributes.guid, libid, 40)) return std::wstring();
    wchar_t version[16];
    ::wsprintfW(version, L"%x.%x", attributes.wMajorVerNum, attributes.wMinorVerNum);
    return std::wstring(L"TypeLib\\") + libid + L"\\" + version;
}

bool IsTypeLibRegistered(const TLIBATTR& attributes) {
    const std::wstring path = TypeLibVersionKey(attributes);
    win::UniqueHKey key;
    return !path.empty() &&
           ::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

// While the other bitness stays registered only this bitness's entry goes
// ("...\409\win32" or "...\win64"): the type library key and the interface keys, which
// both bitnesses share, stay for the other.
HRESULT RemoveTypeLibPlatformEntry(const TLIBATTR& attributes) {
    const wchar_t* platform = attributes.syskind == SYS_WIN64 ? L"win64" : L"win32";
    wchar_t locale[16];
    ::wsprintfW(locale, L"%x", attributes.lcid);
    const std::wstring path = TypeLibVersionKey(attributes) + L"\\" + locale + L"\\" + platform;
    const LONG status = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return S_OK;
    return HRESULT_FROM_WIN32(status);
}

HRESULT UnregisterOwnTypeLib(const std::wstring& path, bool keepShared) {
    win::ComPtr<ITypeLib> typeLib;
    HRESULT hr = LoadOwnTypeLib(path, typeLib);
    if (FAILED(hr)) return hr;
    TLIBATTR* attributes = nullptr;
    hr = typeLib->GetLibAttr(&attributes);
    if (FAILED(hr)) return hr;
    const TLIBATTR copy = *attributes;
    typeLib->ReleaseTLibAttr(attributes);
    // Not registered counts as done, so an unregistration can be repeated.
    if (!IsTypeLibRegistered(copy)) return S_OK;
    if (keepShared) return RemoveTypeLibPlatformEntry(copy);
    return ::UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid,
                               copy.syskind);
}

// The view of the other bitness's class keys: from a 64-bit process the 32-bit one; from a
// 32-bit process the 64-bit one, which exists only on 64-bit Windows.
bool OtherView(REGSAM& view) {
    if (sizeof(void*) == 8) {
        view = KEY_WOW64_32KEY;
        return true;
    }
    BOOL wow64 = FALSE;
    view = KEY_WOW64_64KEY;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

// The library registered for `clsid` by the other bitness, or "" when it has none.
std::wstring OtherBitnessModule(const CLSID& clsid) {
    REGSAM view = 0;
    wchar_t id[40];
    if (!OtherView(view) || !::StringFromGUID2(clsid, id, 40)) return std::wstring();
    const std::wstring path = std::wstring(L"CLSID\\") + id + L"\\InprocServer32";
    win::UniqueHKey key;
    wchar_t module[MAX_PATH * 2];
    DWORD size = sizeof module;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, key.Put()) !=
            ERROR_SUCCESS ||
        ::RegGetValueW(key.Get(), nullptr, nullptr, RRF_RT_REG_SZ, nullptr, module, &size) !=
            ERROR_SUCCESS)
        return std::wstring();
    return module;
}

// Both scripts are read and parsed before either is applied, so a malformed one changes nothing.
HRESULT LoadScripts(HMODULE library, UINT classScriptId, std::wstring& path,
                    registrar::Script& moduleScript, registrar::Script& classScript) {
    HRESULT hr = ModuleFilePath(library, path);
    if (FAILED(hr)) return hr;
    const registrar::Replacements replacements = ServerReplacements(path);
    hr = registrar::LoadScriptResource(library, kModuleScriptId, replacements, moduleScript);
    if (FAILED(hr)) return hr;
    return registrar::LoadScriptResource(library, classScriptId, replacements, classScript);
}

// Register: module script, class script, type library. Unregister: class script, type
// library, module script. Each step runs only when the ones before it succeeded. While the
// other bitness stays registered, unregistering leaves the shared keys to it.
HRESULT UpdateServer(HMODULE library, const CLSID& clsid, UINT classScriptId,
                     registrar::Mode mode) {
    ThreadLocaleScope locale(LOCALE_SYSTEM_DEFAULT);
    std::wstring path;
    registrar::Script moduleScript, classScript;
    HRESULT hr = LoadScripts(library, classScriptId, path, moduleScript, classScript);
    if (FAILED(hr)) return hr;
    const registrar::RootMap roots = registrar::SystemRoots();
    registrar::ApplyOptions options;
    options.placement = ServerKeyPlacement();
    if (mode == registrar::Mode::kRegister) {
        hr = registrar::ApplyScript(moduleScript, mode, roots, options);
        if (SUCCEEDED(hr)) hr = registrar::ApplyScript(classScript, mode, roots, options);
        if (SUCCEEDED(hr)) hr = RegisterOwnTypeLib(path);
    } else {
        options.otherModule = OtherBitnessModule(clsid);
        options.keepShared = !options.otherModule.empty();
        options.ownModule = path;
        hr = registrar::ApplyScript(classScript, mode, roots, options);
        if (SUCCEEDED(hr)) hr = UnregisterOwnTypeLib(path, options.keepShared);
        if (SUCCEEDED(hr)) hr = registrar::ApplyScript(moduleScript, mode, roots, options);
    }
    return hr;
}

}  // namespace

HRESULT RegisterServer(HMODULE library, const CLSID& clsid, UINT classScriptId) {
    return UpdateServer(library, clsid, classScriptId, registrar::Mode::kRegister);
}

HRESULT UnregisterServer(HMODULE library, const CLSID& clsid, UINT classScriptId) {
    return UpdateServer(library, clsid, classScriptId, registrar::Mode::kUnregister);
}

}  // namespace com
