#include "query/sql_builder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "catalogue/day_number.h"
#include "catalogue/jet_sql.h"
#include "catalogue/schema.h"
#include "catalogue/sql_statement.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

const CivilTime kRunTime{1999, 3, 15, 14, 5, 9};

QueryField& Field(QueryProfile& profile, const char* table, const char* name) {
    const int row = FindQueryField(profile, table, name);
    EXPECT_GE(row, 0) << table << " " << name;
    return profile.fields[row];
}

void Add(QueryProfile& profile, const char* table, const char* name, std::string value_text = {}) {
    QueryField& field = Field(profile, table, name);
    field.in_query = true;
    field.value_text = std::move(value_text);
}

std::string Condition(const char* type, const char* value_text, const char* table = "File",
                      const char* field_name = "Size") {
    QueryField field;
    field.table_name = table;
    field.field_name = field_name;
    field.type_name = type;
    field.value_text = value_text;
    std::string condition, error;
    EXPECT_TRUE(BuildCondition(field, kRunTime, condition, error)) << error;
    return condition;
}

std::string ConditionError(const char* type, const char* value_text) {
    QueryField field;
    field.table_name = "File";
    field.field_name = "Modify Date";
    field.type_name = type;
    field.value_text = value_text;
    std::string condition = "untouched", error;
    EXPECT_FALSE(BuildCondition(field, kRunTime, condition, error));
    EXPECT_TRUE(condition.empty());
    return error;
}

std::string Generate(QueryProfile& profile, std::int32_t descendants = 0) {
    CheckQueryShape(profile);
    std::string error;
    EXPECT_TRUE(GenerateQuerySql(profile, descendants, kRunTime, error)) << error;
    return profile.sql_text;
}

QueryProfile WorkedExample() {
    QueryProfile profile;
    Add(profile, "Folder", "Name");
    Add(profile, "Folder", "Size");
    Add(profile, "File", "Name", "Include  \"*.doc\",\"*.txt\"");
    Add(profile, "File", "Size", "Include  1M - 10M ");
    Add(profile, "File", "Modify Date", "Include Previous  30 Days");
    profile.include_subfolders = true;
    profile.initial_folder_id = 100;
    profile.sort_column = "Size";
    profile.sort_direction = "DESC";
    return profile;
}

TEST(GenerateQuerySql, WorkedExampleComesOutByteForByte) {
    QueryProfile profile = WorkedExample();
    const std::string expected =
        "SELECT Folder.[Name] AS [Name], Folder.[Size] AS [Size], Folder.[Parent ID] AS [Parent ID], "
        "Folder.[Attributes] AS [Attributes], Folder.[Folder ID] AS [Folder ID],#12/31/1899# AS [Modify "
        "Date]\r\n"
        "FROM Folder\r\n"
        "WHERE (((Folder.[Parent ID])>99)and((Folder.[Parent ID])<=120))\r\n"
        "UNION ALL SELECT File.[Name] AS [Name], File.[Size] AS [Size], File.[Parent ID] AS [Parent ID], "
        "File.[Attributes] AS [Attributes],0 AS [Folder ID], File.[Modify Date] AS [Modify Date]\r\n"
        "FROM File\r\n"
        "WHERE (((File.[Parent ID])>99)and((File.[Parent ID])<=120)) AND "
        "(((File.[Name])Like\"*.txt\")OR((File.[Name])Like\"*.doc\")) AND "
        "(( (((File.[Size])>=1000000) And ((File.[Size])<=10000000)))) AND "
        "(( (((File.[Modify Date])<=#03/15/1999 14:05:09#) And ((File.[Modify Date])>=#02/13/1999 "
        "14:5:9#))))\r\n"
        "ORDER BY [Size] DESC;";
    EXPECT_EQ(Generate(profile, 20), expected);
}

TEST(GenerateQuerySql, CrosstabExampleComesOutByteForByte) {
    QueryProfile profile;
    Add(profile, "File", "Size");
    Add(profile, "File", "Owner", "Exclude  \"Administrator\"");
    profile.include_subfolders = true;
    profile.sort_direction = "DESC";
    EXPECT_EQ(Generate(profile),
              "SELECT File.Owner AS Owner, Sum(File.[Size]) AS Size\r\n"
              "FROM File\r\n"
              "WHERE (File.[Parent ID]>0)And (((File.[Owner])<>\"Administrator\"))\r\n"
              "GROUP BY File.Owner\r\n"
              "ORDER BY Sum(Size) DESC;");
}

