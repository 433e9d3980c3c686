// selector-standin-stop: asks the stand-in running in this session to return from RunTcpServer.
#include <windows.h>

#include <cstdio>

#include "addon/win/unique_handle.h"
#include "tools/selector-standin/stop_event.h"

namespace {

// A stand-in runs while a thread owns the mutex: a claim that succeeds here proves none does.
bool StandinRuns() {
    win::UniqueHandleObject running(
        ::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kStandinRunningMutexName));
    if (!running) return false;
    const DWORD claim = ::WaitForSingleObject(running.Get(), 0);
    if (claim == WAIT_OBJECT_0 || claim == WAIT_ABANDONED) ::ReleaseMutex(running.Get());
    return claim == WAIT_TIMEOUT;
}

}  // namespace

// Exit code 0 when a running stand-in was signalled, 1 when none is running.
int main() {
    HANDLE stop = StandinRuns() ? ::OpenEventA(EVENT_MODIFY_STATE, FALSE, kStandinStopEventName)
                                : nullptr;
    if (!stop) {
        std::fprintf(stderr, "selector-standin-stop: no selector stand-in is running\n");
        return 1;
    }
    const BOOL signalled = ::SetEvent(stop);
    ::CloseHandle(stop);
    return signalled ? 0 : 1;
}
