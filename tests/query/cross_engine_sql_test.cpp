// The same rows in an SQLite catalogue and a PostgreSQL catalogue give the same
// answers to every statement the query builder generates and to the Jet forms
// around them: each statement is translated for each engine, run on both, and
// the answers compared value by value as the result reader sees them.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/day_number.h"
#include "catalogue/fetch_templates.h"
#include "catalogue/jet_sql.h"
#include "catalogue/pg_text.h"
#include "catalogue/schema.h"
#include "catalogue/sql_statement.h"
#include "query/sql_builder.h"
#include "support/postgres_server.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

const CivilTime kRunTime{1999, 3, 15, 14, 5, 9};

using Value = std::optional<std::string>;  // a text's bytes, a number's shortest form; none for no value
using Row = std::vector<Value>;

double Day(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    double number = 0;
    EXPECT_TRUE(DayNumberFromCivil(year, month, day, hour, minute, second, number));
    return number;
}

std::string NumberText(double value) {
    char buffer[64];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::optional<double> ParseNumber(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || std::isnan(value)) {
        return std::nullopt;
    }
    return value;
}

// A value as the result reader takes it: numbers by the column's type, and
// an empty text or NaN in a number column as no value.
Value Normalised(const std::string& column, std::optional<std::string> text, bool is_number) {
    if (!text) {
        return std::nullopt;
    }
    const ColumnType type = ColumnTypeOfName(column);
    if (type == ColumnType::Text || (type == ColumnType::None && !is_number)) {
        return text;
    }
    const std::optional<double> number = ParseNumber(*text);
    return number ? Value(NumberText(*number)) : std::nullopt;
}

// One catalogue row: its table and column values (numbers as text).
struct Insert {
    const char* table;
    std::vector<std::pair<const char*, Value>> values;
};

