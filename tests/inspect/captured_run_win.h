// Runs a program to its end and collects what it wrote to standard output.
#pragma once

#include <windows.h>

#include <string>

#include "addon/win/unique_handle.h"

struct CapturedRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;  // carriage returns removed
};

inline CapturedRun RunCaptured(const std::string& exe, const std::string& arguments) {
    CapturedRun run;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
    win::UniqueHandleObject reader(readEnd), writer(writeEnd);
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    std::string command = "\"" + exe + "\" " + arguments;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &process))
        return run;
    win::UniqueHandleObject processHandle(process.hProcess), threadHandle(process.hThread);
    writer.Reset();  // the child holds the only write end: reading ends when it exits
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
        run.output.append(buffer, got);
    ::WaitForSingleObject(process.hProcess, 30000);
    ::GetExitCodeProcess(process.hProcess, &run.exitCode);
    std::string::size_type cr;
    while ((cr = run.output.find('\r')) != std::string::npos) run.output.erase(cr, 1);
    return run;
}