TEST(GenerateQuerySql, CrosstabFormsOfGroupWhereAndOrder) {
    QueryProfile profile;
    Add(profile, "File", "Size", "Include  1M ");  // size criteria do not apply to a crosstab
    Add(profile, "File", "Type");
    profile.initial_folder_id = 7;
    profile.include_subfolders = true;
    profile.file_threshold = 10;
    profile.sort_column = "type";
    EXPECT_EQ(Generate(profile, 3),
              "SELECT TOP 10 File.Type AS Type, Sum(File.[Size]) AS Size\r\n"
              "FROM File\r\n"
              "WHERE (((File.[Parent ID])>6)and((File.[Parent ID])<=10))\r\n"
              "GROUP BY File.Type\r\n"
              "ORDER BY [type] ;");
    // A folder without subfolders uses the equality form even with subfolders on.
    EXPECT_NE(Generate(profile, 0).find("WHERE ((File.[Parent ID])=7)\r\n"), std::string::npos);
    profile.initial_folder_id = 0;
    profile.include_subfolders = false;
    EXPECT_NE(Generate(profile).find("WHERE ((File.[Parent ID])=0)\r\n"), std::string::npos);
}

TEST(GenerateQuerySql, CrosstabWithoutOwnerOrTypeFails) {
    QueryProfile profile;
    Add(profile, "File", "Size");
    Add(profile, "File", "Owner");
    CheckQueryShape(profile);
    profile.crosstab_bits = kRoleSize;  // neither owner nor type
    profile.sql_text = "old";
    std::string error;
    EXPECT_FALSE(GenerateQuerySql(profile, 0, kRunTime, error));
    EXPECT_EQ(error, "Unknown crosstab query method.");
    EXPECT_EQ(profile.sql_text, "");
}

TEST(GenerateQuerySql, FilesOnlyHaveNoUnionAndNoFolderId) {
    QueryProfile profile;
    Add(profile, "File", "Name");
    Add(profile, "File", "Size");
    profile.initial_folder_id = 5;
    const std::string sql = Generate(profile);
    EXPECT_EQ(sql,
              "SELECT File.[Name] AS [Name], File.[Size] AS [Size], File.[Attributes] AS [Attributes]\r\n"
              "FROM File\r\n"
              "WHERE ((File.[Parent ID])=5)\r\n"
              "ORDER BY [Size] ;");
}

TEST(GenerateQuerySql, ThresholdsGoIntoEachBranchHead) {
    QueryProfile profile = WorkedExample();
    profile.folder_threshold = 50;
    profile.file_threshold = 200;
    const std::string sql = Generate(profile, 20);
    EXPECT_TRUE(sql.starts_with("SELECT TOP 50 Folder.[Name] AS [Name],"));
    EXPECT_NE(sql.find("\r\nUNION ALL SELECT TOP 200 File.[Name] AS [Name],"), std::string::npos);
    // A negative limit read from a hand-edited file means no limit.
    profile.folder_threshold = -3;
    EXPECT_TRUE(Generate(profile, 20).starts_with("SELECT Folder.[Name]"));
}

TEST(GenerateQuerySql, FolderRangesFollowTheStartingFolder) {
    QueryProfile profile = WorkedExample();
    for (QueryField& field : profile.fields)
        field.value_text.clear();
    profile.initial_folder_id = 0;
    std::string sql = Generate(profile);
    EXPECT_NE(sql.find("FROM Folder\r\nWHERE (Folder.[Parent ID]>0)\r\n"), std::string::npos);
    EXPECT_NE(sql.find("FROM File\r\nWHERE (File.[Parent ID]>0)\r\n"), std::string::npos);
    profile.include_subfolders = false;
    sql = Generate(profile);
    EXPECT_NE(sql.find("FROM Folder\r\nWHERE ((Folder.[Parent ID])=0)\r\n"), std::string::npos);
    EXPECT_NE(sql.find("FROM File\r\nWHERE ((File.[Parent ID])=0)\r\n"), std::string::npos);
    // No subfolders below the starting folder: the range holds only its own ID.
    profile.include_subfolders = true;
    profile.initial_folder_id = 42;
    sql = Generate(profile, 0);
    EXPECT_NE(sql.find("WHERE (((File.[Parent ID])>41)and((File.[Parent ID])<=42))"), std::string::npos);
}

