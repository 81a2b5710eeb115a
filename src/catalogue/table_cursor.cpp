#include "catalogue/table_cursor.h"

#include <limits>

#include "app/text_helpers.h"

namespace korvane {

namespace {

// The stored value of a column in the kind its declared type gives, so a
// Date column reads as a date even when its day number is stored whole.
void ReadColumn(const SqlStatement& statement, int column, ColumnType type, FieldValue& value) {
    switch (statement.ColumnType(column)) {
        case SQLITE_INTEGER:
            if (type == ColumnType::Date || type == ColumnType::Double) {
                value.kind = type == ColumnType::Date ? FieldKind::Date : FieldKind::Double;
                value.number = static_cast<double>(statement.ColumnInt(column));
            } else {
                value.kind = FieldKind::Integer;
                value.integer = statement.ColumnInt(column);
            }
            break;
        case SQLITE_FLOAT:
            value.kind = type == ColumnType::Date ? FieldKind::Date : FieldKind::Double;
            value.number = statement.ColumnDouble(column);
            break;
        case SQLITE_TEXT:
        case SQLITE_BLOB:
            value.kind = FieldKind::Text;
            value.text.assign(statement.ColumnText(column));
            break;
        default:
            value.kind = FieldKind::Null;
            break;
    }
}

}  // namespace

bool TableCursor::Open(sqlite3* db) {
    Close();
    const std::string table = QuoteSqlName(table_.name);
    std::string columns, placeholders, assignments;
    int n = 0;
    for (const ColumnDef& column : table_.columns) {
        if (n > 0) {
            columns += ", ";
            placeholders += ", ";
            assignments += ", ";
        }
        ++n;
        columns += QuoteSqlName(column.name);
        placeholders += "?" + std::to_string(n);
        assignments += QuoteSqlName(column.name) + " = ?" + std::to_string(n);
    }
    select_sql_ = "SELECT rowid, " + columns + " FROM " + table;
    const std::string& select = select_sql_;
    if (!scan_.Prepare(db, select + " WHERE rowid >= ?1 ORDER BY rowid", &last_error_) ||
        !by_rowid_.Prepare(db, select + " WHERE rowid = ?1", &last_error_) ||
        !insert_.Prepare(db, "INSERT INTO " + table + " (" + columns + ") VALUES (" + placeholders + ")",
                         &last_error_) ||
        !update_.Prepare(
            db, "UPDATE " + table + " SET " + assignments + " WHERE rowid = ?" + std::to_string(n + 1),
            &last_error_) ||
        !delete_.Prepare(db, "DELETE FROM " + table + " WHERE rowid = ?1", &last_error_)) {
        Close();
        return false;
    }
    db_ = db;
    row_.assign(table_.columns.size(), FieldValue{});
    edit_.assign(table_.columns.size(), FieldValue{});
    key_index_ = table_.ColumnIndex(table_.key_column);
    current_index_ = std::string(kPrimaryKeyIndex);
    index_column_.clear();
    return true;
}

void TableCursor::Close() {
    scan_.Finalize();
    by_rowid_.Finalize();
    by_index_.Finalize();
    insert_.Finalize();
    update_.Finalize();
    delete_.Finalize();
    db_ = nullptr;
    scan_live_ = false;
    has_row_ = false;
    positioned_ = false;
    mode_ = EditMode::None;
}

bool TableCursor::Fail() {
    last_error_ = SqliteMessage(db_);
    return false;
}

bool TableCursor::SetCurrentIndex(std::string_view index_name) {
    if (!IsOpen()) {
        return false;
    }
    if (EqualsNoCase(index_name, kPrimaryKeyIndex)) {
        by_index_.Finalize();
        current_index_ = std::string(kPrimaryKeyIndex);
        index_column_.clear();
        return true;
    }
    for (const IndexDef& index : table_.indexes) {
        if (EqualsNoCase(index.name, index_name)) {
            const std::string sql =
                select_sql_ + " WHERE " + QuoteSqlName(index.column) + " = ?1 ORDER BY rowid LIMIT 1";
            if (!by_index_.Prepare(db_, sql, &last_error_)) {
                return false;
            }
            current_index_ = std::string(index.name);
            index_column_ = std::string(index.column);
            return true;
        }
    }
    last_error_ =
        "The table \"" + std::string(table_.name) + "\" has no index \"" + std::string(index_name) + "\".";
    return false;
}

bool TableCursor::LoadRow(SqlStatement& statement) {
    rowid_ = statement.ColumnInt(0);
    for (std::size_t i = 0; i < row_.size(); ++i) {
        ReadColumn(statement, static_cast<int>(i) + 1, table_.columns[i].type, row_[i]);
    }
    has_row_ = true;
    positioned_ = true;
    return true;
}

bool TableCursor::Seek(std::int64_t key) {
    if (!IsOpen()) {
        return false;
    }
    CancelUpdate();
    scan_live_ = false;
    SqlStatement& statement = index_column_.empty() ? by_rowid_ : by_index_;
    statement.Reset();
    if (!statement.BindInt(1, key)) {
        return Fail();
    }
    int rc = statement.Step();
    bool found = false;
    if (rc == SQLITE_ROW) {
        found = LoadRow(statement);
    } else {
        has_row_ = false;
        positioned_ = false;
        if (rc != SQLITE_DONE) {
            Fail();
        }
    }
    statement.Reset();
    return found;
}

bool TableCursor::StepScan() {
    int rc = scan_.Step();
    if (rc == SQLITE_ROW) {
        LoadRow(scan_);
        scan_live_ = true;
        scan_changes_ = sqlite3_total_changes64(db_);
        return true;
    }
    scan_live_ = false;
    has_row_ = false;
    if (rc != SQLITE_DONE) {
        Fail();
    }
    scan_.Reset();
    return false;
}

bool TableCursor::MoveFirst() {
    if (!IsOpen()) {
        return false;
    }
    CancelUpdate();
    scan_.Reset();
    if (!scan_.BindInt(1, std::numeric_limits<std::int64_t>::min())) {
        return Fail();
    }
    return StepScan();
}

bool TableCursor::MoveNext() {
    if (!IsOpen()) {
        return false;
    }
    if (!positioned_) {
        return MoveFirst();
    }
    CancelUpdate();
    if (scan_live_ && sqlite3_total_changes64(db_) == scan_changes_) {
        return StepScan();
    }
    // Something changed since the scan stood here: start again after this row.
    if (rowid_ == std::numeric_limits<std::int64_t>::max()) {
        has_row_ = false;
        return false;
    }
    scan_.Reset();
    if (!scan_.BindInt(1, rowid_ + 1)) {
        return Fail();
    }
    return StepScan();
}

bool TableCursor::AddNew() {
    if (!IsOpen()) {
        return false;
    }
    for (FieldValue& value : edit_) {
        value.kind = FieldKind::Null;
    }
    mode_ = EditMode::Adding;
    return true;
}

bool TableCursor::Edit() {
    if (!IsOpen() || !has_row_) {
        return false;
    }
    edit_ = row_;
    mode_ = EditMode::Editing;
    return true;
}

void TableCursor::CancelUpdate() {
    mode_ = EditMode::None;
}

bool TableCursor::Update() {
    if (!IsOpen() || mode_ == EditMode::None) {
        return false;
    }
    const EditMode mode = mode_;
    mode_ = EditMode::None;
    SqlStatement& statement = mode == EditMode::Adding ? insert_ : update_;
    statement.Reset();
    for (std::size_t i = 0; i < edit_.size(); ++i) {
        if (!statement.BindField(static_cast<int>(i) + 1, edit_[i])) {
            return Fail();
        }
    }
    if (mode == EditMode::Editing && !statement.BindInt(static_cast<int>(edit_.size()) + 1, rowid_)) {
        return Fail();
    }
    int rc = statement.Step();
    if (rc != SQLITE_DONE) {
        Fail();
        statement.Reset();
        return false;
    }
    statement.Reset();
    if (mode == EditMode::Adding) {
        last_added_id_ = sqlite3_last_insert_rowid(db_);
        return true;
    }
    if (sqlite3_changes64(db_) != 1) {
        last_error_ = "The row to be saved no longer exists.";
        has_row_ = false;
        return false;
    }
    row_.swap(edit_);
    if (key_index_ >= 0 && row_[static_cast<std::size_t>(key_index_)].kind == FieldKind::Integer) {
        rowid_ = row_[static_cast<std::size_t>(key_index_)].integer;
    }
    return true;
}

bool TableCursor::Delete() {
    if (!IsOpen() || !has_row_ || mode_ != EditMode::None) {
        return false;
    }
    delete_.Reset();
    if (!delete_.BindInt(1, rowid_)) {
        return Fail();
    }
    int rc = delete_.Step();
    delete_.Reset();
    if (rc != SQLITE_DONE) {
        return Fail();
    }
    has_row_ = false;
    return true;
}

const FieldValue* TableCursor::Field(std::string_view name) const {
    if (mode_ == EditMode::None && !has_row_) {
        return nullptr;
    }
    int index = table_.ColumnIndex(name);
    if (index < 0) {
        return nullptr;
    }
    return &visible()[static_cast<std::size_t>(index)];
}

bool TableCursor::GetInt(std::string_view name, std::int32_t& value) const {
    const FieldValue* field = Field(name);
    return field != nullptr && field->AsInt32(value);
}

bool TableCursor::GetDouble(std::string_view name, double& value) const {
    const FieldValue* field = Field(name);
    return field != nullptr && field->AsDouble(value);
}

bool TableCursor::GetDate(std::string_view name, double& day_number) const {
    const FieldValue* field = Field(name);
    return field != nullptr && field->AsDouble(day_number);
}

bool TableCursor::GetText(std::string_view name, std::string& value) const {
    const FieldValue* field = Field(name);
    return field != nullptr && field->AsText(value);
}

bool TableCursor::IsNull(std::string_view name) const {
    const FieldValue* field = Field(name);
    return field == nullptr || field->IsNull();
}

bool TableCursor::SetField(std::string_view name, FieldValue value) {
    if (mode_ == EditMode::None) {
        return false;
    }
    int index = table_.ColumnIndex(name);
    if (index < 0) {
        return false;
    }
    edit_[static_cast<std::size_t>(index)] = std::move(value);
    return true;
}

bool TableCursor::SetInt(std::string_view name, std::int64_t value) {
    return SetField(name, FieldValue::OfInteger(value));
}

bool TableCursor::SetDouble(std::string_view name, double value) {
    return SetField(name, FieldValue::OfDouble(value));
}

bool TableCursor::SetDate(std::string_view name, double day_number) {
    return SetField(name, FieldValue::OfDate(day_number));
}

bool TableCursor::SetText(std::string_view name, std::string_view value) {
    if (mode_ == EditMode::None) {
        return false;
    }
    int index = table_.ColumnIndex(name);
    if (index < 0) {
        return false;
    }
    FieldValue& field = edit_[static_cast<std::size_t>(index)];
    field.kind = FieldKind::Text;
    field.text.assign(value);
    return true;
}

bool TableCursor::SetNull(std::string_view name) {
    return SetField(name, FieldValue::Null());
}

}  // namespace korvane
