// Registrar: writes and removes the key tree of a parsed script.
#include "addon/com/registrar_win.h"

#include <string>

#include "addon/win/unique_handle.h"

namespace registrar {
namespace {

constexpr REGSAM kKeyAccess = KEY_READ | KEY_WRITE | DELETE;

HKEY RootOf(Hive hive, const RootMap& roots) {
    switch (hive) {
        case Hive::kClassesRoot: return roots.classesRoot;
        case Hive::kCurrentUser: return roots.currentUser;
        case Hive::kLocalMachine: return roots.localMachine;
        case Hive::kUsers: return roots.users;
        case Hive::kCurrentConfig: return roots.currentConfig;
    }
    return nullptr;
}

bool Missing(LONG status) { return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND; }

// Deletes `name` below `parent` with everything under it; a missing key is no failure.
HRESULT DeleteTree(HKEY parent, const std::wstring& name) {
    const LONG status = ::RegDeleteTreeW(parent, name.c_str());
    if (status == ERROR_SUCCESS || Missing(status)) return S_OK;
    return HRESULT_FROM_WIN32(status);
}

HRESULT WriteValue(HKEY key, const Value& value) {
    const wchar_t* name = value.name.empty() ? nullptr : value.name.c_str();
    LONG status;
    if (value.type == ValueType::kDword) {
        const DWORD number = value.number;
        status = ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                                  sizeof number);
    } else {
        const DWORD bytes = static_cast<DWORD>((value.text.size() + 1) * sizeof(wchar_t));
        status = ::RegSetValueExW(key, name, 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(value.text.c_str()), bytes);
    }
    return HRESULT_FROM_WIN32(status);
}

HRESULT RegisterKeys(HKEY parent, const std::vector<Key>& keys) {
    for (const Key& key : keys) {
        if (key.flag == KeyFlag::kDelete || key.flag == KeyFlag::kForceRemove) {
            const HRESULT hr = DeleteTree(parent, key.name);
            if (FAILED(hr)) return hr;
            if (key.flag == KeyFlag::kDelete) continue;
        }
        win::UniqueHKey opened;
        const LONG status = ::RegCreateKeyExW(parent, key.name.c_str(), 0, nullptr, 0, kKeyAccess,
                                              nullptr, opened.Put(), nullptr);
        if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
        for (const Value& value : key.values) {
            const HRESULT hr = WriteValue(opened.Get(), value);
            if (FAILED(hr)) return hr;
        }
        const HRESULT hr = RegisterKeys(opened.Get(), key.subkeys);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT UnregisterKeys(HKEY parent, const std::vector<Key>& keys) {
    for (const Key& key : keys) {
        if (key.flag == KeyFlag::kDelete) continue;  // removed at registration already
        if (key.flag == KeyFlag::kForceRemove) {
            const HRESULT hr = DeleteTree(parent, key.name);
            if (FAILED(hr)) return hr;
            continue;
        }
        win::UniqueHKey opened;
        LONG status = ::RegOpenKeyExW(parent, key.name.c_str(), 0, kKeyAccess, opened.Put());
        if (Missing(status)) continue;
        if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
        for (const Value& value : key.values) {
            if (value.name.empty()) continue;  // the unnamed value goes with its key
            status = ::RegDeleteValueW(opened.Get(), value.name.c_str());
            if (status != ERROR_SUCCESS && !Missing(status)) return HRESULT_FROM_WIN32(status);
        }
        const HRESULT hr = UnregisterKeys(opened.Get(), key.subkeys);
        if (FAILED(hr)) return hr;
        if (key.flag == KeyFlag::kNoRemove) continue;
        DWORD subkeys = 0;
        status = ::RegQueryInfoKeyW(opened.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
        if (subkeys != 0) continue;  // something not ours lives below: keep the key
        opened.Reset();
        status = ::RegDeleteKeyW(parent, key.name.c_str());
        if (status != ERROR_SUCCESS && !Missing(status)) return HRESULT_FROM_WIN32(status);
    }
    return S_OK;
}

// Resource bytes as text: UTF-8 (ASCII included), an optional byte-order mark, up to a NUL.
bool DecodeUtf8(const char* bytes, DWORD size, std::wstring& text) {
    std::string narrow(bytes, size);
    narrow = narrow.substr(0, narrow.find('\0'));
    if (narrow.compare(0, 3, "\xEF\xBB\xBF") == 0) narrow.erase(0, 3);
    text.clear();
    if (narrow.empty()) return true;
    const int length = static_cast<int>(narrow.size());
    const int needed = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, narrow.data(), length,
                                             nullptr, 0);
    if (needed <= 0) return false;
    text.resize(static_cast<size_t>(needed));
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, narrow.data(), length, &text[0], needed);
    return true;
}

}  // namespace

RootMap SystemRoots() {
    return RootMap{HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                   HKEY_CURRENT_CONFIG};
}

HRESULT ApplyScript(const Script& script, Mode mode, const RootMap& roots) {
    for (const RootBlock& root : script.roots) {
        HKEY hive = RootOf(root.hive, roots);
        if (!hive) return E_INVALIDARG;
        const HRESULT hr = mode == Mode::kRegister ? RegisterKeys(hive, root.subkeys)
                                                   : UnregisterKeys(hive, root.subkeys);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT RunScriptText(const std::wstring& text, const Replacements& replacements, Mode mode,
                      const RootMap& roots) {
    Script script;
    ParseError error;
    if (!ParseScript(text, replacements, script, error)) return kMalformedScript;
    return ApplyScript(script, mode, roots);
}

HRESULT LoadScriptResource(HMODULE module, UINT id, const Replacements& replacements,
                           Script& script) {
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"REGISTRY");
    if (!found) return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes) return HRESULT_FROM_WIN32(::GetLastError());
    std::wstring text;
    if (!DecodeUtf8(static_cast<const char*>(bytes), ::SizeofResource(module, found), text))
        return kMalformedScript;
    ParseError error;
    return ParseScript(text, replacements, script, error) ? S_OK : kMalformedScript;
}

HRESULT RunScriptResource(HMODULE module, UINT id, const Replacements& replacements, Mode mode,
                          const RootMap& roots) {
    Script script;
    const HRESULT hr = LoadScriptResource(module, id, replacements, script);
    return FAILED(hr) ? hr : ApplyScript(script, mode, roots);
}

}  // namespace registrar