TEST(GenerateQuerySql, SortDirectionAndColumn) {
    QueryProfile profile = WorkedExample();
    profile.sort_direction = "";
    EXPECT_TRUE(Generate(profile, 20).ends_with("\r\nORDER BY [Size] ;"));
    // Only "DESC" reaches the statement; other text from a file cannot.
    profile.sort_direction = "DESC; DROP";
    EXPECT_TRUE(Generate(profile, 20).ends_with("\r\nORDER BY [Size] ;"));
    profile.sort_direction = "desc";
    profile.sort_column = "Modify Date";
    EXPECT_TRUE(Generate(profile, 20).ends_with("\r\nORDER BY [Modify Date] DESC;"));
}

TEST(GenerateQuerySql, FolderIdJoinsTheQueryWhenMissing) {
    QueryProfile profile;
    Add(profile, "Folder", "Name");
    Add(profile, "Folder", "Size");
    std::string error;
    // Without the shape check the folder rows still get their identifier.
    ASSERT_TRUE(GenerateQuerySql(profile, 0, kRunTime, error)) << error;
    EXPECT_TRUE(profile.fields[kFolderIdRow].in_query);
    EXPECT_EQ(profile.sql_text.find("Folder ID"), std::string::npos);  // not in this build's columns
}

TEST(GenerateQuerySql, NothingInTheQueryFails) {
    QueryProfile profile;
    profile.sql_text = "old";
    std::string error;
    EXPECT_FALSE(GenerateQuerySql(profile, 0, kRunTime, error));
    EXPECT_EQ(profile.sql_text, "");
    EXPECT_TRUE(error.empty());  // nothing to say: the query is empty
}

TEST(GenerateQuerySql, AnUnreadableCriterionStopsTheBuild) {
    QueryProfile profile = WorkedExample();
    Field(profile, "File", "Modify Date").value_text = "Include  13/45/1998";
    CheckQueryShape(profile);
    std::string error;
    EXPECT_FALSE(GenerateQuerySql(profile, 20, kRunTime, error));
    EXPECT_EQ(profile.sql_text, "");
    EXPECT_NE(error.find("13/45/1998"), std::string::npos);
    EXPECT_NE(error.find("File Modify Date"), std::string::npos);
}

TEST(GenerateQuerySql, LongCriteriaAreBuiltWhole) {
    QueryProfile profile;
    Add(profile, "File", "Name");
    Add(profile, "File", "Size");
    std::string names = "Include  ";
    for (int i = 0; i < 400; ++i)
        names += "\"file" + std::to_string(i) + ".dat\",";
    Field(profile, "File", "Name").value_text = names;
    const std::string sql = Generate(profile);
    EXPECT_GT(sql.size(), 8000u);
    EXPECT_NE(sql.find("((File.[Name])=\"file399.dat\")OR"), std::string::npos);
    EXPECT_NE(sql.find("((File.[Name])=\"file0.dat\"))\r\nORDER BY"), std::string::npos);
}

TEST(BuildCondition, TextValuesInReverseWithTheirOperators) {
    EXPECT_EQ(Condition("Text", "Include  \"a\",\"b\",\"c\"", "File", "Name"),
              "(((File.[Name])=\"c\")OR((File.[Name])=\"b\")OR((File.[Name])=\"a\"))");
    EXPECT_EQ(Condition("Text", "Exclude  \"*.tmp\",\"core\"", "Folder", "Owner"),
              "(((Folder.[Owner])<>\"core\")AND((Folder.[Owner])Not Like\"*.tmp\"))");
    // Any first word but Include excludes; a lower-case include still includes.
    EXPECT_EQ(Condition("Text", "Drop x?", "File", "Type"), "(((File.[Type])Not Like\"x?\"))");
    EXPECT_EQ(Condition("Text", "include x", "File", "Type"), "(((File.[Type])=\"x\"))");
}

