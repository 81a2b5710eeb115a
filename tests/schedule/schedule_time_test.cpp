#include "schedule/schedule_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace korvane {
namespace {

// Runs a test body in a fixed time zone (POSIX rules, no zone files needed).
class ZoneGuard {
  public:
    explicit ZoneGuard(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            saved_ = old, had_ = true;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneGuard() {
        if (had_) {
            ::setenv("TZ", saved_.c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

  private:
    std::string saved_;
    bool had_ = false;
};

// Central European rules: summer time from the last Sunday of March 02:00
// to the last Sunday of October 03:00.
constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

std::time_t Local(int y, int mo, int d, int h, int mi, int s = 0) {
    const auto t = LocalTimeOf(StartupTime{y, mo, d, h, mi, s});
    EXPECT_TRUE(t.has_value());
    return t.value_or(0);
}

std::string Show(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%m/%d/%Y %H:%M:%S", &tm);
    return buffer;
}

TEST(Startup, ParsesTheWrittenFormAndRejectsTheRest) {
    const auto t = ParseStartup("12/24/1998 23:05:00");
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(t->year, 1998);
    EXPECT_EQ(t->month, 12);
    EXPECT_EQ(t->day, 24);
    EXPECT_EQ(t->hour, 23);
    EXPECT_EQ(t->minute, 5);
    EXPECT_EQ(t->second, 0);
    EXPECT_TRUE(ParseStartup(" 1/2/2024 7:08 ").has_value());
    EXPECT_EQ(ParseStartup("02/29/2024 00:00:59")->second, 59);

    for (const char* bad :
         {"Startup", "", "12/24/1998", "13/01/2000 00:00:00", "02/29/2023 10:00:00", "04/31/2024 10:00:00",
          "12/24/1998 24:00:00", "12/24/1998 23:60:00", "12/24/1998 23:05:60", "12/24/1998 23:05:00 PM",
          "12-24-1998 23:05:00", "12/24/98x 23:05:00", "00/10/2000 10:00:00", "12/24/1899 10:00:00"}) {
        EXPECT_FALSE(ParseStartup(bad).has_value()) << bad;
    }
}

TEST(Startup, WritesSecondsAsZero) {
    EXPECT_EQ(FormatStartup({1998, 12, 24, 23, 5, 41}), "12/24/1998 23:05:00");
    EXPECT_EQ(FormatStartup({2024, 1, 2, 0, 0, 0}), "01/02/2024 00:00:00");
}

TEST(Startup, TwelveHourFormOfTheDialog) {
    EXPECT_EQ(ToTwelveHour(12).hour, 12);
    EXPECT_TRUE(ToTwelveHour(12).pm);
    EXPECT_EQ(ToTwelveHour(0).hour, 0);
    EXPECT_FALSE(ToTwelveHour(0).pm);
    EXPECT_EQ(ToTwelveHour(23).hour, 11);
    EXPECT_TRUE(ToTwelveHour(23).pm);
    EXPECT_EQ(ToTwelveHour(11).hour, 11);
    EXPECT_FALSE(ToTwelveHour(11).pm);
    // Every hour survives the dialog's round trip, 12:15 included.
    for (int h = 0; h < 24; ++h) {
        const TwelveHour shown = ToTwelveHour(h);
        EXPECT_EQ(FromTwelveHour(shown.hour, shown.pm), h) << h;
    }
    EXPECT_EQ(FromTwelveHour(12, false), 0);
    EXPECT_EQ(FromTwelveHour(1, true), 13);
}

TEST(Interval, WordsIgnoreCaseAndOthersAreUnknown) {
    EXPECT_EQ(ParseInterval("None"), ScheduleInterval::None);
    EXPECT_EQ(ParseInterval("monthly"), ScheduleInterval::Monthly);
    EXPECT_EQ(ParseInterval("WEEKLY"), ScheduleInterval::Weekly);
    EXPECT_EQ(ParseInterval("Daily"), ScheduleInterval::Daily);
    EXPECT_EQ(ParseInterval("Hourly"), ScheduleInterval::Hourly);
    EXPECT_EQ(ParseInterval("User defined"), ScheduleInterval::UserDefined);
    EXPECT_FALSE(ParseInterval("User Defined...").has_value());
    EXPECT_FALSE(ParseInterval("").has_value());
    EXPECT_FALSE(ParseInterval("Yearly").has_value());
    EXPECT_EQ(IntervalText(ScheduleInterval::UserDefined), "User defined");
}

TEST(Repeats, CalendarIntervalsKeepTheClockTimeAcrossSummerTime) {
    ZoneGuard zone(kCentralEurope);
    const std::time_t base = Local(2024, 3, 30, 9, 30);
    EXPECT_EQ(Show(*Repeat(base, ScheduleInterval::Daily, 1)), "03/31/2024 09:30:00");
    EXPECT_EQ(*Repeat(base, ScheduleInterval::Daily, 1) - base, 23 * 3600);
    EXPECT_EQ(Show(*Repeat(base, ScheduleInterval::Weekly, 1)), "04/06/2024 09:30:00");
    // Hourly counts real hours: the clock jumps at 02:00.
    const std::time_t night = Local(2024, 3, 31, 1, 30);
    EXPECT_EQ(Show(*Repeat(night, ScheduleInterval::Hourly, 1)), "03/31/2024 03:30:00");
    EXPECT_FALSE(Repeat(base, ScheduleInterval::None, 1).has_value());
    EXPECT_FALSE(Repeat(base, ScheduleInterval::UserDefined, 1).has_value());
    EXPECT_EQ(*Repeat(base, ScheduleInterval::None, 0), base);
}

TEST(Repeats, MonthlyKeepsTheDayOrTakesTheMonthsLast) {
    ZoneGuard zone("UTC0");
    const std::time_t base = Local(2023, 1, 31, 6, 0);
    EXPECT_EQ(Show(*Repeat(base, ScheduleInterval::Monthly, 1)), "02/28/2023 06:00:00");
    EXPECT_EQ(Show(*Repeat(base, ScheduleInterval::Monthly, 2)), "03/31/2023 06:00:00");
    EXPECT_EQ(Show(*Repeat(base, ScheduleInterval::Monthly, 13)), "02/29/2024 06:00:00");
    EXPECT_EQ(Show(*Repeat(base, ScheduleInterval::Monthly, 23)), "12/31/2024 06:00:00");
}

TEST(Repeats, FirstRunAfterIsStrictlyLaterAndOnTheSeries) {
    ZoneGuard zone(kCentralEurope);
    const std::time_t base = Local(2020, 1, 31, 22, 15);
    // Before the series starts: the start itself.
    EXPECT_EQ(*FirstRunAfter(base, ScheduleInterval::Daily, base - 1), base);
    // At a run: the next one, not the same.
    EXPECT_EQ(Show(*FirstRunAfter(base, ScheduleInterval::Daily, base)), "02/01/2020 22:15:00");
    const std::time_t later = Local(2024, 7, 4, 12, 0);
    EXPECT_EQ(Show(*FirstRunAfter(base, ScheduleInterval::Daily, later)), "07/04/2024 22:15:00");
    EXPECT_EQ(Show(*FirstRunAfter(base, ScheduleInterval::Hourly, later)), "07/04/2024 12:15:00");
    // 31 January 2020 was a Friday, 4 July 2024 a Thursday.
    EXPECT_EQ(Show(*FirstRunAfter(base, ScheduleInterval::Weekly, later)), "07/05/2024 22:15:00");
    EXPECT_EQ(Show(*FirstRunAfter(base, ScheduleInterval::Monthly, later)), "07/31/2024 22:15:00");
    EXPECT_EQ(Show(*FirstRunAfter(base, ScheduleInterval::Monthly, Local(2024, 2, 29, 22, 15))),
              "03/31/2024 22:15:00");
    EXPECT_FALSE(FirstRunAfter(base, ScheduleInterval::None, later).has_value());
    EXPECT_FALSE(FirstRunAfter(base, ScheduleInterval::UserDefined, base).has_value());

    // Over many years the answer is always the first run after the time.
    for (ScheduleInterval interval : {ScheduleInterval::Hourly, ScheduleInterval::Daily,
                                      ScheduleInterval::Weekly, ScheduleInterval::Monthly}) {
        for (std::time_t after = base; after < base + 40L * 366 * 86400; after += 86400L * 97 + 3601) {
            const auto run = FirstRunAfter(base, interval, after);
            ASSERT_TRUE(run.has_value());
            EXPECT_GT(*run, after);
            long k = 0;
            while (*Repeat(base, interval, k) <= after)
                ++k;
            EXPECT_EQ(*run, *Repeat(base, interval, k)) << IntervalText(interval) << " " << Show(after);
            if (interval == ScheduleInterval::Hourly)
                break;  // counting hours one by one is slow
        }
    }
}

}  // namespace
}  // namespace korvane
