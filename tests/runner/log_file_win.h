// Reading "switchhost.log" back: every line must carry the "[YYYY-Mon-DD HH:MM:SS]: " prefix.
#pragma once

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

struct LogRecord {
    std::string timestamp;
    std::string text;
};

// Splits CR LF lines; a line without a well-formed prefix fails the calling test.
inline std::vector<LogRecord> ParseLog(const std::string& content) {
    static const std::regex kLine(
        "\\[(\\d{4}-(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)-\\d{2} "
        "\\d{2}:\\d{2}:\\d{2})\\]: (.*)");
    std::vector<LogRecord> records;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find("\r\n", start);
        EXPECT_NE(std::string::npos, end) << "unterminated last line";
        const std::string line = content.substr(start, end == std::string::npos ? end : end - start);
        std::smatch match;
        EXPECT_TRUE(std::regex_match(line, match, kLine)) << line;
        if (match.size() == 4) records.push_back(LogRecord{match[1], match[3]});
        if (end == std::string::npos) break;
        start = end + 2;
    }
    return records;
}

inline std::vector<std::string> Texts(const std::vector<LogRecord>& records) {
    std::vector<std::string> texts;
    for (const LogRecord& r : records) texts.push_back(r.text);
    return texts;
}