std::vector<Insert> Rows() {
    std::vector<Insert> rows;
    const auto folder = [&](int id, int parent, int folders, const std::string& name, double size) {
        rows.push_back({"Folder",
                        {{"Folder ID", std::to_string(id)},
                         {"Name", name},
                         {"Parent ID", std::to_string(parent)},
                         {"Size", NumberText(size)},
                         {"Blocks", NumberText(size / 512)},
                         {"Folders", std::to_string(folders)},
                         {"Level", std::to_string(parent == 0 ? 0 : 1)},
                         {"Modify Date", NumberText(Day(1999, 1, id))},
                         {"Attributes", "16"}}});
    };
    folder(1, 0, 4, "C:", 90000000);
    folder(2, 1, 1, "Data", 30000000);
    folder(3, 2, 0, "Old", 10000000);
    folder(4, 1, 1, "Other docs", 5000000);
    folder(5, 4, 0, "\xC3\x9Cn\xC3\xAF 'q' \"dq\"", 700);
    folder(6, 0, 1, "/srv", 60);
    folder(7, 6, 0, "bad \xFF folder", 50);
    int id = 0;
    const auto file = [&](int parent, const std::string& name, const char* type, double size, Value modified,
                          Value owner) {
        ++id;
        rows.push_back({"File",
                        {{"File ID", std::to_string(id)},
                         {"Name", name},
                         {"Type", type ? Value(type) : std::nullopt},
                         {"Size", NumberText(size)},
                         {"Compressed", NumberText(size / 2)},
                         {"Modify Date", modified},
                         {"Owner", owner},
                         {"Attributes", std::to_string(32 + id % 3)},
                         {"Parent ID", std::to_string(parent)}}});
    };
    const auto day = [](int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
        return Value(NumberText(Day(y, m, d, h, mi, s)));
    };
    file(2, "a.doc", "doc", 2000000, day(1999, 3, 1, 10), "root");
    file(3, "a.doc", "doc", 2000000, day(1999, 3, 1, 10), "root");
    file(4, "a.doc", "doc", 2000000, day(1999, 2, 1, 10), "Administrator");
    file(2, "A.DOC", "DOC", 2000001, day(1999, 3, 2), "ann");
    file(3, "b.txt", "txt", 5000000, day(1999, 3, 10, 9, 30), "Ann");
    file(2, "c.TXT", "TXT", 500000, day(1999, 3, 2), "ann");
    file(2, "x\"y.txt", "txt", 3000000, day(1999, 2, 13, 14, 5, 9), "root");
    file(2, "it's.txt", "txt", 3000001, day(1999, 2, 13, 14, 5, 8), std::nullopt);
    file(3, "back\\slash.txt", "txt", 1234567, std::nullopt, "root");
    file(3, "100%_done.txt", "txt", 1000000, day(1999, 3, 14), "root");
    file(3, "100ab done.txt", "txt", 10000000, day(1999, 3, 14), "root");
    file(2, "file1.doc", "doc", 7, day(1998, 1, 5, 23, 59, 59), "ann");
    file(2, "file22.doc", "doc", 8, day(1998, 1, 6), "ann");
    file(2, "F[1].doc", "doc", 9, day(1998, 1, 5), "ann");
    file(4, "name with  blanks .txt", "", 10, day(1999, 3, 1), "root");
    file(5, "\xC3\x89T\xC3\x89.doc", "doc", 11, day(1999, 3, 1), "root");    // ÉTÉ.doc
    file(5, "\xC3\xA9t\xC3\xA9.doc", "doc", 12, day(1999, 3, 1), "root");    // été.doc
    file(5, "Kelvin \xE2\x84\xAA.txt", "txt", 13, day(1999, 3, 1), "root");  // Kelvin sign
    file(5,
         "\xC5\xBF"
         "cale.txt",
         "txt", 14, day(1999, 3, 1), "root");                                    // long s
    file(5, "\xCE\xA3\xCE\x8A\xCE\xA3.txt", "txt", 15, day(1999, 3, 1), "ann");  // ΣΊΣ
    file(5, "\xCF\x83\xCE\xAF\xCF\x82.txt", "txt", 16, day(1999, 3, 1), "ann");  // σίς
    file(5, "\xD0\xAE\xD0\xBD\xD0\xB8.txt", "txt", 17, day(1999, 3, 1), "ann");  // Юни
    file(5,
         "Stra\xC3\x9F"
         "e.txt",
         "txt", 18, day(1999, 3, 1), "ann");
    file(5, "\xF0\x9F\x98\x80.png", "png", 19, day(1999, 3, 1), "ann");
    file(7, "bad\xFF.doc", "doc", 20, day(1999, 3, 3), "root");
    file(7, "lat\xE9.doc", "doc", 21, day(1999, 3, 3), "root");
    file(7, "cut\xE2\x82.txt", "txt", 22, day(1999, 3, 3), "root");
    file(7, "esc \xEF\x9E\x80.txt", "txt", 23, day(1999, 3, 3), "root");
    rows.push_back({"Volume",
                    {{"Volume ID", "1"},
                     {"Folder ID", "1"},
                     {"Root", "C:"},
                     {"Name", "System"},
                     {"Free", "1000"},
                     {"Serial Number", "4000000000"}}});
    rows.push_back({"Volume", {{"Volume ID", "2"}, {"Folder ID", "6"}, {"Root", "/srv"}, {"Free", "50"}}});
    return rows;
}

