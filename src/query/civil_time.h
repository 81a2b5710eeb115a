// Local calendar times as catalogue dates count them: whole days since
// 30 December 1899 on the local clock, the fraction being the time of day.
#pragma once

#include <cstdint>
#include <string>

namespace korvane {

// A local calendar date and time of day, the form catalogue dates compare in.
struct CivilTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const CivilTime&) const = default;
};

// Days since 1 January 1970 of a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(int year, int month, int day);
CivilTime CivilFromDays(std::int64_t days);
int DaysInMonth(int year, int month);
// The local time of a Unix time.
CivilTime LocalCivilTime(std::int64_t unix_seconds);

// The calendar time of a day number, to the nearest second; false for a
// value outside years 1 to 9999 or not a number.
bool CivilOfDayNumber(double day_number, CivilTime& civil);
// "%H:%M:%S %m/%d/%Y", the form of dates in result files and exports.
std::string FormatCivilTime(const CivilTime& civil);

}  // namespace korvane