TEST(BuildCondition, TextValuesCannotChangeTheStatement) {
    // A double quote inside a value is doubled; "[" and "#" are literal in a pattern.
    EXPECT_EQ(Condition("Text", "Include a\"b", "File", "Name"), "(((File.[Name])=\"a\"\"b\"))");
    EXPECT_EQ(Condition("Text", "Include \"x\" y\")OR(1=1", "File", "Name"),
              "(((File.[Name])=\"1\")OR((File.[Name])=\"y\"\")OR(1\")OR((File.[Name])=\"x\"))");
    EXPECT_EQ(Condition("Text", "Include report[1]#*", "File", "Name"),
              "(((File.[Name])Like\"report[[]1][#]*\"))");
}

TEST(BuildCondition, SizesSinglesListsAndRanges) {
    EXPECT_EQ(Condition("Size", "Include  100K "), "((  ((File.[Size])<=100000 And (File.[Size])>=100000)))");
    EXPECT_EQ(Condition("Size", "Include  100K , 25G "),
              "((  ((File.[Size])<=100000 And (File.[Size])>=100000)) Or (  ((File.[Size])<=25000000000 And "
              "(File.[Size])>=25000000000)))");
    EXPECT_EQ(Condition("Size", "Exclude  1K - 2K , 5K - 6K "),
              "((Not(((File.[Size])>=1000) And ((File.[Size])<=2000)))And(Not(((File.[Size])>=5000) And "
              "((File.[Size])<=6000))))");
    EXPECT_EQ(Condition("Size", "Include  0 - 1M , 5M "),
              "(( (((File.[Size])>=0) And ((File.[Size])<=1000000)))Or(  ((File.[Size])<=5000000 And "
              "(File.[Size])>=5000000)))");
    // Suffixes multiply by powers of 1,000; a token without digits reads as 0.
    EXPECT_EQ(Condition("Size", "Include 1.5M"), "((  ((File.[Size])<=1000000 And (File.[Size])>=1000000)))");
    EXPECT_EQ(Condition("Size", "Include x"), "((  ((File.[Size])<=0 And (File.[Size])>=0)))");
    EXPECT_EQ(Condition("Size", "Include 2g"),
              "((  ((File.[Size])<=2000000000 And (File.[Size])>=2000000000)))");
}

TEST(BuildCondition, DatesListsAndRangesOfWholeDays) {
    EXPECT_EQ(Condition("Date/Time", "Include  1/5/1998, ", "File", "Modify Date"),
              "((  ((File.[Modify Date])>=#01/05/1998# And (File.[Modify Date])<#01/06/1998#)))");
    EXPECT_EQ(Condition("Date/Time", "Exclude  1/10/1998 - 1/12/1998, 2/28/2000, 12/31/1999, ", "File",
                        "Create Date"),
              "((Not(((File.[Create Date])>=#01/10/1998#) And ((File.[Create Date])<#01/13/1998#)))And"
              "(Not ((File.[Create Date])>=#02/28/2000# And (File.[Create Date])<#02/29/2000#)) And "
              "(Not ((File.[Create Date])>=#12/31/1999# And (File.[Create Date])<#01/01/2000#)))");
}

TEST(BuildCondition, EzDateFromTheRunTime) {
    EXPECT_EQ(Condition("Date/Time", "Exclude Previous  3 Months", "Folder", "Access Date"),
              "((Not(((Folder.[Access Date])<=#03/15/1999 14:05:09#) And "
              "((Folder.[Access Date])>=#12/15/1998 14:5:9#))))");
    EXPECT_EQ(Condition("Date/Time", "Include Previous  14 Hours", "File", "Modify Date"),
              "(( (((File.[Modify Date])<=#03/15/1999 14:05:09#) And ((File.[Modify Date])>=#03/15/1999 "
              "0:5:9#))))");
    // An unknown unit means the run time itself.
    EXPECT_EQ(Condition("Date/Time", "Include Previous 2 Fortnights", "File", "Modify Date"),
              "(( (((File.[Modify Date])<=#03/15/1999 14:05:09#) And ((File.[Modify Date])>=#03/15/1999 "
              "14:5:9#))))");
}

