#include "schedule/schedule_time.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "app/text_helpers.h"

namespace korvane {
namespace {

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

// Reads 1..max_digits decimal digits at pos.
bool ReadNumber(std::string_view text, std::size_t& pos, int max_digits, int& value) {
    int digits = 0;
    value = 0;
    while (pos < text.size() && digits < max_digits && text[pos] >= '0' && text[pos] <= '9') {
        value = value * 10 + (text[pos] - '0');
        ++pos;
        ++digits;
    }
    return digits > 0;
}

bool Expect(std::string_view text, std::size_t& pos, char c) {
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

std::optional<std::time_t> MakeLocal(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1))
        return std::nullopt;
    return t;
}

std::optional<std::tm> LocalFields(std::time_t t) {
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr)
        return std::nullopt;
    return tm;
}

constexpr long kHour = 3600;
constexpr long kDay = 86400;

}  // namespace

std::optional<StartupTime> ParseStartup(std::string_view text) {
    text = TrimBlanks(text);
    StartupTime t;
    std::size_t pos = 0;
    if (!ReadNumber(text, pos, 2, t.month) || !Expect(text, pos, '/') || !ReadNumber(text, pos, 2, t.day) ||
        !Expect(text, pos, '/') || !ReadNumber(text, pos, 4, t.year) || !Expect(text, pos, ' ')) {
        return std::nullopt;
    }
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
    if (!ReadNumber(text, pos, 2, t.hour) || !Expect(text, pos, ':') || !ReadNumber(text, pos, 2, t.minute)) {
        return std::nullopt;
    }
    if (pos < text.size() && (!Expect(text, pos, ':') || !ReadNumber(text, pos, 2, t.second))) {
        return std::nullopt;
    }
    if (pos != text.size())
        return std::nullopt;
    if (t.year < 1900 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > DaysInMonth(t.year, t.month) ||
        t.hour > 23 || t.minute > 59 || t.second > 59) {
        return std::nullopt;
    }
    return t;
}

std::string FormatStartup(const StartupTime& time) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d %02d:%02d:00", time.month, time.day, time.year,
                  time.hour, time.minute);
    return buffer;
}

TwelveHour ToTwelveHour(int hour24) {
    TwelveHour out;
    out.pm = hour24 >= 12;
    out.hour = hour24 > 12 ? hour24 - 12 : hour24;
    return out;
}

int FromTwelveHour(int hour, bool pm) {
    if (pm)
        return hour < 12 ? hour + 12 : hour;
    return hour == 12 ? 0 : hour;
}

std::optional<ScheduleInterval> ParseInterval(std::string_view text) {
    static constexpr std::array<ScheduleInterval, 6> kAll = {
        ScheduleInterval::None,  ScheduleInterval::Monthly, ScheduleInterval::Weekly,
        ScheduleInterval::Daily, ScheduleInterval::Hourly,  ScheduleInterval::UserDefined};
    for (ScheduleInterval interval : kAll) {
        if (EqualsNoCase(IntervalText(interval), text))
            return interval;
    }
    return std::nullopt;
}

std::string_view IntervalText(ScheduleInterval interval) {
    switch (interval) {
        case ScheduleInterval::None:
            return "None";
        case ScheduleInterval::Monthly:
            return "Monthly";
        case ScheduleInterval::Weekly:
            return "Weekly";
        case ScheduleInterval::Daily:
            return "Daily";
        case ScheduleInterval::Hourly:
            return "Hourly";
        case ScheduleInterval::UserDefined:
            return "User defined";
    }
    return "None";
}

std::optional<std::time_t> LocalTimeOf(const StartupTime& time) {
    return MakeLocal(time.year, time.month, time.day, time.hour, time.minute, time.second);
}

std::optional<std::time_t> Repeat(std::time_t base, ScheduleInterval interval, long k) {
    if (k < 0)
        return std::nullopt;
    if (k == 0)
        return base;
    const auto fields = LocalFields(base);
    if (!fields)
        return std::nullopt;
    const std::tm& b = *fields;
    switch (interval) {
        case ScheduleInterval::None:
        case ScheduleInterval::UserDefined:
            return std::nullopt;
        case ScheduleInterval::Hourly:
            return base + static_cast<std::time_t>(k) * kHour;
        case ScheduleInterval::Daily:
        case ScheduleInterval::Weekly: {
            const long days = interval == ScheduleInterval::Daily ? k : 7 * k;
            // mktime normalises the day count across months and years.
            std::tm tm = b;
            tm.tm_mday += static_cast<int>(days);
            tm.tm_isdst = -1;
            const std::time_t t = std::mktime(&tm);
            if (t == static_cast<std::time_t>(-1))
                return std::nullopt;
            return t;
        }
        case ScheduleInterval::Monthly: {
            const long months = static_cast<long>(b.tm_mon) + k;
            const int year = b.tm_year + 1900 + static_cast<int>(months / 12);
            const int month = static_cast<int>(months % 12) + 1;
            const int day = std::min(b.tm_mday, DaysInMonth(year, month));
            return MakeLocal(year, month, day, b.tm_hour, b.tm_min, b.tm_sec);
        }
    }
    return std::nullopt;
}

std::optional<std::time_t> FirstRunAfter(std::time_t base, ScheduleInterval interval, std::time_t after) {
    if (base > after)
        return base;
    long k = 0;
    const long elapsed = static_cast<long>(after - base);
    // Start just below the answer; the loop steps over calendar irregularities.
    switch (interval) {
        case ScheduleInterval::None:
        case ScheduleInterval::UserDefined:
            return std::nullopt;
        case ScheduleInterval::Hourly:
            k = elapsed / kHour;
            break;
        case ScheduleInterval::Daily:
            k = elapsed / kDay - 1;
            break;
        case ScheduleInterval::Weekly:
            k = elapsed / (7 * kDay) - 1;
            break;
        case ScheduleInterval::Monthly:
            k = elapsed / (31 * kDay) - 1;
            break;
    }
    if (k < 0)
        k = 0;
    for (int guard = 0; guard < 1000; ++guard, ++k) {
        const auto run = Repeat(base, interval, k);
        if (!run)
            return std::nullopt;
        if (*run > after)
            return run;
    }
    return std::nullopt;
}

}  // namespace korvane
