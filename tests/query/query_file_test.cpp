#include "query/query_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/text_helpers.h"
#include "query/criterion.h"
#include "query/query_catalogue.h"
#include "support/temp_dir.h"
#include "test_paths.h"

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

const std::string kGolden = std::string(KORVANE_SOURCE_DIR) + "/tests/query/data/worked_example.qry";

class QueryFileTest : public testing::QueryCatalogueTest {
  protected:
    void SetUp() override {
        QueryCatalogueTest::SetUp();
        LoadTree();
    }
    QueryField& Field(QueryProfile& profile, const char* table, const char* name) {
        return profile.fields[FindQueryField(profile, table, name)];
    }
    // Writes a query file from lines joined with CR LF.
    std::string File(const std::string& name, const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines)
            text += line + "\r\n";
        const std::string path = dir_ / name;
        EXPECT_TRUE(WriteFileBytes(path, text));
        return path;
    }
    std::string MinimalFile(const std::string& name, const std::vector<std::string>& query_lines) {
        std::vector<std::string> lines = {"[Query Options]", "SortColumn=Name", "[Query]",
                                          "Initial Folder=C:\\Data"};
        lines.insert(lines.end(), query_lines.begin(), query_lines.end());
        return File(name, lines);
    }

    FolderTree& folders_ = tree_;
};

TEST_F(QueryFileTest, ExampleFileReadsIntoTheWorkedExample) {
    QueryProfile profile;
    std::string error;
    ASSERT_TRUE(ReadQueryFile(profile, kGolden, folders_, false, &error)) << error;
    EXPECT_EQ(profile.database_path, "C:\\Catalog\\Volumes.mdb");
    EXPECT_EQ(profile.query_name, "worked_example");
    EXPECT_TRUE(profile.include_subfolders);
    EXPECT_EQ(profile.duplicates, "");
    EXPECT_EQ(profile.file_threshold, 0);
    EXPECT_EQ(profile.folder_threshold, 0);
    EXPECT_EQ(profile.sort_column, "Size");
    EXPECT_EQ(profile.sort_direction, "DESC");
    EXPECT_EQ(profile.description, "Documents changed this month");
    EXPECT_EQ(profile.initial_folder, "C:\\Data");
    EXPECT_EQ(profile.initial_folder_id, 2);
    int in_query = 0;
    for (const QueryField& field : profile.fields)
        in_query += field.in_query ? 1 : 0;
    EXPECT_EQ(in_query, 5);
    EXPECT_TRUE(Field(profile, "Folder", "Name").in_query);
    EXPECT_EQ(Field(profile, "Folder", "Size").value_text, "");
    EXPECT_EQ(Field(profile, "File", "Name").value_text, "Include  \"*.doc\",\"*.txt\"");
    EXPECT_EQ(Field(profile, "File", "Size").value_text, "Include  1M - 10M ");
    EXPECT_EQ(Field(profile, "File", "Modify Date").value_text, "Include Previous  30 Days");
}

TEST_F(QueryFileTest, ExampleFileIsWrittenBackByteForByte) {
    QueryProfile profile;
    ASSERT_TRUE(ReadQueryFile(profile, kGolden, folders_, false));
    // Over a copy of the file, and as a new file.
    const std::string copy = dir_ / "copy.qry";
    std::filesystem::copy_file(kGolden, copy);
    ASSERT_TRUE(WriteQueryFile(profile, copy));
    EXPECT_EQ(ReadFileBytes(copy), ReadFileBytes(kGolden));
    const std::string fresh = dir_ / "fresh.qry";
    ASSERT_TRUE(WriteQueryFile(profile, fresh));
    EXPECT_EQ(ReadFileBytes(fresh), ReadFileBytes(kGolden));
    // The shape check's additions are never written.
    CheckQueryShape(profile);
    ASSERT_TRUE(WriteQueryFile(profile, fresh));
    EXPECT_EQ(ReadFileBytes(fresh), ReadFileBytes(kGolden));
}

