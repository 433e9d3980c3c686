// Test helper: the built library's path and running helper programs.
#include "tests/com/addon_library_path_win.h"

#include <windows.h>

#include "addon/win/unique_handle.h"

namespace testing_addon {

std::wstring BuiltLibraryPath() {
    const std::string host = BRIMWELL_ADDON_DLL;
    std::wstring path(host.begin(), host.end());
    if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

long RunAndWait(const std::wstring& commandLine) {
    std::wstring line = commandLine;  // CreateProcessW may write to it
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info))
        return -1;
    win::UniqueHandleObject process(info.hProcess), thread(info.hThread);
    if (::WaitForSingleObject(process.Get(), 120000) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(process.Get(), &code);
    return static_cast<long>(code);
}

}  // namespace testing_addon
