// Logger against the real file: discarding before Init, appending, one Init only, whole lines
// under concurrency. The log path is process-wide, so the steps run in order in one test.
#include "runner/logger.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <fstream>
#include <thread>
#include <vector>

#include "runner/log_line.h"
#include "runner/platform.h"
#include "tests/runner/log_file_win.h"
#include "tests/runner/scratch_win.h"

namespace {

typedef std::vector<std::string> Strings;

// Timestamps compared as "YYYYMMDDhhmmss" so that a line's time can be bracketed.
std::string SortableTime(const std::string& timestamp) {
    static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const std::size_t month = std::string(kMonths).find(timestamp.substr(5, 3)) / 3 + 1;
    char number[3];
    snprintf(number, sizeof number, "%02u", static_cast<unsigned>(month));
    return timestamp.substr(0, 4) + number + timestamp.substr(9, 2) + timestamp.substr(12, 2)
           + timestamp.substr(15, 2) + timestamp.substr(18, 2);
}

TEST(Logger, AppendsTimestampedLinesToTheFileFixedByTheFirstInit) {
    ScratchFolder appData("logger");
    ASSERT_EQ(0, _putenv_s("APPDATA", (appData.path + "\\").c_str()));
    const std::string dataFolder = appData.path + "\\veltrane";
    const std::string logPath = dataFolder + "\\switchhost.log";

    Logger() << "before init";
    EXPECT_FALSE(FileExists(dataFolder));

    Logger::Init(std::string(), "switchhost.log");
    EXPECT_TRUE(FileExists(dataFolder));
    EXPECT_FALSE(FileExists(logPath));  // opened by the first line only
    std::ofstream(logPath, std::ios::binary) << "[2009-Jan-01 00:00:00]: earlier run\r\n";

    Logger::Init(appData.path, "other.log");
    const std::string before = SortableTime(FormatTimestamp(CurrentLocalTime()));
    Logger() << "switchhost started...";
    Logger();
    Logger() << "code " << 4294967295u << ' ' << -7;
    Logger() << "two\nlines";
    const std::string after = SortableTime(FormatTimestamp(CurrentLocalTime()));

    EXPECT_FALSE(FileExists(appData.path + "\\other.log"));
    const std::string content = ReadWholeFile(logPath);
    EXPECT_EQ(0u, content.find("[2009-Jan-01 00:00:00]: earlier run\r\n")) << content;
    EXPECT_NE(std::string::npos, content.find("]: two\r\nlines\r\n")) << content;

    const std::vector<LogRecord> records = ParseLog(content.substr(0, content.rfind("lines\r\n")));
    EXPECT_EQ((Strings{"earlier run", "switchhost started...", "", "code 4294967295 -7", "two"}),
              Texts(records));
    for (std::size_t i = 1; i < records.size(); ++i) {
        const std::string at = SortableTime(records[i].timestamp);
        EXPECT_LE(before, at);
        EXPECT_GE(after, at);
    }

    // Lines from several threads arrive whole, none lost.
    const int kThreads = 4, kLines = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) Logger() << "thread " << t << " line " << i;
        });
    for (std::thread& thread : threads) thread.join();
    const std::string grown = ReadWholeFile(logPath);
    ASSERT_EQ(0u, grown.find(content));
    const std::vector<LogRecord> more = ParseLog(grown.substr(content.size()));
    EXPECT_EQ(static_cast<std::size_t>(kThreads * kLines), more.size());
}

}  // namespace
