// The catalogue's one stored query object and its snapshot.
//
// Stored queries keep their Jet SQL text exactly as set; it is translated to
// SQLite each time it is prepared. Column types come from the catalogue's
// schema by column name, so a filler such as "" or #12/31/1899# in one branch
// of a union does not change a column's type.
//
// Snapshot: rows are produced by stepping the statement; each row stepped
// is also appended to a temporary table of this connection (on disk, in
// SQLite's temporary file, one encoded record per row). Reading forward costs
// one step per row, going back to any row already seen is one rowid lookup,
// and a million-row answer is never held in memory. Rows already read do not
// change if the catalogue changes while the snapshot is open.
//
// On a server the snapshot is a scrollable cursor of the catalogue's
// transaction, read in batches: reading forward fetches the next batch, going
// back moves the cursor there, and the rows are those of the moment the
// snapshot opened. A snapshot read forward only streams instead (COPY TO
// STDOUT): the server produces rows while they are being read, with no round
// trip per batch. The connection is busy until the stream ends; a statement
// run on it meanwhile drops the stream's remaining rows, and the next read
// reports it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/field_value.h"
#include "catalogue/pg_connection.h"
#include "catalogue/schema.h"
#include "catalogue/sql_statement.h"

namespace korvane {

class Catalogue;

class StoredQuery {
  public:
    explicit StoredQuery(Catalogue& catalogue) : catalogue_(catalogue) {}
    StoredQuery(const StoredQuery&) = delete;
    StoredQuery& operator=(const StoredQuery&) = delete;

    // Names compare without regard to ASCII case.
    bool StoredQueryExists(std::string_view name);
    // Opens a stored query by name (closing the one open before).
    bool OpenStoredQuery(std::string_view name);
    // Creates a stored query with no SQL text, saves it and opens it; false
    // when one of that name exists.
    bool CreateStoredQuery(std::string_view name);
    // Replaces the open query's SQL text in the catalogue. Text that cannot be
    // translated or prepared, or that is not a SELECT, is refused: the engine's
    // message is shown (exclamation icon) and the previous text stays.
    bool SetStoredQuerySql(std::string_view jet_sql);
    // Closes the snapshot too. False when no query was open.
    bool CloseStoredQuery();
    bool IsOpen() const { return open_; }
    const std::string& name() const { return name_; }
    const std::string& sql() const { return sql_; }

    // Runs the open query as a read-only snapshot, standing on row 0 when
    // there is one. With any_order the caller only counts and totals the
    // rows, which then come unsorted (a sort that a TOP needs still runs).
    // With forward_only the caller never moves back: a move back then fails.
    bool OpenQuerySnapshot(bool any_order = false, bool forward_only = false);
    bool CloseQuerySnapshot();
    bool SnapshotOpen() const { return snapshot_open_; }

    // The current row's value of a column, typed by the column's type: text,
    // 32-bit integer, double or date; null stays null and a value that is not
    // a number in a numeric column (an empty text filler) reads as null.
    // False when there is no current row or no such column.
    bool QueryFieldValue(int column, FieldValue& value);
    // Moves to the row at a position counted from 0; false past the end.
    bool MoveQueryRow(std::int64_t position);
    // False at the end; else moves, false when that move passed the end.
    bool NextQueryRow();
    // Columns of the open query (0 when none is open or its text cannot run).
    int QueryColumnCount() const { return static_cast<int>(columns_.size()); }
    // The column's type code and name; None for an index out of range.
    ColumnType QueryColumnInfo(int index, std::string& name) const;

    // The reason for the last failure.
    const std::string& last_error() const { return last_error_; }
    // Releases every statement (the catalogue is closing).
    void Release();

  private:
    struct Column {
        std::string name;
        ColumnType type = ColumnType::None;
    };

    bool Prepare(std::string_view jet_sql, SqlStatement& statement, std::string& error,
                 bool any_order = false);
    void Describe(const SqlStatement& statement);
    bool EnsureCacheTable();
    bool StepLive();
    bool LoadCachedRow(std::int64_t position);
    void EncodeRow(std::string& record) const;
    bool DecodeRow(std::string_view record);
    bool Fail(std::string message);
    bool OpenServerSnapshot(const std::string& translated, bool forward_only);
    bool MoveServerRow(std::int64_t position);
    bool OpenServerStream(const std::string& sql);
    bool ReadStreamRow();
    void EndServerStream();
    bool Translate(std::string_view jet_sql, std::string& translated, std::string& error, bool any_order);

    Catalogue& catalogue_;
    bool open_ = false;
    std::string name_;
    std::string sql_;
    std::vector<Column> columns_;

    bool snapshot_open_ = false;
    SqlStatement live_;  // the query itself
    bool live_done_ = false;
    SqlStatement cache_insert_;  // rows already stepped, by position
    SqlStatement cache_read_;
    // Rows are kept for going back only once a caller has gone back: reading
    // forward (a run's totals, an export, a printout) keeps nothing.
    bool cache_ok_ = false;
    bool RestartWithCache(std::int64_t position);
    std::int64_t rows_seen_ = 0;
    std::int64_t position_ = -1;  // -1: no current row
    std::vector<FieldValue> row_;
    std::string record_;
    std::string last_error_;
    // The server's snapshot: the batch of rows fetched last and where it starts.
    bool server_ = false;
    PgResult batch_;
    std::int64_t batch_first_ = 0;
    std::int64_t batch_end_ = 0;  // one past the batch's last row
    bool cursor_at_batch_end_ = false;
    std::int64_t server_rows_ = -1;  // known once a fetch came back short
    // The server's forward-only stream.
    enum class Stream { None, Open, Ended, Failed, Lost };
    Stream stream_ = Stream::None;
    std::vector<int> kinds_;  // each column's kind as the server sends it
    std::string scratch_;
    std::string unescaped_;
};

}  // namespace korvane
