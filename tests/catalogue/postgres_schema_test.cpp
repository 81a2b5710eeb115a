// The catalogue's schema on a real PostgreSQL server, names as bytes, and
// the translated Like against the Jet matcher.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "catalogue/fetch_templates.h"
#include "catalogue/jet_sql.h"
#include "catalogue/pg_text.h"
#include "catalogue/schema.h"
#include "support/postgres_server.h"

namespace korvane {
namespace {

using testing::PostgresTestConnection;

class PostgresSchemaTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        uri_ = testing::FreshPostgresDatabase(error);
        ASSERT_FALSE(uri_.empty()) << error;
        ASSERT_TRUE(db_.Connect(uri_, error)) << error;
        ASSERT_TRUE(db_.Execute("BEGIN;\n" + PostgresCatalogueSchemaSql() + "COMMIT;", error)) << error;
    }
    void TearDown() override {
        std::string error;
        db_ = PostgresTestConnection();
        EXPECT_TRUE(testing::DropPostgresDatabase(uri_, error)) << error;
    }
    std::string Single(const std::string& sql) {
        std::vector<PostgresTestConnection::Row> rows;
        std::string error;
        EXPECT_TRUE(db_.Query(sql, rows, error)) << error;
        return rows.size() == 1 && rows[0].size() == 1 && rows[0][0] ? *rows[0][0] : "<none>";
    }

    std::string uri_;
    PostgresTestConnection db_;
};

TEST_F(PostgresSchemaTest, EveryTableAndColumnHasTheCatalogueTypes) {
    for (const TableDef* table : CatalogueTables()) {
        for (const ColumnDef& column : table->columns) {
            const std::string type = Single(
                "SELECT data_type || coalesce('/' || collation_name, '') FROM information_schema.columns "
                "WHERE table_name = " +
                PgTextLiteral(table->name) + " AND column_name = " + PgTextLiteral(column.name));
            std::string expected = column.type == ColumnType::Text      ? "text/C"
                                   : column.type == ColumnType::Integer ? "integer"
                                                                        : "double precision";
            if (column.name == "Serial Number") {
                expected = "bigint";
            }
            EXPECT_EQ(type, expected) << table->name << "." << column.name;
        }
    }
    EXPECT_EQ(Single("SELECT count(*) FROM pg_indexes WHERE indexname IN ('Folder Parent ID', 'Folder ID')"),
              "2");
    EXPECT_EQ(Single("SELECT indexdef FROM pg_indexes WHERE indexname = 'Folder ID'"),
              "CREATE INDEX \"Folder ID\" ON public.\"File\" USING btree (\"Parent ID\")");
}

TEST_F(PostgresSchemaTest, StoredQueriesHoldTheFetchQueriesAndNamesAreUniqueWithoutCase) {
    EXPECT_EQ(Single("SELECT string_agg(\"Name\", ',' ORDER BY \"Name\") FROM \"Stored Queries\""),
              "FetchFile,FetchFolder,FetchVolume");
    EXPECT_EQ(Single("SELECT \"SQL\" FROM \"Stored Queries\" WHERE \"Name\" = 'FetchFolder'"),
              "SELECT Folder.[Folder ID], Folder.Name, Folder.Size, Folder.Owner, Folder.Folders, "
              "Folder.[Attributes], Folder.[Parent ID]\r\nFROM Folder\r\nWHERE (Folder.[Folder ID]=0);");
    std::string error;
    EXPECT_FALSE(db_.Execute("INSERT INTO \"Stored Queries\" VALUES ('FETCHFILE', '')", error));
    EXPECT_TRUE(db_.Execute("INSERT INTO \"Stored Queries\" VALUES ('FetchFilé', '')", error)) << error;
}

TEST_F(PostgresSchemaTest, NamesOfAnyBytesComeBackAsStoredAndCompareExactly) {
    const std::vector<std::string> names = {
        "plain.txt",
        "Ärger 'quoted' \"double\".doc",
        "back\\slash",
        "latin1 \xE9t\xE9",
        "lone \x80 and \xFF",
        "cut \xE2\x82",
        "private \xEF\x9E\x80 range",
        "surrogate \xED\xA0\x80",
        "overlong \xC0\xAF",
    };
    std::string error;
    for (std::size_t i = 0; i < names.size(); ++i) {
        ASSERT_TRUE(db_.Execute("INSERT INTO \"File\" (\"File ID\", \"Name\") VALUES (" +
                                    std::to_string(i + 1) + ", " + PgTextLiteral(names[i]) + ")",
                                error))
            << error;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string where = " FROM \"File\" WHERE \"Name\" = " + PgTextLiteral(names[i]);
        EXPECT_EQ(BytesFromPgText(Single("SELECT \"Name\"" + where)), names[i]);
        EXPECT_EQ(Single("SELECT \"File ID\"" + where), std::to_string(i + 1));
    }
    EXPECT_EQ(Single("SELECT count(*) FROM \"File\" WHERE \"Name\" = 'PLAIN.TXT'"), "0");
}

