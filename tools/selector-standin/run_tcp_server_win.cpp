// The library's entry point: serve until the stop event is set, then return.
#include <winsock2.h>

#include <string>

#include "tools/selector-standin/socket_win.h"
#include "tools/selector-standin/standin_server_win.h"
#include "tools/selector-standin/standin_settings_win.h"
#include "tools/selector-standin/stop_event.h"

namespace {

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
        ::SetLastError(ERROR_SUCCESS);
        UniqueEvent stop(::CreateEventA(nullptr, TRUE, FALSE, kStandinStopEventName));
        if (!stop.Get()) return Refuse("cannot create the stop event");
        if (::GetLastError() == ERROR_ALREADY_EXISTS)
            return Refuse("another stand-in is running in this session");
        ListenEndpoint endpoint;
        if (!ReadListenEndpoint(endpoint)) return Refuse("unusable selector host or port setting");
        if (ServeUntilStopped(endpoint, stop.Get()) == ServeResult::kCannotListen)
            return Refuse("cannot listen on the selector host and port");
        return 0;
    } catch (...) {
        return Refuse("unexpected failure");
    }
}
