#include "query/criteria_dialogs.h"

#include <gtest/gtest.h>

#include <map>

#include "query/criterion.h"

namespace korvane {
namespace {

std::int64_t Day(int year, int month, int day) {
    return DaysFromCivil(year, month, day);
}

TEST(CriteriaDialogs, DialogOfEachType) {
    EXPECT_EQ(CriteriaDialogOf("Text"), CriteriaDialogKind::Text);
    EXPECT_EQ(CriteriaDialogOf("Size"), CriteriaDialogKind::Size);
    EXPECT_EQ(CriteriaDialogOf("Date/Time"), CriteriaDialogKind::Date);
    EXPECT_EQ(CriteriaDialogOf("Number"), CriteriaDialogKind::None);
}

TEST(TextDialog, PromptsByTitle) {
    EXPECT_EQ(TextDialogPrompt("File Type"),
              "Enter the file types you wish to find.\nDOS wildcards (*?) are allowed.\n"
              "File Types must be separated by commas.");
    EXPECT_EQ(TextDialogPrompt("Folder Owner"),
              "Enter the names of the folder owners you wish to find.\nDOS wildcards (*?) are allowed.\n"
              "Names must be separated by commas.");
    EXPECT_NE(TextDialogPrompt("File Name").find("names of the files"), std::string::npos);
    EXPECT_NE(TextDialogPrompt("File Owner").find("names of file owners"), std::string::npos);
    EXPECT_NE(TextDialogPrompt("Folder Name").find("names of the folders"), std::string::npos);
    EXPECT_EQ(TextDialogPrompt("File Size"), "");
}

TEST(TextDialog, OpensAndWritesValueTexts) {
    const CriteriaEditState state = TextDialogOpen("Exclude  \"*.doc\",\"a, b.txt\"");
    EXPECT_TRUE(state.exclude);
    EXPECT_EQ(state.edit_text, "\"*.doc\", \"a, b.txt\"");
    EXPECT_FALSE(TextDialogOpen("Include  \"*.doc\"").exclude);
    EXPECT_EQ(TextDialogValueText(false, "*.doc, *.txt", "old"), "Include  \"*.doc\",\"*.txt\"");
    EXPECT_EQ(TextDialogValueText(true, "\"my file, 1.txt\" x", "old"), "Exclude  \"my file, 1.txt\",\"x\"");
    // What the dialog shows reads back into the same value text.
    EXPECT_EQ(TextDialogValueText(state.exclude, state.edit_text, ""), "Exclude  \"*.doc\",\"a, b.txt\"");
    // No value: the old text stays.
    EXPECT_EQ(TextDialogValueText(false, " , ", "Include  \"x\""), "Include  \"x\"");
    // A value with a double quote is written bare so it reads back whole.
    const std::string quoted = TextDialogValueText(false, "a\"b", "");
    EXPECT_EQ(quoted, "Include  a\"b");
    EXPECT_EQ(ParseCriterion(quoted).values, (std::vector<std::string>{"a\"b"}));
}

TEST(SizeDialog, AcceptsOnlyAscendingListsOfSizes) {
    for (const char* good : {"100K", "0 - 1M", "25K - 25G, 30G-100G", "1, 2, 3", "1.5M", "10k-20k"}) {
        EXPECT_TRUE(SizeDialogAccepts(good)) << good;
    }
    for (const char* bad : {"", "100K, 50K", "10KB", "1M 2M", "1M,,2M", "1M -- 2M", "1M,-2M", "- 1M", "1M -",
                            "1M, 1M", "K", "25K - 25G, 0 - 1M"}) {
        EXPECT_FALSE(SizeDialogAccepts(bad)) << bad;
    }
}

TEST(SizeDialog, OpensAndWritesValueTexts) {
    const std::string value = SizeDialogValueText(false, "25K - 25G, 0 - 1M");
    EXPECT_EQ(value, "Include  25K - 25G , 0 - 1M ");
    const CriteriaEditState state = SizeDialogOpen(value);
    EXPECT_FALSE(state.exclude);
    EXPECT_EQ(state.edit_text, "25K-25G,0-1M");
    EXPECT_TRUE(SizeDialogOpen("Exclude  1M ").exclude);
    EXPECT_EQ(SizeDialogValueText(true, state.edit_text), "Exclude  25K - 25G , 0 - 1M ");
}

DayRanges Days(std::initializer_list<std::int64_t> days) {
    DayRanges ranges;
    for (std::int64_t day : days)
        ranges.Add(day, day);
    return ranges;
}

TEST(DateDialog, ConsecutiveDaysBecomeRanges) {
    DateItems items = DateItemsOfRanges(Days({Day(1998, 1, 10), Day(1998, 1, 11), Day(1998, 1, 12)}));
    EXPECT_EQ(items.items, (std::vector<std::string>{"1/10/1998 - 1/12/1998"}));
    EXPECT_EQ(items.text, "1/10/1998 - 1/12/1998, ");
    items = DateItemsOfRanges(Days({Day(1998, 2, 28), Day(1998, 1, 5), Day(1998, 3, 1), Day(1999, 12, 31)}));
    EXPECT_EQ(items.items, (std::vector<std::string>{"1/5/1998", "2/28/1998 - 3/1/1998", "12/31/1999"}));
    EXPECT_EQ(items.text, "1/5/1998, 2/28/1998 - 3/1/1998, 12/31/1999, ");
}

TEST(DateDialog, PickedDaysStayRunsThatMergeAndSplit) {
    DayRanges days;
    days.Add(10, 12);
    days.Add(14, 14);
    days.Add(13, 13);  // touches both neighbours: one run
    EXPECT_EQ(days.runs(), (std::map<std::int64_t, std::int64_t>{{10, 14}}));
    days.Remove(12, 12);
    EXPECT_EQ(days.runs(), (std::map<std::int64_t, std::int64_t>{{10, 11}, {13, 14}}));
    days.Add(1, 100);
    days.Remove(50, 200);
    days.Remove(1, 1);
    EXPECT_EQ(days.runs(), (std::map<std::int64_t, std::int64_t>{{2, 49}}));
    EXPECT_TRUE(days.Contains(2));
    EXPECT_TRUE(days.Contains(49));
    EXPECT_FALSE(days.Contains(50));
    EXPECT_FALSE(days.Contains(1));
}

TEST(DateDialog, AWholeCalendarRangeIsOneRun) {
    // Eight thousand years of days read back and written as the one range they are.
    const DateCriteriaState state = DateCriteriaState::Open("Include  1/1/1900 - 12/31/9998, ");
    ASSERT_EQ(state.picked_days.runs().size(), 1u);
    EXPECT_EQ(state.picked_days.runs().begin()->second - state.picked_days.runs().begin()->first,
              Day(9998, 12, 31) - Day(1900, 1, 1));
    EXPECT_EQ(state.ValueText(), "Include  1/1/1900 - 12/31/9998, ");
}

TEST(DateDialog, UnitsCountsAndPickedDays) {
    DateCriteriaState state;
    state.ChooseUnit("Weeks");
    EXPECT_EQ(state.count, "6");
    state.ChooseUnit("Hours");  // a count is present: it stays
    EXPECT_EQ(state.count, "6");
    EXPECT_EQ(state.ValueText(), "Include Previous  6 Hours");
    state.SetCount("0");
    state.ChooseUnit("Days");  // a count of 0 turns EZ-Date off
    EXPECT_EQ(state.count, "");
    state.ChooseUnit("Days");
    EXPECT_EQ(state.count, "30");
    state.SetCount("1a2");
    EXPECT_EQ(state.count, "12");
    state.PickDay(Day(1998, 1, 5));  // picking a day clears the count
    EXPECT_EQ(state.count, "");
    state.exclude = true;
    EXPECT_EQ(state.ValueText(), "Exclude  1/5/1998, ");
    // EZ-Date wins over picked days.
    state.ChooseUnit("Years");
    EXPECT_EQ(state.ValueText(), "Exclude Previous  2 Years");
    state.SetCount("");
    state.ClearDates();
    EXPECT_EQ(state.ValueText(), "");
    EXPECT_EQ(DefaultEzCount("Months"), "3");
    EXPECT_EQ(DefaultEzCount("Minutes"), "");
}

TEST(DateDialog, ReadsValueTextsBack) {
    DateCriteriaState state =
        DateCriteriaState::Open("Exclude  1/10/1998 - 1/12/1998, 2/1/1998, 13/1/1998, ");
    EXPECT_TRUE(state.exclude);
    EXPECT_EQ(state.picked_days,
              Days({Day(1998, 1, 10), Day(1998, 1, 11), Day(1998, 1, 12), Day(1998, 2, 1)}));
    EXPECT_EQ(state.ValueText(), "Exclude  1/10/1998 - 1/12/1998, 2/1/1998, ");
    state = DateCriteriaState::Open("Include Previous  7 Days");
    EXPECT_FALSE(state.exclude);
    EXPECT_EQ(state.count, "7");
    EXPECT_EQ(state.unit, "Days");
    EXPECT_TRUE(state.picked_days.empty());
    EXPECT_EQ(state.ValueText(), "Include Previous  7 Days");
}

}  // namespace
}  // namespace korvane
