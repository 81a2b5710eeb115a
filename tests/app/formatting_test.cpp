#include "app/formatting.h"

#include <clocale>
#include <cstdlib>

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(FormatSize, ThreeSignificantDigitsCutOff) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0 bytes"},          {1, "1 byte"},           {999, "999 bytes"},
        {1000, "1.00 KB"},       {1536, "1.53 KB"},       {10240, "10.2 KB"},
        {99999, "99.9 KB"},      {100000, "100 KB"},      {999999, "999 KB"},
        {1000000, "1.00 MB"},    {12345678, "12.3 MB"},   {1050000000000000ULL, "1.05 PB"},
        {18446744073709551615ULL, "18.4 EB"},             {1000000000000000000ULL, "1.00 EB"},
        {999999999999999999ULL, "999 PB"},                {5000000000ULL, "5.00 GB"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(FormatSize(value), text) << value;
}

TEST(FormatSize, SmallBufferGetsTheBeginning) {
    EXPECT_EQ(FormatSize(12345678, 4), "12.");
    EXPECT_EQ(FormatSizeApprox(1536, 3), "1.");
}

TEST(FormatSizeApprox, NearestTenth) {
    const std::pair<double, const char*> cases[] = {
        {1, "1 byte"},       {-1, "1 byte"},        {2, "2 bytes"},        {999.6, "1000 bytes"},
        {1536, "1.5 KB"},    {999999, "1000.0 KB"}, {-2048, "-2.0 KB"},    {0, "0 bytes"},
        {2.5e9, "2.5 GB"},   {3e21, "3000.0 EB"},   {1.5e15, "1.5 PB"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(FormatSizeApprox(value), text) << value;
}

TEST(FormatSizeApprox, DecimalPointIgnoresTheUserLocale) {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr && std::setlocale(LC_ALL, "C.UTF-8") == nullptr) {
        GTEST_SKIP() << "no other locale here";
    }
    EXPECT_EQ(FormatSizeApprox(1536), "1.5 KB");
    std::setlocale(LC_ALL, "C");
}

TEST(ParseSize, LettersMultiplyWherever) {
    const std::pair<const char*, std::uint64_t> cases[] = {
        {"10", 10},           {"10K", 10000},        {"10MB", 10000000},  {"1.5G", 1000000000},
        {"2kk", 2000000},     {"3 TB", 3000000000000ULL}, {"  7", 7},     {"", 0},
        {"abc", 0},           {"1e", 1000000000000000000ULL},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(ParseSize(text), value) << text;
    std::string decimal;
    EXPECT_EQ(ParseSize("5G", &decimal), 5000000000ULL);
    EXPECT_EQ(decimal, "5000000000");
    EXPECT_EQ(ParseSize("100E", &decimal), 100ULL * 1000000000000000000ULL);  // wraps modulo 2^64
    EXPECT_EQ(decimal, std::to_string(100ULL * 1000000000000000000ULL));
}

class DateFormats : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        saved_ = tz != nullptr ? tz : "";
        had_ = tz != nullptr;
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    void TearDown() override {
        if (had_) {
            setenv("TZ", saved_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    std::string saved_;
    bool had_ = false;
};

TEST_F(DateFormats, FixedFormats) {
    const std::time_t when = 915148027;  // 12/31/1998 23:47:07 UTC, a Thursday
    EXPECT_EQ(FormatLocalTime(kEventTimeFormat, when), "12/31/1998 23:47:07");
    EXPECT_EQ(FormatLocalTime(kSqlDateFormat, when), "12/31/1998");
    EXPECT_EQ(FormatLocalTime(kFileDateFormat, when), "23:47:07 12/31/1998");
    EXPECT_EQ(FormatLocalTime(kBuildTimeFormat, when), "December 31,1998 11:47PM");
    EXPECT_EQ(FormatLocalTime(kStatusDateFormat, when), "Thu, Dec 31, 1998 ");
    EXPECT_EQ(FormatLocalTime(kStatusTimeFormat, when), "11:47");
    EXPECT_EQ(FormatLocalTime(kAxisDateFormat, when), "Dec 31 1998");
    EXPECT_EQ(FormatLocalTime(kForecastDateFormat, when), "December 31, 1998");
}

TEST_F(DateFormats, HourWithoutLeadingZero) {
    EXPECT_EQ(FormatLocalTime(kStatusTimeFormat, 45000), "12:30");  // 12:30 UTC
    EXPECT_EQ(FormatLocalTime(kStatusTimeFormat, 300), "12:05");    // 00:05
    EXPECT_EQ(FormatLocalTime(kStatusTimeFormat, 3600 * 9 + 60), "9:01");
    EXPECT_EQ(FormatLocalTime("100%% %#I", 3600 * 13), "100% 1");
}

TEST_F(DateFormats, NamesStayEnglishUnderAnotherLocale) {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "de_DE.UTF-8 not installed";
    EXPECT_EQ(FormatLocalTime(kStatusDateFormat, 915148027), "Thu, Dec 31, 1998 ");
    std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace korvane
