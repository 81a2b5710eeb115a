#include "schedule/schedule_editing.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

ScriptRow Row(const std::string& command, const std::string& parameters) {
    return ScriptRow{command, parameters, 0};
}

TEST(ScheduleEditing, EarlierQueryNamesAreTheQueryLinesAboveInOrder) {
    const std::vector<ScriptRow> rows = {
        Row("Query", "\"Sales\", \"/srv/sales\""), Row("Scan", "\"/srv\""),
        Row("Query", "\"Big Files\", \"/srv\""),   Row("Copy", ""),
        Row("Query", "\"Later\", \"/srv\""),
    };
    EXPECT_EQ(EarlierQueryNames(rows, 3), (std::vector<std::string>{"Sales", "Big Files"}));
    EXPECT_EQ(EarlierQueryNames(rows, 0), std::vector<std::string>{});
    // A Query line not yet given its parameters names nothing.
    EXPECT_EQ(EarlierQueryNames({Row("Query", ""), Row("Copy", "")}, 1), std::vector<std::string>{});
}

TEST(ScheduleEditing, OptionTextsAndTheBoxesTheyStandFor) {
    struct Case {
        bool subfolder, overwrite;
        const char* text;
    };
    const Case cases[] = {{true, true, "/SUBFOLDER/OVERWRITE"},
                          {true, false, " /SUBFOLDER"},
                          {false, true, " /OVERWRITE"},
                          {false, false, ""}};
    for (const Case& c : cases) {
        EXPECT_EQ(CommandOptionText(c.subfolder, c.overwrite), c.text);
        const CommandOptions back = CommandOptionsOf(c.text);
        EXPECT_EQ(back.subfolder, c.subfolder) << c.text;
        EXPECT_EQ(back.overwrite, c.overwrite) << c.text;
    }
    // Compared with regard to case, as the interpreter does.
    EXPECT_FALSE(CommandOptionsOf("/overwrite").overwrite);
}

TEST(ScheduleEditing, CommandDialogShowsTheControlsOfEachCommand) {
    struct Case {
        const char* word;
        bool browse, destination, subfolder, overwrite, from_query;
    };
    const Case cases[] = {
        {"Copy", true, true, true, true, true},        {"move", true, true, true, true, true},
        {"Link", true, true, true, false, true},       {"Delete", true, false, false, false, false},
        {"Logfile", false, false, false, false, true}, {"Print", false, false, false, false, true},
        {"Export", false, false, false, false, true},
    };
    for (const Case& c : cases) {
        const auto shape = CommandDialogShapeOf(c.word);
        ASSERT_TRUE(shape) << c.word;
        EXPECT_EQ(shape->source_browse, c.browse) << c.word;
        EXPECT_EQ(shape->destination, c.destination) << c.word;
        EXPECT_EQ(shape->subfolder_box, c.subfolder) << c.word;
        EXPECT_EQ(shape->overwrite_box, c.overwrite) << c.word;
        EXPECT_EQ(shape->from_query, c.from_query) << c.word;
    }
    for (const char* word : {"Scan", "Query", "Command", "Email"})
        EXPECT_FALSE(CommandDialogShapeOf(word)) << word;
}

TEST(ScheduleEditing, TextsThatWouldCutTheLineDoNotFit) {
    EXPECT_TRUE(FitsInParameter("/srv/a, b=c d.txt"));
    EXPECT_FALSE(FitsInParameter("/data/a\", \"/etc"));
    EXPECT_FALSE(FitsInParameter("two\nlines"));
    EXPECT_FALSE(FitsInParameter(std::string("nul\0byte", 8)));
}

TEST(ScheduleEditing, SavedQueriesAreTheQueryFilesWithTheirDescriptions) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / "Sales.qry", "[Query]\r\nDescription=\"Sales, this year\"\r\n"));
    ASSERT_TRUE(WriteFileBytes(dir / "Big Files.QRY", "[Query]\r\nDescription=Files over 1 GB\r\n"));
    ASSERT_TRUE(WriteFileBytes(dir / "Nightly.sch", "[Schedule]\r\n"));
    ASSERT_TRUE(WriteFileBytes(dir / ".qry", ""));
    std::filesystem::create_directory(dir / "Folder.qry");
    const auto entries = ListSavedQueries(dir.str());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "Big Files");
    EXPECT_EQ(entries[0].description, "Files over 1 GB");
    EXPECT_EQ(entries[1].name, "Sales");
    EXPECT_EQ(entries[1].description, "Sales, this year");
    EXPECT_TRUE(ListSavedQueries(dir / "missing").empty());
}

TEST(ScheduleEditing, ScheduleTimeFieldsFromStartupAndBack) {
    struct Case {
        const char* startup;
        int hour, minute;
        bool pm;
    };
    const Case cases[] = {
        {"12/24/1998 12:15:00", 12, 15, true},
        {"12/24/1998 00:05:00", 0, 5, false},
        {"12/24/1998 23:05:00", 11, 5, true},
        {"12/24/1998 09:30:00", 9, 30, false},
    };
    for (const Case& c : cases) {
        const ScheduleTimeFields fields = ScheduleTimeFieldsOf(c.startup, "Daily", 0);
        EXPECT_TRUE(fields.startup_is_time);
        EXPECT_EQ(fields.year, 1998);
        EXPECT_EQ(fields.month, 12);
        EXPECT_EQ(fields.day, 24);
        EXPECT_EQ(fields.hour, c.hour) << c.startup;
        EXPECT_EQ(fields.minute, c.minute) << c.startup;
        EXPECT_EQ(fields.pm, c.pm) << c.startup;
        EXPECT_EQ(StartupOfFields(fields), c.startup);
    }
    // 12 without PM is midnight.
    ScheduleTimeFields midnight = ScheduleTimeFieldsOf("01/02/2027 12:00:00", "None", 0);
    midnight.pm = false;
    EXPECT_EQ(StartupOfFields(midnight), "01/02/2027 00:00:00");
}

TEST(ScheduleEditing, IntervalButtonsAndAStartupThatIsNoTime) {
    const std::pair<const char*, ScheduleInterval> intervals[] = {
        {"None", ScheduleInterval::None},
        {"Monthly", ScheduleInterval::Monthly},
        {"Weekly", ScheduleInterval::Weekly},
        {"Daily", ScheduleInterval::Daily},
        {"Hourly", ScheduleInterval::Hourly},
        {"User defined", ScheduleInterval::UserDefined},
        {"Fortnightly", ScheduleInterval::UserDefined},
        {"", ScheduleInterval::UserDefined},
    };
    for (const auto& [text, interval] : intervals)
        EXPECT_EQ(ScheduleTimeFieldsOf("Startup", text, 0).interval, interval) << text;

    // A new schedule shows now, and says it is not its Startup.
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 7;
    local.tm_hour = 15;
    local.tm_min = 42;
    local.tm_isdst = -1;
    const std::time_t now = std::mktime(&local);
    const ScheduleTimeFields fields = ScheduleTimeFieldsOf("Startup", "None", now);
    EXPECT_FALSE(fields.startup_is_time);
    EXPECT_EQ(fields.month, 12);
    EXPECT_EQ(fields.day, 7);
    EXPECT_EQ(fields.hour, 3);
    EXPECT_TRUE(fields.pm);
    EXPECT_EQ(fields.minute, 42);
    EXPECT_EQ(StartupOfFields(fields), "12/07/2026 15:42:00");
}

}  // namespace
}  // namespace korvane
