// Test helper: built-in programs of a named bitness, checked once they are started.
#include "tests/com/builtin_program_win.h"

#include <windows.h>

#include "addon/win/unique_handle.h"

namespace testing_addon {
namespace {

bool IsWow64(HANDLE process) {
    BOOL wow64 = FALSE;
    return ::IsWow64Process(process, &wow64) && wow64;
}

// True on 64-bit Windows, whichever bitness this process has.
bool SystemIs64Bit() { return kOwnBitness == Bitness::kX64 || IsWow64(::GetCurrentProcess()); }

// The system folder holding the built-ins of `bitness`, as seen from this process: a 32-bit
// process reaches the 64-bit folder only through "Sysnative", and its own through "System32",
// which the system redirects.
const wchar_t* SystemFolder(Bitness bitness) {
    if (bitness == kOwnBitness) return L"System32";
    if (bitness == Bitness::kX86) return L"SysWOW64";
    return L"Sysnative";
}

}  // namespace

std::wstring BuiltinPath(Bitness bitness, const std::wstring& name) {
    if (bitness == Bitness::kX64 && !SystemIs64Bit()) return std::wstring();
    wchar_t windows[MAX_PATH];
    const UINT length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    return std::wstring(windows) + L"\\" + SystemFolder(bitness) + L"\\" + name + L".exe";
}

long RunBuiltin(Bitness bitness, const std::wstring& name, const std::wstring& arguments) {
    const std::wstring program = BuiltinPath(bitness, name);
    if (program.empty()) return kNotStarted;
    std::wstring line = L"\"" + program + L"\" " + arguments;  // CreateProcessW may write to it
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                          nullptr, nullptr, &startup, &info))
        return kNotStarted;
    win::UniqueHandleObject process(info.hProcess), thread(info.hThread);
    // On 64-bit Windows exactly the 32-bit programs run under WOW64.
    const bool runsAs32Bit = !SystemIs64Bit() || IsWow64(process.Get());
    if (runsAs32Bit != (bitness == Bitness::kX86)) {
        ::TerminateProcess(process.Get(), static_cast<UINT>(kWrongBitness));
        return kWrongBitness;
    }
    ::ResumeThread(thread.Get());
    if (::WaitForSingleObject(process.Get(), 120000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.Get(), static_cast<UINT>(kTimedOut));
        return kTimedOut;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.Get(), &code);
    return static_cast<long>(code);
}

}  // namespace testing_addon
