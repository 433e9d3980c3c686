// Log line text: the timestamp matches Boost.Date_Time's default output of a whole-second time.
#include "runner/log_line.h"

#include <boost/date_time/posix_time/posix_time.hpp>
#include <gtest/gtest.h>

#include <sstream>

namespace {

std::string BoostDefaultText(const LogTime& t) {
    const boost::posix_time::ptime point(
        boost::gregorian::date(static_cast<unsigned short>(t.year),
                               static_cast<unsigned short>(t.month),
                               static_cast<unsigned short>(t.day)),
        boost::posix_time::time_duration(t.hour, t.minute, t.second));
    std::ostringstream out;
    out << point;
    return out.str();
}

const LogTime kTimes[] = {
    {2010, 3, 5, 14, 3, 22}, {2026, 1, 1, 0, 0, 0},   {1999, 12, 31, 23, 59, 59},
    {2024, 2, 29, 9, 8, 7},  {2030, 6, 10, 12, 0, 1}, {2031, 4, 30, 1, 2, 3},
    {2032, 5, 9, 10, 11, 12}, {2033, 7, 4, 4, 4, 4},  {2034, 8, 15, 15, 45, 30},
    {2035, 9, 1, 0, 0, 9},   {2036, 10, 20, 20, 20, 20}, {2037, 11, 11, 11, 11, 11},
};

TEST(LogLine, TimestampEqualsBoostDefaultOutput) {
    for (const LogTime& t : kTimes) {
        const std::string expected = BoostDefaultText(t);
        SCOPED_TRACE(expected);
        EXPECT_EQ(expected, FormatTimestamp(t));
    }
}

TEST(LogLine, LineIsBracketedTimestampColonBlankAndMessageUnchanged) {
    const LogTime t{2010, 3, 5, 14, 3, 22};
    EXPECT_EQ("[2010-Mar-05 14:03:22]: switchhost started...",
              FormatLogLine(t, "switchhost started..."));
    EXPECT_EQ("[2010-Mar-05 14:03:22]: ", FormatLogLine(t, ""));
    EXPECT_EQ("[2010-Mar-05 14:03:22]: a\nb", FormatLogLine(t, "a\nb"));
}

}  // namespace