class CrossEngineSql : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(CreateEmptyCatalogue(dir_ / "Korvane.db", error)) << error;
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open((dir_ / "Korvane.db").c_str(), &raw), SQLITE_OK);
        sqlite_.reset(raw);
        ASSERT_TRUE(ConfigureJetConnection(sqlite_.get(), error)) << error;
        uri_ = testing::FreshPostgresDatabase(error);
        ASSERT_FALSE(uri_.empty()) << error;
        ASSERT_TRUE(postgres_.Connect(uri_, error)) << error;
        std::string inserts = "BEGIN;\n" + PostgresCatalogueSchemaSql();
        for (const Insert& row : Rows()) {
            std::string columns, sqlite_values, pg_values;
            for (const auto& [column, value] : row.values) {
                const bool text = ColumnTypeOfName(column) == ColumnType::Text;
                columns += (columns.empty() ? "" : ",") + QuoteSqlName(column);
                sqlite_values += sqlite_values.empty() ? "?" : ",?";
                pg_values += (pg_values.empty() ? "" : ",") + (!value ? std::string("NULL")
                                                               : text ? PgTextLiteral(*value)
                                                                      : *value);
            }
            SqlStatement insert;
            ASSERT_TRUE(insert.Prepare(
                sqlite_.get(),
                "INSERT INTO " + QuoteSqlName(row.table) + "(" + columns + ") VALUES(" + sqlite_values + ")",
                &error))
                << error;
            for (std::size_t i = 0; i < row.values.size(); ++i) {
                const Value& value = row.values[i].second;
                const int index = static_cast<int>(i + 1);
                if (!value) {
                    insert.BindNull(index);
                } else if (ColumnTypeOfName(row.values[i].first) == ColumnType::Text) {
                    insert.BindText(index, *value);
                } else {
                    insert.BindDouble(index, *ParseNumber(*value));
                }
            }
            ASSERT_EQ(insert.Step(), SQLITE_DONE) << SqliteMessage(sqlite_.get());
            inserts +=
                "INSERT INTO " + QuotePgName(row.table) + "(" + columns + ") VALUES(" + pg_values + ");\n";
        }
        ASSERT_TRUE(postgres_.Execute(inserts + "COMMIT;", error)) << error;
    }

    void TearDown() override {
        std::string error;
        postgres_ = testing::PostgresTestConnection();
        EXPECT_TRUE(testing::DropPostgresDatabase(uri_, error)) << error;
    }

    bool RunSqlite(const std::string& jet, std::vector<std::string>& names, std::vector<Row>& rows) {
        std::string sql, error;
        EXPECT_TRUE(TranslateJetSql(jet, sql, error)) << error;
        SqlStatement statement;
        EXPECT_TRUE(statement.Prepare(sqlite_.get(), sql, &error)) << error << "\n" << sql;
        if (!statement.valid()) {
            return false;
        }
        for (int c = 0; c < statement.ColumnCount(); ++c) {
            names.emplace_back(sqlite3_column_name(statement.get(), c));
        }
        int step;
        while ((step = statement.Step()) == SQLITE_ROW) {
            Row row;
            for (int c = 0; c < statement.ColumnCount(); ++c) {
                const int type = statement.ColumnType(c);
                const bool number = type == SQLITE_INTEGER || type == SQLITE_FLOAT;
                row.push_back(Normalised(names[static_cast<std::size_t>(c)],
                                         type == SQLITE_NULL ? Value()
                                         : number            ? Value(NumberText(statement.ColumnDouble(c)))
                                                             : Value(std::string(statement.ColumnText(c))),
                                         number));
            }
            rows.push_back(std::move(row));
        }
        EXPECT_EQ(step, SQLITE_DONE) << SqliteMessage(sqlite_.get()) << "\n" << sql;
        return step == SQLITE_DONE;
    }

    bool RunPostgres(const std::string& jet, std::vector<std::string>& names, std::vector<Row>& rows) {
        std::string sql, error;
        EXPECT_TRUE(TranslateJetSqlForPostgres(jet, sql, error)) << error << "\n" << jet;
        PGresult* result = PQexec(postgres_.get(), sql.c_str());
        const bool ok = PQresultStatus(result) == PGRES_TUPLES_OK;
        EXPECT_TRUE(ok) << PQerrorMessage(postgres_.get()) << sql;
        for (int c = 0; ok && c < PQnfields(result); ++c) {
            names.emplace_back(BytesFromPgText(PQfname(result, c)));
        }
        for (int r = 0; ok && r < PQntuples(result); ++r) {
            Row row;
            for (int c = 0; c < PQnfields(result); ++c) {
                const Oid type = PQftype(result, c);
                const bool number = type != 25;  // text
                row.push_back(Normalised(
                    names[static_cast<std::size_t>(c)],
                    PQgetisnull(result, r, c) ? Value() : Value(BytesFromPgText(PQgetvalue(result, r, c))),
                    number));
            }
            rows.push_back(std::move(row));
        }
        PQclear(result);
        return ok;
    }

    // Runs jet on both engines. The answers must hold the same rows; with an
    // order column, the rows must come in the same order of that column.
    // Where the engine may pick any rows (TOP in a branch), only the counts
    // are compared. Returns the row count.
    std::size_t ExpectSameAnswer(const std::string& jet, const std::string& order_column = {},
                                 bool rows_arbitrary = false) {
        SCOPED_TRACE(jet);
        std::vector<std::string> sqlite_names, pg_names;
        std::vector<Row> sqlite_rows, pg_rows;
        if (!RunSqlite(jet, sqlite_names, sqlite_rows) || !RunPostgres(jet, pg_names, pg_rows)) {
            return 0;
        }
        EXPECT_EQ(sqlite_names, pg_names);
        EXPECT_EQ(sqlite_rows.size(), pg_rows.size());
        if (!order_column.empty() && !rows_arbitrary) {
            const auto at = std::find(sqlite_names.begin(), sqlite_names.end(), order_column);
            EXPECT_NE(at, sqlite_names.end()) << order_column;
            const std::size_t column = static_cast<std::size_t>(at - sqlite_names.begin());
            std::vector<Value> sqlite_keys, pg_keys;
            for (std::size_t r = 0; r < sqlite_rows.size() && column < sqlite_names.size(); ++r) {
                sqlite_keys.push_back(sqlite_rows[r][column]);
                pg_keys.push_back(r < pg_rows.size() ? pg_rows[r][column] : Value("<missing>"));
            }
            EXPECT_EQ(sqlite_keys, pg_keys);
        }
        if (!rows_arbitrary) {
            std::sort(sqlite_rows.begin(), sqlite_rows.end());
            std::sort(pg_rows.begin(), pg_rows.end());
            EXPECT_EQ(sqlite_rows, pg_rows);
        }
        return sqlite_rows.size();
    }

    testing::TempDir dir_;
    SqliteConnection sqlite_;
    std::string uri_;
    testing::PostgresTestConnection postgres_;
};

