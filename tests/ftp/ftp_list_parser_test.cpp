// Listing lines of both forms, checked field by field against dates worked
// out by the C library.
#include "scan/ftp/ftp_list_parser.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "scan/ftp/ftp_listing_file.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

std::int64_t Utc(int year, int month, int day, int hour = 0, int minute = 0) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    return static_cast<std::int64_t>(timegm(&parts));
}

// The clock the year of time-of-day entries is decided against.
const std::int64_t kNow = Utc(2024, 6, 15, 12, 0);

struct Expected {
    std::string line;
    std::string name;
    std::uint64_t size;
    std::uint32_t attributes;
    std::string owner;
    std::int64_t time;
};

void ExpectParsed(const Expected& expected) {
    FtpDirEntry entry;
    ASSERT_TRUE(ParseListLine(expected.line, entry, kNow)) << expected.line;
    EXPECT_EQ(entry.name, expected.name) << expected.line;
    EXPECT_EQ(entry.size, expected.size) << expected.line;
    EXPECT_EQ(entry.attributes, expected.attributes) << expected.line;
    EXPECT_EQ(entry.owner, expected.owner) << expected.line;
    EXPECT_EQ(entry.time, expected.time) << expected.line;
}

TEST(ParseListLineTest, UnixEntries) {
    const Expected cases[] = {
        {"-rw-r--r--   1 owner    group       1234 Mar 10 15:30 readme.txt", "readme.txt", 1234, 0, "owner",
         Utc(2024, 3, 10, 15, 30)},
        {"drwxr-xr-x   2 root     root        4096 Jan  5  2001 My Documents", "My Documents", 4096,
         kFtpAttrDirectory, "root", Utc(2001, 1, 5)},
        {"lrwxrwxrwx   1 root     root           7 Jan  5  2001 bin -> usr/bin", "bin", 7, kFtpAttrLink,
         "root", Utc(2001, 1, 5)},
        {"-rw-r--r--   1 ftp      ftp     5368709120 Feb 29  2020 huge.iso", "huge.iso", 5368709120ull, 0,
         "ftp", Utc(2020, 2, 29)},
        {"-rw-r--r--   1 ftp      ftp   18446744073709551615 Feb 29  2020 max", "max",
         18446744073709551615ull, 0, "ftp", Utc(2020, 2, 29)},
        {"crw-rw-rw-   1 root     root       1,   3 Jan  5  2001 null", "null", 0, 0, "root",
         Utc(2001, 1, 5)},
        {"brw-rw----   1 root     disk         8,0 Dec 31  1999 sda", "sda", 0, 0, "root", Utc(1999, 12, 31)},
        {"-rw-r--r-- 1 u g 10 Jan 5 2001    two  blanks  inside ", "two  blanks  inside ", 10, 0, "u",
         Utc(2001, 1, 5)},
        {"-rw-r--r-- 1 1001 1001 0 JAN 5 2001 upper month", "upper month", 0, 0, "1001", Utc(2001, 1, 5)},
        {"-rw-r--r-- 1 u g 1 jan 5 2001 ends with CR\r\n", "ends with CR", 1, 0, "u", Utc(2001, 1, 5)},
        {"-rw-r--r-- 1 u g 1 jan 5 2001 ends with LF\n", "ends with LF", 1, 0, "u", Utc(2001, 1, 5)},
        {"lrwxrwxrwx 1 u g 9 Jan 5 2001 no arrow", "no arrow", 9, kFtpAttrLink, "u", Utc(2001, 1, 5)},
        {"-rw-r--r-- 1 u g 9 Jan 5 2001 plain -> arrow", "plain -> arrow", 9, 0, "u", Utc(2001, 1, 5)},
        {"-rw-r--r-- 1 u g 9 Jan 5 2001 \xc3\xbcnic\xc3\xb6"
         "de",
         "\xc3\xbcnic\xc3\xb6"
         "de",
         9, 0, "u", Utc(2001, 1, 5)},
    };
    for (const Expected& expected : cases)
        ExpectParsed(expected);
}

