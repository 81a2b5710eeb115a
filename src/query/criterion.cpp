#include "query/criterion.h"

#include "app/text_helpers.h"

namespace korvane {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads 1..max_digits digits at pos; false when there are none or too many.
bool ReadNumber(std::string_view text, std::size_t& pos, std::size_t max_digits, int& value) {
    const std::size_t start = pos;
    value = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        if (pos - start == max_digits)
            return false;
        value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    return pos > start;
}

const CivilTime kEarliestBoundary{1899, 12, 30, 0, 0, 0};

bool Before(const CivilTime& a, const CivilTime& b) {
    const std::int64_t da = DaysFromCivil(a.year, a.month, a.day);
    const std::int64_t db = DaysFromCivil(b.year, b.month, b.day);
    if (da != db)
        return da < db;
    return a.hour * 3600 + a.minute * 60 + a.second < b.hour * 3600 + b.minute * 60 + b.second;
}

// Moves back by whole seconds on the local clock, as catalogue day numbers
// count time. Counts too large to represent give the earliest boundary.
CivilTime BackBySeconds(const CivilTime& run_time, std::uint64_t count, std::uint64_t unit_seconds) {
    const std::uint64_t limit = 400ULL * 366 * 86400 * 10000;  // far beyond any representable date
    if (count > limit / unit_seconds)
        return kEarliestBoundary;
    const std::int64_t back = static_cast<std::int64_t>(count * unit_seconds);
    const std::int64_t seconds = DaysFromCivil(run_time.year, run_time.month, run_time.day) * 86400 +
                                 run_time.hour * 3600 + run_time.minute * 60 + run_time.second - back;
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    CivilTime out = CivilFromDays(days);
    out.hour = static_cast<int>(rest / 3600);
    out.minute = static_cast<int>(rest / 60 % 60);
    out.second = static_cast<int>(rest % 60);
    return out;
}

CivilTime BackByMonths(const CivilTime& run_time, std::uint64_t months) {
    const std::int64_t total = static_cast<std::int64_t>(run_time.year) * 12 + (run_time.month - 1);
    if (months > static_cast<std::uint64_t>(total))
        return kEarliestBoundary;
    const std::int64_t target = total - static_cast<std::int64_t>(months);
    CivilTime out = run_time;
    out.year = static_cast<int>(target / 12);
    out.month = static_cast<int>(target % 12) + 1;
    if (out.day > DaysInMonth(out.year, out.month))
        out.day = DaysInMonth(out.year, out.month);
    return out;
}

}  // namespace

Criterion ParseCriterion(std::string_view value_text) {
    Criterion criterion;
    std::vector<std::string> tokens = SplitTokens(value_text, value_text.size() + 1);
    if (tokens.empty())
        return criterion;
    // A hand-written "include" means the same as "Include".
    criterion.include = EqualsNoCase(tokens.front(), "Include");
    criterion.values.assign(std::make_move_iterator(tokens.begin() + 1),
                            std::make_move_iterator(tokens.end()));
    return criterion;
}

std::optional<CivilTime> ParseCriteriaDate(std::string_view token) {
    std::size_t pos = 0;
    int month = 0, day = 0, year = 0;
    if (!ReadNumber(token, pos, 2, month) || pos >= token.size() || token[pos++] != '/')
        return std::nullopt;
    if (!ReadNumber(token, pos, 2, day) || pos >= token.size() || token[pos++] != '/')
        return std::nullopt;
    const std::size_t year_start = pos;
    if (!ReadNumber(token, pos, 4, year) || pos - year_start != 4 || pos != token.size())
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return std::nullopt;
    if (year < kFirstCriteriaYear || year > kLastCriteriaYear)
        return std::nullopt;
    CivilTime date;
    date.year = year;
    date.month = month;
    date.day = day;
    return date;
}

std::string FormatDialogDate(const CivilTime& date) {
    return std::to_string(date.month) + "/" + std::to_string(date.day) + "/" + std::to_string(date.year);
}

EzUnit EzUnitOfWord(std::string_view word) {
    if (EqualsNoCase(word, "Minutes"))
        return EzUnit::Minutes;
    if (EqualsNoCase(word, "Hours"))
        return EzUnit::Hours;
    if (EqualsNoCase(word, "Days"))
        return EzUnit::Days;
    if (EqualsNoCase(word, "Weeks"))
        return EzUnit::Weeks;
    if (EqualsNoCase(word, "Months"))
        return EzUnit::Months;
    if (EqualsNoCase(word, "Years"))
        return EzUnit::Years;
    return EzUnit::Other;
}

CivilTime EzDateBoundary(const CivilTime& run_time, std::uint64_t count, EzUnit unit) {
    CivilTime boundary = run_time;
    switch (unit) {
        case EzUnit::Minutes:
            boundary = BackBySeconds(run_time, count, 60);
            break;
        case EzUnit::Hours:
            boundary = BackBySeconds(run_time, count, 3600);
            break;
        case EzUnit::Days:
            boundary = BackBySeconds(run_time, count, 86400);
            break;
        case EzUnit::Weeks:
            boundary = BackBySeconds(run_time, count, 7 * 86400);
            break;
        case EzUnit::Months:
            boundary = BackByMonths(run_time, count);
            break;
        case EzUnit::Years:
            if (count > 1000000)
                return kEarliestBoundary;
            boundary = BackByMonths(run_time, count * 12);
            break;
        case EzUnit::Other:
            break;
    }
    if (Before(boundary, kEarliestBoundary))
        return kEarliestBoundary;
    return boundary;
}

}  // namespace korvane
