// The bin folder: "VELTRANE_BIN" under HKEY_LOCAL_MACHINE "Software\Krestel", cached once known.
#include "runner/folders.h"

#include "runner/registry_key_win.h"

std::string GetBinFolder() {
    static std::string cache;
    if (cache.empty()) {
        RegistryKey key(HKEY_LOCAL_MACHINE, "Software\\Krestel");
        const std::string text = key.ReadString("VELTRANE_BIN");
        cache = text.substr(0, text.find('\0'));
    }
    return cache;
}
