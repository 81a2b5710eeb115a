#include "schedule/schedule_file.h"

#include <gtest/gtest.h>

#include <string>

#include "app/document_settings.h"
#include "app/profile_file.h"
#include "support/temp_dir.h"
#include "test_paths.h"

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

std::string Golden(const std::string& name) {
    return std::string(KORVANE_SOURCE_DIR) + "/tests/schedule/golden/" + name;
}

class ScheduleFileTest : public ::testing::Test {
  protected:
    TempDir dir;
    DocumentExShared shared;
    CDocumentEx document{shared};
};

TEST_F(ScheduleFileTest, OpeningKeepsOnlyEnabledCommandsWrittenAsTheTableWritesThem) {
    ScheduleContent content;
    ASSERT_TRUE(ReadScheduleFile(document, Golden("night.sch"), content));
    EXPECT_EQ(content.startup, "12/24/1998 23:05:00");
    EXPECT_EQ(content.interval, "Daily");
    ASSERT_EQ(content.rows.size(), 4u);
    EXPECT_EQ(content.rows[0].command, "Query");
    EXPECT_EQ(content.rows[0].parameters, "\"Big Files\", \"/srv/users\"");
    EXPECT_EQ(content.rows[0].icon, 4);
    // Lower case in the file, the table's spelling in the row.
    EXPECT_EQ(content.rows[1].command, "Copy");
    EXPECT_EQ(content.rows[1].parameters, "\"@Big Files\", \"/backup/night copy\", /OVERWRITE");
    EXPECT_EQ(content.rows[1].icon, 0);
    // A command word alone has no parameter text.
    EXPECT_EQ(content.rows[2].command, "Delete");
    EXPECT_EQ(content.rows[2].parameters, "");
    // A quoted command word counts without its quotes; the parameters are raw.
    EXPECT_EQ(content.rows[3].command, "Logfile");
    EXPECT_EQ(content.rows[3].parameters, "\"@Big Files\"");
    EXPECT_EQ(content.rows[3].icon, 9);
}

TEST_F(ScheduleFileTest, SavingInPlaceRenumbersKeptLinesAndLeavesOtherSections) {
    const std::string path = dir / "night.sch";
    ASSERT_TRUE(WriteFileBytes(path, ReadFileBytes(Golden("night.sch"))));
    ScheduleContent content;
    ASSERT_TRUE(ReadScheduleFile(document, path, content));
    ASSERT_TRUE(WriteScheduleFile(document, path, content));
    EXPECT_EQ(ReadFileBytes(path), ReadFileBytes(Golden("night.saved.sch")));
}

TEST_F(ScheduleFileTest, NewScheduleWritesItsDefaults) {
    const std::string path = dir / "new.sch";
    ASSERT_TRUE(WriteScheduleFile(document, path, ScheduleContent{}));
    EXPECT_EQ(ReadFileBytes(path), ReadFileBytes(Golden("new.sch")));
    ScheduleContent content;
    content.rows.push_back({"Copy", "x", 0});
    ASSERT_TRUE(ReadScheduleFile(document, path, content));
    EXPECT_EQ(content.startup, "Startup");
    EXPECT_EQ(content.interval, "None");
    EXPECT_TRUE(content.rows.empty());
}

TEST_F(ScheduleFileTest, ValuesPassThroughUnchangedBothWays) {
    const std::string path = dir / "copy.sch";
    ScheduleContent content;
    content.rows.push_back({"Copy", "\"@Sales\", \"/mnt/backup\", /OVERWRITE", 0});
    content.rows.push_back({"Command", "\"/usr/bin/touch /tmp/a b\"", 7});
    content.rows.push_back({"Export", "\"@Sales\", \"/tmp/sales.csv\",", 10});
    ASSERT_TRUE(WriteScheduleFile(document, path, content));
    ProfileDocument raw;
    ASSERT_TRUE(raw.Load(path));
    EXPECT_EQ(raw.Get("Script", "ScriptLine[0]"), "Copy \"@Sales\", \"/mnt/backup\", /OVERWRITE");
    // No comma is added after a value that ends in a quote, none removed.
    EXPECT_EQ(raw.Get("Script", "ScriptLine[1]"), "Command \"/usr/bin/touch /tmp/a b\"");
    EXPECT_EQ(raw.Get("Script", "ScriptLine[2]"), "Export \"@Sales\", \"/tmp/sales.csv\",");

    ScheduleContent back;
    ASSERT_TRUE(ReadScheduleFile(document, path, back));
    ASSERT_EQ(back.rows.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back.rows[i].command, content.rows[i].command);
        EXPECT_EQ(back.rows[i].parameters, content.rows[i].parameters);
    }
}

TEST_F(ScheduleFileTest, LongLinesAreNotShortenedByOpeningAndSaving) {
    const std::string path = dir / "long.sch";
    ScheduleContent content;
    const std::string long_path = "\"/data/" + std::string(1500, 'x') + "\"";
    content.rows.push_back({"Delete", long_path, 1});
    ASSERT_TRUE(WriteScheduleFile(document, path, content));
    ScheduleContent back;
    ASSERT_TRUE(ReadScheduleFile(document, path, back));
    ASSERT_EQ(back.rows.size(), 1u);
    EXPECT_EQ(back.rows[0].parameters, long_path);

    // Beyond what the interpreter reads, a line is cut to that length.
    ASSERT_TRUE(
        WriteFileBytes(path, "[Script]\r\nLines=1\r\nScriptLine[0]=Scan " + std::string(3000, 'v') + "\r\n"));
    ASSERT_TRUE(ReadScheduleFile(document, path, back));
    ASSERT_EQ(back.rows.size(), 1u);
    EXPECT_EQ(back.rows[0].parameters.size(), kMaxScriptLineLength - 5);
}

