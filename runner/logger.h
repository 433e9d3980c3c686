// The runner's line logger: a temporary Logger collects one message and appends it as one
// timestamped line to the log file when it is destroyed.
#pragma once

#include <sstream>
#include <string>

// Usage: Logger() << "LoadLibrary() error: " << path;  // one line, flushed at the ';'
class Logger : public std::ostringstream {
public:
    Logger() = default;
    ~Logger() override;

    // Fixes the log path once: folder (the data folder when empty, created when missing)
    // joined with fileName. Later calls change nothing. Throws when the folder can be neither
    // found nor created; every line is then discarded.
    static void Init(std::string folder, const std::string& fileName);

private:
    static std::string LogPath;
};
