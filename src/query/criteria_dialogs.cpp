#include "query/criteria_dialogs.h"

#include <algorithm>
#include <iterator>

#include "app/formatting.h"
#include "app/text_helpers.h"

namespace korvane {
namespace {

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsSizeBreak(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == '-';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Digits and other non-letters, then at most one letter, at the end.
bool IsDialogSize(std::string_view token) {
    bool digit = false;
    for (std::size_t i = 0; i < token.size(); ++i) {
        if (IsLetter(token[i])) {
            if (i + 1 != token.size())
                return false;
        } else if (IsDigit(token[i])) {
            digit = true;
        }
    }
    return digit;
}

std::string QuotedValue(std::string_view value) {
    if (value.find('"') != std::string_view::npos)
        return std::string(value);
    return "\"" + std::string(value) + "\"";
}

const char* IncludeWord(bool exclude) {
    return exclude ? "Exclude  " : "Include  ";
}

// The dialogs show the choice the SQL makes of the first word: anything but
// "Include" excludes.
bool ExcludesFirstWord(const std::vector<std::string>& tokens) {
    return !tokens.empty() && !EqualsNoCase(tokens.front(), "Include");
}

// The value text after its first word.
std::string_view AfterFirstWord(std::string_view value_text) {
    std::size_t pos = 0;
    while (pos < value_text.size() && (IsBlank(value_text[pos]) || value_text[pos] == ','))
        ++pos;
    while (pos < value_text.size() && !IsBlank(value_text[pos]) && value_text[pos] != ',')
        ++pos;
    return value_text.substr(pos);
}

}  // namespace

CriteriaDialogKind CriteriaDialogOf(std::string_view type_name) {
    if (type_name == "Text")
        return CriteriaDialogKind::Text;
    if (type_name == "Size")
        return CriteriaDialogKind::Size;
    if (type_name == "Date/Time")
        return CriteriaDialogKind::Date;
    return CriteriaDialogKind::None;
}

std::string TextDialogPrompt(std::string_view title) {
    if (title == "File Name") {
        return "Enter the names of the files you wish to find.\nDOS wildcards (*?) are allowed.\n"
               "Names must be separated by commas.";
    }
    if (title == "File Type") {
        return "Enter the file types you wish to find.\nDOS wildcards (*?) are allowed.\n"
               "File Types must be separated by commas.";
    }
    if (title == "File Owner") {
        return "Enter the names of file owners you wish to find.\nDOS wildcards (*?) are allowed.\n"
               "Names must be separated by commas.";
    }
    if (title == "Folder Name") {
        return "Enter the names of the folders you wish to find.\nDOS wildcards (*?) are allowed.\n"
               "Names must be separated by commas.";
    }
    if (title == "Folder Owner") {
        return "Enter the names of the folder owners you wish to find.\nDOS wildcards (*?) are allowed.\n"
               "Names must be separated by commas.";
    }
    return {};
}

CriteriaEditState TextDialogOpen(std::string_view value_text) {
    const std::vector<std::string> tokens = SplitTokens(value_text, value_text.size() + 1);
    CriteriaEditState state;
    state.exclude = ExcludesFirstWord(tokens);
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        if (i > 1)
            state.edit_text += ", ";
        state.edit_text += QuotedValue(tokens[i]);
    }
    return state;
}

std::string TextDialogValueText(bool exclude, std::string_view edit_text, std::string_view old_value_text) {
    const std::vector<std::string> values = SplitTokens(edit_text, edit_text.size() + 1);
    if (values.empty())
        return std::string(old_value_text);
    std::string text = IncludeWord(exclude);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            text += ',';
        text += QuotedValue(values[i]);
    }
    return text;
}

std::vector<SizeDialogToken> SizeDialogTokens(std::string_view edit_text) {
    std::vector<SizeDialogToken> tokens;
    std::size_t pos = 0;
    while (pos < edit_text.size()) {
        if (IsBlank(edit_text[pos])) {
            ++pos;
            continue;
        }
        const std::size_t start = pos;
        if (edit_text[pos] == ',' || edit_text[pos] == '-') {
            while (pos < edit_text.size() && (edit_text[pos] == ',' || edit_text[pos] == '-'))
                ++pos;
            tokens.push_back({std::string(edit_text.substr(start, pos - start)), true});
        } else {
            while (pos < edit_text.size() && !IsSizeBreak(edit_text[pos]))
                ++pos;
            tokens.push_back({std::string(edit_text.substr(start, pos - start)), false});
        }
    }
    return tokens;
}

bool SizeDialogAccepts(std::string_view edit_text) {
    const std::vector<SizeDialogToken> tokens = SizeDialogTokens(edit_text);
    if (tokens.empty() || tokens.front().separator || tokens.back().separator)
        return false;
    bool have_previous = false;
    std::uint64_t previous = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const SizeDialogToken& token = tokens[i];
        if (token.separator != (i % 2 == 1))
            return false;
        if (token.separator) {
            if (token.text != "-" && token.text != ",")
                return false;
            continue;
        }
        if (!IsDialogSize(token.text))
            return false;
        const std::uint64_t size = ParseSize(token.text);
        if (have_previous && size <= previous)
            return false;
        previous = size;
        have_previous = true;
    }
    return true;
}