TEST_F(ScheduleFileTest, LineCountsThatDoNotMatchTheKeys) {
    const std::string path = dir / "count.sch";
    ScheduleContent content;
    // A huge count costs nothing: only present lines below it are read, in order.
    ASSERT_TRUE(WriteFileBytes(path,
                               "[Script]\nLines=2000000000\nScriptLine[7]=Scan \"/b\"\n"
                               "ScriptLine[2]=Scan \"/a\"\nscriptline[09]=Scan \"/x\"\n"));
    ASSERT_TRUE(ReadScheduleFile(document, path, content));
    ASSERT_EQ(content.rows.size(), 2u);
    EXPECT_EQ(content.rows[0].parameters, "\"/a\"");
    EXPECT_EQ(content.rows[1].parameters, "\"/b\"");

    // Lines bounds what is read; missing, zero or negative gives an empty script.
    for (const char* lines : {"Lines=1\n", "", "Lines=0\n", "Lines=-3\n", "Lines=abc\n"}) {
        ASSERT_TRUE(WriteFileBytes(
            path, std::string("[Script]\n") + lines + "ScriptLine[0]=Scan a\nScriptLine[1]=Scan b\n"));
        ASSERT_TRUE(ReadScheduleFile(document, path, content));
        EXPECT_EQ(content.rows.size(), std::string(lines) == "Lines=1\n" ? 1u : 0u) << lines;
    }
}

TEST_F(ScheduleFileTest, LineEndsInsideTextsCannotAddKeys) {
    const std::string path = dir / "inject.sch";
    ScheduleContent content;
    content.startup = "Startup\r\nInterval=Hourly";
    content.rows.push_back({"Command", "\"a\"\r\nLines=0\nScriptLine[0]=Delete \"/\"", 7});
    ASSERT_TRUE(WriteScheduleFile(document, path, content));
    ScheduleContent back;
    ASSERT_TRUE(ReadScheduleFile(document, path, back));
    EXPECT_EQ(back.interval, "None");
    ASSERT_EQ(back.rows.size(), 1u);
    EXPECT_EQ(back.rows[0].command, "Command");
    EXPECT_EQ(back.rows[0].parameters, "\"a\"  Lines=0 ScriptLine[0]=Delete \"/\"");
}

TEST_F(ScheduleFileTest, MissingFileOrFolderDoesNotOpen) {
    ScheduleContent content;
    EXPECT_FALSE(ReadScheduleFile(document, dir / "absent.sch", content));
    EXPECT_FALSE(ReadScheduleFile(document, dir.str(), content));
}

TEST(ScriptRow, FirstWordDecidesAndParametersStartAtTheSecondToken) {
    struct Case {
        const char* line;
        const char* command;  // nullptr: dropped
        const char* parameters;
    };
    const Case cases[] = {
        {"", nullptr, ""},
        {"   ,, ", nullptr, ""},
        {"rem anything", nullptr, ""},
        {"remark anything", nullptr, ""},
        {"Email \"a@b\"", nullptr, ""},
        {"Copyx a b", nullptr, ""},
        {"scan", "Scan", ""},
        {"SCAN \"/home\",\"/srv\"", "Scan", "\"/home\",\"/srv\""},
        {"  Move ,  \"a\", \"b\"", "Move", "\"a\", \"b\""},
        {"Command=\"ls -l\"", "Command", "\"ls -l\""},
        {"\"Print\"\"@Q\", \"drv\", \"dev\", \"/tmp/q.pdf\"", "Print",
         "\"@Q\", \"drv\", \"dev\", \"/tmp/q.pdf\""},
        {"\"Export", "Export", ""},
    };
    for (const Case& c : cases) {
        const auto row = ScriptRowFromLine(c.line);
        if (c.command == nullptr) {
            EXPECT_FALSE(row.has_value()) << c.line;
            continue;
        }
        ASSERT_TRUE(row.has_value()) << c.line;
        EXPECT_EQ(row->command, c.command) << c.line;
        EXPECT_EQ(row->parameters, c.parameters) << c.line;
    }
    EXPECT_EQ(ScriptLineOf({"Copy", "\"a\", \"b\", ", 0}), "Copy \"a\", \"b\", ");
    EXPECT_EQ(ScriptLineOf({"Delete", "", 1}), "Delete ");
}

TEST(ScheduleTexts, StatusBarAndTitle) {
    ScheduleContent content;
    EXPECT_EQ(ScheduleStatusText(content), "Startup on Startup.");
    content.startup = "12/24/1998 23:05:00";
    content.interval = "Weekly";
    EXPECT_EQ(ScheduleStatusText(content), "Startup on 12/24/1998 23:05:00, run Weekly.");
    content.interval = "User defined";
    EXPECT_EQ(ScheduleStatusText(content), "Startup on 12/24/1998 23:05:00, run User defined.");
    EXPECT_EQ(ScheduleWindowTitle("night.sch"), "night.sch - Korvane Schedule");
}

}  // namespace
}  // namespace korvane
