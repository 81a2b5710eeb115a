#include "catalogue/sql_statement.h"

namespace korvane {

std::string SqliteMessage(sqlite3* db) {
    if (db == nullptr) {
        return {};
    }
    const char* message = sqlite3_errmsg(db);
    return message != nullptr ? std::string(message) : std::string();
}

bool ExecuteSql(sqlite3* db, const char* sql, std::string* error) {
    char* message = nullptr;
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        if (error != nullptr) {
            *error = message != nullptr ? message : sqlite3_errstr(rc);
        }
        sqlite3_free(message);
        return false;
    }
    return true;
}

std::string QuoteSqlName(std::string_view name) {
    std::string quoted = "\"";
    for (char c : name) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

SqlStatement& SqlStatement::operator=(SqlStatement&& other) noexcept {
    if (this != &other) {
        Finalize();
        stmt_ = other.stmt_;
        other.stmt_ = nullptr;
    }
    return *this;
}

bool SqlStatement::Prepare(sqlite3* db, std::string_view sql, std::string* error) {
    Finalize();
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, &tail);
    if (rc != SQLITE_OK) {
        if (error != nullptr) {
            *error = SqliteMessage(db);
        }
        Finalize();
        return false;
    }
    if (stmt_ == nullptr) {
        if (error != nullptr) {
            *error = "The SQL text holds no statement.";
        }
        return false;
    }
    const char* end = sql.data() + sql.size();
    for (const char* p = tail; p != nullptr && p < end; ++p) {
        if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n' && *p != ';') {
            if (error != nullptr) {
                *error = "Text found after the end of the SQL statement.";
            }
            Finalize();
            return false;
        }
    }
    return true;
}

void SqlStatement::Finalize() {
    if (stmt_ != nullptr) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
}

bool SqlStatement::BindInt(int index, std::int64_t value) {
    return sqlite3_bind_int64(stmt_, index, value) == SQLITE_OK;
}

bool SqlStatement::BindDouble(int index, double value) {
    return sqlite3_bind_double(stmt_, index, value) == SQLITE_OK;
}

bool SqlStatement::BindText(int index, std::string_view value) {
    // An empty view may have a null data pointer, which SQLite would store as NULL.
    const char* data = value.data() != nullptr ? value.data() : "";
    return sqlite3_bind_text64(stmt_, index, data, value.size(), SQLITE_STATIC, SQLITE_UTF8) == SQLITE_OK;
}

bool SqlStatement::BindNull(int index) {
    return sqlite3_bind_null(stmt_, index) == SQLITE_OK;
}

bool SqlStatement::BindField(int index, const FieldValue& value) {
    switch (value.kind) {
        case FieldKind::Null:
            return BindNull(index);
        case FieldKind::Integer:
            return BindInt(index, value.integer);
        case FieldKind::Double:
        case FieldKind::Date:
            return BindDouble(index, value.number);
        case FieldKind::Text:
            return BindText(index, value.text);
    }
    return false;
}

int SqlStatement::Step() {
    return sqlite3_step(stmt_);
}

void SqlStatement::Reset() {
    if (stmt_ != nullptr) {
        sqlite3_reset(stmt_);
    }
}

int SqlStatement::ColumnCount() const {
    return stmt_ != nullptr ? sqlite3_column_count(stmt_) : 0;
}

int SqlStatement::ColumnType(int column) const {
    return sqlite3_column_type(stmt_, column);
}

std::int64_t SqlStatement::ColumnInt(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

double SqlStatement::ColumnDouble(int column) const {
    return sqlite3_column_double(stmt_, column);
}

std::string_view SqlStatement::ColumnText(int column) const {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    if (text == nullptr) {
        return {};
    }
    return std::string_view(reinterpret_cast<const char*>(text),
                            static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
}

FieldValue SqlStatement::ColumnField(int column) const {
    switch (sqlite3_column_type(stmt_, column)) {
        case SQLITE_INTEGER:
            return FieldValue::OfInteger(sqlite3_column_int64(stmt_, column));
        case SQLITE_FLOAT:
            return FieldValue::OfDouble(sqlite3_column_double(stmt_, column));
        case SQLITE_TEXT:
            return FieldValue::OfText(ColumnText(column));
        case SQLITE_BLOB: {
            const void* blob = sqlite3_column_blob(stmt_, column);
            int size = sqlite3_column_bytes(stmt_, column);
            if (blob == nullptr) {
                return FieldValue::OfText({});
            }
            return FieldValue::OfText(
                std::string_view(static_cast<const char*>(blob), static_cast<std::size_t>(size)));
        }
        default:
            return FieldValue::Null();
    }
}

}  // namespace korvane
