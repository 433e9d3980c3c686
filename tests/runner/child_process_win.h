// Starting Windows programs from tests and collecting their exit codes.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

const DWORD kNoExitCode = 0xFFFFFFFF;

class ChildProcess {
public:
    // environment: a complete block, or null to inherit ours.
    ChildProcess(const std::string& exe, const std::string& arguments, char* environment = nullptr) {
        std::string command = "\"" + exe + "\"" + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        if (!::CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, environment,
                              nullptr, &startup, &process))
            ADD_FAILURE() << "cannot start " << exe << ": " << ::GetLastError();
    }
    ~ChildProcess() {
        if (!process.hProcess) return;
        if (::WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
            ::TerminateProcess(process.hProcess, kNoExitCode);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    DWORD Wait(DWORD timeoutMs = 60000) {
        DWORD code = kNoExitCode;
        if (!process.hProcess) return code;
        EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.hProcess, timeoutMs));
        ::GetExitCodeProcess(process.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION process = {};
};