TEST_F(QueryFileTest, WriteAndReadBackKeepEveryValue) {
    QueryProfile written;
    written.database_path = "/home/ann/Korvane.db";
    written.include_subfolders = true;
    written.duplicates = "NAME,SIZE,";
    written.file_threshold = 200;
    written.folder_threshold = 50;
    written.sort_column = "Modify Date";
    written.description = "\"quoted\" description";
    written.initial_folder = "/srv/users/ann";
    Field(written, "File", "Name").in_query = true;
    Field(written, "File", "Name").value_text = "Exclude  \"a, b\",\"*.tmp\"";
    Field(written, "File", "Size").in_query = true;
    Field(written, "File", "Size").value_text = "Include  1K - 2K , 5G ";
    Field(written, "File", "Owner").in_query = true;
    Field(written, "File", "Owner").value_text = "Include  \"ann\"";
    Field(written, "File", "Modify Date").in_query = true;
    Field(written, "Computer", "Name").in_query = true;  // allows no criteria: not written
    const std::string path = dir_ / "all.values.qry";
    ASSERT_TRUE(WriteQueryFile(written, path));
    EXPECT_NE(ReadFileBytes(path).find("Lines=4\r\n"), std::string::npos);

    QueryProfile read;
    ASSERT_TRUE(ReadQueryFile(read, path, folders_, false));
    EXPECT_EQ(read.query_name, "all");
    EXPECT_EQ(read.database_path, written.database_path);
    // Reading drops one trailing comma; the words are found by substring.
    EXPECT_EQ(read.duplicates, "NAME,SIZE");
    EXPECT_EQ(read.file_threshold, 200);
    EXPECT_EQ(read.folder_threshold, 50);
    EXPECT_EQ(read.sort_column, "Modify Date");
    EXPECT_EQ(read.sort_direction, "");
    EXPECT_EQ(read.description, written.description);
    EXPECT_EQ(read.initial_folder_id, 6);
    EXPECT_FALSE(Field(read, "Computer", "Name").in_query);
    for (int row = kFirstFolderRow; row < kQueryFieldCount; ++row) {
        EXPECT_EQ(read.fields[row].in_query, written.fields[row].in_query) << row;
        EXPECT_EQ(read.fields[row].value_text, written.fields[row].value_text) << row;
    }
}

TEST_F(QueryFileTest, WritingKeepsOtherSections) {
    const std::string path =
        File("kept.qry", {"[Notes]", "Who=ann", "[Query]", "Stale=1", "QueryLine[9]= x"});
    QueryProfile profile;
    ASSERT_TRUE(WriteQueryFile(profile, path));
    const std::string text = ReadFileBytes(path);
    EXPECT_NE(text.find("[Notes]\r\nWho=ann\r\n"), std::string::npos);
    EXPECT_EQ(text.find("Stale"), std::string::npos);
    EXPECT_EQ(text.find("QueryLine[9]"), std::string::npos);
}

TEST_F(QueryFileTest, SortColumnMissingOrEmptyReadsAsSize) {
    QueryProfile profile;
    profile.sort_column = "Name";
    ASSERT_TRUE(ReadQueryFile(
        profile, File("a.qry", {"[Query Options]", "SortColumn=", "[Query]", "Initial Folder=C:\\Data"}),
        folders_, false));
    EXPECT_EQ(profile.sort_column, "Size");
    profile.sort_column = "Name";
    ASSERT_TRUE(
        ReadQueryFile(profile, File("b.qry", {"[Query]", "Initial Folder=C:\\Data"}), folders_, false));
    EXPECT_EQ(profile.sort_column, "Size");
}