TEST(ParseListLineTest, TimeOfDayEntriesTakeTheYearThatPutsThemInThePast) {
    // Today is 15 June 2024.
    const Expected cases[] = {
        {"-rw-r--r-- 1 u g 1 Jun 15 10:00 today", "today", 1, 0, "u", Utc(2024, 6, 15, 10, 0)},
        {"-rw-r--r-- 1 u g 1 Jun 16 10:00 tomorrow", "tomorrow", 1, 0, "u", Utc(2023, 6, 16, 10, 0)},
        {"-rw-r--r-- 1 u g 1 Jul 01 00:00 next month", "next month", 1, 0, "u", Utc(2023, 7, 1)},
        {"-rw-r--r-- 1 u g 1 Dec 31 23:59 year end", "year end", 1, 0, "u", Utc(2023, 12, 31, 23, 59)},
        // A larger day number than today's, in an earlier month, stays this year.
        {"-rw-r--r-- 1 u g 1 Mar 28 09:05 earlier", "earlier", 1, 0, "u", Utc(2024, 3, 28, 9, 5)},
        {"-rw-r--r-- 1 u g 1 Jan 1 0:00 new year", "new year", 1, 0, "u", Utc(2024, 1, 1)},
    };
    for (const Expected& expected : cases)
        ExpectParsed(expected);

    FtpDirEntry entry;
    ASSERT_TRUE(ParseListLine("-rw-r--r-- 1 u g 1 Jan 2 03:04 x", entry, Utc(2025, 1, 1, 23, 0)));
    EXPECT_EQ(entry.time, Utc(2024, 1, 2, 3, 4)) << "the day after today is last year's";
}

TEST(ParseListLineTest, DosEntries) {
    const Expected cases[] = {
        {"12-05-98  10:30PM       <DIR>          pub", "pub", 0, kFtpAttrDirectory, "",
         Utc(1998, 12, 5, 22, 30)},
        {"12-05-98  12:15AM                 1024 readme.txt", "readme.txt", 1024, 0, "",
         Utc(1998, 12, 5, 0, 15)},
        {"01-02-98  12:00PM                    5 noon", "noon", 5, 0, "", Utc(1998, 1, 2, 12, 0)},
        {"01-02-98  01:00pm                    5 lower case", "lower case", 5, 0, "", Utc(1998, 1, 2, 13, 0)},
        {"07-04-2021  01:05am       5368709120 big file.iso", "big file.iso", 5368709120ull, 0, "",
         Utc(2021, 7, 4, 1, 5)},
        {"03-04-05  11:59AM       <dir>          lower dir", "lower dir", 0, kFtpAttrDirectory, "",
         Utc(2005, 3, 4, 11, 59)},
        {"03-04-69  11:59AM  1 y69", "y69", 1, 0, "", Utc(2069, 3, 4, 11, 59)},
        {"03-04-70  11:59AM  1 y70", "y70", 1, 0, "", Utc(1970, 3, 4, 11, 59)},
        // Servers that print the years since 1900.
        {"03-04-100  11:59AM  1 y100", "y100", 1, 0, "", Utc(2000, 3, 4, 11, 59)},
        {"12-05-98  10:30PM       <DIR>          name\r", "name", 0, kFtpAttrDirectory, "",
         Utc(1998, 12, 5, 22, 30)},
    };
    for (const Expected& expected : cases)
        ExpectParsed(expected);
}

TEST(ParseListLineTest, LinesOfNeitherFormAreRefusedAndLeaveTheEntryCleared) {
    const char* refused[] = {
        "",
        "total 12",
        "   ",
        "-rw-r--r-- 1 u g 10 Foo 5 2001 bad month",
        "-rw-r--r-- 1 u g 10 January 5 2001 long month",
        "-rw-r--r-- 1 u g 10 Jan 5 2001",
        "-rw-r--r-- 1 u g 10 Jan 5 2001    ",
        "-rw-r--r-- 1 u g 99999999999999999999999 Jan 5 2001 too big",
        "-rw-r--r-- 1 u g -5 Jan 5 2001 negative",
        "-rw-r--r-- 1 u g 12ab Jan 5 2001 not a number",
        "-rw-r--r-- 1 u g 10 Jan 0 2001 day zero",
        "-rw-r--r-- 1 u g 10 Jan 32 2001 day 32",
        "-rw-r--r-- 1 u g 10 Jan 5 24:00 hour",
        "-rw-r--r-- 1 u g 10 Jan 5 12:60 minute",
        "-rw-r--r-- 1 u g 10 Jan 5 12: empty minute",
        "-rw-r--r-- 1 u g 10 Jan 5 20x1 year",
        "-rw-r--r-- 1 owner 1234 Jan 5 2001 no group",
        "crw-rw-rw- 1 root root 1, Jan 5 2001 no minor",
        "13-05-98  10:30PM  1 month 13",
        "00-05-98  10:30PM  1 month 0",
        "12-00-98  10:30PM  1 day 0",
        "12-05-  10:30PM  1 no year",
        "12-05  10:30PM  1 one dash",
        "12-05-98  13:30PM  1 hour 13",
        "12-05-98  00:30AM  1 hour 0",
        "12-05-98  10:60PM  1 minute 60",
        "12-05-98  10:30XM  1 not am or pm",
        "12-05-98  10:30P  1 half marker",
        "12-05-98  22:30  1 day clock",
        "12-05-98  10:30PM  <DIR>",
        "12-05-98  10:30PM  <DIR>   ",
        "12-05-98  10:30PM  abc name",
    };
    for (const char* line : refused) {
        FtpDirEntry entry;
        entry.name = "stale";
        entry.size = 7;
        EXPECT_FALSE(ParseListLine(line, entry, kNow)) << line;
        EXPECT_TRUE(entry.name.empty() && entry.size == 0 && entry.attributes == 0) << line;
    }
}