CriteriaEditState SizeDialogOpen(std::string_view value_text) {
    CriteriaEditState state;
    const std::vector<std::string> words = SplitTokens(value_text, 1);
    state.exclude = ExcludesFirstWord(words);
    for (const SizeDialogToken& token : SizeDialogTokens(AfterFirstWord(value_text)))
        state.edit_text += token.text;
    return state;
}

std::string SizeDialogValueText(bool exclude, std::string_view edit_text) {
    std::string text = IncludeWord(exclude);
    for (const SizeDialogToken& token : SizeDialogTokens(edit_text)) {
        text += token.text;
        text += ' ';
    }
    return text;
}

std::string DefaultEzCount(std::string_view unit) {
    if (unit == "Hours")
        return "12";
    if (unit == "Days")
        return "30";
    if (unit == "Weeks")
        return "6";
    if (unit == "Months")
        return "3";
    if (unit == "Years")
        return "2";
    return {};
}

void DayRanges::Add(std::int64_t first, std::int64_t last) {
    if (last < first)
        return;
    // Runs that overlap or touch [first, last] merge into it.
    auto it = runs_.upper_bound(first);
    if (it != runs_.begin() && std::prev(it)->second >= first - 1)
        --it;
    while (it != runs_.end() && it->first <= last + 1) {
        first = std::min(first, it->first);
        last = std::max(last, it->second);
        it = runs_.erase(it);
    }
    runs_.emplace(first, last);
}

void DayRanges::Remove(std::int64_t first, std::int64_t last) {
    if (last < first)
        return;
    auto it = runs_.upper_bound(first);
    if (it != runs_.begin() && std::prev(it)->second >= first)
        --it;
    while (it != runs_.end() && it->first <= last) {
        const std::int64_t run_first = it->first;
        const std::int64_t run_last = it->second;
        it = runs_.erase(it);
        if (run_first < first)
            runs_.emplace(run_first, first - 1);
        if (run_last > last)
            it = runs_.emplace(last + 1, run_last).first;
    }
}

bool DayRanges::Contains(std::int64_t day) const {
    auto it = runs_.upper_bound(day);
    return it != runs_.begin() && std::prev(it)->second >= day;
}

DateItems DateItemsOfRanges(const DayRanges& days) {
    DateItems out;
    for (const auto& [first, last] : days.runs()) {
        std::string item = FormatDialogDate(CivilFromDays(first));
        if (last != first)
            item += " - " + FormatDialogDate(CivilFromDays(last));
        out.text += item + ", ";
        out.items.push_back(std::move(item));
    }
    return out;
}

DateCriteriaState DateCriteriaState::Open(std::string_view value_text) {
    DateCriteriaState state;
    const std::vector<std::string> tokens = SplitTokens(value_text, value_text.size() + 1);
    if (tokens.empty())
        return state;
    state.exclude = ExcludesFirstWord(tokens);
    if (tokens.size() > 1 && EqualsNoCase(tokens[1], "Previous")) {
        if (tokens.size() > 2)
            state.SetCount(tokens[2]);
        if (tokens.size() > 3)
            state.unit = tokens[3];
        return state;
    }
    std::optional<CivilTime> range_start;
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        if (tokens[i].starts_with('-')) {
            if (!range_start || i + 1 >= tokens.size())
                continue;
            const std::optional<CivilTime> end = ParseCriteriaDate(tokens[++i]);
            if (!end)
                continue;
            const std::int64_t from = DaysFromCivil(range_start->year, range_start->month, range_start->day);
            const std::int64_t to = DaysFromCivil(end->year, end->month, end->day);
            state.picked_days.Add(from, to);
            range_start.reset();
            continue;
        }
        range_start = ParseCriteriaDate(tokens[i]);
        if (range_start) {
            const std::int64_t day = DaysFromCivil(range_start->year, range_start->month, range_start->day);
            state.picked_days.Add(day, day);
        }
    }
    return state;
}

void DateCriteriaState::PickDays(std::int64_t first, std::int64_t last) {
    picked_days.Add(std::min(first, last), std::max(first, last));
    count.clear();
}

void DateCriteriaState::UnpickDay(std::int64_t day) {
    picked_days.Remove(day, day);
}

void DateCriteriaState::ChooseUnit(std::string_view unit_word) {
    unit = std::string(unit_word);
    if (count.empty()) {
        count = DefaultEzCount(unit_word);
    } else if (count.find_first_not_of('0') == std::string::npos) {
        count.clear();
    }
}

void DateCriteriaState::SetCount(std::string_view typed) {
    count.clear();
    for (char c : typed) {
        if (IsDigit(c))
            count += c;
    }
}

std::string DateCriteriaState::ValueText() const {
    if (!count.empty())
        return (exclude ? "Exclude Previous  " : "Include Previous  ") + count + " " + unit;
    if (!picked_days.empty())
        return IncludeWord(exclude) + Items().text;
    return {};
}

}  // namespace korvane
