#include "query/criterion.h"

#include <gtest/gtest.h>

#include <cmath>

#include "catalogue/day_number.h"

namespace korvane {
namespace {

CivilTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return {year, month, day, hour, minute, second};
}

TEST(ParseCriterion, FirstWordAndValues) {
    Criterion c = ParseCriterion("Include  \"*.doc\",\"my file, old.txt\"");
    EXPECT_TRUE(c.include);
    EXPECT_EQ(c.values, (std::vector<std::string>{"*.doc", "my file, old.txt"}));
    c = ParseCriterion("Exclude  1M - 10M ");
    EXPECT_FALSE(c.include);
    EXPECT_EQ(c.values, (std::vector<std::string>{"1M", "-", "10M"}));
    EXPECT_FALSE(ParseCriterion("Keep a").include);
    EXPECT_TRUE(ParseCriterion("").values.empty());
    // More values than the splitter's usual 255 tokens are all kept.
    std::string many = "Include";
    for (int i = 0; i < 400; ++i)
        many += " v" + std::to_string(i);
    EXPECT_EQ(ParseCriterion(many).values.size(), 400u);
}

TEST(ParseCriteriaDate, MonthDayYearOnly) {
    EXPECT_EQ(ParseCriteriaDate("1/5/1998"), At(1998, 1, 5));
    EXPECT_EQ(ParseCriteriaDate("01/05/1998"), At(1998, 1, 5));
    EXPECT_EQ(ParseCriteriaDate("2/29/2000"), At(2000, 2, 29));
    for (const char* bad :
         {"2/29/1999", "13/1/1998", "0/1/1998", "1/0/1998", "1/5/98", "1998-01-05", "1/5/1998x", "1/5/19980",
          "5.1.1998", "1/5/1899", "1/1/9999", "", "/5/1998", "123/5/1998"}) {
        EXPECT_FALSE(ParseCriteriaDate(bad).has_value()) << bad;
    }
}

TEST(EzDateBoundary, DaysWeeksHoursMinutes) {
    const CivilTime run = At(1999, 3, 15, 14, 5, 9);
    EXPECT_EQ(EzDateBoundary(run, 30, EzUnit::Days), At(1999, 2, 13, 14, 5, 9));
    EXPECT_EQ(EzDateBoundary(run, 2, EzUnit::Weeks), At(1999, 3, 1, 14, 5, 9));
    // N equal to the current hour: today's midnight with the run's minute and second.
    EXPECT_EQ(EzDateBoundary(run, 14, EzUnit::Hours), At(1999, 3, 15, 0, 5, 9));
    EXPECT_EQ(EzDateBoundary(run, 15, EzUnit::Hours), At(1999, 3, 14, 23, 5, 9));
    EXPECT_EQ(EzDateBoundary(run, 6, EzUnit::Minutes), At(1999, 3, 15, 13, 59, 9));
    EXPECT_EQ(EzDateBoundary(run, 0, EzUnit::Days), run);
    EXPECT_EQ(EzDateBoundary(run, 7, EzUnit::Other), run);
}

TEST(EzDateBoundary, MonthsAndYearsKeepTheDayOrClampIt) {
    EXPECT_EQ(EzDateBoundary(At(1999, 1, 15, 8, 0, 1), 3, EzUnit::Months), At(1998, 10, 15, 8, 0, 1));
    EXPECT_EQ(EzDateBoundary(At(1999, 3, 31), 1, EzUnit::Months), At(1999, 2, 28));
    EXPECT_EQ(EzDateBoundary(At(2000, 3, 31), 1, EzUnit::Months), At(2000, 2, 29));
    EXPECT_EQ(EzDateBoundary(At(2000, 12, 31), 14, EzUnit::Months), At(1999, 10, 31));
    EXPECT_EQ(EzDateBoundary(At(2000, 2, 29, 12), 1, EzUnit::Years), At(1999, 2, 28, 12));
    EXPECT_EQ(EzDateBoundary(At(2000, 2, 29), 4, EzUnit::Years), At(1996, 2, 29));
}

TEST(EzDateBoundary, FarBackMeansTheFirstCatalogueDay) {
    const CivilTime first = At(1899, 12, 30);
    const CivilTime run = At(1999, 3, 15, 14, 5, 9);
    EXPECT_EQ(EzDateBoundary(run, 500, EzUnit::Years), first);
    EXPECT_EQ(EzDateBoundary(run, 1999, EzUnit::Years), first);  // not the run year itself
    EXPECT_EQ(EzDateBoundary(run, 5000, EzUnit::Years), first);
    EXPECT_EQ(EzDateBoundary(run, 18446744073709551615ULL, EzUnit::Years), first);
    EXPECT_EQ(EzDateBoundary(run, 18446744073709551615ULL, EzUnit::Months), first);
    EXPECT_EQ(EzDateBoundary(run, 18446744073709551615ULL, EzUnit::Minutes), first);
    EXPECT_EQ(EzDateBoundary(run, 36235, EzUnit::Days), first);
    EXPECT_EQ(EzDateBoundary(run, 36234, EzUnit::Days), At(1899, 12, 30, 14, 5, 9));
    EXPECT_EQ(EzDateBoundary(run, 36232, EzUnit::Days), At(1900, 1, 1, 14, 5, 9));
}

TEST(CivilTime, DayNumbersAgreeWithTheCatalogue) {
    for (const CivilTime& t : {At(1899, 12, 31), At(1999, 3, 15, 14, 5, 9), At(2024, 2, 29, 23, 59, 59),
                               At(1970, 1, 1, 0, 0, 1)}) {
        double day = 0;
        ASSERT_TRUE(DayNumberFromCivil(t.year, t.month, t.day, t.hour, t.minute, t.second, day));
        CivilTime back;
        ASSERT_TRUE(CivilOfDayNumber(day, back));
        EXPECT_EQ(back, t);
    }
    CivilTime ignored;
    EXPECT_FALSE(CivilOfDayNumber(1e300, ignored));
    EXPECT_FALSE(CivilOfDayNumber(std::nan(""), ignored));
    EXPECT_EQ(FormatCivilTime(At(1998, 1, 5, 7, 8, 9)), "07:08:09 01/05/1998");
    EXPECT_EQ(FormatDialogDate(At(1998, 1, 5)), "1/5/1998");
}

}  // namespace
}  // namespace korvane
