#include "result/result_file.h"

#include <gtest/gtest.h>

#include "app/document_settings.h"
#include "catalogue/day_number.h"
#include "query/query_catalogue.h"
#include "result/run_query.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

ColumnDescriptor Column(const char* name, bool shown, ColumnType type, int width) {
    ColumnDescriptor column;
    column.name = name;
    column.shown = shown;
    column.type = type;
    column.width = width;
    return column;
}

class ResultFileTest : public testing::QueryCatalogueTest {
  protected:
    void SetUp() override {
        QueryCatalogueTest::SetUp();
        AddFile(1, 6, "notes, old.txt", 12, Day(1999, 3, 1, 10, 2, 3), "ann");
        AddFile(2, 6, "plain", 3e9, std::nullopt, "bob");
        LoadTree();
    }
    ResultDocument Document() {
        ResultDocument document;
        document.data.path = "/srv/users";
        document.data.current_folder_id = 5;
        document.data.columns = {Column("Name", true, ColumnType::Text, 14),
                                 Column("Size", true, ColumnType::Double, 12),
                                 Column("Attributes", false, ColumnType::Integer, 0)};
        return document;
    }
    FolderTree& folders_ = tree_;
};

TEST(ResultData, ColumnLookups) {
    ResultData data;
    data.columns = {
        Column("Name", true, ColumnType::Text, 14), Column("Folder ID", false, ColumnType::Integer, 0),
        Column("Size", true, ColumnType::Double, 12), Column("Parent ID", true, ColumnType::Integer, 40)};
    EXPECT_EQ(data.ColumnIndex("Size"), 2);
    EXPECT_EQ(data.ColumnIndex("size"), -1);  // exact
    EXPECT_EQ(data.ColumnIndex("Folder ID"), 1);
    EXPECT_EQ(data.ShownColumnIndex("size"), 1);  // among shown columns, any case
    EXPECT_EQ(data.ShownColumnIndex("PARENT ID"), 2);
    EXPECT_EQ(data.ShownColumnIndex("Folder ID"), -1);  // hidden
    EXPECT_EQ(data.ShownColumnIndex("Owner"), -1);
}

TEST_F(ResultFileTest, ReportModeWritesOnlyTheSettings) {
    ResultDocument document = Document();
    document.title = "Big files";
    const std::string path = dir_ / "Big Files.rst";
    ASSERT_TRUE(
        WriteFileBytes(path, "[Old]\r\nx=1\r\n[Result Table]\r\nLines=9\r\nResultLine[0]=\"a\",\r\n"));
    ASSERT_TRUE(WriteResultFile(document, path, catalogue_, folders_));
    EXPECT_EQ(ReadFileBytes(path),
              "[Graph Options]\r\nTitle=Big files\r\nXTitle=\r\nYTitle=\r\nDisplayMode=16\r\n"
              "[Result Table]\r\nPath=/srv/users\r\nStandalone=0\r\nFields=3\r\n");
}

TEST_F(ResultFileTest, ReadsSettingsAndFolderBack) {
    ResultDocument written = Document();
    written.title = "\"Quoted\" title";
    written.x_title = "Owner";
    written.y_title = "Bytes";
    written.display_mode = kDisplayBar;
    const std::string path = dir_ / "Big Files.v2.rst";
    ASSERT_TRUE(WriteResultFile(written, path, catalogue_, folders_));

    ResultDocument read;
    ASSERT_TRUE(ReadResultFile(read, path, folders_));
    EXPECT_EQ(read.data.result_name, "Big Files");
    EXPECT_EQ(read.title, written.title);
    EXPECT_EQ(read.x_title, "Owner");
    EXPECT_EQ(read.y_title, "Bytes");
    EXPECT_EQ(read.display_mode, kDisplayBar);
    EXPECT_EQ(read.data.path, "/srv/users/");  // a volume root ends with its separator
    EXPECT_EQ(read.data.current_folder_id, 5);
    EXPECT_FALSE(read.standalone);
    EXPECT_EQ(read.data.columns.size(), 3u);
}

TEST_F(ResultFileTest, MissingFileOrFolder) {
    ResultDocument document;
    EXPECT_FALSE(ReadResultFile(document, dir_ / "none.rst", folders_));
    const std::string path = dir_ / "gone.rst";
    ASSERT_TRUE(WriteFileBytes(path, "[Result Table]\r\nPath=/srv/removed\r\nFields=2\r\n"));
    document.data.current_folder_id = 5;
    ASSERT_TRUE(ReadResultFile(document, path, folders_));
    EXPECT_EQ(document.data.current_folder_id, 0);
    EXPECT_EQ(document.data.path, "My Computer (Scanned Volumes)");
    EXPECT_EQ(document.display_mode, 0);
}

TEST_F(ResultFileTest, StandaloneFilesAreReadWithoutTheirRows) {
    const std::string path = dir_ / "snap.rst";
    ASSERT_TRUE(
        WriteFileBytes(path,
                       "[Graph Options]\r\nDisplayMode=32\r\n[Result Table]\r\nPath=/srv/users/ann\r\n"
                       "Standalone=1\r\nFields=1000000\r\nFieldLine[0]=\"Name\",1,10,0,14\r\n"
                       "Lines=2000000000\r\nResultLine[0]=\"a\r\n"));
    ResultDocument document;
    ASSERT_TRUE(ReadResultFile(document, path, folders_));
    EXPECT_TRUE(document.standalone);
    EXPECT_EQ(document.display_mode, kDisplayPie);
    EXPECT_EQ(document.data.current_folder_id, 6);
    EXPECT_EQ(document.data.columns.size(), kMaxResultColumns);  // a hostile count is capped
    ASSERT_TRUE(WriteFileBytes(path, "[Result Table]\r\nFields=-4\r\n"));
    ASSERT_TRUE(ReadResultFile(document, path, folders_));
    EXPECT_TRUE(document.data.columns.empty());
}

