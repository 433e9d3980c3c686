// The library's entry point: serve until the stop event is set, then return.
#include <winsock2.h>

#include <string>

#include "addon/win/unique_handle.h"
#include "tools/selector-standin/socket_win.h"
#include "tools/selector-standin/standin_server_win.h"
#include "tools/selector-standin/standin_settings_win.h"
#include "tools/selector-standin/stop_event.h"

namespace {

// Releases the claim on the running mutex, also when serving ends in an exception.
class MutexOwnership {
public:
    explicit MutexOwnership(HANDLE mutex) : mutex(mutex) {}
    ~MutexOwnership() { ::ReleaseMutex(mutex); }
    MutexOwnership(const MutexOwnership&) = delete;
    MutexOwnership& operator=(const MutexOwnership&) = delete;

private:
    HANDLE mutex;
};

int Refuse(const char* why) {
    ::OutputDebugStringA((std::string("selector stand-in: ") + why + "\n").c_str());
    return 1;
}

}  // namespace

// 0 after a requested stop; 1 at once when the service cannot run (the host ignores it).
extern "C" __declspec(dllexport) int RunTcpServer() {
    try {
        WinsockSession winsock;
        if (!winsock.Started()) return Refuse("Winsock did not start");
        win::UniqueHandleObject running(::CreateMutexA(nullptr, FALSE, kStandinRunningMutexName));
        if (!running) return Refuse("cannot create the running mutex");
        const DWORD claim = ::WaitForSingleObject(running.Get(), 0);
        if (claim != WAIT_OBJECT_0 && claim != WAIT_ABANDONED)
            return Refuse("another stand-in is running in this session");
        MutexOwnership owned(running.Get());
        UniqueEvent stop(::CreateEventA(nullptr, TRUE, FALSE, kStandinStopEventName));
        if (!stop.Get()) return Refuse("cannot create the stop event");
        ::ResetEvent(stop.Get());  // still set from an earlier run when a handle kept it
        ListenEndpoint endpoint;
        if (!ReadListenEndpoint(endpoint)) return Refuse("unusable selector host or port setting");
        if (ServeUntilStopped(endpoint, stop.Get()) == ServeResult::kCannotListen)
            return Refuse("cannot listen on the selector host and port");
        return 0;
    } catch (...) {
        return Refuse("unexpected failure");
    }
}
