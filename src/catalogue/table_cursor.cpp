#include "catalogue/table_cursor.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <limits>

#include "app/text_helpers.h"
#include "catalogue/pg_connection.h"

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

// The server's scan reads this many rows per statement, starting again
// after the last one read.
constexpr int kServerScanBatch = 512;

template <typename Unsigned>
void AppendNetworkOrder(std::string& row, Unsigned value) {
    char bytes[sizeof(Unsigned)];
    for (std::size_t i = sizeof(Unsigned); i-- > 0;) {
        bytes[i] = static_cast<char>(value & 0xFF);
        value >>= 8;
    }
    row.append(bytes, sizeof bytes);
}

void AppendLength(std::string& row, std::size_t length) {
    AppendNetworkOrder(row, static_cast<std::uint32_t>(length));
}

// A value in text form, as the server's text input would take it.
std::string_view TextOf(const FieldValue& value, char (&buffer)[64], std::string& scratch) {
    switch (value.kind) {
        case FieldKind::Integer: {
            auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value.integer);
            return {buffer, static_cast<std::size_t>(ec == std::errc() ? end - buffer : 0)};
        }
        case FieldKind::Double:
        case FieldKind::Date: {
            if (value.number != value.number) {
                return "NaN";
            }
            if (value.number > std::numeric_limits<double>::max() ||
                value.number < -std::numeric_limits<double>::max()) {
                return value.number > 0 ? "Infinity" : "-Infinity";
            }
            auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value.number);
            return {buffer, static_cast<std::size_t>(ec == std::errc() ? end - buffer : 0)};
        }
        default:
            return ToServerText(value.text, scratch);
    }
}

// A value of a text field read as a number, whole. False when it is not one.
template <typename Number>
bool ParseWhole(std::string_view text, Number& number) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// One field of a binary COPY row, in the column's type on the server. False
// (error set) for a value the column cannot hold, which the server would
// refuse in text form too.
bool AppendCopyField(std::string& row, const ColumnDef& column, const FieldValue& value, std::string& error) {
    if (value.kind == FieldKind::Null) {
        AppendNetworkOrder(row, std::uint32_t{0xFFFFFFFF});
        return true;
    }
    const auto refuse = [&](const char* type) {
        char buffer[64];
        std::string scratch;
        error = std::string("invalid input syntax for type ") + type + ": \"" +
                std::string(TextOf(value, buffer, scratch)) + "\" (column \"" + std::string(column.name) +
                "\")";
        return false;
    };
    switch (column.type) {
        case ColumnType::Integer: {
            std::int64_t number = value.integer;
            if (value.kind == FieldKind::Double || value.kind == FieldKind::Date) {
                if (!(value.number >= -9.2e18 && value.number <= 9.2e18) ||
                    static_cast<double>(static_cast<std::int64_t>(value.number)) != value.number) {
                    return refuse("integer");
                }
                number = static_cast<std::int64_t>(value.number);
            } else if (value.kind == FieldKind::Text && !ParseWhole(std::string_view(value.text), number)) {
                return refuse("integer");
            }
            if (PostgresIntegerBytes(column) == 8) {
                AppendLength(row, 8);
                AppendNetworkOrder(row, static_cast<std::uint64_t>(number));
                return true;
            }
            if (number < std::numeric_limits<std::int32_t>::min() ||
                number > std::numeric_limits<std::int32_t>::max()) {
                return refuse("integer");
            }
            AppendLength(row, 4);
            AppendNetworkOrder(row, static_cast<std::uint32_t>(static_cast<std::int32_t>(number)));
            return true;
        }
        case ColumnType::Double:
        case ColumnType::Date: {
            double number = value.number;
            if (value.kind == FieldKind::Integer) {
                number = static_cast<double>(value.integer);
            } else if (value.kind == FieldKind::Text && !ParseWhole(std::string_view(value.text), number)) {
                return refuse("double precision");
            }
            AppendLength(row, 8);
            AppendNetworkOrder(row, std::bit_cast<std::uint64_t>(number));
            return true;
        }
        default: {
            char buffer[64];
            std::string scratch;
            const std::string_view text = TextOf(value, buffer, scratch);
            AppendLength(row, text.size());
            row.append(text);
            return true;
        }
    }
}

}  // namespace

