// registration-listing: prints every key and value that the add-on's registration writes, in
// both registry views, one sorted line each ("64 " or "32 " first), so that a script can
// compare an installed package with a registration. With "--package" the runner's keys that
// only the package writes are listed too.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/com/registration_listing_win.h"
#include "tests/com/registry_dump_win.h"

namespace {

using testing_registration::Lines;

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunValue[] = L"Veltrane switchhost";

void Print(const char* view, const std::wstring& line) {
    char text[4096];
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, text, sizeof text,
                                           nullptr, nullptr);
    if (size > 0) std::printf("%s %s\n", view, text);
}

void AddTree(Lines& lines, HKEY hive, const wchar_t* hiveName, const std::wstring& path,
             REGSAM view) {
    const std::wstring prefix = std::wstring(hiveName) + L"\\" + path;
    if (testing_registry::KeyExists(hive, path, view)) lines.insert(prefix);
    for (const std::wstring& line : testing_registry::Tree(hive, path, view))
        lines.insert(prefix + (line[0] == L' ' ? L"" : L"\\") + line);
}

Lines ViewLines(REGSAM view, bool package) {
    Lines lines = testing_registration::Registered(view);
    AddTree(lines, HKEY_CLASSES_ROOT, L"HKCR", testing_registration::kTypeLibKey, view);
    AddTree(lines, HKEY_CLASSES_ROOT, L"HKCR", testing_registration::kInterfaceKey, view);
    if (package) {
        AddTree(lines, HKEY_LOCAL_MACHINE, L"HKLM", L"Software\\Krestel", view);
        const std::wstring run = testing_registry::ReadString(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, view);
        if (run != L"<missing>")
            lines.insert(std::wstring(L"HKLM\\") + kRunKey + L" | " + kRunValue + L" = s:" + run);
    }
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    const bool package = argc > 1 && std::strcmp(argv[1], "--package") == 0;
    for (const std::wstring& line : ViewLines(KEY_WOW64_64KEY, package)) Print("64", line);
    for (const std::wstring& line : ViewLines(KEY_WOW64_32KEY, package)) Print("32", line);
    return 0;
}
