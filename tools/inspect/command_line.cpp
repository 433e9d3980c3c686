// UTF-8 arguments and console output on Windows; elsewhere both are UTF-8 already.
#include "tools/inspect/command_line.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include "addon/win/text_win.h"
#endif

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    for (int i = 0; wide && i < count; ++i) arguments.push_back(win::ToNarrow(wide[i]));
    ::LocalFree(wide);
    return arguments;
#else
    return std::vector<std::string>(argv, argv + argc);
#endif
}

#ifdef _WIN32
Utf8Console::Utf8Console() : saved(::GetConsoleOutputCP()) {
    DWORD mode = 0;
    if (saved != 0 && ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode))
        switched = ::SetConsoleOutputCP(CP_UTF8) != 0;
}

Utf8Console::~Utf8Console() {
    if (switched) ::SetConsoleOutputCP(saved);
}
#else
Utf8Console::Utf8Console() = default;
Utf8Console::~Utf8Console() = default;
#endif