void Add(QueryProfile& profile, const char* table, const char* name, std::string value_text = {}) {
    const int row = FindQueryField(profile, table, name);
    ASSERT_GE(row, 0) << table << " " << name;
    profile.fields[row].in_query = true;
    profile.fields[row].value_text = std::move(value_text);
}

struct Generated {
    std::vector<std::pair<const char*, const char*>> fields;  // "Table.Field", value text
    std::int32_t folder = 0;
    std::int32_t descendants = 0;
    bool subfolders = true;
    const char* sort = "Size";
    const char* direction = "DESC";
    std::string duplicates = {};
    std::int32_t folder_top = 0;
    std::int32_t file_top = 0;
    bool rows_arbitrary = false;
};

std::string Generate(const Generated& shape) {
    QueryProfile profile;
    for (const auto& [qualified, value] : shape.fields) {
        const std::string name = qualified;
        const std::size_t dot = name.find('.');
        Add(profile, name.substr(0, dot).c_str(), name.substr(dot + 1).c_str(), value);
    }
    profile.initial_folder_id = shape.folder;
    profile.include_subfolders = shape.subfolders;
    profile.sort_column = shape.sort;
    profile.sort_direction = shape.direction;
    profile.duplicates = shape.duplicates;
    profile.folder_threshold = shape.folder_top;
    profile.file_threshold = shape.file_top;
    CheckQueryShape(profile);
    std::string error;
    EXPECT_TRUE(GenerateQuerySql(profile, shape.descendants, kRunTime, error)) << error;
    return profile.sql_text;
}

