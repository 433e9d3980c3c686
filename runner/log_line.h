// Text of one log line: "[" timestamp "]: " message, the timestamp as "YYYY-Mon-DD HH:MM:SS".
#pragma once

#include <string>

// A local wall-clock time to the second; month 1..12.
struct LogTime {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
};

// "2010-Mar-05 14:03:22": English month abbreviations whatever the user's locale.
std::string FormatTimestamp(const LogTime& time);
// "[2010-Mar-05 14:03:22]: switchhost started..." without the line end.
std::string FormatLogLine(const LogTime& time, const std::string& message);
