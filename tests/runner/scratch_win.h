// Scratch folders and registry keys for the runner's Windows tests.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// A fresh folder below the temp folder, removed with everything in it at the end.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& tag) {
        char temp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, temp);
        static int counter = 0;
        path = std::string(temp) + "brimwell-" + tag + "-" + std::to_string(::GetCurrentProcessId())
               + "-" + std::to_string(++counter);
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
        std::filesystem::create_directories(path);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string path;
};

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline bool FileExists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Stores raw bytes; a string stored without its NUL must not be followed by one in memory,
// or the registry quietly counts it in.
inline LONG SetRawValue(HKEY key, const char* name, DWORD type, const char* data, DWORD size) {
    return ::RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data), size);
}