TEST_F(CrossEngineSql, GeneratedDetailQueriesOverEverySortAndScope) {
    const std::vector<std::pair<const char*, const char*>> both = {
        {"Folder.Name", ""}, {"Folder.Size", ""},     {"Folder.Level", ""}, {"File.Name", ""},
        {"File.Size", ""},   {"File.Compressed", ""}, {"File.Owner", ""},   {"File.Modify Date", ""}};
    const Generated cases[] = {
        // The worked example's shape, started at C:\Data.
        {{{"Folder.Name", ""},
          {"Folder.Size", ""},
          {"File.Name", "Include  \"*.doc\",\"*.txt\""},
          {"File.Size", "Include  1M - 10M "},
          {"File.Modify Date", "Include Previous  30 Days"}},
         2,
         1},
        {both, 0, 7, true, "Size", "DESC"},
        {both, 0, 7, true, "Size", ""},
        {both, 0, 7, true, "Name", ""},
        {both, 0, 7, true, "Name", "DESC"},
        {both, 0, 7, true, "Compressed", ""},  // folders fill it with an empty text
        {both, 0, 7, true, "Compressed", "DESC"},
        {both, 0, 7, true, "Level", "DESC"},  // files fill it with 0
        {both, 0, 7, true, "Owner", ""},      // folders fill it; one file has none
        {both, 0, 7, true, "Owner", "DESC"},
        {both, 0, 7, true, "Modify Date", ""},  // one file has none
        {both, 0, 7, false, "Size", "DESC"},
        {both, 4, 1, true, "Name", ""},
        {both, 3, 0, true, "Name", ""},
        {both, 5, 0, false, "Name", ""},
        {{{"File.Name", ""}, {"File.Type", ""}, {"File.Size", ""}}, 0, 7, true, "Type", ""},
        {both, 0, 7, true, "Size", "DESC", "", 50, 200},  // limits above the answer
        {both, 0, 7, true, "Size", "DESC", "", 2, 3, true},
        {{{"File.Name", ""}, {"File.Size", ""}}, 0, 7, true, "Size", "DESC", "", 0, 4},
    };
    for (const Generated& shape : cases) {
        const std::string order = shape.sort;
        EXPECT_GT(ExpectSameAnswer(Generate(shape), order, shape.rows_arbitrary), 0u);
    }
}

TEST_F(CrossEngineSql, EveryCriterionKind) {
    const std::pair<const char*, const char*> cases[] = {
        {"File.Name", "Include  \"*.DOC\""},
        {"File.Name", "Exclude  \"*.doc\",\"*.txt\""},
        {"File.Name", "Include  \"a.doc\",\"x\"\"y.txt\""},
        {"File.Name", "Exclude  \"a.doc\""},
        {"File.Name", "Include  \"F[1]*\",\"100%_*\",\"it's*\""},
        {"File.Name", "Include  \"file?.doc\",\"*\\*\""},
        {"File.Name", "Include  \"\xC3\xA9t\xC3\xA9*\",\"*k.txt\",\"s*\",\"\xCF\x83*\",\"\xD1\x8E*\""},
        {"File.Name", "Include  \"bad\xFF*\",\"*\xE9.doc\",\"cut?.txt\""},
        {"File.Name", "Include  \"STRASSE.TXT\",\"stra\xC3\x9F*\""},
        {"File.Size", "Include  1M - 10M "},
        {"File.Size", "Exclude  0 - 2M , 5M "},
        {"File.Size", "Include  7, 9 "},
        {"File.Size", "Include  7 - 12 "},
        {"File.Modify Date", "Include  3/2/1999, "},
        {"File.Modify Date", "Include  1/5/1998, 3/1/1999 "},
        {"File.Modify Date", "Exclude  1/1/1999 - 3/2/1999, "},
        {"File.Modify Date", "Include Previous  30 Days"},
        {"File.Modify Date", "Exclude Previous  2 Months"},
        {"File.Owner", "Include  \"ann\""},
        {"File.Owner", "Exclude  \"Administrator\",\"root\""},
        {"File.Type", "Include  \"doc\",\"t*\""},
        {"Folder.Name", "Include  \"*o*\""},
    };
    for (const auto& [field, value] : cases) {
        Generated shape{{{"Folder.Name", ""}, {"File.Name", ""}, {"File.Size", ""}, {field, value}}, 0, 7};
        shape.sort = "Name";
        shape.direction = "";
        ExpectSameAnswer(Generate(shape), "Name");
    }
}