bool TableCursor::Open(DbHandle db) {
    Close();
    const std::string table = QuoteSqlName(table_.name);
    key_sql_ = db.pg != nullptr ? QuoteSqlName(table_.key_column) : std::string("rowid");
    const std::string& key = key_sql_;
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
    select_sql_ = "SELECT " + key + ", " + columns + " FROM " + table;
    copy_target_ = table + "(" + columns + ")";
    const std::string& select = select_sql_;
    const std::string batch = db.pg != nullptr ? " LIMIT " + std::to_string(kServerScanBatch) : "";
    if (!scan_.Prepare(db, select + " WHERE " + key + " >= ?1 ORDER BY " + key + batch, &last_error_) ||
        !by_rowid_.Prepare(db, select + " WHERE " + key + " = ?1", &last_error_) ||
        (db.pg == nullptr &&
         !insert_.Prepare(db, "INSERT INTO " + table + " (" + columns + ") VALUES (" + placeholders + ")",
                          &last_error_)) ||
        !update_.Prepare(
            db, "UPDATE " + table + " SET " + assignments + " WHERE " + key + " = ?" + std::to_string(n + 1),
            &last_error_) ||
        !delete_.Prepare(db, "DELETE FROM " + table + " WHERE " + key + " = ?1", &last_error_)) {
        Close();
        return false;
    }
    db_ = db;
    if (db.pg != nullptr) {
        // A table the server does not have is refused now, as SQLite's
        // prepare refuses it.
        SqlStatement probe;
        if (!probe.Prepare(db, select + " LIMIT 0", &last_error_) || !probe.Describe(&last_error_)) {
            Close();
            return false;
        }
    }
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
    db_ = DbHandle();
    scan_batch_rows_ = 0;
    scan_live_ = false;
    has_row_ = false;
    positioned_ = false;
    mode_ = EditMode::None;
}

bool TableCursor::Fail(const SqlStatement& statement) {
    last_error_ = statement.Message();
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
            const std::string sql = select_sql_ + " WHERE " + QuoteSqlName(index.column) + " = ?1 ORDER BY " +
                                    key_sql_ + " LIMIT 1";
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
        return Fail(statement);
    }
    int rc = statement.Step();
    bool found = false;
    if (rc == SQLITE_ROW) {
        found = LoadRow(statement);
    } else {
        has_row_ = false;
        positioned_ = false;
        if (rc != SQLITE_DONE) {
            Fail(statement);
        }
    }
    statement.Reset();
    return found;
}

