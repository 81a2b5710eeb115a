#include "catalogue/jet_sql.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/day_number.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using Row = std::vector<std::string>;

double Day(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    double value = 0;
    EXPECT_TRUE(DayNumberFromCivil(year, month, day, hour, minute, second, value));
    return value;
}

std::string Translate(std::string_view jet) {
    std::string sql, error;
    EXPECT_TRUE(TranslateJetSql(jet, sql, error)) << jet << " -> " << error;
    return sql;
}

std::string Planned(std::string_view jet, std::int64_t highest_folder_id = 0) {
    std::string sql, error;
    JetPlanHints hints;
    hints.highest_folder_id = highest_folder_id;
    EXPECT_TRUE(TranslateJetSql(jet, sql, error, hints)) << jet << " -> " << error;
    return sql;
}

std::string TranslationError(std::string_view jet) {
    std::string sql, error;
    EXPECT_FALSE(TranslateJetSql(jet, sql, error)) << jet << " -> " << sql;
    EXPECT_TRUE(sql.empty());
    EXPECT_FALSE(error.empty());
    return error;
}

// Whole values (byte counts) as "1000000.0"; others as exact shortest text.
std::string RealText(double value) {
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        return std::to_string(static_cast<std::int64_t>(value)) + ".0";
    }
    return FormatDayNumber(value);
}

// A catalogue-shaped database file in a temporary folder, on a connection
// prepared the way the catalogue prepares its own.
class CatalogueDb {
  public:
    CatalogueDb() {
        EXPECT_EQ(sqlite3_open(dir_.operator/("Korvane.db").c_str(), &db_), SQLITE_OK);
        std::string error;
        EXPECT_TRUE(ConfigureJetConnection(db_, error)) << error;
        Exec(
            "CREATE TABLE Volume ([Volume ID] INTEGER, [Folder ID] INTEGER, Root TEXT, Name TEXT, Type TEXT,"
            " Owner TEXT, [Serial Number] INTEGER, Format TEXT, Size REAL, Used REAL, Free REAL, Files "
            "INTEGER,"
            " Folders INTEGER, VolType INTEGER, UserName TEXT, Password TEXT, Flags INTEGER);"
            "CREATE TABLE Folder ([Folder ID] INTEGER, Name TEXT, [Parent ID] INTEGER, Size REAL, Blocks "
            "REAL,"
            " Folders INTEGER, Files INTEGER, Level INTEGER, [Create Date] REAL, [Modify Date] REAL,"
            " [Access Date] REAL, Attributes INTEGER, Owner TEXT);"
            "CREATE TABLE File ([File ID] INTEGER, Name TEXT, Type TEXT, Size REAL, Compressed REAL,"
            " [Create Date] REAL, [Modify Date] REAL, [Access Date] REAL, Owner TEXT, Attributes INTEGER,"
            " [Parent ID] INTEGER);"
            "CREATE UNIQUE INDEX PrimaryKey ON File ([File ID]);"
            "CREATE INDEX [Folder ID] ON File ([Parent ID]);");
    }
    ~CatalogueDb() { sqlite3_close(db_); }
    CatalogueDb(const CatalogueDb&) = delete;
    CatalogueDb& operator=(const CatalogueDb&) = delete;

    sqlite3* handle() const { return db_; }

    void Exec(const std::string& sql) {
        char* message = nullptr;
        EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK)
            << (message ? message : "") << "\n"
            << sql;
        sqlite3_free(message);
    }

    void AddFolder(int id, const std::string& name, int parent, double size, int attributes = 16) {
        Statement insert(db_,
                         "INSERT INTO Folder ([Folder ID], Name, [Parent ID], Size, Attributes) "
                         "VALUES (?, ?, ?, ?, ?)");
        sqlite3_bind_int(insert.get(), 1, id);
        sqlite3_bind_text(insert.get(), 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert.get(), 3, parent);
        sqlite3_bind_double(insert.get(), 4, size);
        sqlite3_bind_int(insert.get(), 5, attributes);
        EXPECT_EQ(sqlite3_step(insert.get()), SQLITE_DONE);
    }

    // modify < 0 stores NULL; an empty owner stores NULL.
    void AddFile(int id, const std::string& name, int parent, double size, double modify,
                 const std::string& owner = "", int attributes = 32) {
        Statement insert(db_,
                         "INSERT INTO File ([File ID], Name, Type, Size, [Modify Date], Owner, Attributes,"
                         " [Parent ID]) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
        sqlite3_bind_int(insert.get(), 1, id);
        sqlite3_bind_text(insert.get(), 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        const std::size_t dot = name.rfind('.');
        if (dot != std::string::npos) {
            const std::string type = name.substr(dot + 1);
            sqlite3_bind_text(insert.get(), 3, type.data(), static_cast<int>(type.size()), SQLITE_TRANSIENT);
        }
        sqlite3_bind_double(insert.get(), 4, size);
        if (modify >= 0) {
            sqlite3_bind_double(insert.get(), 5, modify);
        }
        if (!owner.empty()) {
            sqlite3_bind_text(insert.get(), 6, owner.data(), static_cast<int>(owner.size()),
                              SQLITE_TRANSIENT);
        }
        sqlite3_bind_int(insert.get(), 7, attributes);
        sqlite3_bind_int(insert.get(), 8, parent);
        EXPECT_EQ(sqlite3_step(insert.get()), SQLITE_DONE);
    }

    // Translates and runs a Jet statement. Values: text as stored, integers
    // in decimal, reals as day-number text (exact), NULL as "NULL".
    bool Run(std::string_view jet, std::vector<Row>& rows, std::string& error,
             const JetPlanHints& hints = {}) {
        rows.clear();
        std::string sql;
        if (!TranslateJetSql(jet, sql, error, hints)) {
            return false;
        }
        return RunSqlite(sql, rows, error);
    }

    std::vector<Row> Rows(std::string_view jet, const JetPlanHints& hints = {}) {
        std::vector<Row> rows;
        std::string error;
        EXPECT_TRUE(Run(jet, rows, error, hints)) << error << "\n" << jet;
        return rows;
    }

    // SQLite's plan for a translated statement, its lines joined by "|".
    std::string Plan(std::string_view jet, const JetPlanHints& hints) {
        std::string sql, error;
        EXPECT_TRUE(TranslateJetSql(jet, sql, error, hints)) << error;
        std::vector<Row> rows;
        EXPECT_TRUE(RunSqlite("EXPLAIN QUERY PLAN " + sql, rows, error)) << error;
        std::string plan;
        for (const Row& row : rows) {
            plan += row.back() + "|";
        }
        return plan;
    }

    // One prepare; the tail after the statement must be blank.
    bool RunSqlite(const std::string& sql, std::vector<Row>& rows, std::string& error) {
        sqlite3_stmt* raw = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &raw, &tail) != SQLITE_OK) {
            error = sqlite3_errmsg(db_);
            return false;
        }
        Statement statement(raw);
        if (std::string_view(tail).find_first_not_of(" \t\r\n") != std::string_view::npos) {
            error = "text after the statement";
            return false;
        }
        int step;
        while ((step = sqlite3_step(raw)) == SQLITE_ROW) {
            Row row;
            for (int i = 0; i < sqlite3_column_count(raw); ++i) {
                switch (sqlite3_column_type(raw, i)) {
                    case SQLITE_NULL:
                        row.push_back("NULL");
                        break;
                    case SQLITE_INTEGER:
                        row.push_back(std::to_string(sqlite3_column_int64(raw, i)));
                        break;
                    case SQLITE_FLOAT:
                        row.push_back(RealText(sqlite3_column_double(raw, i)));
                        break;
                    default:
                        row.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(raw, i)),
                                         static_cast<std::size_t>(sqlite3_column_bytes(raw, i)));
                }
            }
            rows.push_back(std::move(row));
        }
        if (step != SQLITE_DONE) {
            error = sqlite3_errmsg(db_);
            return false;
        }
        return true;
    }

  private:
    class Statement {
      public:
        explicit Statement(sqlite3_stmt* statement) : statement_(statement) {}
        Statement(sqlite3* db, const char* sql) {
            EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        }
        ~Statement() { sqlite3_finalize(statement_); }
        Statement(const Statement&) = delete;
        Statement& operator=(const Statement&) = delete;
        sqlite3_stmt* get() const { return statement_; }

      private:
        sqlite3_stmt* statement_ = nullptr;
    };

    testing::TempDir dir_;
    sqlite3* db_ = nullptr;
};

