// Owned SQLite handles: a connection and a prepared statement that are always
// released, with every return code turned into a result the caller checks.
//
// A statement runs on either engine of the catalogue: the embedded SQLite
// file or a PostgreSQL server. On the server the statement is sent when it
// is first stepped ("?" and "?N" placeholders become "$N"), its rows arrive
// whole, and Step and the column readers answer with SQLite's codes, so a
// caller's loop is the same on both.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "catalogue/field_value.h"

typedef struct pg_result PGresult;

namespace korvane {

struct SqliteConnectionCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using SqliteConnection = std::unique_ptr<sqlite3, SqliteConnectionCloser>;

class PgConnection;

// The open connection of either engine (not owned).
struct DbHandle {
    DbHandle() = default;
    DbHandle(sqlite3* db) : sqlite(db) {}   // NOLINT: every SQLite handle is one
    DbHandle(PgConnection* db) : pg(db) {}  // NOLINT
    explicit operator bool() const { return sqlite != nullptr || pg != nullptr; }
    sqlite3* sqlite = nullptr;
    PgConnection* pg = nullptr;
};

// The engine's current message for a connection ("" without one).
std::string SqliteMessage(sqlite3* db);
std::string EngineMessage(DbHandle db);

// Runs statements that return no rows; on failure error receives the message.
bool ExecuteSql(DbHandle db, const char* sql, std::string* error = nullptr);

// Quotes a name for SQLite ("Parent ID" -> "\"Parent ID\"").
std::string QuoteSqlName(std::string_view name);

struct PgStatement;

class SqlStatement {
  public:
    SqlStatement();
    ~SqlStatement();
    SqlStatement(SqlStatement&& other) noexcept;
    SqlStatement& operator=(SqlStatement&& other) noexcept;
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    // Prepares exactly one statement: text after it other than blanks and a
    // final ";" is refused, so nothing can ride along unseen.
    bool Prepare(DbHandle db, std::string_view sql, std::string* error = nullptr);
    void Finalize();
    bool valid() const { return stmt_ != nullptr || pg_ != nullptr; }
    // The SQLite statement (null on the server).
    sqlite3_stmt* get() const { return stmt_; }
    // Has the server check the statement and describe its columns without
    // running it (on SQLite Prepare has done both). False with its message.
    bool Describe(std::string* error = nullptr);
    // True when the statement only reads.
    bool ReadOnly() const;
    // Rows the last run changed.
    std::int64_t Changes() const;
    // The engine's message for the last failure of this statement.
    std::string Message() const;

    // Binding indexes start at 1. Text is bound without a copy: the caller
    // keeps it alive until the statement is reset.
    bool BindInt(int index, std::int64_t value);
    bool BindDouble(int index, double value);
    bool BindText(int index, std::string_view value);
    bool BindNull(int index);
    bool BindField(int index, const FieldValue& value);

    // SQLITE_ROW, SQLITE_DONE or the engine's error code.
    int Step();
    // Ready to run again; the bindings stay.
    void Reset();

    int ColumnCount() const;
    std::string ColumnName(int column) const;
    // SQLITE_INTEGER, SQLITE_FLOAT or SQLITE_TEXT: the kind the column is
    // declared with (text when it has no declared type).
    int DeclaredType(int column) const;
    int ColumnType(int column) const;
    std::int64_t ColumnInt(int column) const;
    double ColumnDouble(int column) const;
    std::string_view ColumnText(int column) const;
    // The column's value by its storage class (integers, reals, text; a blob
    // is read as text bytes).
    FieldValue ColumnField(int column) const;

  private:
    sqlite3_stmt* stmt_ = nullptr;
    std::unique_ptr<PgStatement> pg_;
};

// A value of a server's answer, read as SQLite would give it: integers,
// reals, text, or null.
FieldValue PgField(const PGresult* result, int row, int column);
// The same for a value in the server's text form, given the column's kind
// (DeclaredType's codes); the value's text keeps its room from row to row.
void SetPgField(int kind, std::string_view text, FieldValue& value, std::string& scratch);
int PgColumnType(const PGresult* result, int row, int column);

}  // namespace korvane
