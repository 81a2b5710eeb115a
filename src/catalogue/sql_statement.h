// Owned SQLite handles: a connection and a prepared statement that are always
// released, with every return code turned into a result the caller checks.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "catalogue/field_value.h"

namespace korvane {

struct SqliteConnectionCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using SqliteConnection = std::unique_ptr<sqlite3, SqliteConnectionCloser>;

// The engine's current message for a connection ("" without one).
std::string SqliteMessage(sqlite3* db);

// Runs statements that return no rows; on failure error receives the message.
bool ExecuteSql(sqlite3* db, const char* sql, std::string* error = nullptr);

// Quotes a name for SQLite ("Parent ID" -> "\"Parent ID\"").
std::string QuoteSqlName(std::string_view name);

class SqlStatement {
  public:
    SqlStatement() = default;
    ~SqlStatement() { Finalize(); }
    SqlStatement(SqlStatement&& other) noexcept : stmt_(other.stmt_) { other.stmt_ = nullptr; }
    SqlStatement& operator=(SqlStatement&& other) noexcept;
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    // Prepares exactly one statement: text after it other than blanks and a
    // final ";" is refused, so nothing can ride along unseen.
    bool Prepare(sqlite3* db, std::string_view sql, std::string* error = nullptr);
    void Finalize();
    bool valid() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }

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
    int ColumnType(int column) const;
    std::int64_t ColumnInt(int column) const;
    double ColumnDouble(int column) const;
    std::string_view ColumnText(int column) const;
    // The column's value by its storage class (integers, reals, text; a blob
    // is read as text bytes).
    FieldValue ColumnField(int column) const;

  private:
    sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace korvane
