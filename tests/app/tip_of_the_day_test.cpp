#include "app/tip_of_the_day.h"

#include <gtest/gtest.h>

#include "app/profile_file.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

constexpr const char* kTips =
    "; Tips for the program\r\n"
    "First tip.\r\n"
    "\tindented continuation is not a tip\r\n"
    "\r\n"
    " a line starting with a blank\r\n"
    "Second tip, with a comma.\r\n"
    "\n"
    "Third tip";

class TipFile : public ::testing::Test {
  protected:
    TempDir dir;
    std::string tips = dir / "Korvane.txt";
    std::string ini = dir / "Korvane.ini";
};

TEST_F(TipFile, SkipsCommentsBlanksAndIndentedLinesAndWrapsAround) {
    ASSERT_TRUE(WriteFileBytes(tips, kTips));
    TipOfTheDay reader(tips, ini);
    ASSERT_TRUE(reader.Open());
    EXPECT_EQ(reader.Problem(), "");
    EXPECT_EQ(reader.NextTip(), "First tip.");
    EXPECT_EQ(reader.NextTip(), "Second tip, with a comma.");
    EXPECT_EQ(reader.NextTip(), "Third tip");
    EXPECT_EQ(reader.NextTip(), "First tip.");
}

TEST_F(TipFile, CarriesOnWhereTheLastDialogStopped) {
    ASSERT_TRUE(WriteFileBytes(tips, kTips));
    {
        TipOfTheDay reader(tips, ini);
        ASSERT_TRUE(reader.Open());
        EXPECT_EQ(reader.NextTip(), "First tip.");
        ASSERT_TRUE(reader.SavePosition());
    }
    EXPECT_EQ(ReadProfileString(ini, "Tip", "TimeStamp"), TipsFileTimeStamp(tips));
    EXPECT_NE(ReadProfileInt(ini, "Tip", "FilePos", 0), 0);
    TipOfTheDay again(tips, ini);
    ASSERT_TRUE(again.Open());
    EXPECT_EQ(again.NextTip(), "Second tip, with a comma.");
}

TEST_F(TipFile, AnotherFileStartsAtTheBeginning) {
    ASSERT_TRUE(WriteFileBytes(tips, kTips));
    ASSERT_TRUE(WriteFileBytes(ini, "[Tip]\r\nFilePos=30\r\nTimeStamp=Thu Dec 31 23:59:07 1998\r\n"));
    TipOfTheDay reader(tips, ini);
    ASSERT_TRUE(reader.Open());
    EXPECT_EQ(reader.NextTip(), "First tip.");
    EXPECT_EQ(ReadProfileString(ini, "Tip", "TimeStamp"), TipsFileTimeStamp(tips));
}

TEST_F(TipFile, MissingFileAndUnreachablePosition) {
    TipOfTheDay missing(tips, ini);
    EXPECT_FALSE(missing.Open());
    EXPECT_FALSE(missing.HasFile());
    EXPECT_EQ(missing.Problem(), "Cannot find tip of the day text file.");
    EXPECT_EQ(missing.NextTip(), "");

    ASSERT_TRUE(WriteFileBytes(tips, kTips));
    ASSERT_TRUE(WriteProfileString(ini, "Tip", "TimeStamp", TipsFileTimeStamp(tips)));
    ASSERT_TRUE(WriteProfileString(ini, "Tip", "FilePos", "-4"));
    TipOfTheDay bad_place(tips, ini);
    ASSERT_TRUE(bad_place.Open());
    EXPECT_EQ(bad_place.Problem(), "Trouble reading the tips file");
    EXPECT_EQ(bad_place.NextTip(), "First tip.");

    // Past the end (the file was shortened in place): reading wraps to the start.
    ASSERT_TRUE(WriteProfileString(ini, "Tip", "FilePos", "100000"));
    TipOfTheDay past_end(tips, ini);
    ASSERT_TRUE(past_end.Open());
    EXPECT_EQ(past_end.Problem(), "");
    EXPECT_EQ(past_end.NextTip(), "First tip.");
}

TEST_F(TipFile, FileWithoutTipsEndsTheSearch) {
    ASSERT_TRUE(WriteFileBytes(tips, "; only a remark\r\n\r\n\tand an indented line\r\n"));
    TipOfTheDay reader(tips, ini);
    ASSERT_TRUE(reader.Open());
    EXPECT_EQ(reader.NextTip(), "");
    EXPECT_EQ(reader.Position(), 0);
}

TEST_F(TipFile, LongLineIsCutAndItsRestSkipped) {
    ASSERT_TRUE(WriteFileBytes(tips, std::string(1500, 'x') + "\nShort tip\n"));
    TipOfTheDay reader(tips, ini);
    ASSERT_TRUE(reader.Open());
    EXPECT_EQ(reader.NextTip(), std::string(999, 'x'));
    EXPECT_EQ(reader.NextTip(), "Short tip");
}

TEST_F(TipFile, StartUpFlag) {
    EXPECT_TRUE(TipsShownAtStartUp(ini));
    ASSERT_TRUE(WriteFileBytes(tips, kTips));
    TipOfTheDay reader(tips, ini);
    ASSERT_TRUE(reader.Open());
    ASSERT_TRUE(reader.SaveStartUp(false));
    EXPECT_EQ(ReadProfileString(ini, "Tip", "StartUp"), "0");
    EXPECT_FALSE(TipsShownAtStartUp(ini));
    ASSERT_TRUE(reader.SaveStartUp(true));
    EXPECT_TRUE(TipsShownAtStartUp(ini));
}

}  // namespace
}  // namespace korvane