// Random patterns and names from characters that fold, lists, ranges and
// invalid bytes: the server's answer to each translated Like equals the Jet
// matcher's.
TEST_F(PostgresSchemaTest, TranslatedLikeMatchesAsTheJetMatcherDoes) {
    static const char* const kPieces[] = {"a",
                                          "A",
                                          "k",
                                          "K",
                                          "\xE2\x84\xAA",
                                          "s",
                                          "\xC5\xBF",
                                          "\xC3\xA9",
                                          "\xC3\x89",
                                          "\xCF\x83",
                                          "\xCF\x82",
                                          "\xCE\xA3",
                                          "1",
                                          "-",
                                          "!",
                                          "]",
                                          "\xFF",
                                          "%",
                                          "_",
                                          "\\",
                                          "'",
                                          "*",
                                          "?",
                                          "#",
                                          "[",
                                          "[!",
                                          "[a-z]",
                                          "[!0-9]",
                                          "[\xCE\xB1-\xCF\x89]"};
    std::uint32_t state = 2026;
    const auto next = [&state](std::uint32_t below) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % below;
    };
    const auto make = [&](std::size_t first_piece, std::size_t pieces, std::size_t length) {
        std::string text;
        for (std::size_t i = 0, count = 1 + next(static_cast<std::uint32_t>(length)); i < count; ++i) {
            text += kPieces[first_piece + next(static_cast<std::uint32_t>(pieces))];
        }
        return text;
    };
    std::vector<std::string> names;
    std::string error;
    for (int id = 1; id <= 60; ++id) {
        names.push_back(make(0, 21, 6));  // no wildcards in names
        ASSERT_TRUE(db_.Execute("INSERT INTO \"File\" (\"File ID\", \"Name\") VALUES (" + std::to_string(id) +
                                    ", " + PgTextLiteral(names.back()) + ")",
                                error))
            << error;
    }
    int compared = 0;
    for (int round = 0; round < 300; ++round) {
        const std::string pattern = make(0, std::size(kPieces), 5);
        std::set<std::string> expected;
        bool malformed = false;
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (JetLikeMatch(pattern, names[i], &malformed)) {
                expected.insert(std::to_string(i + 1));
            }
        }
        std::string sql;
        const bool translated = TranslateJetSqlForPostgres(
            "SELECT File.[File ID] FROM File WHERE File.Name Like " + JetTextLiteral(pattern) + ";", sql,
            error);
        EXPECT_EQ(translated, !malformed) << pattern << ": " << error;
        if (!translated) {
            continue;
        }
        std::vector<PostgresTestConnection::Row> rows;
        ASSERT_TRUE(db_.Query(sql, rows, error)) << error << sql;
        std::set<std::string> found;
        for (const auto& row : rows) {
            found.insert(*row[0]);
        }
        EXPECT_EQ(found, expected) << pattern << "\n" << sql;
        ++compared;
    }
    EXPECT_GT(compared, 200);
}

TEST(PgText, EscapesOnlyWhatUtf8TextCannotHold) {
    struct Case {
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"abc", "abc"},
        {"\xC3\xA9", "\xC3\xA9"},
        {"\xE9", "\xEF\x9F\xA9"},  // U+F7E9
        {std::string("a\0b", 3),
         "a\xEF\x9C\x80"
         "b"},                                                     // NUL as U+F700
        {"\xEF\x9E\x80", "\xEF\x9F\xAF\xEF\x9E\x9E\xEF\x9E\x80"},  // U+F780 itself: its three bytes
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PgTextFromBytes(c.bytes), c.text);
        EXPECT_EQ(BytesFromPgText(c.text), c.bytes);
    }
    EXPECT_EQ(PgTextLiteral("it's"), "'it''s'");
    EXPECT_EQ(PgTextLiteral("a\\'b"), "E'a\\\\''b'");
    EXPECT_EQ(QuotePgName("Size \"Total\""), "\"Size \"\"Total\"\"\"");
}

}  // namespace
}  // namespace korvane
