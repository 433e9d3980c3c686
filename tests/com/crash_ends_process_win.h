// A crash on any thread ends the test process at once with the exception's code. Under Wine
// the automatic debugger reports an unhandled exception and then lets the process exit with
// 0, so a test that crashes would otherwise pass.
#pragma once

#include <windows.h>

#include <cstdio>

namespace testing_addon {

inline LONG WINAPI EndProcessWithExceptionCode(EXCEPTION_POINTERS* exception) {
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    std::fprintf(stderr, "crash: exception 0x%08lx at %p\n", static_cast<unsigned long>(code),
                 exception->ExceptionRecord->ExceptionAddress);
    std::fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

inline void EndProcessOnCrash() { ::SetUnhandledExceptionFilter(&EndProcessWithExceptionCode); }

}  // namespace testing_addon
