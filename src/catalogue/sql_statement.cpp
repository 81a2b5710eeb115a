#include "catalogue/sql_statement.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

#include "app/text_helpers.h"
#include "catalogue/pg_connection.h"

namespace korvane {

// A statement for the server: its text with "$N" placeholders, the values
// bound, and the answer of its last run, read row by row.
struct PgStatement {
    PgConnection* conn = nullptr;
    std::string sql;
    std::vector<std::optional<std::string>> values;
    PgResult described;
    PgResult result;
    bool ran = false;
    int row = -1;
    std::int64_t changes = 0;
    std::string error;
    std::vector<std::string> decoded;  // texts of the current row that needed decoding
};

namespace {

// Type identifiers of the server's built-in types.
constexpr Oid kBoolOid = 16, kInt8Oid = 20, kInt2Oid = 21, kInt4Oid = 23, kOidOid = 26, kFloat4Oid = 700,
              kFloat8Oid = 701, kNumericOid = 1700;

int KindOfOid(Oid type) {
    switch (type) {
        case kBoolOid:
        case kInt8Oid:
        case kInt2Oid:
        case kInt4Oid:
        case kOidOid:
            return SQLITE_INTEGER;
        case kFloat4Oid:
        case kFloat8Oid:
        case kNumericOid:
            return SQLITE_FLOAT;
        default:
            return SQLITE_TEXT;
    }
}

// "?" and "?N" outside quotes and literals become "$N"; the count of
// parameters is the highest number used.
std::string ServerPlaceholders(std::string_view sql, int& count) {
    std::string out;
    out.reserve(sql.size() + 8);
    int next = 0;
    count = 0;
    char quote = 0;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (quote != 0) {
            out += c;
            if (c == quote) {
                quote = 0;
            }
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            out += c;
            continue;
        }
        if (c != '?') {
            out += c;
            continue;
        }
        int number = 0;
        std::size_t j = i + 1;
        while (j < sql.size() && std::isdigit(static_cast<unsigned char>(sql[j])) != 0) {
            number = number * 10 + (sql[j] - '0');
            ++j;
        }
        if (j == i + 1) {
            number = ++next;
        } else {
            next = number;
        }
        i = j - 1;
        count = std::max(count, number);
        out += '$';
        out += std::to_string(number);
    }
    return out;
}

std::string_view CellText(const PGresult* result, int row, int column) {
    return std::string_view(PQgetvalue(result, row, column),
                            static_cast<std::size_t>(PQgetlength(result, row, column)));
}

std::int64_t IntOfText(std::string_view text) {
    if (text == "t") {
        return 1;
    }
    std::int64_t value = 0;
    if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc()) {
        double number = 0.0;
        std::from_chars(text.data(), text.data() + text.size(), number);
        return SaturateToInt64(number);
    }
    return value;
}

double DoubleOfText(std::string_view text) {
    double value = 0.0;
    if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc()) {
        if (text == "t") {
            return 1.0;
        }
        if (text == "Infinity" || text == "-Infinity") {
            return text[0] == '-' ? -HUGE_VAL : HUGE_VAL;
        }
        return 0.0;
    }
    return value;
}

}  // namespace

int PgColumnType(const PGresult* result, int row, int column) {
    if (result == nullptr || row < 0 || row >= PQntuples(result) || PQgetisnull(result, row, column) != 0) {
        return SQLITE_NULL;
    }
    return KindOfOid(PQftype(result, column));
}

FieldValue PgField(const PGresult* result, int row, int column) {
    switch (PgColumnType(result, row, column)) {
        case SQLITE_INTEGER:
            return FieldValue::OfInteger(IntOfText(CellText(result, row, column)));
        case SQLITE_FLOAT:
            return FieldValue::OfDouble(DoubleOfText(CellText(result, row, column)));
        case SQLITE_TEXT: {
            std::string scratch;
            return FieldValue::OfText(FromServerText(CellText(result, row, column), scratch));
        }
        default:
            return FieldValue::Null();
    }
}

void SetPgField(int kind, std::string_view text, FieldValue& value, std::string& scratch) {
    switch (kind) {
        case SQLITE_INTEGER:
            value.kind = FieldKind::Integer;
            value.integer = IntOfText(text);
            break;
        case SQLITE_FLOAT:
            value.kind = FieldKind::Double;
            value.number = DoubleOfText(text);
            break;
        default:
            value.kind = FieldKind::Text;
            value.text.assign(FromServerText(text, scratch));
            break;
    }
}

std::string EngineMessage(DbHandle db) {
    return db.pg != nullptr ? db.pg->Message() : SqliteMessage(db.sqlite);
}

std::string SqliteMessage(sqlite3* db) {
    if (db == nullptr) {
        return {};
    }
    const char* message = sqlite3_errmsg(db);
    return message != nullptr ? std::string(message) : std::string();
}