TEST_F(CrossEngineSql, CrosstabsAndDuplicates) {
    const Generated cases[] = {
        {{{"File.Size", ""}, {"File.Owner", "Exclude  \"Administrator\""}}, 0, 7},
        {{{"File.Size", ""}, {"File.Owner", ""}}, 0, 7, true, "Owner", ""},
        {{{"File.Size", ""}, {"File.Owner", ""}}, 0, 7, true, "Owner", "DESC"},
        {{{"File.Size", ""}, {"File.Type", "Include  \"*o*\""}}, 2, 1, true, "Size", ""},
        {{{"File.Size", ""}, {"File.Type", ""}}, 5, 0, false, "Type", ""},
        {{{"File.Name", "Include  \"*.doc\""}, {"File.Size", ""}}, 1, 4, true, "Name", "", "NAME,SIZE,"},
        {{{"File.Name", ""}, {"File.Size", ""}}, 1, 4, true, "Name", "", "NAME,SIZE,MDATE,"},
        {{{"File.Name", ""}, {"File.Size", ""}}, 0, 7, true, "Size", "", "SIZE,"},
        {{{"File.Name", ""}, {"File.Size", ""}}, 0, 7, true, "Name", "", "NAME,"},
        {{{"Folder.Name", ""}, {"File.Name", ""}, {"File.Size", ""}}, 1, 4, true, "Name", "", "NAME,"},
    };
    for (const Generated& shape : cases) {
        const std::string sql = Generate(shape);
        const bool crosstab = shape.duplicates.empty();
        const std::string order = crosstab && std::string(shape.sort) == "Size" ? "Size" : shape.sort;
        EXPECT_GT(ExpectSameAnswer(sql, order), 0u);
    }
}

