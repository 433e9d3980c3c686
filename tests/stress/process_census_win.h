// What the process holds: open handles and threads, compared between rounds.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <cstddef>
#include <cstdint>

namespace soak {

// Probes the handle values one by one: Wine answers GetProcessHandleCount with 0.
inline std::size_t HandleCount() {
    const std::uintptr_t kHighestProbed = 0x20000;
    std::size_t count = 0;
    for (std::uintptr_t value = 4; value <= kHighestProbed; value += 4) {
        DWORD flags = 0;
        count += ::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    }
    return count;
}

inline std::size_t ThreadCount() {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    std::size_t count = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == ::GetCurrentProcessId() ? 1 : 0;
    ::CloseHandle(snapshot);
    return count;
}

}  // namespace soak
