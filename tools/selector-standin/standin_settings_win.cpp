// The stand-in's settings: the add-on's selector address and port, and its cards file.
#include "tools/selector-standin/standin_settings_win.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

const char kSettingsKey[] = "Software\\Veltrane\\Brimwell";
const char kDefaultHost[] = "127.0.0.1";
const DWORD kDefaultPort = 31002;

class SettingsKey {
public:
    SettingsKey() {
        // The add-on's settings live in the 64-bit view for both bitnesses.
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
            ERROR_SUCCESS)
            key = nullptr;
    }
    ~SettingsKey() { if (key) ::RegCloseKey(key); }
    SettingsKey(const SettingsKey&) = delete;
    SettingsKey& operator=(const SettingsKey&) = delete;

    // Text of a REG_SZ or REG_EXPAND_SZ value (taken literally, up to its first NUL).
    std::string Text(const char* name) const {
        DWORD type = 0, size = 0;
        if (!key || ::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS
            || (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
            return std::string();
        std::vector<char> buffer(size + 1, '\0');
        if (::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()),
                               &size) != ERROR_SUCCESS)
            return std::string();
        return std::string(buffer.data());
    }

    // True and the number when the value is a REG_DWORD; false when absent or of another type.
    bool Number(const char* name, DWORD& number) const {
        DWORD type = 0, size = sizeof number;
        return key && ::RegQueryValueExA(key, name, nullptr, &type,
                                         reinterpret_cast<BYTE*>(&number), &size) == ERROR_SUCCESS
               && type == REG_DWORD && size == sizeof number;
    }

private:
    HKEY key = nullptr;
};

}  // namespace

bool ReadListenEndpoint(ListenEndpoint& endpoint) {
    SettingsKey settings;
    std::string host = settings.Text("Selector Selector Host");
    if (host.empty()) host = kDefaultHost;
    DWORD port = kDefaultPort;
    if (!settings.Number("Selector Selector Port", port)) port = kDefaultPort;
    port &= 0xFFFFu;  // the add-on connects to the low 16 bits of the setting
    if (port == 0) return false;

    std::memset(&endpoint, 0, sizeof endpoint);
    sockaddr_in& v4 = reinterpret_cast<sockaddr_in&>(endpoint.address);
    sockaddr_in6& v6 = reinterpret_cast<sockaddr_in6&>(endpoint.address);
    if (::inet_pton(AF_INET, host.c_str(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = ::htons(static_cast<u_short>(port));
        endpoint.addressSize = sizeof v4;
        return true;
    }
    if (::inet_pton(AF_INET6, host.c_str(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = ::htons(static_cast<u_short>(port));
        endpoint.addressSize = sizeof v6;
        return true;
    }
    return false;  // not a numeric address: the add-on could not reach it either
}

std::string CardsFilePath() {
    char named[MAX_PATH * 2];
    const DWORD length = ::GetEnvironmentVariableA("BRIMWELL_STANDIN_CARDS", named, sizeof named);
    if (length > 0 && length < sizeof named) return std::string(named, length);

    HMODULE self = nullptr;
    char path[MAX_PATH * 2];
    if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS
                                  | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCSTR>(&CardsFilePath), &self))
        return "cards.xml";
    const DWORD size = ::GetModuleFileNameA(self, path, sizeof path);
    if (size == 0 || size >= sizeof path) return "cards.xml";
    std::string folder(path, size);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + "cards.xml";
}