TEST_F(CrossEngineSql, LikePatternsOddNamesAndTypeRules) {
    // Each pattern with the number of the 28 files whose names it matches.
    const std::pair<const char*, std::size_t> patterns[] = {
        {"*.DOC", 11},
        {"?.txt", 2},
        {"file#.doc", 1},
        {"file##.doc", 1},
        {"[a-c]*", 9},
        {"[!a-c]*", 19},
        {"*[\xC3\x89]*", 2},
        {"*[k]*", 3},
        {"[A-Z]*", 20},
        {"[!]*", 28},
        {"[]a*", 4},
        {"[a-]*", 4},
        {"*[-z]", 0},
        {"*[!a-z]*", 28},
        {"", 0},
        {"*", 28},
        {"100%_*", 1},
        {"*'*", 1},
        {"*\\*", 1},
        {"\xC3\x89T\xC3\x89*", 2},
        {"*?.*", 28},
        {"*[\xCE\xB1-\xCF\x89]*", 2},
        {"*[\xF0-\xFF]*", 1},
    };
    for (const auto& [pattern, count] : patterns) {
        EXPECT_EQ(
            ExpectSameAnswer(std::string("SELECT File.[File ID], File.Name FROM File WHERE File.Name Like ") +
                                 JetTextLiteral(pattern) + " ORDER BY [File ID];",
                             "File ID"),
            count)
            << pattern;
        EXPECT_EQ(ExpectSameAnswer(std::string("SELECT File.[File ID] FROM File WHERE File.Name Not Like ") +
                                   JetTextLiteral(pattern) + ";"),
                  28 - count);
    }
    const std::pair<std::string, std::string> statements[] = {
        {"SELECT File.Name, File.Owner FROM File WHERE File.Name = \"a.doc\" Or File.Name=\"bad\xFF.doc\";",
         ""},
        {"select file.name, FILE.[parent id] from FILE where file.[PARENT ID]=2 order by file.name;", ""},
        {"SELECT File.[File ID], File.Size/1000 AS K, File.Attributes/0 AS Z, File.Attributes/3 AS T, "
         "File.Size/File.Attributes AS R FROM File ORDER BY [File ID];",
         "File ID"},
        {"SELECT File.Owner, Count(*) AS N, Sum(File.Size) AS Total FROM File GROUP BY File.Owner "
         "ORDER BY File.Owner;",
         "Owner"},
        {"SELECT File.Type, Max(File.[Modify Date]) AS Latest FROM File GROUP BY File.Type ORDER BY "
         "File.Type DESC;",
         "Type"},
        {"SELECT TOP 3 File.Name, File.Size FROM File ORDER BY File.Size DESC;", "Size"},
        {"SELECT TOP 1 Folder.Name AS [Name] FROM Folder WHERE Folder.[Folder ID]=2 UNION ALL "
         "SELECT File.Name AS [Name] FROM File WHERE File.[File ID]<3 ORDER BY [Name];",
         "Name"},
        {"SELECT File.Name FROM File WHERE File.[Modify Date]>=#3/1/1999 10:00:00# And "
         "File.[Modify Date]<#3/2/1999#;",
         ""},
        {"SELECT Folder.Name, Folder.Size AS [Size Total] FROM Folder WHERE Folder.Name Like '*''*' ORDER BY "
         "[Size Total];",
         "Size Total"},
        {"SELECT File.Name FROM File WHERE File.[Parent ID]<7 ORDER BY File.Name;", "Name"},
        {FetchVolumeByIdSql(1), ""},
        {FetchVolumeByRootSql("/srv"), ""},
        {FetchFolderByIdSql(5), ""},
        {FetchFileByIdSql(7), ""},
        {FetchFileIdSql(2, "x\"y.txt"), ""},
        {FetchFileByNameSql("bad\xFF.doc", 7), ""},
    };
    for (const auto& [jet, order] : statements) {
        EXPECT_GT(ExpectSameAnswer(jet, order), 0u);
    }
}

// Statements typed in the query window that lean on SQLite's own rules:
// Like on a number tests the number's text, whole numbers do not overflow at
// 32 bits, and names match aliases and columns whatever their case.
TEST_F(CrossEngineSql, NumbersAndNamesAsSqliteTakesThem) {
    const std::pair<std::string, std::size_t> likes[] = {
        {"File.Size Like \"2000*\"", 4},                  // 2000000.0 and 2000001.0
        {"((File.[Size])Like\"*.0\")", 28},               // whole doubles end in .0
        {"File.Compressed Like \"*.5\"", 12},             // halves of the odd sizes
        {"File.Compressed Not Like \"*[!0-9.]*\"", 28},   // no exponent, no sign
        {"File.[Modify Date] Like \"*.4166666667\"", 3},  // 10:00 in 15 digits
        {"File.[Modify Date] Like \"36*.0\"", 18},        // midnights
        {"File.[File ID] Like \"1?\"", 10},               // integers as written
        {"File.Attributes Like \"3[24]\" And File.[File ID] Like \"2*\"", 7},
        {"(File.[Parent ID]) Not Like \"[2-4]\"", 13},
    };
    for (const auto& [condition, count] : likes) {
        EXPECT_EQ(ExpectSameAnswer("SELECT File.[File ID], File.Name FROM File WHERE " + condition +
                                       " ORDER BY [File ID];",
                                   "File ID"),
                  count)
            << condition;
    }
    const std::pair<std::string, std::string> statements[] = {
        // Past 32 bits.
        {"SELECT File.[File ID], File.[File ID]*File.Attributes*100000000 AS Big, "
         "(File.[Parent ID]+2147483647) AS Edge, -((File.[File ID]))*-2147483647 AS Negative "
         "FROM File ORDER BY [File ID];",
         "File ID"},
        {"SELECT Sum(File.[File ID]*100000000) AS Total, Sum(File.Attributes) AS Small FROM File;", ""},
        {"SELECT Volume.[Serial Number]*4 AS S FROM Volume;", ""},
        // Aliases and columns in other cases.
        {"SELECT [size] AS SIZE, file.name AS name FROM File WHERE file.[parent id]=2 ORDER BY size DESC, "
         "NAME;",
         "SIZE"},
        {"SELECT File.Name AS NAME FROM File WHERE name Like \"a*\" ORDER BY name;", "NAME"},
        {"SELECT File.Owner AS owner, Count(*) AS N, Sum(File.Size) AS SIZE FROM File GROUP BY OWNER "
         "ORDER BY Sum(size) DESC, owner;",
         "SIZE"},
        {"SELECT Folder.Name AS NAME, Folder.Size AS size FROM Folder UNION ALL SELECT File.Name AS NAME, "
         "File.Size AS size FROM File ORDER BY SIZE DESC, name;",
         "size"},
    };
    for (const auto& [jet, order] : statements) {
        EXPECT_GT(ExpectSameAnswer(jet, order), 0u);
    }
}

