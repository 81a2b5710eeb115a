#include "app/minute_clock.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

std::tm At(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    std::tm normalised = local;
    std::mktime(&normalised);  // fills the weekday
    // mktime may move the hour across a daylight-saving change; keep the wall clock asked for.
    normalised.tm_hour = hour;
    normalised.tm_min = minute;
    normalised.tm_sec = second;
    return normalised;
}

TEST(StatusTimeText, TwelveHourClockWithItsBlanks) {
    EXPECT_EQ(StatusTimeText(At(1998, 12, 31, 12, 30, 0)), " 12:30  PM ");
    EXPECT_EQ(StatusTimeText(At(1998, 12, 31, 0, 5, 0)), " 12:05  AM ");
    EXPECT_EQ(StatusTimeText(At(1998, 12, 31, 9, 7, 59)), " 9:07  AM ");
    EXPECT_EQ(StatusTimeText(At(1998, 12, 31, 11, 59, 0)), " 11:59  AM ");
    EXPECT_EQ(StatusTimeText(At(1998, 12, 31, 23, 0, 0)), " 11:00  PM ");
}

TEST(StatusDateText, EnglishNamesAndTrailingBlank) {
    EXPECT_EQ(StatusDateText(At(1998, 12, 31, 23, 59, 7)), "Thu, Dec 31, 1998 ");
    EXPECT_EQ(StatusDateText(At(2024, 2, 5, 8, 0, 0)), "Mon, Feb 05, 2024 ");
}

TEST(FirstClockDelay, LandsOnTheNextWholeMinute) {
    // Started at 10:15:42 the first tick comes 18 seconds later, at 10:16:00.
    EXPECT_EQ(FirstClockDelayMs(At(2024, 3, 1, 10, 15, 42)), 18000);
    EXPECT_EQ(FirstClockDelayMs(At(2024, 3, 1, 10, 15, 0)), 60000);
    EXPECT_EQ(FirstClockDelayMs(At(2024, 3, 1, 10, 15, 59)), 1000);
    std::tm leap = At(2024, 3, 1, 23, 59, 0);
    leap.tm_sec = 60;
    EXPECT_EQ(FirstClockDelayMs(leap), 0);
}

}  // namespace
}  // namespace korvane
