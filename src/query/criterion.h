// The value text of a criterion: "Include" or "Exclude", then values whose
// reading depends on the field's type (names with DOS wildcards, sizes and
// size ranges, dates and date ranges, or the EZ-Date form "Previous N unit").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "query/civil_time.h"

namespace korvane {

struct Criterion {
    bool include = false;  // any first word but "Include" excludes
    std::vector<std::string> values;
};

// Splits a value text with the shared splitter, keeping every token.
Criterion ParseCriterion(std::string_view value_text);

// Earliest and latest dates a criterion may name: the catalogue's day
// numbers start on 12/30/1899, and every date must keep a four-digit year
// (its next day included).
inline constexpr int kFirstCriteriaYear = 1900;
inline constexpr int kLastCriteriaYear = 9998;

// Reads a criteria date written month/day/year ("1/5/1998", "01/05/1998"):
// one or two digits for month and day, four for the year, a real calendar
// date between the years above. Anything else gives none: two-digit years
// and other orders are never guessed.
std::optional<CivilTime> ParseCriteriaDate(std::string_view token);
// "%d/%d/%d": month/day/year without leading zeros, as the date dialog writes.
std::string FormatDialogDate(const CivilTime& date);

enum class EzUnit { Minutes, Hours, Days, Weeks, Months, Years, Other };
// The unit words, compared without regard to case.
EzUnit EzUnitOfWord(std::string_view word);

// The EZ-Date boundary: the run time moved back by count units, the time of
// day kept. Months and years that land on a day the month lacks (31 March
// minus one month) settle on the month's last day. Unknown units give the
// run time itself. A boundary before the first day the catalogue can hold
// (also for a year count not less than the run year) becomes 12/30/1899
// 0:0:0, so "Previous 500 Years" still means everything.
CivilTime EzDateBoundary(const CivilTime& run_time, std::uint64_t count, EzUnit unit);

}  // namespace korvane