TEST(CrossEngineTranslation, RefusesWhatTheSqliteTranslationRefusesAndMalformedPatterns) {
    const char* const refused[] = {
        "SELECT File.Name & \"x\" FROM File;",
        "SELECT TOP 5 PERCENT File.Name FROM File;",
        "SELECT DISTINCTROW File.Name FROM File;",
        "SELECT IIf(1,2,3) FROM File;",
        "SELECT File.Name FROM File -- x",
        "SELECT File.Name FROM File WHERE File.Name LIMIT 1;",
        "SELECT #13/1/1999# FROM File;",
        "SELECT #1/1/99# FROM File;",
        "SELECT File.Name FROM File; SELECT 1;",
        "SELECT File.Name FROM File WHERE File.Name Like \"a\" ESCAPE \"b\";",
        "SELECT File.Name INTO Copy FROM File;",
        "SELECT File.Name FROM File FOR UPDATE;",
    };
    std::string sql, error;
    for (const char* jet : refused) {
        EXPECT_FALSE(TranslateJetSql(jet, sql, error)) << jet;
        EXPECT_FALSE(TranslateJetSqlForPostgres(jet, sql, error)) << jet;
    }
    // The server would only see these when a row is tested; refused at once.
    EXPECT_FALSE(TranslateJetSqlForPostgres("SELECT 1 FROM File WHERE File.Name Like \"a[bc\";", sql, error));
    EXPECT_NE(error.find("malformed"), std::string::npos) << error;
    EXPECT_FALSE(
        TranslateJetSqlForPostgres("SELECT 1 FROM File WHERE File.Name Like File.Type;", sql, error));
    ASSERT_TRUE(TranslateJetSqlForPostgres(
        "SELECT TOP 2 File.[Name] AS [Name],\"\" AS [Size] FROM File WHERE ((File.[Name])Like\"k*\")And "
        "((File.[Name])Not Like\"*_.d?c\")\r\nORDER BY [Name] DESC;",
        sql, error))
        << error;
    EXPECT_EQ(
        sql,
        "SELECT \"File\".\"Name\" AS \"Name\",CAST('NaN' AS double precision) AS \"Size\" FROM \"File\" "
        "WHERE ((\"File\".\"Name\")~E'^[Kk\\\\u212a].*$')And ((\"File\".\"Name\")NOT ILIKE "
        "E'%\\\\_.d_c' COLLATE \"C\")\r\nORDER BY \"Name\" DESC NULLS LAST LIMIT 2;");
}

}  // namespace
}  // namespace korvane