TEST(ParseListLineTest, NamesAreBoundedAndOwnersCut) {
    const std::string prefix = "-rw-r--r-- 1 u g 1 Jan 5 2001 ";
    FtpDirEntry entry;
    EXPECT_TRUE(ParseListLine(prefix + std::string(kFtpMaxNameLength, 'n'), entry, kNow));
    EXPECT_EQ(entry.name.size(), kFtpMaxNameLength);
    EXPECT_FALSE(ParseListLine(prefix + std::string(kFtpMaxNameLength + 1, 'n'), entry, kNow));

    const std::string long_owner(300, 'o');
    ASSERT_TRUE(ParseListLine("-rw-r--r-- 1 " + long_owner + " g 1 Jan 5 2001 x", entry, kNow));
    EXPECT_EQ(entry.owner, long_owner.substr(0, kFtpMaxOwnerLength));
}

TEST(ParseListLineTest, NamesThatCouldLeaveAFolderAreFlagged) {
    struct Case {
        std::string name;
        bool safe;
    };
    const Case cases[] = {
        {"report.doc", true}, {"My Documents", true},      {"...", true},         {"..hidden", true},
        {"a\\b", true},       {"\xc3\xa9t\xc3\xa9", true}, {".", false},          {"..", false},
        {"a/b", false},       {"../etc", false},           {"/etc", false},       {"tab\there", false},
        {"bell\x07", false},  {"del\x7f", false},          {"esc\x1b[0m", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsSafeListName(c.name), c.safe) << c.name;
        FtpDirEntry entry;
        ASSERT_TRUE(ParseListLine("drwxr-xr-x 2 u g 0 Jan 5 2001 " + c.name, entry, kNow)) << c.name;
        EXPECT_EQ(entry.safe_name, c.safe) << c.name;
    }
}

TEST(FtpListingFileTest, ReadsEntriesInOrderAndPassesOverWhatDoesNotParse) {
    testing::TempDir folder;
    const std::string path = folder / "dir0001";
    const std::string listing =
        "total 3\r\n"
        "drwxr-xr-x   2 root root 4096 Jan  5  2001 .\r\n"
        "-rw-r--r--   1 root root   12 Jun 10 08:00 first file\r\n"
        "-rw-r--r--   1 root root    1 Jan  5  2001 " +
        std::string(kFtpMaxListLine, 'x') +
        "\r\n"
        "\r\n"
        "12-05-98  10:30PM       <DIR>          pub\n"
        "-rw-r--r--   1 root root   99 Jan  5  2001 last without line end";
    ASSERT_TRUE(testing::WriteFileBytes(path, listing));

    FtpListingFile file;
    ASSERT_TRUE(file.Open(path, kNow));
    FtpDirEntry entry;
    ASSERT_TRUE(file.Next(entry));
    EXPECT_EQ(entry.name, ".");
    ASSERT_TRUE(file.Next(entry));
    EXPECT_EQ(entry.name, "first file");
    EXPECT_EQ(entry.time, Utc(2024, 6, 10, 8, 0));
    ASSERT_TRUE(file.Next(entry));
    EXPECT_EQ(entry.name, "pub");
    ASSERT_TRUE(file.Next(entry));
    EXPECT_EQ(entry.name, "last without line end");
    EXPECT_EQ(entry.size, 99u);
    EXPECT_FALSE(file.Next(entry));
    EXPECT_EQ(file.SkippedLines(), 3u) << "the total line, the over-long line and the empty line";
}

TEST(FtpListingFileTest, MissingFileDoesNotOpen) {
    testing::TempDir folder;
    FtpListingFile file;
    EXPECT_FALSE(file.Open(folder / "missing"));
    FtpDirEntry entry;
    EXPECT_FALSE(file.Next(entry));
}

}  // namespace
}  // namespace korvane
