// App-data and data folders from the process environment, cached once they are known.
#include "runner/folders.h"

#include <cstdlib>

#include "runner/path_join.h"

std::string GetAppDataFolder() {
    static std::string cache;
    if (cache.empty()) {
        const char* value = std::getenv("APPDATA");
        if (value) cache = value;
    }
    return cache;
}

std::string GetDataFolder() {
    static std::string cache;
    if (cache.empty()) {
        const std::string appData = GetAppDataFolder();
        if (!appData.empty()) cache = JoinPath(appData, "veltrane");
    }
    return cache;
}
