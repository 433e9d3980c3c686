// Logger: one process-wide append-only stream, opened at the first line, one flush per line.
#include "runner/logger.h"

#include <fstream>
#include <mutex>
#include <stdexcept>

#include "runner/folders.h"
#include "runner/log_line.h"
#include "runner/path_join.h"
#include "runner/platform.h"

std::string Logger::LogPath;

namespace {

struct LogSink {
    std::mutex lock;
    std::ofstream stream;  // never throws; a failed open or write loses lines silently
    bool openTried = false;
};

LogSink& Sink() {
    static LogSink sink;
    return sink;
}

}  // namespace

void Logger::Init(std::string folder, const std::string& fileName) {
    if (!LogPath.empty()) return;
    if (folder.empty()) folder = GetDataFolder();
    if (folder.empty()) throw std::runtime_error("no data folder: APPDATA is not set");
    // A folder that appears between the test and the creation (a second runner starting at
    // the same moment) is used like one that was there: both runners share one log.
    if (!PathExists(folder)) CreateFolder(folder);
    LogPath = JoinPath(folder, fileName);
}

Logger::~Logger() {
    if (LogPath.empty()) return;
    try {
        LogSink& sink = Sink();
        std::lock_guard<std::mutex> hold(sink.lock);
        if (!sink.openTried) {
            sink.openTried = true;
            sink.stream.open(LogPath, std::ios::out | std::ios::app);
        }
        sink.stream << FormatLogLine(CurrentLocalTime(), str()) << '\n' << std::flush;
    } catch (...) {
        // A log line must never end the program: a line that cannot be written is lost.
    }
}
