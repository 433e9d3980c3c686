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

std::wstring Join(const std::wstring& parent, const std::wstring& name) {
    return parent.empty() ? name : parent + L"\\" + name;
}

// One key of a script: its path from the hive's root and the view it is opened in. Every key
// is opened from the root by its full path, so that the view of one key never carries over
// to the keys below it (a 32-bit caller's HKLM\Software is the 32-bit one).
struct KeyAt {
    std::wstring path;
    REGSAM view;
    bool shared;
};

class ScriptApplier {
public:
    ScriptApplier(HKEY root, Hive hive, const ApplyOptions& options)
        : root(root), hive(hive), options(options) {}

    HRESULT Register(const std::wstring& parent, const std::vector<Key>& keys) const;
    HRESULT Unregister(const std::wstring& parent, const std::vector<Key>& keys) const;

private:
    KeyAt Locate(const std::wstring& parent, const Key& key) const {
        const Placement placement = PlacementOf(options.placement, hive, Join(parent, key.name));
        return KeyAt{Join(parent, key.name),
                     placement == Placement::kShared64BitView ? REGSAM(KEY_WOW64_64KEY) : REGSAM(0),
                     placement != Placement::kOwnView};
    }
    HRESULT DeleteTree(const KeyAt& at) const;
    HRESULT DeleteIfEmpty(const KeyAt& at, HKEY opened) const;
    HRESULT Repoint(HKEY opened, const Key& key) const;
    HRESULT UnregisterOne(const std::wstring& parent, const Key& key) const;

    HKEY root;
    Hive hive;
    const ApplyOptions& options;
};

// Deletes the key with everything under it; a missing key is no failure.
HRESULT ScriptApplier::DeleteTree(const KeyAt& at) const {
    win::UniqueHKey key;
    LONG status = ::RegOpenKeyExW(root, at.path.c_str(), 0, kKeyAccess | at.view, key.Put());
    if (Missing(status)) return S_OK;
    if (status == ERROR_SUCCESS) status = ::RegDeleteTreeW(key.Get(), nullptr);
    key.Reset();
    if (status == ERROR_SUCCESS) status = ::RegDeleteKeyExW(root, at.path.c_str(), at.view, 0);
    return status == ERROR_SUCCESS || Missing(status) ? S_OK : HRESULT_FROM_WIN32(status);
}

// Deletes the key unless something lives below it (then it is not only ours).
HRESULT ScriptApplier::DeleteIfEmpty(const KeyAt& at, HKEY opened) const {
    DWORD subkeys = 0;
    LONG status = ::RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subkeys, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    if (subkeys != 0) return S_OK;
    status = ::RegDeleteKeyExW(root, at.path.c_str(), at.view, 0);
    return status == ERROR_SUCCESS || Missing(status) ? S_OK : HRESULT_FROM_WIN32(status);
}

// A shared text value that still names the module being unregistered is made to name the
// module that stays; values changed since registration are left alone.
HRESULT ScriptApplier::Repoint(HKEY opened, const Key& key) const {
    if (options.ownModule.empty() || options.otherModule.empty()) return S_OK;
    for (const Value& value : key.values) {
        if (value.type != ValueType::kString) continue;
        if (value.text.find(options.ownModule) == std::wstring::npos) continue;
        const wchar_t* name = value.name.empty() ? nullptr : value.name.c_str();
        wchar_t stored[2048];
        DWORD size = sizeof stored;
        if (::RegGetValueW(opened, nullptr, name, RRF_RT_REG_SZ, nullptr, stored, &size) !=
                ERROR_SUCCESS ||
            value.text != stored)
            continue;
        Value repointed = value;
        for (std::size_t at = repointed.text.find(options.ownModule); at != std::wstring::npos;
             at = repointed.text.find(options.ownModule, at + options.otherModule.size()))
            repointed.text.replace(at, options.ownModule.size(), options.otherModule);
        const HRESULT hr = WriteValue(opened, repointed);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT ScriptApplier::Register(const std::wstring& parent, const std::vector<Key>& keys) const {
    for (const Key& key : keys) {
        const KeyAt at = Locate(parent, key);
        if (key.flag == KeyFlag::kDelete || key.flag == KeyFlag::kForceRemove) {
            const HRESULT hr = DeleteTree(at);
            if (FAILED(hr)) return hr;
            if (key.flag == KeyFlag::kDelete) continue;
        }
        win::UniqueHKey opened;
        const LONG status = ::RegCreateKeyExW(root, at.path.c_str(), 0, nullptr, 0,
                                              kKeyAccess | at.view, nullptr, opened.Put(), nullptr);
        if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
        for (const Value& value : key.values) {
            const HRESULT hr = WriteValue(opened.Get(), value);
            if (FAILED(hr)) return hr;
        }
        const HRESULT hr = Register(at.path, key.subkeys);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT ScriptApplier::Unregister(const std::wstring& parent, const std::vector<Key>& keys) const {
    for (const Key& key : keys) {
        if (key.flag == KeyFlag::kDelete) continue;  // removed at registration already
        const HRESULT hr = UnregisterOne(parent, key);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT ScriptApplier::UnregisterOne(const std::wstring& parent, const Key& key) const {
    const KeyAt at = Locate(parent, key);
    const bool keep = at.shared && options.keepShared;
    if (key.flag == KeyFlag::kForceRemove && !keep) return DeleteTree(at);
    win::UniqueHKey opened;
    LONG status = ::RegOpenKeyExW(root, at.path.c_str(), 0, kKeyAccess | at.view, opened.Put());
    if (Missing(status)) return S_OK;
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    if (keep) {
        const HRESULT hr = Repoint(opened.Get(), key);
        return FAILED(hr) ? hr : Unregister(at.path, key.subkeys);
    }
    for (const Value& value : key.values) {
        if (value.name.empty()) continue;  // the unnamed value goes with its key
        status = ::RegDeleteValueW(opened.Get(), value.name.c_str());
        if (status != ERROR_SUCCESS && !Missing(status)) return HRESULT_FROM_WIN32(status);
    }
    const HRESULT hr = Unregister(at.path, key.subkeys);
    if (FAILED(hr) || key.flag == KeyFlag::kNoRemove) return hr;
    return DeleteIfEmpty(at, opened.Get());
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

HRESULT ApplyScript(const Script& script, Mode mode, const RootMap& roots,
                    const ApplyOptions& options) {
    for (const RootBlock& block : script.roots) {
        HKEY root = RootOf(block.hive, roots);
        if (!root) return E_INVALIDARG;
        const ScriptApplier applier(root, block.hive, options);
        const HRESULT hr = mode == Mode::kRegister ? applier.Register(L"", block.subkeys)
                                                   : applier.Unregister(L"", block.subkeys);
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
