// Start times and repeat intervals of schedules: the Startup text
// ("%m/%d/%Y %H:%M:%S", local time), the Interval words, the 12-hour form
// the schedule-time dialog shows, and the times at which a job repeats.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// A new schedule's Startup, which is not a date: the scheduler runs such a
// job when it starts itself (see NextRunTime).
inline constexpr std::string_view kNewScheduleStartup = "Startup";

struct StartupTime {
    int year = 0, month = 0, day = 0;  // month 1..12, day 1..31
    int hour = 0, minute = 0, second = 0;
};

// "%m/%d/%Y %H:%M:%S" or "%m/%d/%Y %H:%M" (leading zeros optional, blanks
// around the text allowed); none for anything else or an impossible date.
std::optional<StartupTime> ParseStartup(std::string_view text);
// "%m/%d/%Y" followed by " %02d:%02d:00": the seconds are always written 00.
std::string FormatStartup(const StartupTime& time);

// The hour as the schedule-time dialog shows it: 12-hour form, PM for 12
// and above, midnight as 0 (shown "00").
struct TwelveHour {
    int hour = 0;
    bool pm = false;
};
TwelveHour ToTwelveHour(int hour24);
// Back from the dialog: with PM an hour below 12 gets 12 added, without PM
// 12 becomes 0.
int FromTwelveHour(int hour, bool pm);

enum class ScheduleInterval { None, Monthly, Weekly, Daily, Hourly, UserDefined };

// The six Interval words without regard to case; none for any other text.
std::optional<ScheduleInterval> ParseInterval(std::string_view text);
// "None", "Monthly", "Weekly", "Daily", "Hourly", "User defined".
std::string_view IntervalText(ScheduleInterval interval);

// Seconds since the epoch of a Startup in local time; none when the local
// calendar cannot represent it.
std::optional<std::time_t> LocalTimeOf(const StartupTime& time);

// The k-th repeat (k >= 0) of a job that first runs at base: Hourly adds k
// hours; Daily and Weekly add k days or weeks of the local calendar (the
// clock time stays across daylight-saving changes); Monthly adds k months,
// on the same day or the month's last day when it is shorter. None and
// "User defined" have only k = 0.
std::optional<std::time_t> Repeat(std::time_t base, ScheduleInterval interval, long k);

// The first run of the series that starts at base and is strictly later
// than after; none when the series has no such run.
std::optional<std::time_t> FirstRunAfter(std::time_t base, ScheduleInterval interval, std::time_t after);

}  // namespace korvane
