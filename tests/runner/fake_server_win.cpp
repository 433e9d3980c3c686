// Test stand-ins for the selector server library, one behaviour per build: an entry point that
// returns at once, one that throws, or no entry point at all.
#include <windows.h>

#include <stdexcept>

#if defined(FAKE_SERVER_RETURNS)
extern "C" __declspec(dllexport) int RunTcpServer() { return 0; }
#elif defined(FAKE_SERVER_THROWS)
extern "C" __declspec(dllexport) int RunTcpServer() {
    throw std::runtime_error("the service failed");
}
#else
extern "C" __declspec(dllexport) int RunTcpServerLater() { return 0; }
#endif
