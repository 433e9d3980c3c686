// selector-standin-stop: asks the stand-in running in this session to return from RunTcpServer.
#include <windows.h>

#include <cstdio>

#include "tools/selector-standin/stop_event.h"

// Exit code 0 when a running stand-in was signalled, 1 when none is running.
int main() {
    HANDLE stop = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, kStandinStopEventName);
    if (!stop) {
        std::fprintf(stderr, "selector-standin-stop: no selector stand-in is running\n");
        return 1;
    }
    const BOOL signalled = ::SetEvent(stop);
    ::CloseHandle(stop);
    return signalled ? 0 : 1;
}
