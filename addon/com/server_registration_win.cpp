// Runs the registration scripts and registers the type library held in the library itself.
#include "addon/com/server_registration_win.h"

#include <oleauto.h>

#include "addon/com/module_path_win.h"
#include "addon/com/registrar_win.h"
#include "addon/win/com_ptr.h"
#include "addon/win/unique_handle.h"

namespace com {
namespace {

constexpr wchar_t kAppId[] = L"{2D7F0B93-E4A6-4158-8F3C-9B61C0E7A2D4}";

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

// HKCR\TypeLib\{libid}\<major>.<minor> (hexadecimal numbers) exists.
bool IsTypeLibRegistered(const TLIBATTR& attributes) {
    wchar_t libid[40];
    if (!::StringFromGUID2(attributes.guid, libid, 40)) return false;
    wchar_t version[16];
    ::wsprintfW(version, L"%x.%x", attributes.wMajorVerNum, attributes.wMinorVerNum);
    const std::wstring path = std::wstring(L"TypeLib\\") + libid + L"\\" + version;
    win::UniqueHKey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

HRESULT UnregisterOwnTypeLib(const std::wstring& path) {
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
    return ::UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid,
                               copy.syskind);
}

}  // namespace

registrar::Replacements ServerReplacements(const std::wstring& modulePath) {
    std::wstring quoted;
    for (wchar_t c : modulePath) {
        quoted += c;
        if (c == L'\'') quoted += L'\'';
    }
    registrar::Replacements replacements;
    replacements[L"APPID"] = kAppId;
    replacements[L"Module"] = quoted;
    replacements[L"Module_Raw"] = modulePath;
    return replacements;
}

namespace {

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
// library, module script. Each step runs only when the ones before it succeeded.
HRESULT UpdateServer(HMODULE library, UINT classScriptId, registrar::Mode mode) {
    ThreadLocaleScope locale(LOCALE_SYSTEM_DEFAULT);
    std::wstring path;
    registrar::Script moduleScript, classScript;
    HRESULT hr = LoadScripts(library, classScriptId, path, moduleScript, classScript);
    if (FAILED(hr)) return hr;
    const registrar::RootMap roots = registrar::SystemRoots();
    if (mode == registrar::Mode::kRegister) {
        hr = registrar::ApplyScript(moduleScript, mode, roots);
        if (SUCCEEDED(hr)) hr = registrar::ApplyScript(classScript, mode, roots);
        if (SUCCEEDED(hr)) hr = RegisterOwnTypeLib(path);
    } else {
        hr = registrar::ApplyScript(classScript, mode, roots);
        if (SUCCEEDED(hr)) hr = UnregisterOwnTypeLib(path);
        if (SUCCEEDED(hr)) hr = registrar::ApplyScript(moduleScript, mode, roots);
    }
    return hr;
}

}  // namespace

HRESULT RegisterServer(HMODULE library, UINT classScriptId) {
    return UpdateServer(library, classScriptId, registrar::Mode::kRegister);
}

HRESULT UnregisterServer(HMODULE library, UINT classScriptId) {
    return UpdateServer(library, classScriptId, registrar::Mode::kUnregister);
}

}  // namespace com