TEST(BuildCondition, NothingToRestrict) {
    EXPECT_EQ(Condition("Text", ""), "");
    EXPECT_EQ(Condition("Text", "Include"), "");
    EXPECT_EQ(Condition("Size", "Exclude  "), "");
    EXPECT_EQ(Condition("Number", "Include 5"), "");
}

TEST(BuildCondition, MalformedCriteriaGiveClearErrors) {
    EXPECT_NE(ConditionError("Date/Time", "Include 1998-01-05").find("\"1998-01-05\""), std::string::npos);
    EXPECT_FALSE(ConditionError("Date/Time", "Include 2/30/1998").empty());
    EXPECT_FALSE(ConditionError("Date/Time", "Include 1/5/98").empty());
    EXPECT_FALSE(ConditionError("Date/Time", "Include 1/5/1800").empty());
    EXPECT_FALSE(ConditionError("Date/Time", "Include 1/5/1998 - ").empty());
    EXPECT_FALSE(ConditionError("Date/Time", "Include - 1/5/1998").empty());
    EXPECT_FALSE(ConditionError("Date/Time", "Include Previous").empty());
    EXPECT_FALSE(ConditionError("Date/Time", "Include Previous 30").empty());
    EXPECT_FALSE(ConditionError("Date/Time", "Include Previous x Days").empty());
    EXPECT_FALSE(ConditionError("Size", "Include 1M -").empty());
    EXPECT_FALSE(ConditionError("Size", "Include 1M - - 2M").empty());
    EXPECT_FALSE(ConditionError("Size", "Include 1M - 2M - 3M").empty());
    EXPECT_FALSE(ConditionError("Size", "Include -5M").empty());
}

// The statements on a real catalogue, run through the Jet translator.
class GeneratedSqlOnCatalogue : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        const std::string path = dir_ / "catalogue.db";
        ASSERT_TRUE(CreateEmptyCatalogue(path, error)) << error;
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        db_.reset(raw);
        ASSERT_TRUE(ConfigureJetConnection(db_.get(), error)) << error;
        // C: (1) holds Data (2) with Old (3) below it, and Other (4); D: (5) stands alone.
        AddFolder(1, "C:", 0, 3);
        AddFolder(2, "Data", 1, 1);
        AddFolder(3, "Old", 2, 0);
        AddFolder(4, "Other", 1, 0);
        AddFolder(5, "D:", 0, 0);
        AddFile(1, "a.doc", 2000000, 2, {1999, 3, 1, 10, 0, 0});
        AddFile(2, "b.txt", 5000000, 3, {1999, 3, 10, 9, 30, 0});
        AddFile(3, "c.doc", 500000, 2, {1999, 3, 2, 0, 0, 0});
        AddFile(4, "d.doc", 3000000, 4, {1999, 3, 3, 0, 0, 0});
        AddFile(5, "e.doc", 3000000, 2, {1999, 1, 1, 0, 0, 0});
        AddFile(6, "F[1].doc", 2000000, 2, {1999, 3, 2, 0, 0, 0});
        AddFile(7, "F1.doc", 2000000, 3, {1999, 3, 2, 0, 0, 0});
        AddFile(8, "x\"y.txt", 2000000, 2, {1999, 2, 13, 14, 5, 9});
        AddFile(9, "a.doc", 2000000, 3, {1999, 3, 1, 10, 0, 0});
        AddFile(10, "a.doc", 2000000, 4, {1999, 2, 1, 10, 0, 0});
        AddFile(11, "root.txt", 7000000, 1, {1999, 3, 1, 0, 0, 0});
    }

    void AddFolder(int id, const char* name, int parent, int folders) {
        Exec(
            "INSERT INTO Folder(\"Folder ID\",Name,\"Parent ID\",Size,Folders,Files,Level,Attributes) "
            "VALUES(" +
            std::to_string(id) + ",'" + name + "'," + std::to_string(parent) + ",100.0," +
            std::to_string(folders) + ",0,0,16)");
    }

    void AddFile(int id, const std::string& name, double size, int parent, const CivilTime& modified) {
        double day = 0;
        ASSERT_TRUE(DayNumberFromCivil(modified.year, modified.month, modified.day, modified.hour,
                                       modified.minute, modified.second, day));
        SqlStatement insert;
        ASSERT_TRUE(insert.Prepare(db_.get(),
                                   "INSERT INTO File(\"File ID\",Name,Type,Size,Compressed,\"Modify Date\","
                                   "Attributes,\"Parent ID\",Owner) VALUES(?,?,'',?,?,?,32,?,'root')"));
        insert.BindInt(1, id);
        insert.BindText(2, name);
        insert.BindDouble(3, size);
        insert.BindDouble(4, size);
        insert.BindDouble(5, day);
        insert.BindInt(6, parent);
        ASSERT_EQ(insert.Step(), SQLITE_DONE);
    }

    void Exec(const std::string& sql) {
        std::string error;
        ASSERT_TRUE(ExecuteSql(db_.get(), sql.c_str(), &error)) << error;
    }

    // The first column of every row, and the Folder ID column when asked.
    std::vector<std::string> Run(QueryProfile& profile, std::int32_t descendants) {
        std::vector<std::string> names;
        const std::string jet = Generate(profile, descendants);
        std::string sqlite_sql, error;
        EXPECT_TRUE(TranslateJetSql(jet, sqlite_sql, error)) << error << "\n" << jet;
        SqlStatement statement;
        EXPECT_TRUE(statement.Prepare(db_.get(), sqlite_sql, &error)) << error << "\n" << sqlite_sql;
        if (!statement.valid())
            return names;
        int step;
        while ((step = statement.Step()) == SQLITE_ROW)
            names.emplace_back(statement.ColumnText(0));
        EXPECT_EQ(step, SQLITE_DONE) << SqliteMessage(db_.get());
        return names;
    }

    static std::multiset<std::string> Set(const std::vector<std::string>& names) {
        return {names.begin(), names.end()};
    }

    testing::TempDir dir_;
    SqliteConnection db_;
};

