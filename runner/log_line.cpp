// Timestamp and line formatting of the runner's log, kept apart from the file so it is testable.
#include "runner/log_line.h"

#include <cstdio>

namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

std::string FormatTimestamp(const LogTime& time) {
    const char* month = time.month >= 1 && time.month <= 12 ? kMonths[time.month - 1] : "???";
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%s-%02d %02d:%02d:%02d", time.year, month, time.day,
                  time.hour, time.minute, time.second);
    return text;
}

std::string FormatLogLine(const LogTime& time, const std::string& message) {
    return "[" + FormatTimestamp(time) + "]: " + message;
}