TEST_F(QueryFileTest, CriteriaLinesAsWritten) {
    QueryProfile profile;
    Field(profile, "File", "Owner").value_text = "Include  \"kept\"";
    const std::string path = MinimalFile(
        "lines.qry", {"Lines=4", "QueryLine[0]= \"File\", \"Owner\",",
                      "QueryLine[1]= \"File\", \"Name\", Include  \"a, b\",\"c d\", ",
                      "QueryLine[2]= \"File\", \"Type\", \"Exclude\" \"x\", ", "QueryLine[3]= \"File\""});
    ASSERT_TRUE(ReadQueryFile(profile, path, folders_, false));
    // Table and field only: in the query, the criterion left as it was.
    EXPECT_TRUE(Field(profile, "File", "Owner").in_query);
    EXPECT_EQ(Field(profile, "File", "Owner").value_text, "Include  \"kept\"");
    // Commas inside quotes stay: the value text is taken from the line itself.
    EXPECT_EQ(Field(profile, "File", "Name").value_text, "Include  \"a, b\",\"c d\"");
    // A quoted third token starts the value text at its opening quote.
    EXPECT_EQ(Field(profile, "File", "Type").value_text, "\"Exclude\" \"x\"");
    EXPECT_EQ(profile.sort_column, "Name");
}

TEST_F(QueryFileTest, UnattendedReadsFailWhereInteractiveOnesGoOn) {
    const std::string missing = dir_ / "missing.qry";
    QueryProfile profile;
    std::string error;
    EXPECT_FALSE(ReadQueryFile(profile, missing, folders_, true, &error));
    EXPECT_NE(error.find("missing.qry"), std::string::npos);

    const std::string empty_folder = File("empty.qry", {"[Query]", "Initial Folder=", "Lines=0"});
    EXPECT_FALSE(ReadQueryFile(profile, empty_folder, folders_, false, &error));
    QueryProfile interactive;
    EXPECT_TRUE(ReadQueryFile(interactive, empty_folder, folders_, true));
    EXPECT_EQ(interactive.initial_folder, "My Computer (Scanned Volumes)");
    EXPECT_EQ(interactive.initial_folder_id, 0);

    const std::string gone = File("gone.qry", {"[Query]", "Initial Folder=C:\\Gone"});
    EXPECT_FALSE(ReadQueryFile(profile, gone, folders_, false, &error));
    EXPECT_EQ(error, "Initial query folder C:\\Gone not found in database.");
    QueryProfile kept;
    kept.initial_folder_id = 55;
    EXPECT_TRUE(ReadQueryFile(kept, gone, folders_, true));
    EXPECT_EQ(kept.initial_folder, "C:\\Gone");
    EXPECT_EQ(kept.initial_folder_id, 0);

    QueryProfile all;
    EXPECT_TRUE(ReadQueryFile(
        all, File("all.qry", {"[Query]", "Initial Folder=my computer (scanned volumes)"}), folders_, false));
    EXPECT_EQ(all.initial_folder_id, 0);
}

TEST_F(QueryFileTest, BadLinesAreSkippedWithoutHarm) {
    QueryProfile profile;
    const std::string path = MinimalFile(
        "bad.qry", {"Lines=7", "QueryLine[0]= \"Disk\", \"Name\", Include x, ",
                    "QueryLine[1]= \"File\", \"Path\", Include x, ", "QueryLine[2]= \"file\", \"name\",",
                    "QueryLine[3]= \"File\", \"Name\", Include  \"*.doc, ",
                    "QueryLine[4]=", "QueryLine[5]= \"File\" \"Size\",", "QueryLine[6]= \"\", \"\","});
    ASSERT_TRUE(ReadQueryFile(profile, path, folders_, false));
    int in_query = 0;
    for (const QueryField& field : profile.fields)
        in_query += field.in_query ? 1 : 0;
    EXPECT_EQ(in_query, 2);
    // An unbalanced quote runs to the end of the line, as the splitter reads it.
    EXPECT_EQ(Field(profile, "File", "Name").value_text, "Include  \"*.doc");
    EXPECT_EQ(ParseCriterion(Field(profile, "File", "Name").value_text).values,
              (std::vector<std::string>{"*.doc"}));
    EXPECT_TRUE(Field(profile, "File", "Size").in_query);
}

