#include "catalogue/day_number.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

namespace korvane {
namespace {

// Sets TZ for one test and puts the previous value back.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            previous_ = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (previous_) {
            setenv("TZ", previous_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    std::optional<std::string> previous_;
};

// United States rules and central European rules, written out so the tests
// do not depend on the time zone database.
constexpr const char* kNewYork = "EST5EDT,M3.2.0,M11.1.0";
constexpr const char* kBerlin = "CET-1CEST,M3.5.0,M10.5.0/3";

double Day(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    double value = -1;
    EXPECT_TRUE(DayNumberFromCivil(year, month, day, hour, minute, second, value))
        << month << "/" << day << "/" << year;
    return value;
}

bool Accepts(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    double value = -1;
    return DayNumberFromCivil(year, month, day, hour, minute, second, value);
}

TEST(DayNumber, CountsDaysFromTheLastDaysOf1899) {
    EXPECT_EQ(Day(1899, 12, 30), 0.0);
    EXPECT_EQ(Day(1899, 12, 31), 1.0);
    EXPECT_EQ(Day(1900, 1, 1), 2.0);
    // No 29 February 1900: 1 March is day 61.
    EXPECT_EQ(Day(1900, 3, 1), 61.0);
    EXPECT_EQ(Day(1970, 1, 1), 25569.0);
    EXPECT_EQ(Day(1999, 3, 15), 36234.0);
    EXPECT_EQ(Day(2000, 1, 1), 36526.0);
    EXPECT_EQ(Day(2000, 2, 29), 36585.0);
    EXPECT_EQ(Day(9999, 12, 31), 2958465.0);
    EXPECT_EQ(Day(2000, 1, 1, 12), 36526.5);
    EXPECT_EQ(Day(2000, 1, 1, 18), 36526.75);
    EXPECT_EQ(Day(1999, 3, 15, 14, 5, 9), 36234.0 + 50709 / 86400.0);
    // The last second of a day stays below the next day.
    EXPECT_LT(Day(1999, 3, 15, 23, 59, 59), Day(1999, 3, 16));
    EXPECT_GT(Day(1999, 3, 15, 0, 0, 1), Day(1999, 3, 15));
}

TEST(DayNumber, RefusesWhatIsNotACalendarTimeFrom1899On) {
    EXPECT_FALSE(Accepts(1899, 12, 29));
    EXPECT_FALSE(Accepts(1899, 11, 30));
    EXPECT_FALSE(Accepts(1800, 1, 1));
    EXPECT_FALSE(Accepts(10000, 1, 1));
    EXPECT_FALSE(Accepts(1999, 13, 1));
    EXPECT_FALSE(Accepts(1999, 0, 1));
    EXPECT_FALSE(Accepts(1999, 4, 31));
    EXPECT_FALSE(Accepts(1999, 2, 29));
    EXPECT_FALSE(Accepts(1900, 2, 29));
    EXPECT_TRUE(Accepts(2000, 2, 29));
    EXPECT_FALSE(Accepts(1999, 1, 0));
    EXPECT_FALSE(Accepts(1999, 1, 1, 24));
    EXPECT_FALSE(Accepts(1999, 1, 1, 0, 60));
    EXPECT_FALSE(Accepts(1999, 1, 1, 0, 0, 60));
    EXPECT_FALSE(Accepts(1999, 1, 1, -1));
    double untouched = 7;
    EXPECT_FALSE(DayNumberFromCivil(1999, 2, 30, 0, 0, 0, untouched));
    EXPECT_EQ(untouched, 7);
}

TEST(DayNumber, FormatsForSqlWithoutLosingBits) {
    EXPECT_EQ(FormatDayNumber(1.0), "1.0");
    EXPECT_EQ(FormatDayNumber(0.0), "0.0");
    EXPECT_EQ(FormatDayNumber(36526.0), "36526.0");
    EXPECT_EQ(FormatDayNumber(36526.5), "36526.5");
    EXPECT_EQ(FormatDayNumber(Day(1999, 3, 15, 14, 5, 9)), "36234.586909722224");
    EXPECT_EQ(FormatDayNumber(Day(1899, 12, 30, 0, 0, 1)), "1.1574074074074073e-05");
    EXPECT_EQ(FormatDayNumber(std::numeric_limits<double>::quiet_NaN()), "NULL");
    EXPECT_EQ(FormatDayNumber(std::numeric_limits<double>::infinity()), "NULL");
    // Every second of a day reads back to the same double.
    for (int second = 0; second < 86400; second += 7) {
        const double value = Day(2023, 6, 30, second / 3600, second / 60 % 60, second % 60);
        const std::string text = FormatDayNumber(value);
        double back = 0;
        ASSERT_EQ(std::from_chars(text.data(), text.data() + text.size(), back).ec, std::errc());
        ASSERT_EQ(back, value) << text;
    }
}

TEST(DayNumber, FormattingIgnoresTheUsersLocale) {
    const char* german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    if (german == nullptr) {
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
    }
    char printed[64];
    std::snprintf(printed, sizeof printed, "%.17g", 36234.5);
    EXPECT_STREQ(printed, "36234,5");  // what a locale-bound formatter would write
    EXPECT_EQ(FormatDayNumber(36234.5), "36234.5");
    EXPECT_EQ(FormatDayNumber(Day(1999, 3, 15, 14, 5, 9)), "36234.586909722224");
    std::setlocale(LC_NUMERIC, "C");
}

TEST(DayNumber, UnixTimesAreReadInLocalTime) {
    {
        ScopedTimeZone zone("UTC0");
        EXPECT_EQ(DayNumberFromUnix(0), 25569.0);
        EXPECT_EQ(DayNumberFromUnix(86400 / 2), 25569.5);
        EXPECT_EQ(UnixFromDayNumber(25569.5), 43200);
        // Before 1970 and before 1899 alike: whole days below, time of day above.
        EXPECT_EQ(DayNumberFromUnix(-86400), 25568.0);
        EXPECT_EQ(DayNumberFromUnix(-2209161600 - 86400 + 43200), -0.5);
        EXPECT_EQ(UnixFromDayNumber(-0.5), -2209161600 - 86400 + 43200);
    }
    {
        ScopedTimeZone zone(kNewYork);
        // 15 January 1999 14:05:09 EST is 19:05:09 UTC.
        EXPECT_EQ(DayNumberFromUnix(916427109), Day(1999, 1, 15, 14, 5, 9));
        EXPECT_EQ(UnixFromDayNumber(Day(1999, 1, 15, 14, 5, 9)), 916427109);
        // The same day number is another instant in another zone.
        ScopedTimeZone berlin(kBerlin);
        EXPECT_EQ(UnixFromDayNumber(Day(1999, 1, 15, 14, 5, 9)), 916427109 - 6 * 3600);
        EXPECT_EQ(DayNumberFromUnix(916427109), Day(1999, 1, 15, 20, 5, 9));
    }
}

TEST(DayNumber, DaylightSavingBoundaries) {
    ScopedTimeZone zone(kNewYork);
    // Spring: 01:59:59 EST is followed by 03:00:00 EDT.
    EXPECT_EQ(DayNumberFromUnix(1615705199), Day(2021, 3, 14, 1, 59, 59));
    EXPECT_EQ(DayNumberFromUnix(1615705200), Day(2021, 3, 14, 3, 0, 0));
    // Autumn: 01:30 comes twice; both read as the same local time, and the
    // day number goes back to one of the two instants.
    EXPECT_EQ(DayNumberFromUnix(1636263000), Day(2021, 11, 7, 1, 30, 0));
    EXPECT_EQ(DayNumberFromUnix(1636266600), Day(2021, 11, 7, 1, 30, 0));
    const std::int64_t back = UnixFromDayNumber(Day(2021, 11, 7, 1, 30, 0));
    EXPECT_TRUE(back == 1636263000 || back == 1636266600) << back;

    // Every quarter hour over both change days: local time never runs
    // backwards by more than the repeated hour, and every day number comes
    // back as an instant showing that same local time.
    for (const std::int64_t start : {1615680000LL, 1636243200LL}) {
        for (std::int64_t t = start; t < start + 2 * 86400; t += 900) {
            const double day = DayNumberFromUnix(t);
            EXPECT_EQ(DayNumberFromUnix(UnixFromDayNumber(day)), day) << t;
            EXPECT_GT(DayNumberFromUnix(t + 900), day - 1.0 / 24) << t;
        }
    }
}

TEST(DayNumber, UnixRoundTripsInWholeSeconds) {
    ScopedTimeZone zone(kBerlin);
    for (std::int64_t t = 946684800; t < 946684800 + 400LL * 86400; t += 86399 * 3 + 17) {
        const double day = DayNumberFromUnix(t);
        EXPECT_EQ(UnixFromDayNumber(day), t);
        // The stored value of a time and the value of its literal are one double.
        const std::time_t when = static_cast<std::time_t>(t);
        std::tm local{};
        ASSERT_NE(localtime_r(&when, &local), nullptr);
        EXPECT_EQ(day, Day(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                           local.tm_sec));
    }
    // Rounding to the nearest second absorbs what a double cannot hold.
    EXPECT_EQ(UnixFromDayNumber(std::nextafter(Day(2000, 1, 1, 0, 0, 1), 0.0)),
              UnixFromDayNumber(Day(2000, 1, 1, 0, 0, 1)));
    EXPECT_EQ(UnixFromDayNumber(std::nextafter(Day(2000, 1, 2), 0.0)), UnixFromDayNumber(Day(2000, 1, 2)));
    EXPECT_EQ(UnixFromDayNumber(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(DayNumberFromUnix, ExtremeTimesFromAHostileFileSystemStayFinite) {
    for (const std::int64_t when : {std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()}) {
        EXPECT_TRUE(std::isfinite(DayNumberFromUnix(when))) << when;
    }
    EXPECT_LT(DayNumberFromUnix(std::numeric_limits<std::int64_t>::min()), 0.0);
    EXPECT_GT(DayNumberFromUnix(std::numeric_limits<std::int64_t>::max()), 1e8);
}

}  // namespace
}  // namespace korvane
