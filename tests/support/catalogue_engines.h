// The two engines a catalogue runs on, for fixtures whose tests run on both:
// the SQLite file, and a fresh database of the test PostgreSQL server.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/schema.h"
#include "catalogue/sql_statement.h"
#include "support/postgres_server.h"

namespace korvane::testing {

enum class CatalogueEngine { Sqlite, Postgres };

inline std::string EngineName(const ::testing::TestParamInfo<CatalogueEngine>& info) {
    return info.param == CatalogueEngine::Sqlite ? "SQLite" : "PostgreSQL";
}

// Runs every TEST_P of a fixture on both engines.
#define INSTANTIATE_ON_BOTH_ENGINES(fixture)                                                   \
    INSTANTIATE_TEST_SUITE_P(Engines, fixture,                                                 \
                             ::testing::Values(::korvane::testing::CatalogueEngine::Sqlite,    \
                                               ::korvane::testing::CatalogueEngine::Postgres), \
                             ::korvane::testing::EngineName)

// A new, empty catalogue on the engine: a file in dir, or a fresh database
// of the test server. Its Database setting, or "" (with error).
inline std::string FreshCatalogue(CatalogueEngine engine, const std::string& dir, std::string& error) {
    if (engine == CatalogueEngine::Postgres) {
        return FreshPostgresDatabase(error);
    }
    const std::string path = dir + "/Korvane.db";
    return CreateEmptyCatalogue(path, error) ? path : std::string();
}

// Mixed into a fixture that has a virtual engine(): the engine is the
// test's parameter.
template <typename Fixture>
class OnBothEngines : public Fixture, public ::testing::WithParamInterface<CatalogueEngine> {
  protected:
    CatalogueEngine engine() const override { return this->GetParam(); }
};

// A connection of its own to a catalogue (a file or a server's database), as
// another program would have.
class OtherConnection {
  public:
    explicit OtherConnection(const std::string& database) {
        if (IsPostgresUri(database)) {
            std::string error;
            EXPECT_TRUE(pg_.Connect(database, error)) << error;
            return;
        }
        sqlite3* raw = nullptr;
        EXPECT_EQ(sqlite3_open_v2(database.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        sqlite_.reset(raw);
    }
    DbHandle handle() { return sqlite_ != nullptr ? DbHandle(sqlite_.get()) : DbHandle(&pg_); }
    bool Exec(const std::string& sql) { return ExecuteSql(handle(), sql.c_str()); }
    // Every row of the answer, each value as text ("null" for NULL) followed by "|".
    std::string Rows(const std::string& sql) {
        SqlStatement statement;
        std::string error;
        if (!statement.Prepare(handle(), sql, &error)) {
            return "error: " + error + "\n";
        }
        std::string text;
        int rc;
        while ((rc = statement.Step()) == SQLITE_ROW) {
            for (int i = 0; i < statement.ColumnCount(); ++i) {
                text += statement.ColumnType(i) == SQLITE_NULL ? std::string("null")
                                                               : std::string(statement.ColumnText(i));
                text += '|';
            }
            text += '\n';
        }
        if (rc != SQLITE_DONE) {
            text += "error: " + statement.Message() + "\n";
        }
        return text;
    }

  private:
    SqliteConnection sqlite_;
    PgConnection pg_;
};

}  // namespace korvane::testing