TEST_F(GeneratedSqlOnCatalogue, WorkedExampleFindsTheRightFolderAndFiles) {
    QueryProfile profile = WorkedExample();
    profile.initial_folder_id = 2;  // C:\Data, one folder below it
    // a.doc twice (Data and Old), b.txt in Old, x"y.txt changed at the boundary
    // second; c.doc is too small, d.doc outside the folder, e.doc too old.
    EXPECT_EQ(Set(Run(profile, 1)), (std::multiset<std::string>{"Old", "a.doc", "a.doc", "b.txt", "F[1].doc",
                                                                "F1.doc", "x\"y.txt"}));
}

TEST_F(GeneratedSqlOnCatalogue, AllVolumesAndTheirRootFolders) {
    QueryProfile profile;
    Add(profile, "Folder", "Name");
    Add(profile, "Folder", "Size");
    Add(profile, "File", "Name");
    Add(profile, "File", "Size");
    profile.include_subfolders = false;
    // Without subfolders: exactly the volumes' root folders, no files.
    EXPECT_EQ(Set(Run(profile, 2)), (std::multiset<std::string>{"C:", "D:"}));
    profile.include_subfolders = true;
    const std::vector<std::string> all = Run(profile, 2);
    EXPECT_EQ(all.size(), 3u + 11u);  // every folder but the roots, every file
}

TEST_F(GeneratedSqlOnCatalogue, PatternsKeepDosMeaningAndQuotesMatch) {
    QueryProfile profile;
    Add(profile, "File", "Name", "Include  \"F[1]*\",\"X\"\"Y.TXT\"");
    Add(profile, "File", "Size");
    profile.initial_folder_id = 1;
    profile.include_subfolders = true;
    // "[1]" is literal: F1.doc does not match; equality on text is exact.
    EXPECT_EQ(Set(Run(profile, 3)), (std::multiset<std::string>{"F[1].doc"}));
    Field(profile, "File", "Name").value_text = "Include x\"y.txt";
    EXPECT_EQ(Set(Run(profile, 3)), (std::multiset<std::string>{"x\"y.txt"}));
}

