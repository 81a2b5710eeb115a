#include "query/civil_time.h"

#include <cmath>
#include <ctime>

namespace korvane {

std::int64_t DaysFromCivil(int year, int month, int day) {
    const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t mp = (month + 9) % 12;
    const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilTime CivilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    CivilTime out;
    out.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    out.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    out.year = static_cast<int>(yoe + era * 400 + (out.month <= 2 ? 1 : 0));
    out.hour = out.minute = out.second = 0;
    return out;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2) {
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return leap ? 29 : 28;
    }
    return kDays[(month - 1) % 12];
}

CivilTime LocalCivilTime(std::int64_t unix_seconds) {
    const std::time_t when = static_cast<std::time_t>(unix_seconds);
    std::tm local{};
    localtime_r(&when, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

bool CivilOfDayNumber(double day_number, CivilTime& civil) {
    // 1 January 0001 to 31 December 9999.
    if (!(day_number >= -693593.0 && day_number < 2958466.0))
        return false;
    std::int64_t days = static_cast<std::int64_t>(std::floor(day_number));
    std::int64_t seconds = std::llround((day_number - static_cast<double>(days)) * 86400.0);
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    civil = CivilFromDays(days + DaysFromCivil(1899, 12, 30));
    civil.hour = static_cast<int>(seconds / 3600);
    civil.minute = static_cast<int>(seconds / 60 % 60);
    civil.second = static_cast<int>(seconds % 60);
    return true;
}

std::string FormatCivilTime(const CivilTime& civil) {
    // Written by hand: exports format a date per row, and printf is slow.
    char text[24];
    auto two = [](char* at, int value) {
        at[0] = static_cast<char>('0' + value / 10 % 10);
        at[1] = static_cast<char>('0' + value % 10);
    };
    two(text, civil.hour);
    text[2] = ':';
    two(text + 3, civil.minute);
    text[5] = ':';
    two(text + 6, civil.second);
    text[8] = ' ';
    two(text + 9, civil.month);
    text[11] = '/';
    two(text + 12, civil.day);
    text[14] = '/';
    two(text + 15, civil.year / 100);
    two(text + 17, civil.year % 100);
    return std::string(text, 19);
}

}  // namespace korvane
