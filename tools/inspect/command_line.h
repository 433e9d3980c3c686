// The program's arguments and console as UTF-8 text.
#pragma once

#include <string>
#include <vector>

// The arguments in UTF-8. Windows hands main() its arguments in the ANSI code page, which cannot
// hold every character of a URL or a file name, so there they come from the wide command line.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Standard output carries UTF-8 bytes. A Windows console shows them as such only in code page
// 65001, so a console's output code page is switched for the run and given back afterwards.
class Utf8Console {
public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    [[maybe_unused]] unsigned saved = 0;  // Windows only
    [[maybe_unused]] bool switched = false;
};
