// Catalogue dates are day numbers: days since 30 December 1899 in local time,
// the fraction being the time of day (12/31/1899 is 1.0). Stored in whole
// seconds. The row writers and the SQL translator both use these functions,
// so a stored time and a date literal of the same second compare equal.
#pragma once

#include <cstdint>
#include <string>

namespace korvane {

// Day number of a local calendar time; false when the date is not a valid
// calendar date on or after 12/30/1899 or a field is out of range.
bool DayNumberFromCivil(int year, int month, int day, int hour, int minute, int second, double& day_number);
// Day number of a Unix time (UTC seconds), converted to local time, whole seconds.
double DayNumberFromUnix(std::int64_t unix_seconds);
// The Unix time (UTC seconds) of a day number read as local time, rounded to the second.
std::int64_t UnixFromDayNumber(double day_number);
// Shortest round-trip text, locale-free, always with a "." or exponent ("1.0").
// A value that is not finite gives "NULL".
std::string FormatDayNumber(double day_number);

}  // namespace korvane