bool TableCursor::StepScan() {
    int rc = scan_.Step();
    if (db_.pg != nullptr) {
        if (rc == SQLITE_ROW) {
            ++scan_batch_rows_;
        } else if (rc == SQLITE_DONE && scan_batch_rows_ == kServerScanBatch &&
                   rowid_ < std::numeric_limits<std::int32_t>::max()) {
            // The batch is used up: the next one starts after its last row.
            scan_batch_rows_ = 0;
            scan_.Reset();
            if (!scan_.BindInt(1, rowid_ + 1)) {
                return Fail(scan_);
            }
            rc = scan_.Step();
            scan_batch_rows_ = rc == SQLITE_ROW ? 1 : 0;
        }
    }
    if (rc == SQLITE_ROW) {
        LoadRow(scan_);
        scan_live_ = true;
        scan_changes_ = db_.pg != nullptr ? static_cast<std::int64_t>(db_.pg->changes())
                                          : sqlite3_total_changes64(db_.sqlite);
        return true;
    }
    scan_live_ = false;
    has_row_ = false;
    if (rc != SQLITE_DONE) {
        Fail(scan_);
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
    scan_batch_rows_ = 0;
    // The server's identifiers are 32-bit integers.
    const std::int64_t first = db_.pg != nullptr ? std::numeric_limits<std::int32_t>::min()
                                                 : std::numeric_limits<std::int64_t>::min();
    if (!scan_.BindInt(1, first)) {
        return Fail(scan_);
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
    const std::int64_t changes = db_.pg != nullptr ? static_cast<std::int64_t>(db_.pg->changes())
                                                   : sqlite3_total_changes64(db_.sqlite);
    if (scan_live_ && changes == scan_changes_) {
        return StepScan();
    }
    // Something changed since the scan stood here: start again after this row.
    if (rowid_ == (db_.pg != nullptr ? std::numeric_limits<std::int32_t>::max()
                                     : std::numeric_limits<std::int64_t>::max())) {
        has_row_ = false;
        return false;
    }
    scan_.Reset();
    scan_batch_rows_ = 0;
    if (!scan_.BindInt(1, rowid_ + 1)) {
        return Fail(scan_);
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
    if (mode == EditMode::Adding && db_.pg != nullptr) {
        return AddServerRow();
    }
    SqlStatement& statement = mode == EditMode::Adding ? insert_ : update_;
    statement.Reset();
    for (std::size_t i = 0; i < edit_.size(); ++i) {
        if (!statement.BindField(static_cast<int>(i) + 1, edit_[i])) {
            return Fail(statement);
        }
    }
    if (mode == EditMode::Editing && !statement.BindInt(static_cast<int>(edit_.size()) + 1, rowid_)) {
        return Fail(statement);
    }
    int rc = statement.Step();
    if (rc != SQLITE_DONE) {
        Fail(statement);
        statement.Reset();
        return false;
    }
    const std::int64_t changed = mode == EditMode::Editing ? statement.Changes() : 0;
    statement.Reset();
    if (mode == EditMode::Adding) {
        last_added_id_ = sqlite3_last_insert_rowid(db_.sqlite);
        return true;
    }
    if (changed != 1) {
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
        return Fail(delete_);
    }
    int rc = delete_.Step();
    if (rc != SQLITE_DONE) {
        Fail(delete_);
        delete_.Reset();
        return false;
    }
    delete_.Reset();
    has_row_ = false;
    return true;
}

// On the server a new row either joins the build's COPY or is inserted at
// once. A row without an identifier gets the next one, as SQLite gives it:
// one above the highest in use, or (User Volumes) the table's sequence, so a
// number is never given twice.
bool TableCursor::AddServerRow() {
    const FieldValue* key = key_index_ >= 0 ? &edit_[static_cast<std::size_t>(key_index_)] : nullptr;
    if (bulk_load_ && key != nullptr && key->kind == FieldKind::Integer) {
        copy_row_.clear();
        AppendNetworkOrder(copy_row_, static_cast<std::uint16_t>(edit_.size()));
        for (std::size_t i = 0; i < edit_.size(); ++i) {
            if (!AppendCopyField(copy_row_, table_.columns[i], edit_[i], last_error_)) {
                return false;
            }
        }
        if (!db_.pg->CopyRow(copy_target_, copy_row_)) {
            db_.pg->FlushCopies(&last_error_);
            return false;
        }
        last_added_id_ = key->integer;
        return true;
    }
    const std::string table = QuoteSqlName(table_.name);
    std::string columns, values;
    int n = 0;
    for (std::size_t i = 0; i < edit_.size(); ++i) {
        if (static_cast<int>(i) == key_index_ && edit_[i].IsNull()) {
            if (table_.name == UserVolumesTable().name) {
                continue;  // the column's default draws from the sequence
            }
            columns += (columns.empty() ? "" : ", ") + QuoteSqlName(table_.columns[i].name);
            values += (values.empty() ? "" : ", ") + std::string("(SELECT coalesce(max(") + key_sql_ +
                      "), 0) + 1 FROM " + table + ")";
            continue;
        }
        columns += (columns.empty() ? "" : ", ") + QuoteSqlName(table_.columns[i].name);
        values += (values.empty() ? "" : ", ") + std::string("?") + std::to_string(++n);
    }
    SqlStatement insert;
    if (!insert.Prepare(
            db_, "INSERT INTO " + table + " (" + columns + ") VALUES (" + values + ") RETURNING " + key_sql_,
            &last_error_)) {
        return false;
    }
    n = 0;
    for (std::size_t i = 0; i < edit_.size(); ++i) {
        if (static_cast<int>(i) == key_index_ && edit_[i].IsNull()) {
            continue;
        }
        insert.BindField(++n, edit_[i]);
    }
    if (insert.Step() != SQLITE_ROW) {
        return Fail(insert);
    }
    last_added_id_ = insert.ColumnInt(0);
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
