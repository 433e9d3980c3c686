// switchhost: a windowless program that hosts the selector server library and logs its run.
#include <windows.h>

#include "runner/logger.h"
#include "runner/server_host.h"

// Exit code 0 when the run reached its end (loader failures included), 1 when an exception
// escaped; the exception itself is not examined.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        Logger::Init(std::string(), "switchhost.log");
        Logger() << "switchhost started...";
        RunServerLibrary();
    } catch (...) {
        Logger() << "switchhost stopped with exception...";
        return 1;
    }
    Logger() << "switchhost stopped...";
    return 0;
}
