// Test helper: the built library's path.
#include "tests/com/addon_library_path_win.h"

namespace testing_addon {

std::wstring BuiltLibraryPath() {
    const std::string host = BRIMWELL_ADDON_DLL;
    std::wstring path(host.begin(), host.end());
    if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

}  // namespace testing_addon
