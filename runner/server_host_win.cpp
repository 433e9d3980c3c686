// Hosts the selector server library on the calling thread for as long as its entry point runs.
#include "runner/server_host.h"

#include <windows.h>

#include "runner/folders.h"
#include "runner/logger.h"
#include "runner/path_join.h"

const std::string& GetServerLibraryPath() {
    static const std::string path = JoinPath(GetBinFolder(), "krestel-ss.dll");
    return path;
}

void RunServerLibrary() {
    const std::string& path = GetServerLibraryPath();
    HMODULE module = ::LoadLibraryA(path.c_str());
    if (!module) {
        const DWORD error = ::GetLastError();
        Logger() << "LoadLibrary() error: " << path << " GetLastError: " << error;
        return;
    }
    FARPROC entry = ::GetProcAddress(module, "RunTcpServer");
    if (!entry) {
        const DWORD error = ::GetLastError();
        Logger() << "GetProcAddress(mod, \"RunTcpServer\") error: " << error;
        ::FreeLibrary(module);
        return;
    }
    Logger() << "call RunTcpServer()";
    // Takes no arguments; whatever it returns is not used. Not freed on an exception: the
    // library's code may still be needed while that exception unwinds.
    reinterpret_cast<void (*)()>(entry)();
    Logger() << "end RunTcpServer()";
    ::FreeLibrary(module);
    Logger() << "FreeLibrary()";
}