TEST_F(GeneratedSqlOnCatalogue, DateBoundsAreInclusiveToTheSecond) {
    QueryProfile profile;
    Add(profile, "File", "Name");
    Add(profile, "File", "Size");
    Add(profile, "File", "Modify Date", "Include Previous  30 Days");
    profile.include_subfolders = true;
    // x"y.txt was written exactly at the boundary second, e.doc long before.
    std::vector<std::string> names = Run(profile, 5);
    EXPECT_EQ(std::count(names.begin(), names.end(), "x\"y.txt"), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), "e.doc"), 0);
    Field(profile, "File", "Modify Date").value_text = "Include  3/2/1999, ";
    EXPECT_EQ(Set(Run(profile, 5)), (std::multiset<std::string>{"c.doc", "F[1].doc", "F1.doc"}));
    Field(profile, "File", "Modify Date").value_text = "Exclude  1/1/1999 - 3/2/1999, ";
    EXPECT_EQ(Set(Run(profile, 5)), (std::multiset<std::string>{"b.txt", "d.doc"}));
}

TEST_F(GeneratedSqlOnCatalogue, SizeRangesIncludeAndExclude) {
    QueryProfile profile;
    Add(profile, "File", "Name");
    Add(profile, "File", "Size", "Exclude  0 - 2M , 5M ");
    profile.include_subfolders = true;
    EXPECT_EQ(Set(Run(profile, 5)), (std::multiset<std::string>{"d.doc", "e.doc", "root.txt"}));
}

TEST_F(GeneratedSqlOnCatalogue, DuplicatesShareTheTickedPropertiesWithinScopeAndCriteria) {
    QueryProfile profile;
    Add(profile, "File", "Name", "Include  \"*.doc\"");
    Add(profile, "File", "Size");
    profile.include_subfolders = true;
    profile.initial_folder_id = 1;
    profile.duplicates = "NAME,SIZE,";
    EXPECT_EQ(Set(Run(profile, 3)), (std::multiset<std::string>{"a.doc", "a.doc", "a.doc"}));
    profile.duplicates = "NAME,SIZE,MDATE,";  // the copy in Other is older
    EXPECT_EQ(Set(Run(profile, 3)), (std::multiset<std::string>{"a.doc", "a.doc"}));
    profile.duplicates = "SIZE,";
    // 2 MB: a.doc x3, F[1].doc, F1.doc; 3 MB: d.doc, e.doc. x"y.txt fails the criterion.
    EXPECT_EQ(Run(profile, 3).size(), 7u);
    // Only the starting folder: its files have no twin there.
    profile.include_subfolders = false;
    profile.initial_folder_id = 3;
    profile.duplicates = "NAME,";
    EXPECT_TRUE(Run(profile, 0).empty());
    // Data and Old: two copies of a.doc; the one in Other is outside the scope.
    profile.include_subfolders = true;
    profile.initial_folder_id = 2;
    EXPECT_EQ(Set(Run(profile, 1)), (std::multiset<std::string>{"a.doc", "a.doc"}));
}

TEST_F(GeneratedSqlOnCatalogue, DuplicatesBesideFoldersWithALimit) {
    QueryProfile profile;
    Add(profile, "Folder", "Name");
    Add(profile, "Folder", "Size");
    Add(profile, "File", "Name");
    Add(profile, "File", "Size");
    profile.include_subfolders = true;
    profile.initial_folder_id = 1;
    profile.duplicates = "NAME,";
    profile.file_threshold = 2;
    profile.sort_column = "Name";
    // The folders below C: and at most two of the three copies of a.doc.
    EXPECT_EQ(Set(Run(profile, 3)), (std::multiset<std::string>{"Data", "Old", "Other", "a.doc", "a.doc"}));
}

TEST_F(GeneratedSqlOnCatalogue, CrosstabSumsPerOwner) {
    QueryProfile profile;
    Add(profile, "File", "Size");
    Add(profile, "File", "Owner", "Include root");
    profile.include_subfolders = true;
    EXPECT_EQ(Run(profile, 0), (std::vector<std::string>{"root"}));
}

}  // namespace
}  // namespace korvane