TEST_F(QueryFileTest, LinesCountBeyondTheLinesPresent) {
    QueryProfile profile;
    const std::string path = MinimalFile(
        "count.qry",
        {"Lines=2000000000", "QueryLine[0]= \"File\", \"Name\",", "QueryLine[2]= \"File\", \"Size\","});
    ASSERT_TRUE(ReadQueryFile(profile, path, folders_, false));
    EXPECT_TRUE(Field(profile, "File", "Name").in_query);
    EXPECT_TRUE(Field(profile, "File", "Size").in_query);

    QueryProfile fewer;
    const std::string short_count = MinimalFile(
        "short.qry", {"Lines=1", "QueryLine[0]= \"File\", \"Name\",", "QueryLine[1]= \"File\", \"Size\","});
    ASSERT_TRUE(ReadQueryFile(fewer, short_count, folders_, false));
    EXPECT_FALSE(Field(fewer, "File", "Size").in_query);

    QueryProfile negative;
    ASSERT_TRUE(ReadQueryFile(negative,
                              MinimalFile("neg.qry", {"Lines=-5", "QueryLine[0]= \"File\", \"Name\","}),
                              folders_, false));
    EXPECT_FALSE(Field(negative, "File", "Name").in_query);
}

TEST_F(QueryFileTest, LongLinesKeepTheirWholeCriterion) {
    std::string value = "Include  ";
    while (value.size() < 10000)
        value += "\"name" + std::to_string(value.size()) + ".txt\",";
    const std::string path =
        MinimalFile("long.qry", {"Lines=1", "QueryLine[0]= \"File\", \"Name\", " + value + ", "});
    QueryProfile profile;
    ASSERT_TRUE(ReadQueryFile(profile, path, folders_, false));
    EXPECT_EQ(Field(profile, "File", "Name").value_text, value);
    const std::string again = dir_ / "again.qry";
    ASSERT_TRUE(WriteQueryFile(profile, again));
    QueryProfile reread;
    ASSERT_TRUE(ReadQueryFile(reread, again, folders_, false));
    EXPECT_EQ(Field(reread, "File", "Name").value_text, value);
}

TEST_F(QueryFileTest, HostileNumbersAndMissingKeys) {
    QueryProfile profile;
    const std::string path =
        File("num.qry", {"[Query Options]", "FileThreshold=-7", "FolderThreshold=99999999999999",
                         "IncludeSubFolders=yes", "[Query]", "Initial Folder=C:\\Data"});
    ASSERT_TRUE(ReadQueryFile(profile, path, folders_, false));
    EXPECT_EQ(profile.file_threshold, 0);
    EXPECT_GE(profile.folder_threshold, 0);
    EXPECT_FALSE(profile.include_subfolders);
    EXPECT_EQ(profile.database_path, "");
    EXPECT_EQ(profile.description, "");
}

TEST_F(QueryFileTest, FailedWritesKeepTheOldFile) {
    QueryProfile profile;
    std::string error;
    EXPECT_FALSE(WriteQueryFile(profile, dir_ / "no/such/folder/q.qry", &error));
    EXPECT_FALSE(error.empty());

    const std::string path = dir_ / "keep.qry";
    ASSERT_TRUE(WriteQueryFile(profile, path));
    const std::string before = ReadFileBytes(path);
    profile.description = "two\r\nlines";
    EXPECT_FALSE(WriteQueryFile(profile, path, &error));
    EXPECT_EQ(ReadFileBytes(path), before);
}

TEST(ValueTextStart, AgreesWithTheSplitter) {
    for (const std::string line :
         {" \"File\", \"Name\", Include  \"*.doc\"", "a b c d", "a=b c", "\"a\"\"b\" c", ",,a,,b,,c", "a b",
          "a=,=b c=", "\"unbalanced", "a \"b c\" \"d e\" f"}) {
        const std::vector<std::string> tokens = SplitTokens(line);
        const std::size_t start = ValueTextStart(line);
        if (tokens.size() < 3) {
            EXPECT_EQ(start, std::string::npos) << line;
            continue;
        }
        ASSERT_NE(start, std::string::npos) << line;
        EXPECT_EQ(SplitTokens(std::string_view(line).substr(start)).front(), tokens[2]) << line;
    }
}

}  // namespace
}  // namespace korvane
