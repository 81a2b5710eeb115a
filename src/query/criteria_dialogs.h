// The rules of the three criteria dialogs (names, sizes, dates) that need no
// window: what the dialog shows for a value text, when it accepts the input,
// and the value text it makes of it. The windows call these.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "query/criterion.h"

namespace korvane {

// Which criteria dialog a field's type name opens; Number fields open none.
enum class CriteriaDialogKind { None, Text, Size, Date };
CriteriaDialogKind CriteriaDialogOf(std::string_view type_name);

// What a dialog shows on opening: the Exclude choice and the edit text.
struct CriteriaEditState {
    bool exclude = false;
    std::string edit_text;
};

// Text dialog. The prompt for a title ("File Name", ...); empty for others.
std::string TextDialogPrompt(std::string_view title);
// The values, each in double quotes, separated by ", ".
CriteriaEditState TextDialogOpen(std::string_view value_text);
// "Include  " or "Exclude  " and the quoted values joined by ","; the old
// value text when the edit holds no value. A value holding a double quote
// is written bare, since a quoted value ends at its first double quote.
std::string TextDialogValueText(bool exclude, std::string_view edit_text, std::string_view old_value_text);

// Size dialog. The typed text in size tokens and separator tokens ("-", ",").
struct SizeDialogToken {
    std::string text;
    bool separator = false;
};
std::vector<SizeDialogToken> SizeDialogTokens(std::string_view edit_text);
// OK is enabled only for a list of sizes joined by "-" and ",", each size
// digits with at most one suffix letter at its end, strictly ascending,
// starting and ending with a size.
bool SizeDialogAccepts(std::string_view edit_text);
// The value tokens joined without blanks ("25K-25G,0-1M").
CriteriaEditState SizeDialogOpen(std::string_view value_text);
// "Include  " or "Exclude  " and every token followed by one blank.
std::string SizeDialogValueText(bool exclude, std::string_view edit_text);

// Date dialog.
inline constexpr const char* kEzUnitWords[] = {"Hours", "Days", "Weeks", "Months", "Years"};
// The count the unit list fills in when the count is empty: Hours 12,
// Days 30, Weeks 6, Months 3, Years 2; empty for other words.
std::string DefaultEzCount(std::string_view unit);

// Picked days (from DaysFromCivil) held as runs of consecutive days, so a
// range of centuries costs one entry, not one per day.
class DayRanges {
  public:
    void Add(std::int64_t first, std::int64_t last);
    void Remove(std::int64_t first, std::int64_t last);
    bool Contains(std::int64_t day) const;
    bool empty() const { return runs_.empty(); }
    void clear() { runs_.clear(); }
    // First day to last day of each run, in order; runs never touch.
    const std::map<std::int64_t, std::int64_t>& runs() const { return runs_; }
    bool operator==(const DayRanges&) const = default;

  private:
    std::map<std::int64_t, std::int64_t> runs_;
};

// Picked days become items: a lone day "1/5/1998", consecutive days
// "1/10/1998 - 1/12/1998"; the list text is every item followed by ", ".
struct DateItems {
    std::vector<std::string> items;
    std::string text;
};
DateItems DateItemsOfRanges(const DayRanges& days);

// The date dialog's state between opening and OK.
class DateCriteriaState {
  public:
    // Reads a value text back: Exclude, the EZ-Date count and unit, or every
    // day of the listed dates and ranges (unreadable dates are left out).
    static DateCriteriaState Open(std::string_view value_text);

    bool exclude = false;
    DayRanges picked_days;
    std::string count;  // digits only; empty when EZ-Date is off
    std::string unit = "Days";

    // Picked days join the selection and clear the count.
    void PickDays(std::int64_t first, std::int64_t last);
    void PickDay(std::int64_t day) { PickDays(day, day); }
    void UnpickDay(std::int64_t day);
    // Choosing a unit fills in the default count when it is empty, and turns
    // EZ-Date off when the count is 0.
    void ChooseUnit(std::string_view unit_word);
    // The count edit keeps digits only.
    void SetCount(std::string_view typed);
    // Empties the picked days (the dialog then closes as with OK).
    void ClearDates() { picked_days.clear(); }
    DateItems Items() const { return DateItemsOfRanges(picked_days); }
    // On OK: the EZ-Date form when a count is present, else the picked days,
    // else empty.
    std::string ValueText() const;
};

}  // namespace korvane
