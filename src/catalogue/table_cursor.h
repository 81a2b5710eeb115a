// A cursor over one catalogue table: move through the rows in the order of
// their identifiers, seek by an index, and add, edit, update and delete rows
// with fields read and set by name.
//
// Writes go through statements prepared once when the cursor opens and kept
// until it closes, so a scan adding a million rows prepares nothing per row;
// the catalogue holds one transaction while its tables are open, so they are
// also committed together. MoveFirst and MoveNext follow the identifiers
// ("PrimaryKey" order) whatever the current index; the current index only
// decides what Seek looks up.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/field_value.h"
#include "catalogue/schema.h"
#include "catalogue/sql_statement.h"

namespace korvane {

class TableCursor {
  public:
    enum class EditMode { None, Adding, Editing };

    explicit TableCursor(const TableDef& table) : table_(table) {}
    TableCursor(const TableCursor&) = delete;
    TableCursor& operator=(const TableCursor&) = delete;

    // Prepares the cursor's statements; false (with the engine's message in
    // last_error) when the table cannot be used.
    bool Open(DbHandle db);
    void Close();
    bool IsOpen() const { return static_cast<bool>(db_); }
    // On the server during a build: added rows go to the connection's COPY
    // buffers instead of one INSERT each.
    void set_bulk_load(bool on) { bulk_load_ = on; }
    const TableDef& table() const { return table_; }

    // "PrimaryKey" or one of the table's other index names.
    bool SetCurrentIndex(std::string_view index_name);
    const std::string& current_index() const { return current_index_; }
    // Positions on the first row whose current-index column equals key.
    bool Seek(std::int64_t key);

    bool MoveFirst();
    bool MoveNext();
    // True when there is no current row (before the first move, past the
    // last row, after a failed seek or after the current row was deleted).
    bool IsEOF() const { return !has_row_; }

    // Starts a new row with every field null.
    bool AddNew();
    // Starts changing the current row.
    bool Edit();
    // Saves the added or edited row. On failure the row is not saved and the
    // edit ends.
    bool Update();
    void CancelUpdate();
    EditMode edit_mode() const { return mode_; }
    bool IsEditing() const { return mode_ != EditMode::None; }
    // Deletes the current row; the cursor then has no current row until the
    // next move, and MoveNext goes on after it.
    bool Delete();
    // The identifier the last added row received.
    std::int64_t last_added_id() const { return last_added_id_; }

    // Field access by column name: the row being added or edited, else the
    // current row. Getters are false for null values, unknown names and
    // values of another kind.
    const FieldValue* Field(std::string_view name) const;
    bool GetInt(std::string_view name, std::int32_t& value) const;
    bool GetDouble(std::string_view name, double& value) const;
    bool GetDate(std::string_view name, double& day_number) const;
    bool GetText(std::string_view name, std::string& value) const;
    bool IsNull(std::string_view name) const;

    // Setters work only while adding or editing; false for unknown names.
    bool SetInt(std::string_view name, std::int64_t value);
    bool SetDouble(std::string_view name, double value);
    bool SetDate(std::string_view name, double day_number);
    bool SetText(std::string_view name, std::string_view value);
    bool SetNull(std::string_view name);
    bool SetField(std::string_view name, FieldValue value);

    const std::string& last_error() const { return last_error_; }

  private:
    bool Fail(const SqlStatement& statement);
    bool AddServerRow();
    bool LoadRow(SqlStatement& statement);
    bool StepScan();
    const std::vector<FieldValue>& visible() const { return mode_ == EditMode::None ? row_ : edit_; }

    const TableDef& table_;
    DbHandle db_;
    bool bulk_load_ = false;
    std::string copy_target_;  // "<table>(<columns>)" for the server's COPY
    std::string copy_row_;
    int scan_batch_rows_ = 0;  // rows of the server's current scan batch
    SqlStatement scan_;        // rows with rowid >= ?, in rowid order, stepped while nothing changes
    SqlStatement by_rowid_;    // one row by its identifier
    SqlStatement by_index_;    // first row of the current secondary index value
    SqlStatement insert_;
    SqlStatement update_;
    SqlStatement delete_;
    std::string select_sql_;  // "SELECT rowid, <every column> FROM <table>"
    std::string key_sql_;     // rowid, or the key column on the server
    std::string current_index_;
    std::string index_column_;       // empty for "PrimaryKey"
    bool scan_live_ = false;         // scan_ stands on the current row
    std::int64_t scan_changes_ = 0;  // the connection's change count when scan_ was positioned
    bool has_row_ = false;
    std::int64_t rowid_ = 0;   // the current (or just deleted) row
    bool positioned_ = false;  // rowid_ means something for MoveNext
    int key_index_ = -1;
    EditMode mode_ = EditMode::None;
    std::vector<FieldValue> row_;
    std::vector<FieldValue> edit_;
    std::int64_t last_added_id_ = 0;
    std::string last_error_;
};

}  // namespace korvane
