// The stand-in's settings: the add-on's selector address and port, and its cards file.
#include "tools/selector-standin/standin_settings_win.h"

#include <cstdint>
#include <cstring>

#include "addon/metadata/settings_win.h"
#include "addon/selector/selector_endpoint.h"
#include "addon/win/text_win.h"
#include "addon/win/unique_handle.h"

bool ReadListenEndpoint(ListenEndpoint& endpoint) {
    // Read and formed as the add-on does, so the stand-in listens exactly where it connects.
    std::wstring host;
    std::uint32_t port = BRIMWELL_DEFAULT_SELECTOR_PORT;
    win::UniqueHKey settings;
    if (OpenMachineSettingsKey(SettingsRoots(), settings.Put()) == ERROR_SUCCESS) {
        host = ReadRegistryString(settings.Get(), L"Selector Selector Host");
        ReadRegistryDword(settings.Get(), L"Selector Selector Port", port);
    }
    boost::asio::ip::tcp::endpoint address;
    if (!selector::MakeSelectorEndpoint(win::ToNarrow(host), port, address) ||
        address.port() == 0 || address.size() > sizeof endpoint.address)
        return false;
    std::memset(&endpoint, 0, sizeof endpoint);
    std::memcpy(&endpoint.address, address.data(), address.size());
    endpoint.addressSize = static_cast<int>(address.size());
    return true;
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