TEST_F(ResultFileTest, StandaloneSaveWithoutRowsFailsAfterTheHeader) {
    ResultDocument document = Document();
    document.standalone = true;
    document.data.row_count = 5;
    document.data.columns[1].sort_direction = 2;
    const std::string path = dir_ / "fail.rst";
    EXPECT_FALSE(WriteResultFile(document, path, catalogue_, folders_));
    EXPECT_EQ(ReadFileBytes(path),
              "[Graph Options]\r\nTitle=\r\nXTitle=\r\nYTitle=\r\nDisplayMode=16\r\n"
              "[Result Table]\r\nPath=/srv/users\r\nStandalone=1\r\nFields=3\r\n"
              "FieldLine[0]=\"Name\",1,10,0,14\r\nFieldLine[1]=\"Size\",1,7,2,12\r\n"
              "FieldLine[2]=\"Attributes\",0,4,0,0\r\nLines=5\r\n");
}

TEST_F(ResultFileTest, StandaloneSaveWritesTheAnswer) {
    QueryProfile profile;
    profile.query_name = "Users";
    for (const char* name : {"Name", "Size", "Modify Date", "Owner"}) {
        profile.fields[FindQueryField(profile, "File", name)].in_query = true;
    }
    profile.include_subfolders = true;
    CheckQueryShape(profile);
    ResultDocument document;
    document.standalone = true;
    document.data.result_name = "Users";
    document.data.current_folder_id = 5;
    ASSERT_TRUE(RunQuery(&profile, document.data, catalogue_, tree_, nullptr));
    const std::string path = dir_ / "Users.rst";
    ASSERT_TRUE(WriteResultFile(document, path, catalogue_, tree_));
    EXPECT_EQ(ReadFileBytes(path),
              "[Graph Options]\r\nTitle=\r\nXTitle=\r\nYTitle=\r\nDisplayMode=16\r\n"
              "[Result Table]\r\nPath=/srv/users/\r\nStandalone=1\r\nFields=6\r\n"
              "FieldLine[0]=\"Name\",1,10,0,14\r\nFieldLine[1]=\"Size\",1,7,0,12\r\n"
              "FieldLine[2]=\"Modify Date\",1,8,0,20\r\nFieldLine[3]=\"Owner\",1,10,0,15\r\n"
              "FieldLine[4]=\"Parent ID\",1,4,0,40\r\nFieldLine[5]=\"Attributes\",0,4,0,0\r\n"
              "Lines=2\r\n"
              "ResultLine[0]=\"notes, old.txt\",12,10:02:03 03/01/1999,\"ann\",\"/srv/users/ann\",32\r\n"
              "ResultLine[1]=\"plain\",3000000000,,\"bob\",\"/srv/users/ann\",32\r\n");

    ResultDocument read;
    ASSERT_TRUE(ReadResultFile(read, path, tree_));
    EXPECT_TRUE(read.standalone);
    EXPECT_EQ(read.data.result_name, "Users");
    EXPECT_EQ(read.data.current_folder_id, 5);
    EXPECT_EQ(read.data.columns.size(), 6u);
    EXPECT_TRUE(read.data.columns[0].name.empty());  // descriptors come from the next run
}

TEST_F(ResultFileTest, UnwritablePlaceFails) {
    EXPECT_FALSE(WriteResultFile(Document(), dir_ / "no/folder/x.rst", catalogue_, folders_));
}

TEST_F(ResultFileTest, FieldTextsByType) {
    FolderTree& folders = tree_;
    double day = 0;
    ASSERT_TRUE(DayNumberFromCivil(1998, 12, 31, 23, 59, 7, day));
    const std::vector<FieldValue> row = {FieldValue::OfText("my, \"file\"\r\nname"),
                                         FieldValue::OfDouble(3e9 + 0.9),
                                         FieldValue::OfInteger(5),
                                         FieldValue::OfInteger(-3),
                                         FieldValue::OfDate(1.0),
                                         FieldValue::OfDate(day),
                                         FieldValue::Null(),
                                         FieldValue::OfText("ann")};
    const std::string line = ResultLineOf(row, 2, folders);
    EXPECT_EQ(line, "\"my, \"file\"  name\",3000000000,\"/srv/users/\",-3,,23:59:07 12/31/1998,,\"ann\"");
    // Begins and ends with a quoted text: on disk it gets one more comma.
    EXPECT_EQ(QuoteSettingValue(line), line + ",");
    // A parent that is not in the tree gives an empty path.
    EXPECT_EQ(ResultLineOf({FieldValue::OfInteger(99)}, 0, folders), "\"\"");
    EXPECT_EQ(ResultLineOf({}, 0, folders), "");
}

TEST(ResultDateText, FillerAndBadValuesAreEmpty) {
    EXPECT_EQ(ResultDateText(1.0), "");
    EXPECT_EQ(ResultDateText(1e308), "");
    EXPECT_EQ(ResultDateText(2.5), "12:00:00 01/01/1900");
}

}  // namespace
}  // namespace korvane
