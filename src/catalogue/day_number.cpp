#include "catalogue/day_number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>

namespace korvane {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// Day numbers outside year 1 to year 9999 are clamped before they reach the C
// library, so a corrupt value cannot overflow the calendar arithmetic.
constexpr double kFirstDayNumber = -693593.0;  // 1 January 0001
constexpr double kLastDayNumber = 2958465.0;   // 31 December 9999

// Days from 1 January 1970 of a proleptic Gregorian date (any year).
constexpr std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t year_of_era = year - era * 400;
    const std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

struct CivilDate {
    std::int64_t year;
    int month;
    int day;
};

constexpr CivilDate CivilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t day_of_era = days - era * 146097;
    const std::int64_t year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const std::int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::int64_t mp = (5 * day_of_year + 2) / 153;
    const int day = static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {year_of_era + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

constexpr std::int64_t kEpochDays = DaysFromCivil(1899, 12, 30);
static_assert(DaysFromCivil(1970, 1, 1) == 0);
static_assert(DaysFromCivil(1899, 12, 31) - kEpochDays == 1);

// The one formula behind every stored date and every date literal: whole days
// plus the seconds of the day over 86400. Both sides of a comparison are
// computed by this expression, so equal seconds give bit-equal doubles.
double RawDayNumber(std::int64_t year, int month, int day, int hour, int minute, int second) {
    const std::int64_t days = DaysFromCivil(year, month, day) - kEpochDays;
    const std::int64_t seconds = static_cast<std::int64_t>(hour) * 3600 + minute * 60 + second;
    return static_cast<double>(days) + static_cast<double>(seconds) / 86400.0;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

bool DayNumberFromCivil(int year, int month, int day, int hour, int minute, int second, double& day_number) {
    if (year < 1899 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
        return false;
    }
    if (year == 1899 && (month < 12 || day < 30)) {
        return false;
    }
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        return false;
    }
    day_number = RawDayNumber(year, month, day, hour, minute, second);
    return true;
}

double DayNumberFromUnix(std::int64_t unix_seconds) {
    // A file system may report any 64-bit time; beyond a million years either
    // way the day number is meaningless anyway, and the arithmetic below stays exact.
    constexpr std::int64_t kLimit = std::int64_t{1} << 45;
    unix_seconds = std::clamp(unix_seconds, -kLimit, kLimit);
    const std::time_t when = static_cast<std::time_t>(unix_seconds);
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) {
        // Out of the C library's range: count in UTC rather than fail.
        const std::int64_t days =
            (unix_seconds >= 0 ? unix_seconds : unix_seconds - (kSecondsPerDay - 1)) / kSecondsPerDay;
        const std::int64_t seconds = unix_seconds - days * kSecondsPerDay;
        return static_cast<double>(days - kEpochDays) + static_cast<double>(seconds) / 86400.0;
    }
    return RawDayNumber(static_cast<std::int64_t>(local.tm_year) + 1900, local.tm_mon + 1, local.tm_mday,
                        local.tm_hour, local.tm_min, local.tm_sec);
}

std::int64_t UnixFromDayNumber(double day_number) {
    if (!std::isfinite(day_number)) {
        return 0;
    }
    day_number = std::fmin(std::fmax(day_number, kFirstDayNumber), kLastDayNumber + 1.0);
    std::int64_t days = static_cast<std::int64_t>(std::floor(day_number));
    std::int64_t seconds = std::llround((day_number - static_cast<double>(days)) * 86400.0);
    if (seconds >= kSecondsPerDay) {
        days += 1;
        seconds -= kSecondsPerDay;
    }
    const CivilDate date = CivilFromDays(days + kEpochDays);
    std::tm local{};
    local.tm_year = static_cast<int>(date.year - 1900);
    local.tm_mon = date.month - 1;
    local.tm_mday = date.day;
    local.tm_hour = static_cast<int>(seconds / 3600);
    local.tm_min = static_cast<int>(seconds / 60 % 60);
    local.tm_sec = static_cast<int>(seconds % 60);
    local.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&local));
}

std::string FormatDayNumber(double day_number) {
    if (!std::isfinite(day_number)) {
        return "NULL";
    }
    char text[64];
    const auto [end, error] = std::to_chars(text, text + sizeof text, day_number);
    std::string result(text, error == std::errc() ? end : text);
    if (result.find_first_of(".e") == std::string::npos) {
        result += ".0";
    }
    return result;
}

}  // namespace korvane