bool ExecuteSql(DbHandle handle, const char* sql, std::string* error) {
    if (handle.pg != nullptr) {
        return handle.pg->Execute(sql, error);
    }
    sqlite3* db = handle.sqlite;
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

SqlStatement::SqlStatement() = default;

SqlStatement::~SqlStatement() {
    Finalize();
}

SqlStatement::SqlStatement(SqlStatement&& other) noexcept : stmt_(other.stmt_), pg_(std::move(other.pg_)) {
    other.stmt_ = nullptr;
}

SqlStatement& SqlStatement::operator=(SqlStatement&& other) noexcept {
    if (this != &other) {
        Finalize();
        stmt_ = other.stmt_;
        other.stmt_ = nullptr;
        pg_ = std::move(other.pg_);
    }
    return *this;
}

bool SqlStatement::Prepare(DbHandle handle, std::string_view sql, std::string* error) {
    Finalize();
    if (handle.pg != nullptr) {
        pg_ = std::make_unique<PgStatement>();
        pg_->conn = handle.pg;
        int count = 0;
        pg_->sql = ServerPlaceholders(sql, count);
        while (!pg_->sql.empty() &&
               (pg_->sql.back() == ';' || std::isspace(static_cast<unsigned char>(pg_->sql.back())) != 0)) {
            pg_->sql.pop_back();
        }
        pg_->values.resize(static_cast<std::size_t>(count));
        return true;
    }
    sqlite3* db = handle.sqlite;
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

bool SqlStatement::Describe(std::string* error) {
    if (!pg_) {
        return stmt_ != nullptr;
    }
    PGconn* conn = pg_->conn->get();
    std::string message;
    if (!pg_->conn->FlushCopies(&message)) {
        if (error != nullptr) {
            *error = message;
        }
        return false;
    }
    // The check runs under a savepoint: a refused text must not end the
    // transaction the catalogue holds.
    const bool guarded = PQtransactionStatus(conn) == PQTRANS_INTRANS;
    if (guarded) {
        PgResult(PQexec(conn, "SAVEPOINT korvane_describe"));
    }
    PgResult prepared(PQprepare(conn, "", pg_->sql.c_str(), static_cast<int>(pg_->values.size()), nullptr));
    bool ok = PQresultStatus(prepared.get()) == PGRES_COMMAND_OK;
    if (ok) {
        pg_->described.reset(PQdescribePrepared(conn, ""));
        ok = PQresultStatus(pg_->described.get()) == PGRES_COMMAND_OK;
        if (!ok) {
            prepared = std::move(pg_->described);
        }
    }
    if (!ok) {
        message = PQresultErrorMessage(prepared.get());
        if (message.empty()) {
            message = pg_->conn->Message();
        }
        while (!message.empty() && message.back() == '\n') {
            message.pop_back();
        }
        pg_->described.reset();
        if (error != nullptr) {
            *error = message;
        }
    }
    if (guarded) {
        PgResult(
            PQexec(conn, ok ? "RELEASE SAVEPOINT korvane_describe"
                            : "ROLLBACK TO SAVEPOINT korvane_describe; RELEASE SAVEPOINT korvane_describe"));
    }
    return ok;
}

bool SqlStatement::ReadOnly() const {
    if (pg_) {
        std::string_view sql = pg_->sql;
        while (!sql.empty() &&
               (std::isspace(static_cast<unsigned char>(sql.front())) != 0 || sql.front() == '(')) {
            sql.remove_prefix(1);
        }
        return sql.size() >= 6 && (sql.substr(0, 6) == "SELECT" || sql.substr(0, 6) == "select");
    }
    return stmt_ != nullptr && sqlite3_stmt_readonly(stmt_) != 0;
}

std::int64_t SqlStatement::Changes() const {
    if (pg_) {
        return pg_->changes;
    }
    return stmt_ != nullptr ? sqlite3_changes64(sqlite3_db_handle(stmt_)) : 0;
}

std::string SqlStatement::Message() const {
    if (pg_) {
        return pg_->error;
    }
    return stmt_ != nullptr ? SqliteMessage(sqlite3_db_handle(stmt_)) : std::string();
}

std::string SqlStatement::ColumnName(int column) const {
    if (pg_) {
        const PGresult* result = pg_->result ? pg_->result.get() : pg_->described.get();
        const char* name = result != nullptr ? PQfname(result, column) : nullptr;
        return name != nullptr ? name : "";
    }
    const char* name = sqlite3_column_name(stmt_, column);
    return name != nullptr ? name : "";
}

int SqlStatement::DeclaredType(int column) const {
    if (pg_) {
        const PGresult* result = pg_->result ? pg_->result.get() : pg_->described.get();
        return result != nullptr ? KindOfOid(PQftype(result, column)) : SQLITE_TEXT;
    }
    const char* declared = sqlite3_column_decltype(stmt_, column);
    if (declared == nullptr) {
        return SQLITE_TEXT;
    }
    std::string_view type(declared);
    if (EqualsNoCase(type, "INTEGER")) {
        return SQLITE_INTEGER;
    }
    if (EqualsNoCase(type, "REAL")) {
        return SQLITE_FLOAT;
    }
    return SQLITE_TEXT;
}

void SqlStatement::Finalize() {
    pg_.reset();
    if (stmt_ != nullptr) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
}

namespace {

bool PgBind(PgStatement& statement, int index, std::optional<std::string> value) {
    if (index < 1 || static_cast<std::size_t>(index) > statement.values.size()) {
        return false;
    }
    statement.values[static_cast<std::size_t>(index - 1)] = std::move(value);
    return true;
}

std::string NumberText(double value) {
    if (value != value) {
        return "NaN";
    }
    if (value == HUGE_VAL || value == -HUGE_VAL) {
        return value > 0 ? "Infinity" : "-Infinity";
    }
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, ec == std::errc() ? end : buffer);
}

}  // namespace

bool SqlStatement::BindInt(int index, std::int64_t value) {
    if (pg_) [[unlikely]] {
        return PgBind(*pg_, index, std::to_string(value));
    }
    return sqlite3_bind_int64(stmt_, index, value) == SQLITE_OK;
}

bool SqlStatement::BindDouble(int index, double value) {
    if (pg_) [[unlikely]] {
        return PgBind(*pg_, index, NumberText(value));
    }
    return sqlite3_bind_double(stmt_, index, value) == SQLITE_OK;
}

bool SqlStatement::BindText(int index, std::string_view value) {
    if (pg_) [[unlikely]] {
        std::string scratch;
        return PgBind(*pg_, index, std::string(ToServerText(value, scratch)));
    }
    // An empty view may have a null data pointer, which SQLite would store as NULL.
    const char* data = value.data() != nullptr ? value.data() : "";
    return sqlite3_bind_text64(stmt_, index, data, value.size(), SQLITE_STATIC, SQLITE_UTF8) == SQLITE_OK;
}

bool SqlStatement::BindNull(int index) {
    if (pg_) [[unlikely]] {
        return PgBind(*pg_, index, std::nullopt);
    }
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
    if (pg_) [[unlikely]] {
        PgStatement& statement = *pg_;
        if (!statement.ran) {
            statement.ran = true;
            statement.row = -1;
            std::vector<const char*> values;
            values.reserve(statement.values.size());
            for (const std::optional<std::string>& value : statement.values) {
                values.push_back(value ? value->c_str() : nullptr);
            }
            statement.error.clear();
            statement.result = statement.conn->Run(statement.sql, values, statement.error);
            if (!statement.result) {
                statement.changes = 0;
                return SQLITE_ERROR;
            }
            const char* changed = PQcmdTuples(statement.result.get());
            statement.changes = changed != nullptr && *changed != 0 ? std::atoll(changed) : 0;
        }
        if (!statement.result) {
            return SQLITE_ERROR;
        }
        if (statement.row + 1 < PQntuples(statement.result.get())) {
            ++statement.row;
            return SQLITE_ROW;
        }
        statement.row = PQntuples(statement.result.get());
        return SQLITE_DONE;
    }
    return sqlite3_step(stmt_);
}

void SqlStatement::Reset() {
    if (pg_) {
        pg_->ran = false;
        pg_->result.reset();
        pg_->row = -1;
        return;
    }
    if (stmt_ != nullptr) {
        sqlite3_reset(stmt_);
    }
}

int SqlStatement::ColumnCount() const {
    if (pg_) {
        const PGresult* result = pg_->result ? pg_->result.get() : pg_->described.get();
        return result != nullptr ? PQnfields(result) : 0;
    }
    return stmt_ != nullptr ? sqlite3_column_count(stmt_) : 0;
}

int SqlStatement::ColumnType(int column) const {
    if (pg_) [[unlikely]] {
        return PgColumnType(pg_->result.get(), pg_->row, column);
    }
    return sqlite3_column_type(stmt_, column);
}

std::int64_t SqlStatement::ColumnInt(int column) const {
    if (pg_) [[unlikely]] {
        return PgColumnType(pg_->result.get(), pg_->row, column) == SQLITE_NULL
                   ? 0
                   : IntOfText(CellText(pg_->result.get(), pg_->row, column));
    }
    return sqlite3_column_int64(stmt_, column);
}

double SqlStatement::ColumnDouble(int column) const {
    if (pg_) [[unlikely]] {
        return PgColumnType(pg_->result.get(), pg_->row, column) == SQLITE_NULL
                   ? 0.0
                   : DoubleOfText(CellText(pg_->result.get(), pg_->row, column));
    }
    return sqlite3_column_double(stmt_, column);
}

std::string_view SqlStatement::ColumnText(int column) const {
    if (pg_) [[unlikely]] {
        if (PgColumnType(pg_->result.get(), pg_->row, column) == SQLITE_NULL) {
            return {};
        }
        if (pg_->decoded.size() <= static_cast<std::size_t>(column)) {
            pg_->decoded.resize(static_cast<std::size_t>(column) + 1);
        }
        return FromServerText(CellText(pg_->result.get(), pg_->row, column),
                              pg_->decoded[static_cast<std::size_t>(column)]);
    }
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    if (text == nullptr) {
        return {};
    }
    return std::string_view(reinterpret_cast<const char*>(text),
                            static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
}

FieldValue SqlStatement::ColumnField(int column) const {
    if (pg_) [[unlikely]] {
        return PgField(pg_->result.get(), pg_->row, column);
    }
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