std::string D(double day_number) {
    return FormatDayNumber(day_number);
}

// ---------------------------------------------------------------------------
// Lexing: names, literals, dates, words, punctuation

TEST(JetSqlTokens, BracketedNamesAreCopiedVerbatimWhateverTheyHold) {
    EXPECT_EQ(Translate("SELECT File.[Parent ID], T.[X] AS [X] FROM File"),
              "SELECT File.[Parent ID], T.[X] AS [X] FROM File;");
    // Quotes, hashes, comment starters and stray characters inside brackets
    // belong to the name: a missed bracket would turn them into errors or
    // rewrite them.
    EXPECT_EQ(Translate("SELECT [a \"b\" 'c' #1/1/2000# -- /* & ! ?] FROM File;"),
              "SELECT [a \"b\" 'c' #1/1/2000# -- /* & ! ?] FROM File;");
    // The name ends at the first "]".
    EXPECT_EQ(Translate("SELECT [a[b] FROM File"), "SELECT [a[b] FROM File;");
    EXPECT_THAT(TranslationError("SELECT [Parent ID FROM File"), HasSubstr("]"));
}

TEST(JetSqlTokens, DoubleQuotedTextBecomesSingleQuotedWithQuotesRedone) {
    EXPECT_EQ(Translate(R"(SELECT "text", "", "a""b", "O'Brien", "''" FROM File)"),
              R"(SELECT 'text', '', 'a"b', 'O''Brien', '''''' FROM File;)");
    // Nothing inside a literal is lexed: dates, brackets, comments, "&".
    EXPECT_EQ(Translate("SELECT \"#1/1/2000# [x] -- /* & ! ? ; UNION ALL SELECT TOP 5\" FROM File"),
              "SELECT '#1/1/2000# [x] -- /* & ! ? ; UNION ALL SELECT TOP 5' FROM File;");
    // Line ends and bytes that are not UTF-8 pass through untouched.
    EXPECT_EQ(Translate("SELECT \"a\r\nb\xff\xc3\" FROM File"), "SELECT 'a\r\nb\xff\xc3' FROM File;");
    EXPECT_THAT(TranslationError("SELECT \"open FROM File"), HasSubstr("\""));
    EXPECT_THAT(TranslationError("SELECT \"a\"\" FROM File"), HasSubstr("no closing"));
}

TEST(JetSqlTokens, SingleQuotedTextIsCopied) {
    EXPECT_EQ(Translate("SELECT 'it''s \"x\" #1/1/2000#' FROM File"),
              "SELECT 'it''s \"x\" #1/1/2000#' FROM File;");
    EXPECT_THAT(TranslationError("SELECT 'it''s FROM File"), HasSubstr("'"));
}

TEST(JetSqlTokens, DateLiteralsBecomeDayNumbers) {
    EXPECT_EQ(Translate("SELECT #12/31/1899# AS [Modify Date]"), "SELECT 1.0 AS [Modify Date];");
    EXPECT_EQ(Translate("SELECT #12/30/1899#"), "SELECT 0.0;");
    EXPECT_EQ(Translate("SELECT #01/05/1998#"), "SELECT " + D(Day(1998, 1, 5)) + ";");
    EXPECT_EQ(Translate("SELECT #1/5/1998#"), "SELECT " + D(Day(1998, 1, 5)) + ";");
    EXPECT_EQ(Translate("SELECT #03/15/1999 14:05:09#"), "SELECT 36234.586909722224;");
    // Fields without leading zeros, as the "Previous N days" boundary writes them.
    EXPECT_EQ(Translate("SELECT #02/13/1999 14:5:9#"), Translate("SELECT #2/13/1999 14:05:09#"));
    EXPECT_EQ(Translate("SELECT #2/13/1999 14:05#"), "SELECT " + D(Day(1999, 2, 13, 14, 5, 0)) + ";");
    EXPECT_EQ(Translate("SELECT # 2/29/2000  23:59:59 #"), "SELECT " + D(Day(2000, 2, 29, 23, 59, 59)) + ";");
    // 00:00:01 on the first day is small enough to print with an exponent.
    EXPECT_EQ(Translate("SELECT #12/30/1899 0:0:1#"), "SELECT 1.1574074074074073e-05;");
}

TEST(JetSqlTokens, DatesThatCouldBeMisreadAreRefused) {
    EXPECT_THAT(TranslationError("SELECT #13/01/1999#"), HasSubstr("month above 12"));
    EXPECT_THAT(TranslationError("SELECT #1/5/98#"), HasSubstr("four-digit year"));
    EXPECT_THAT(TranslationError("SELECT #1/5/19988#"), HasSubstr("four-digit year"));
    EXPECT_THAT(TranslationError("SELECT #12/29/1899#"), HasSubstr("before 12/30/1899"));
    EXPECT_THAT(TranslationError("SELECT #1/1/1800#"), HasSubstr("before 12/30/1899"));
    EXPECT_THAT(TranslationError("SELECT #4/31/1999#"), HasSubstr("calendar date"));
    EXPECT_THAT(TranslationError("SELECT #2/29/1900#"), HasSubstr("calendar date"));
    EXPECT_THAT(TranslationError("SELECT #0/10/1999#"), HasSubstr("calendar date"));
    EXPECT_THAT(TranslationError("SELECT #1/1/1999 24:00:00#"), HasSubstr("time of day"));
    EXPECT_THAT(TranslationError("SELECT #1/1/1999 10:60#"), HasSubstr("time of day"));
    for (const char* form :
         {"#1999-03-15#", "#15 Mar 1999#", "#March 15, 1999#", "#03/15/1999 2:05 PM#", "#003/15/1999#",
          "#3/15/1999 14#", "#3/15/1999 14:05:09:01#", "#3/15/1999T14:05#", "#14:05:09#", "##"}) {
        EXPECT_THAT(TranslationError(std::string("SELECT ") + form), HasSubstr("m/d/yyyy")) << form;
    }
    EXPECT_THAT(TranslationError("SELECT #1/1/1999"), HasSubstr("no closing #"));
    // The error says where.
    EXPECT_THAT(TranslationError("SELECT x FROM File WHERE y<#13/1/1999#"), HasSubstr("character 28"));
}

TEST(JetSqlTokens, WordsNumbersAndOperatorsAreCopiedInAnyCase) {
    const std::string jet =
        "select Name, Size*2/1.5+1-3 from File where (Size>=10 and Size<=20.5)Or not(Size<>3) "
        "AND Name like \"a*\" aND Size>1 oR Size<1 And Name=\"x\" group BY Name Order by Name";
    std::string expected = jet;
    expected.replace(expected.find("\"a*\""), 4, "'a*'");
    expected.replace(expected.find("\"x\""), 3, "'x'");
    EXPECT_EQ(Translate(jet), expected + ";");
    EXPECT_EQ(Translate("SELECT Sum(File.[Size]) AS Size FROM File"),
              "SELECT Sum(File.[Size]) AS Size FROM File;");
}

TEST(JetSqlTokens, ConstructsWithoutAFaithfulFormAreRefused) {
    EXPECT_THAT(TranslationError("SELECT Name & \"x\" FROM File"), HasSubstr("&"));
    EXPECT_THAT(TranslationError("SELECT Name FROM File -- note"), HasSubstr("comment"));
    EXPECT_THAT(TranslationError("SELECT Name /* note */ FROM File"), HasSubstr("comment"));
    for (const char* bad : {"!", "?", "@", "{", "}", "`", "$", "\\", ":", "%", "|", "~", "^"}) {
        EXPECT_THAT(TranslationError(std::string("SELECT Name ") + bad + " FROM File"),
                    HasSubstr(std::string("character ") + bad))
            << bad;
    }
    EXPECT_THAT(TranslationError("SELECT Name FROM File WHERE Size==1"), HasSubstr("=="));
    EXPECT_THAT(TranslationError("SELECT Name FROM File WHERE Size=>1"), HasSubstr("=>"));
    EXPECT_THAT(TranslationError("SELECT Size<<2 FROM File"), HasSubstr("<<"));
    EXPECT_THAT(TranslationError("SELECT DISTINCTROW Name FROM File"), HasSubstr("DISTINCTROW"));
    EXPECT_THAT(TranslationError("SELECT IIf(Size>1, 1, 0) FROM File"), HasSubstr("IIf"));
    EXPECT_THAT(TranslationError("SELECT Nz(Owner, \"\") FROM File"), HasSubstr("Nz"));
    EXPECT_THAT(TranslationError("SELECT Name FROM File WHERE Name Like \"a!%\" ESCAPE \"!\""),
                HasSubstr("ESCAPE"));
    EXPECT_THAT(TranslationError("SELECT Name FROM File WHERE Name GLOB \"a*\""), HasSubstr("GLOB"));
    EXPECT_THAT(TranslationError("SELECT Name FROM File ORDER BY Name COLLATE NOCASE"), HasSubstr("COLLATE"));
    EXPECT_THAT(TranslationError("SELECT Name FROM File LIMIT 5"), HasSubstr("LIMIT"));
    EXPECT_THAT(TranslationError("SELECT \xc3\xa9 FROM File"), HasSubstr("0xC3"));
    EXPECT_THAT(TranslationError(std::string("SELECT \"a") + '\0' + "b\" FROM File"), HasSubstr("NUL"));
    EXPECT_THAT(TranslationError("SELECT Name\f FROM File"), HasSubstr("0x0C"));
}

// ---------------------------------------------------------------------------
// Statement structure: one statement, trailing ";", TOP, UNION, ORDER BY

TEST(JetSqlStructure, OneStatementEndingInOneSemicolon) {
    EXPECT_EQ(Translate("SELECT Name FROM File"), "SELECT Name FROM File;");
    EXPECT_EQ(Translate("SELECT Name FROM File ORDER BY [Name] ;"), "SELECT Name FROM File ORDER BY [Name];");
    EXPECT_EQ(Translate("  \r\nSELECT Name FROM File;\r\n \t"), "  \r\nSELECT Name FROM File;");
    EXPECT_THAT(TranslationError("SELECT Name FROM File;;"), HasSubstr("one statement"));
    EXPECT_THAT(TranslationError("SELECT Name FROM File; SELECT Size FROM File"), HasSubstr("one statement"));
    EXPECT_THAT(TranslationError(" ;\r\n"), HasSubstr("empty"));
    EXPECT_THAT(TranslationError(""), HasSubstr("empty"));
    EXPECT_THAT(TranslationError("DELETE FROM File"), HasSubstr("SELECT"));
    EXPECT_THAT(TranslationError("PRAGMA case_sensitive_like = 1"), HasSubstr("PRAGMA"));
    EXPECT_THAT(TranslationError("SELECT (Name FROM File"), HasSubstr("not closed"));
    EXPECT_THAT(TranslationError("SELECT Name) FROM File"), HasSubstr("no matching"));
}

TEST(JetSqlStructure, TopOfASingleSelectBecomesATrailingLimit) {
    EXPECT_EQ(Translate("SELECT TOP 3 Name FROM File ORDER BY Size DESC;"),
              "SELECT Name FROM File ORDER BY Size DESC LIMIT 3;");
    EXPECT_EQ(Translate("select top 3 Name\r\nFROM File"), "select Name\r\nFROM File LIMIT 3;");
    EXPECT_EQ(Translate("SELECT DISTINCT TOP 2 Type FROM File ORDER BY Type"),
              "SELECT DISTINCT Type FROM File ORDER BY Type LIMIT 2;");
    EXPECT_EQ(Translate("SELECT TOP 007 Name FROM File"), "SELECT Name FROM File LIMIT 7;");
    EXPECT_THAT(TranslationError("SELECT TOP 10 PERCENT Name FROM File"), HasSubstr("PERCENT"));
    EXPECT_THAT(TranslationError("SELECT TOP 1.5 Name FROM File"), HasSubstr("whole number"));
    EXPECT_THAT(TranslationError("SELECT TOP Name FROM File"), HasSubstr("whole number"));
    EXPECT_THAT(TranslationError("SELECT TOP 99999999999 Name FROM File"), HasSubstr("whole number"));
    EXPECT_THAT(TranslationError("SELECT Name FROM File WHERE Size IN (SELECT TOP 2 Size FROM File)"),
                HasSubstr("TOP"));
}

TEST(JetSqlStructure, TopInUnionBranchesWrapsEachBranch) {
    const std::string jet =
        "SELECT TOP 50 Folder.[Name] AS [Name]\r\nFROM Folder\r\nWHERE ((Folder.[Parent ID])=1)"
        "\r\nUNION ALL SELECT TOP 200 File.[Name] AS [Name]\r\nFROM File\r\nWHERE ((File.[Parent ID])=1)"
        "\r\nORDER BY [Name] DESC;";
    EXPECT_EQ(Translate(jet),
              "SELECT * FROM (SELECT Folder.[Name] AS [Name]\r\nFROM Folder\r\nWHERE ((Folder.[Parent ID])=1)"
              " LIMIT 50)\r\nUNION ALL SELECT * FROM (SELECT File.[Name] AS [Name]\r\nFROM File\r\n"
              "WHERE ((File.[Parent ID])=1) LIMIT 200)\r\nORDER BY [Name] DESC;");
    // Only the branch with TOP is wrapped; plain UNION keeps its meaning.
    EXPECT_EQ(Translate("SELECT Name FROM Folder UNION SELECT TOP 1 Name FROM File ORDER BY Name"),
              "SELECT Name FROM Folder UNION SELECT * FROM (SELECT Name FROM File LIMIT 1) ORDER BY Name;");
    // UNION inside brackets, literals or parentheses does not split.
    EXPECT_EQ(Translate("SELECT TOP 1 [UNION ALL SELECT] FROM File WHERE Name IN "
                        "(SELECT Name FROM Folder UNION ALL SELECT \"UNION\") ORDER BY 1"),
              "SELECT [UNION ALL SELECT] FROM File WHERE Name IN "
              "(SELECT Name FROM Folder UNION ALL SELECT 'UNION') ORDER BY 1 LIMIT 1;");
    EXPECT_THAT(TranslationError("SELECT Name FROM File UNION ALL"), HasSubstr("UNION"));
    EXPECT_THAT(TranslationError("SELECT Name FROM File UNION ALL Name FROM Folder"), HasSubstr("SELECT"));
    EXPECT_THAT(TranslationError("SELECT Name FROM File UNION ALL SELECT TOP 5 PERCENT Name FROM Folder"),
                HasSubstr("PERCENT"));
}

// ---------------------------------------------------------------------------
// Planning WHERE clauses: comparisons, then the folder scope, then calls

TEST(JetSqlPlan, TermsAreOrderedComparisonsScopeThenCalls) {
    EXPECT_EQ(
        Translate("SELECT Name FROM File WHERE (((File.[Parent ID])>99)and((File.[Parent ID])<=120)) AND "
                  "(((File.[Name])Like\"*.txt\")) AND (((File.[Size])>=5)) AND ((File.Owner)=\"x\")\r\n"
                  "ORDER BY [Size] ;"),
        "SELECT Name FROM File WHERE (((File.[Size])>=5)) AND ((File.Owner)='x') AND "
        "(((File.[Parent ID])>99)and((File.[Parent ID])<=120)) AND (((File.[Name])Like'*.txt'))\r\n"
        "ORDER BY [Size];");
    // Separators keep their own text and place.
    EXPECT_EQ(Translate("SELECT Name FROM File WHERE Name Like 'a*'And\r\n  Size>1"),
              "SELECT Name FROM File WHERE Size>1And\r\n  Name Like 'a*';");
    EXPECT_EQ(Translate("SELECT Name FROM File WHERE Type IN ('a','b') AND Lower(Name)='x' AND Size>1"),
              "SELECT Name FROM File WHERE Size>1 AND Type IN ('a','b') AND Lower(Name)='x';");
    // Already in order: the text is untouched.
    EXPECT_EQ(Translate("SELECT Name FROM File WHERE Size>1  AND  Name Like 'a*' GROUP BY Name"),
              "SELECT Name FROM File WHERE Size>1  AND  Name Like 'a*' GROUP BY Name;");
}

TEST(JetSqlPlan, ClausesThatAreNotAPlainAndChainStayAsWritten) {
    for (const char* jet : {
             "SELECT Name FROM File WHERE Name Like 'a*' AND Size>1 OR Size<0;",
             "SELECT Name FROM File WHERE Name Like 'a*' AND Size BETWEEN 1 AND 5;",
             "SELECT Name FROM File WHERE Name Like 'a*' AND CASE WHEN Size>1 AND Size<5 THEN 1 END;",
             "SELECT Name FROM File WHERE Name Like 'a*' AND Size>1 XOR Size<0;",
         }) {
        EXPECT_EQ(Translate(jet), jet);
    }
    // NOT binds tighter than And, so "Not x" is one term.
    EXPECT_EQ(Translate("SELECT Name FROM File WHERE NOT Name Like 'a*' AND Size>1"),
              "SELECT Name FROM File WHERE Size>1 AND NOT Name Like 'a*';");
}

TEST(JetSqlPlan, EachClauseIsPlannedWhereverItStands) {
    EXPECT_EQ(Translate("SELECT Name FROM File WHERE Name Like 'a*' AND Size>1 UNION ALL "
                        "SELECT Name FROM Folder WHERE Name Like 'b*' AND Size>2 ORDER BY Name"),
              "SELECT Name FROM File WHERE Size>1 AND Name Like 'a*' UNION ALL "
              "SELECT Name FROM Folder WHERE Size>2 AND Name Like 'b*' ORDER BY Name;");
    // The inner clause is planned, then moves whole with its term.
    EXPECT_EQ(
        Translate("SELECT Name FROM File WHERE Name IN (SELECT Name FROM File AS T WHERE T.Name Like 'a*' "
                  "AND T.Size>1) AND Size>2"),
        "SELECT Name FROM File WHERE Size>2 AND Name IN (SELECT Name FROM File AS T WHERE T.Size>1 "
        "AND T.Name Like 'a*');");
    EXPECT_EQ(
        Translate("SELECT File.Name FROM File INNER JOIN (SELECT Twin.Name FROM File AS Twin WHERE "
                  "(Twin.Name Like '*.c') AND (Twin.[Parent ID]>0) AND (Twin.Size>1) GROUP BY Twin.Name "
                  "HAVING Count(*)>1) AS Twins ON File.Name=Twins.Name WHERE (File.Name Like '*.c') AND "
                  "(File.Size>1)"),
        "SELECT File.Name FROM File INNER JOIN (SELECT Twin.Name FROM File AS Twin WHERE "
        "(Twin.Size>1) AND (Twin.[Parent ID]>0) AND (Twin.Name Like '*.c') GROUP BY Twin.Name "
        "HAVING Count(*)>1) AS Twins ON File.Name=Twins.Name WHERE (File.Size>1) AND "
        "(File.Name Like '*.c');");
}

TEST(JetSqlPlan, RowsInAnyOrderSkipOnlyASortNoTopNeeds) {
    JetPlanHints any_order;
    any_order.any_order = true;
    auto translate = [&](std::string_view jet) {
        std::string sql, error;
        EXPECT_TRUE(TranslateJetSql(jet, sql, error, any_order)) << error;
        return sql;
    };
    EXPECT_EQ(translate("SELECT Name FROM File WHERE Size>1\r\nORDER BY [Size] DESC;"),
              "SELECT Name FROM File WHERE Size>1;");
    EXPECT_EQ(translate("SELECT Name FROM Folder UNION ALL SELECT Name FROM File ORDER BY Name"),
              "SELECT Name FROM Folder UNION ALL SELECT Name FROM File;");
    EXPECT_EQ(translate("SELECT Owner, Sum(Size) AS S FROM File GROUP BY Owner ORDER BY Sum(Size) DESC"),
              "SELECT Owner, Sum(Size) AS S FROM File GROUP BY Owner;");
    // A TOP anywhere picks its rows by the order: the sort stays.
    EXPECT_EQ(translate("SELECT TOP 3 Name FROM File ORDER BY Size DESC"),
              "SELECT Name FROM File ORDER BY Size DESC LIMIT 3;");
    EXPECT_EQ(
        translate("SELECT Name FROM Folder UNION ALL SELECT TOP 2 Name FROM File ORDER BY Name"),
        "SELECT Name FROM Folder UNION ALL SELECT * FROM (SELECT Name FROM File LIMIT 2) ORDER BY Name;");
    // An ORDER BY inside a subquery is not the statement's.
    EXPECT_EQ(translate("SELECT Name FROM File WHERE Size IN (SELECT Size FROM File ORDER BY Size)"),
              "SELECT Name FROM File WHERE Size IN (SELECT Size FROM File ORDER BY Size);");
}

TEST(JetSqlPlan, OnlyAWideScopeIsReadWithoutTheIndex) {
    const std::string scope =
        "SELECT Name FROM File WHERE (((File.[Parent ID])>%L)and((File.[Parent ID])<=%H))";
    auto with = [&](int low, int high) {
        std::string jet = scope;
        jet.replace(jet.find("%L"), 2, std::to_string(low));
        jet.replace(jet.find("%H"), 2, std::to_string(high));
        return jet;
    };
    EXPECT_EQ(Planned(with(0, 1000), 1000),
              "SELECT Name FROM File WHERE (((+File.[Parent ID])>0)and((+File.[Parent ID])<=1000));");
    EXPECT_EQ(Planned(with(0, 500), 1000), Planned(with(0, 500)));
    EXPECT_EQ(Planned(with(0, 500), 1000).find('+'), std::string::npos);
    EXPECT_NE(Planned(with(499, 1000), 999).find('+'), std::string::npos) << "over half";
    EXPECT_EQ(Planned(with(0, 1000)).find('+'), std::string::npos) << "no folder count: SQLite decides";
    // One folder, a shape not read, or another column in the term: left to SQLite.
    for (const char* jet : {"SELECT Name FROM File WHERE ((File.[Parent ID])=5)",
                            "SELECT Name FROM File WHERE ((File.[Parent ID])>0 OR (File.[Parent ID])<9)",
                            "SELECT Name FROM File WHERE (5<(File.[Parent ID]))",
                            "SELECT Name FROM File WHERE ((File.[Parent ID])>0 AND Size>0)"}) {
        EXPECT_EQ(Planned(jet, 10).find('+'), std::string::npos) << jet;
    }
    EXPECT_EQ(Planned("SELECT Name FROM File WHERE [Parent ID]>0", 10),
              "SELECT Name FROM File WHERE +[Parent ID]>0;");
    EXPECT_EQ(Planned("SELECT Name FROM File WHERE [Parent ID]>0 AND [parent id]<>3", 10),
              "SELECT Name FROM File WHERE +[Parent ID]>0 AND +[parent id]<>3;");
}

// ---------------------------------------------------------------------------
// Running the generated statements on a catalogue

class JetSqlCatalogue : public ::testing::Test {
  protected:
    void SetUp() override {
        db_.AddFolder(1, "C:", 0, 9e9);
        db_.AddFolder(100, "users", 1, 8e7);
        db_.AddFolder(101, "alice", 100, 5000);
        db_.AddFolder(102, "docs", 101, 3000);
        db_.AddFolder(120, "zed", 119, 7000);
        db_.AddFolder(121, "other", 99, 8000);
        db_.AddFolder(122, "outside", 121, 9000);

        const double in_range = Day(1999, 3, 1, 10, 0, 0);
        db_.AddFile(1, "report.TXT", 101, 2000000, in_range, "alice");
        db_.AddFile(2, "notes.doc", 102, 1000000, Day(1999, 2, 13, 14, 5, 9), "bob");
        db_.AddFile(3, "old.doc", 102, 5000000, Day(1999, 2, 13, 14, 5, 8), "bob");
        db_.AddFile(4, "late.txt", 120, 10000000, Day(1999, 3, 15, 14, 5, 9), "Administrator");
        db_.AddFile(5, "future.txt", 120, 3000000, Day(1999, 3, 15, 14, 5, 10), "ADMINISTRATOR");
        db_.AddFile(6, "big.txt", 101, 10000001, in_range, "alice");
        db_.AddFile(7, "small.txt", 101, 999999, in_range, "alice");
        db_.AddFile(8, "image.png", 101, 4000000, in_range, "alice");
        db_.AddFile(9, "root.txt", 100, 6000000, in_range);
        db_.AddFile(10, "away.txt", 121, 7000000, in_range, "bob");
        db_.AddFile(11, "notes.doc.bak", 102, 2500000, in_range, "bob");
        db_.AddFile(12, "\xc3\xa9t\xc3\xa9.TXT", 102, 2200000, in_range, "Administrator");
        db_.AddFile(13, "undated.txt", 102, 2100000, -1, "alice");
        db_.AddFile(14, "top.txt", 0, 1500000, in_range, "carol");
    }

    CatalogueDb db_;
};

// The seven-line detail statement for folder 100 with 20 folders below it,
// run on 15 March 1999 at 14:05:09.
constexpr const char* kDetailStatement =
    "SELECT Folder.[Name] AS [Name], Folder.[Size] AS [Size], Folder.[Parent ID] AS [Parent ID], "
    "Folder.[Attributes] AS [Attributes], Folder.[Folder ID] AS [Folder ID],#12/31/1899# AS [Modify Date]\r\n"
    "FROM Folder\r\n"
    "WHERE (((Folder.[Parent ID])>99)and((Folder.[Parent ID])<=120))\r\n"
    "UNION ALL SELECT File.[Name] AS [Name], File.[Size] AS [Size], File.[Parent ID] AS [Parent ID], "
    "File.[Attributes] AS [Attributes],0 AS [Folder ID], File.[Modify Date] AS [Modify Date]\r\n"
    "FROM File\r\n"
    "WHERE (((File.[Parent ID])>99)and((File.[Parent ID])<=120)) AND "
    "(((File.[Name])Like\"*.txt\")OR((File.[Name])Like\"*.doc\")) AND "
    "(( (((File.[Size])>=1000000) And ((File.[Size])<=10000000)))) AND "
    "(( (((File.[Modify Date])<=#03/15/1999 14:05:09#) And ((File.[Modify Date])>=#02/13/1999 14:5:9#))))\r\n"
    "ORDER BY [Size] DESC;";

TEST_F(JetSqlCatalogue, DetailStatementGivesTheFoldersAndFilesItMeans) {
    const std::string sql = Translate(kDetailStatement);
    // Six line ends survive; nothing but literals changed.
    EXPECT_EQ(std::count(sql.begin(), sql.end(), '\n'), 6);
    EXPECT_THAT(sql, HasSubstr(",1.0 AS [Modify Date]\r\nFROM Folder"));
    EXPECT_THAT(sql, HasSubstr("Like'*.txt')OR((File.[Name])Like'*.doc')"));

    const std::string in_range = D(Day(1999, 3, 1, 10, 0, 0));
    EXPECT_THAT(db_.Rows(kDetailStatement),
                ElementsAre(
                    // Both boundary seconds are inside; the second before and after are not.
                    Row{"late.txt", "10000000.0", "120", "32", "0", D(Day(1999, 3, 15, 14, 5, 9))},
                    Row{"root.txt", "6000000.0", "100", "32", "0", in_range},
                    Row{"\xc3\xa9t\xc3\xa9.TXT", "2200000.0", "102", "32", "0", in_range},
                    Row{"report.TXT", "2000000.0", "101", "32", "0", in_range},
                    Row{"notes.doc", "1000000.0", "102", "32", "0", D(Day(1999, 2, 13, 14, 5, 9))},
                    Row{"zed", "7000.0", "119", "16", "120", "1.0"},
                    Row{"alice", "5000.0", "100", "16", "101", "1.0"},
                    Row{"docs", "3000.0", "101", "16", "102", "1.0"}));
}

TEST_F(JetSqlCatalogue, CrosstabStatementSumsByOwner) {
    // "<>" compares exactly: ADMINISTRATOR is another owner. A NULL owner
    // fails "<>" and drops out; the file in folder 0 is outside "> 0".
    EXPECT_THAT(
        db_.Rows("SELECT File.Owner AS Owner, Sum(File.[Size]) AS Size\r\n"
                 "FROM File\r\n"
                 "WHERE (File.[Parent ID]>0)And (((File.[Owner])<>\"Administrator\"))\r\n"
                 "GROUP BY File.Owner\r\n"
                 "ORDER BY Sum(Size) DESC;"),
        ElementsAre(Row{"alice", "19100000.0"}, Row{"bob", "15500000.0"}, Row{"ADMINISTRATOR", "3000000.0"}));
    EXPECT_THAT(db_.Rows("SELECT File.Type AS Type, Sum(File.[Size]) AS Size\r\n"
                         "FROM File\r\n"
                         "WHERE (((File.[Parent ID])>100)and((File.[Parent ID])<=102))And "
                         "(((File.[Type])Like\"t*\"))\r\n"
                         "GROUP BY File.Type\r\n"
                         "ORDER BY [Type] ;"),
                ElementsAre(Row{"TXT", "4200000.0"}, Row{"txt", "13100000.0"}));
}

TEST_F(JetSqlCatalogue, ThresholdsLimitEachBranch) {
    std::string jet = kDetailStatement;
    jet.replace(0, 6, "SELECT TOP 2");
    jet.replace(jet.find("UNION ALL SELECT"), 16, "UNION ALL SELECT TOP 3");

    const std::vector<Row> rows = db_.Rows(jet);
    ASSERT_EQ(rows.size(), 5u);
    int folders = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        folders += rows[i][4] != "0" ? 1 : 0;
        if (i > 0) {
            EXPECT_GE(std::stod(rows[i - 1][1]), std::stod(rows[i][1]));
        }
    }
    EXPECT_EQ(folders, 2);

    // A single SELECT keeps its order before the limit: the two largest.
    EXPECT_THAT(db_.Rows("SELECT TOP 2 File.[Name] AS [Name], File.[Size] AS [Size]\r\nFROM File\r\n"
                         "WHERE (File.[Parent ID]>0)\r\nORDER BY [Size] DESC;"),
                ElementsAre(Row{"big.txt", "10000001.0"}, Row{"late.txt", "10000000.0"}));
}

TEST_F(JetSqlCatalogue, DateLiteralsMeetStoredTimesOnTheSameSecond) {
    // Dates a row writer stores and dates the translator writes come from
    // one formula, so equality holds to the second.
    EXPECT_THAT(db_.Rows("SELECT Name FROM File WHERE [Modify Date]=#2/13/1999 14:05:09#"),
                ElementsAre(Row{"notes.doc"}));
    EXPECT_THAT(db_.Rows("SELECT Name FROM File WHERE [Modify Date] Between#2/13/1999 14:05:08#And"
                         "#2/13/1999 14:05:09# ORDER BY Name"),
                ElementsAre(Row{"notes.doc"}, Row{"old.doc"}));
    EXPECT_THAT(db_.Rows("SELECT Name FROM File WHERE [Modify Date]>=#3/15/1999 14:05:09# ORDER BY Name"),
                ElementsAre(Row{"future.txt"}, Row{"late.txt"}));
}

TEST_F(JetSqlCatalogue, FetchTemplatesRunWithEscapedValues) {
    db_.Exec(
        "INSERT INTO Volume ([Volume ID], [Folder ID], Root, Name, Owner, Type, Format, Folders, Files, Free,"
        " VolType, [Serial Number], UserName, Password, Flags) VALUES"
        " (1, 1, 'C:', 'System', NULL, 'Fixed', 'ext4', 6, 14, 5e9, 1, 1234, NULL, NULL, 0),"
        " (2, 50, 'ftp:host/a\"b', 'host', NULL, 'FTP', NULL, 0, 0, 0, 2, 21, 'anonymous', 'x', 1),"
        " (3, 60, 'O''Brien', 'share', 'srv', 'Remote', 'cifs', 0, 0, 0, 1, 0, NULL, NULL, 0)");
    const std::string columns =
        "SELECT Volume.[Volume ID], Volume.[Folder ID], Volume.Root, Volume.Name, Volume.Owner, Volume.Type, "
        "Volume.Format, Volume.Folders, Volume.Files, Volume.Free, Volume.VolType, Volume.[Serial Number], "
        "Volume.UserName, Volume.Password, Volume.Flags\r\nFROM Volume\r\n";
    EXPECT_THAT(db_.Rows(columns + "WHERE (Volume.[Volume ID]=1);"),
                ElementsAre(Row{"1", "1", "C:", "System", "NULL", "Fixed", "ext4", "6", "14", "5000000000.0",
                                "1", "1234", "NULL", "NULL", "0"}));
    // A root holding a double quote, written with the quote doubled.
    const std::vector<Row> ftp = db_.Rows(columns + "WHERE (((Volume.Root)=\"ftp:host/a\"\"b\"));");
    ASSERT_EQ(ftp.size(), 1u);
    EXPECT_EQ(ftp[0][2], "ftp:host/a\"b");
    EXPECT_THAT(db_.Rows(columns + "WHERE (((Volume.Root)=\"O'Brien\"));"), ::testing::SizeIs(1));
    // Escaped, a text cannot change the statement's shape.
    EXPECT_THAT(db_.Rows(columns + "WHERE (((Volume.Root)=\"C:\"\")) Or ((1=1\"));"), ::testing::IsEmpty());

    EXPECT_THAT(
        db_.Rows("SELECT Folder.[Folder ID], Folder.Name, Folder.Size, Folder.Owner, Folder.Folders, "
                 "Folder.[Attributes], Folder.[Parent ID]\r\nFROM Folder\r\nWHERE (Folder.[Folder ID]=101);"),
        ElementsAre(Row{"101", "alice", "5000.0", "NULL", "NULL", "16", "100"}));
    EXPECT_THAT(db_.Rows("SELECT File.[File ID]\r\nFROM File\r\nWHERE (File.[Parent ID]=102) and "
                         "(File.Name=\"\xc3\xa9t\xc3\xa9.TXT\");"),
                ElementsAre(Row{"12"}));
    // "=" compares exactly, as Linux names do.
    EXPECT_THAT(db_.Rows("SELECT File.[File ID]\r\nFROM File\r\nWHERE (File.[Parent ID]=102) and "
                         "(File.Name=\"NOTES.DOC\");"),
                ::testing::IsEmpty());
    EXPECT_THAT(
        db_.Rows("SELECT File.[File ID], File.Name, File.Size, File.Compressed, File.[Create Date], "
                 "File.[Modify Date], File.[Access Date], File.Owner, File.Attributes, File.[Parent ID]"
                 "\r\nFROM File\r\nWHERE (File.Name=\"notes.doc\") and (File.[Parent ID]=102);"),
        ElementsAre(Row{"2", "notes.doc", "1000000.0", "NULL", "NULL", D(Day(1999, 2, 13, 14, 5, 9)), "NULL",
                        "bob", "32", "102"}));
}

TEST_F(JetSqlCatalogue, DuplicatesClauseIsLeftForTheEngineToRefuse) {
    std::string jet = kDetailStatement;
    jet.insert(jet.find("\r\nFROM File\r\n"), "\r\nGROUP BY File.Size, File.Name, File.ModifyDate,\r\n");
    std::vector<Row> rows;
    std::string error;
    EXPECT_FALSE(db_.Run(jet, rows, error));
    EXPECT_THAT(error, HasSubstr("syntax error"));
}

TEST_F(JetSqlCatalogue, PlanningChangesTheWorkNotTheAnswer) {
    // The whole catalogue (folders up to 122) as the scope.
    std::string whole = kDetailStatement;
    for (std::size_t at; (at = whole.find("[Parent ID])>99")) != std::string::npos;) {
        whole.replace(at, 15, "[Parent ID])>0");
    }
    JetPlanHints hints;
    hints.highest_folder_id = 122;
    EXPECT_EQ(db_.Rows(whole, hints), db_.Rows(whole));
    EXPECT_GT(db_.Rows(whole, hints).size(), db_.Rows(kDetailStatement).size());
    EXPECT_THAT(db_.Plan(whole, hints), Not(HasSubstr("INDEX")));
    hints.highest_folder_id = 100000;
    EXPECT_THAT(db_.Plan(kDetailStatement, hints), HasSubstr("SEARCH File USING INDEX Folder ID"));
    EXPECT_EQ(db_.Rows(kDetailStatement, hints), db_.Rows(kDetailStatement));
}

// ---------------------------------------------------------------------------
// The connection: double-quoted literals off, Jet's like()

TEST_F(JetSqlCatalogue, ConnectionRefusesDoubleQuotedLiterals) {
    std::vector<Row> rows;
    std::string error;
    EXPECT_FALSE(db_.RunSqlite("SELECT Name FROM File WHERE Name = \"no such column\"", rows, error));
    EXPECT_THAT(error, HasSubstr("no such column"));
    EXPECT_FALSE(db_.RunSqlite("CREATE TABLE T (x, CHECK (x <> \"no such column\"))", rows, error));
    EXPECT_THAT(error, HasSubstr("no such column"));

    // A connection left as SQLite opens it would have read it as text.
    sqlite3* plain = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &plain), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(plain, "SELECT \"no such column\"", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(
        sqlite3_exec(plain, "CREATE TABLE T (x, CHECK (x <> \"no such column\"))", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(plain);

    std::string message;
    EXPECT_FALSE(ConfigureJetConnection(nullptr, message));
    EXPECT_FALSE(message.empty());
}

TEST_F(JetSqlCatalogue, LikeUsesJetWildcardsWithoutCase) {
    const auto names = [&](const std::string& where) {
        std::vector<std::string> found;
        for (const Row& row : db_.Rows("SELECT Name FROM File WHERE " + where + " ORDER BY [File ID]")) {
            found.push_back(row[0]);
        }
        return found;
    };
    EXPECT_THAT(names("Name Like \"*.TXT\" And [Parent ID]=102"),
                ElementsAre("\xc3\xa9t\xc3\xa9.TXT", "undated.txt"));
    EXPECT_THAT(names("Name Like \"?????.doc\""), ElementsAre("notes.doc"));
    EXPECT_THAT(names("Name Like \"[!a-m]*.doc*\""), ElementsAre("notes.doc", "old.doc", "notes.doc.bak"));
    EXPECT_THAT(names("Name Like \"\xc3\x89T\xc3\x89*\""), ElementsAre("\xc3\xa9t\xc3\xa9.TXT"));
    // "%" and "_" stand for themselves.
    EXPECT_THAT(names("Name Like \"%.txt\" Or Name Like \"_ate.txt\""), ::testing::IsEmpty());
    EXPECT_THAT(names("Name Not Like \"*t\" And [Parent ID]=102"),
                ElementsAre("notes.doc", "old.doc", "notes.doc.bak"));
    // A NULL operand is neither like nor unlike.
    EXPECT_THAT(names("Owner Like \"*\" And [Parent ID]=100"), ::testing::IsEmpty());
    EXPECT_THAT(names("Owner Not Like \"x\" And [Parent ID]=100"), ::testing::IsEmpty());
    // SQLite calls like(pattern, value): "x Like p" with p the pattern.
    EXPECT_THAT(names("\"*.png\" Like Name"), ::testing::IsEmpty());
    EXPECT_THAT(names("Name Like Type"), ::testing::IsEmpty());
    EXPECT_THAT(names("\"png\" Like Type"), ElementsAre("image.png"));
}

TEST_F(JetSqlCatalogue, MalformedPatternFailsWhenARowIsTested) {
    std::vector<Row> rows;
    std::string error;
    EXPECT_FALSE(db_.Run("SELECT Name FROM File WHERE Name Like \"a[bc\"", rows, error));
    EXPECT_THAT(error, HasSubstr("a[bc"));
    EXPECT_FALSE(db_.Run("SELECT Name FROM File WHERE Name Like \"[z-a]*\"", rows, error));
    EXPECT_THAT(error, HasSubstr("malformed"));
    // No row tested, no error.
    EXPECT_TRUE(db_.Run("SELECT Name FROM File WHERE [File ID]<0 And Name Like \"a[bc\"", rows, error))
        << error;
    EXPECT_TRUE(rows.empty());
}

// ---------------------------------------------------------------------------
// The matcher itself

TEST(JetLikeMatch, Wildcards) {
    EXPECT_TRUE(JetLikeMatch("*", ""));
    EXPECT_TRUE(JetLikeMatch("*", "anything"));
    EXPECT_TRUE(JetLikeMatch("", ""));
    EXPECT_FALSE(JetLikeMatch("", "a"));
    EXPECT_TRUE(JetLikeMatch("*.log", "system.LOG"));
    EXPECT_FALSE(JetLikeMatch("*.log", "system.log.1"));
    EXPECT_FALSE(JetLikeMatch("*.log", "log"));
    EXPECT_TRUE(JetLikeMatch("Read*", "README.md"));
    EXPECT_TRUE(JetLikeMatch("rep*.doc", "Report 1999.DOC"));
    EXPECT_FALSE(JetLikeMatch("rep*.doc", "rep.do"));
    EXPECT_TRUE(JetLikeMatch("*tmp*", "a.TMP.b"));
    EXPECT_FALSE(JetLikeMatch("*tmp*", "a.tm.p"));
    EXPECT_TRUE(JetLikeMatch("*a*b*c*", "xxaxxbxxcxx"));
    EXPECT_FALSE(JetLikeMatch("*a*b*c*", "xxcxxbxxaxx"));
    EXPECT_TRUE(JetLikeMatch("a?c", "abc"));
    EXPECT_FALSE(JetLikeMatch("a?c", "ac"));
    EXPECT_TRUE(JetLikeMatch("file##.txt", "file07.txt"));
    EXPECT_FALSE(JetLikeMatch("file##.txt", "file7x.txt"));
    EXPECT_TRUE(JetLikeMatch("100%", "100%"));
    EXPECT_FALSE(JetLikeMatch("100%", "1000"));
    EXPECT_TRUE(JetLikeMatch("a_b", "A_B"));
    EXPECT_FALSE(JetLikeMatch("a_b", "axb"));
    EXPECT_TRUE(JetLikeMatch("a]b", "a]b"));
}

TEST(JetLikeMatch, CharacterLists) {
    EXPECT_TRUE(JetLikeMatch("[abc]x", "Bx"));
    EXPECT_FALSE(JetLikeMatch("[abc]x", "dx"));
    EXPECT_TRUE(JetLikeMatch("[a-f]#", "E5"));
    EXPECT_TRUE(JetLikeMatch("[A-F]#", "e5"));
    EXPECT_FALSE(JetLikeMatch("[a-f]#", "g5"));
    EXPECT_TRUE(JetLikeMatch("[!a-f]*", "g"));
    EXPECT_FALSE(JetLikeMatch("[!a-f]*", "C"));
    EXPECT_TRUE(JetLikeMatch("[*?#[]", "?"));
    EXPECT_TRUE(JetLikeMatch("[*?#[]", "["));
    EXPECT_FALSE(JetLikeMatch("[*?#[]", "a"));
    EXPECT_TRUE(JetLikeMatch("[-a]", "-"));
    EXPECT_TRUE(JetLikeMatch("[a-]", "-"));
    EXPECT_TRUE(JetLikeMatch("[!-]", "x"));
    EXPECT_FALSE(JetLikeMatch("[!-]", "-"));
    EXPECT_TRUE(JetLikeMatch("a[]b", "ab"));
    EXPECT_TRUE(JetLikeMatch("a[!]b", "axb"));
    EXPECT_TRUE(JetLikeMatch("[\xd0\x90-\xd0\xaf]*", "\xd1\x8f"));  // [А-Я] holds я
    EXPECT_FALSE(JetLikeMatch("[\xd0\xb0-\xd1\x8f]", "\xd1\x91"));  // [а-я] lacks ё
    EXPECT_TRUE(JetLikeMatch("[\xce\xb1\xce\xb2]", "\xce\x92"));    // [αβ] holds Β

    bool malformed = false;
    EXPECT_FALSE(JetLikeMatch("a[bc", "abc", &malformed));
    EXPECT_TRUE(malformed);
    // Reported even when the text fails before the list is reached.
    EXPECT_FALSE(JetLikeMatch("x[bc", "abc", &malformed));
    EXPECT_TRUE(malformed);
    EXPECT_FALSE(JetLikeMatch("[z-a]", "m", &malformed));
    EXPECT_TRUE(malformed);
    EXPECT_TRUE(JetLikeMatch("[a-z]", "m", &malformed));
    EXPECT_FALSE(malformed);
}

TEST(JetLikeMatch, CaseIsIgnoredBeyondAscii) {
    const std::pair<const char*, const char*> same[] = {
        {"\xc3\x89t\xc3\xa9", "\xc3\xa9T\xc3\x89"},                        // Été, éTÉ
        {"\xc3\xbf", "\xc5\xb8"},                                          // ÿ, Ÿ
        {"\xc5\x81\xc3\xb3\x64\xc5\xba", "\xc5\x82\xc3\x93\x44\xc5\xb9"},  // Łódź, łÓDŹ
        {"\xc8\x98", "\xc8\x99"},                                          // Ș, ș
        {"\xce\xa3\xce\x9f\xce\xa6\xce\x99\xce\x91", "\xcf\x83\xce\xbf\xcf\x86\xce\xb9\xce\xb1"},  // ΣΟΦΙΑ
        {"\xce\xa3", "\xcf\x82"},  // Σ, final ς
        {"\xd0\x9f\xd0\xa0\xd0\x98\xd0\x92\xd0\x95\xd0\xa2",
         "\xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82"},  // ПРИВЕТ, привет
        {"\xd0\x81\xd0\xb6", "\xd1\x91\xd0\x96"},              // Ёж, ёЖ
        {"\xd2\x90", "\xd2\x91"},                              // Ґ, ґ
        {"s", "\xc5\xbf"},                                     // s, long s
        {"K", "\xe2\x84\xaa"},                                 // K, Kelvin sign
    };
    for (const auto& [a, b] : same) {
        EXPECT_TRUE(JetLikeMatch(a, b)) << a << " " << b;
        EXPECT_TRUE(JetLikeMatch(b, a)) << b << " " << a;
    }
    EXPECT_FALSE(JetLikeMatch("\xc3\xa9", "e"));     // é is not e
    EXPECT_FALSE(JetLikeMatch("\xc3\x9f", "ss"));    // ß folds one to one only
    EXPECT_FALSE(JetLikeMatch("\xd0\xb5", "e"));     // Cyrillic е is not Latin e
    EXPECT_TRUE(JetLikeMatch("*.\xc5\xbf", "x.S"));  // a long s in the pattern
    EXPECT_TRUE(JetLikeMatch("*ks", "AB\xe2\x84\xaa\xc5\xbf"));
    EXPECT_TRUE(JetLikeMatch("abs", "AB\xc5\xbf"));
}

TEST(JetLikeMatch, EachInvalidByteIsOneCharacter) {
    EXPECT_TRUE(JetLikeMatch("a?b",
                             "a\xc3\xa9"
                             "b"));  // é, one character
    EXPECT_TRUE(JetLikeMatch("a?b",
                             "a\xe9"
                             "b"));  // Latin-1 é, one invalid byte
    EXPECT_TRUE(JetLikeMatch("a??b",
                             "a\xe9\xe9"
                             "b"));
    EXPECT_FALSE(JetLikeMatch("a?b",
                              "a\xe9\xe9"
                              "b"));
    EXPECT_TRUE(JetLikeMatch("a?b",
                             "a\xc3"
                             "b"));  // cut sequence
    EXPECT_TRUE(JetLikeMatch("a??b",
                             "a\xe2\x82"
                             "b"));  // two bytes of a cut three-byte sequence
    EXPECT_TRUE(JetLikeMatch("a??b",
                             "a\xc0\xaf"
                             "b"));  // overlong "/" is two bytes
    EXPECT_TRUE(JetLikeMatch("a???b",
                             "a\xed\xa0\x80"
                             "b"));                      // an encoded surrogate is three bytes
    EXPECT_TRUE(JetLikeMatch("?", "\xf0\x9f\x98\x80"));  // one four-byte character
    EXPECT_FALSE(JetLikeMatch("\xc3\xa9", "\xe9"));      // never transcoded
    EXPECT_FALSE(JetLikeMatch("\xc3\x89", "\xe9"));
    EXPECT_TRUE(JetLikeMatch("\xff*",
                             "\xff"
                             "abc"));
    EXPECT_FALSE(JetLikeMatch("\xff*",
                              "\xfe"
                              "abc"));
    EXPECT_TRUE(JetLikeMatch("[\xfe\xff]", "\xfe"));
    EXPECT_TRUE(JetLikeMatch("*.txt", "\xff\xfe.TXT"));
    EXPECT_FALSE(JetLikeMatch("*.txt", "\xff.tx\xff"));
    EXPECT_TRUE(JetLikeMatch("*", "\xff"));
}

TEST(JetLikeMatch, ShortcutsAgreeWithTheFullMatcher) {
    // "[]" matches the empty string, so inserting it keeps the meaning but
    // sends the pattern through the general matcher.
    const char* patterns[] = {"*.log", "*.LOG", "read*", "rep*.doc", "*tmp*", "notes.doc", "*",   "**",
                              "a*",    "*a",    "*.s",   "abs",      "*ks",   "k*",        "*..*"};
    const char* texts[] = {"system.log", "SYSTEM.LOG", "system.log.1", "readme",      "READ",
                           "rea",        "report.doc", "rep.doc",      "repdoc",      "x.tmp.y",
                           "TMP",        "notes.doc",  "NOTES.DOC",    "notes.docx",  "",
                           "a",          "\xff.log",   "x.\xc5\xbf",   "AB\xc5\xbf",  "\xe2\x84\xaa\xc3\xa9",
                           "..",         "a..b",       "\xc3\xa9.log", "x.lo\xc3\xa9"};
    for (const char* pattern : patterns) {
        std::string general = pattern;
        general.insert(general.size() / 2, "[]");
        for (const char* text : texts) {
            EXPECT_EQ(JetLikeMatch(pattern, text), JetLikeMatch(general, text)) << pattern << " / " << text;
        }
    }
}

}  // namespace
}  // namespace korvane
