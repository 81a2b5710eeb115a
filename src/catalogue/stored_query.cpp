#include "catalogue/stored_query.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "app/text_helpers.h"
#include "catalogue/catalogue.h"
#include "catalogue/jet_sql.h"

namespace korvane {

namespace {

constexpr char kCacheTable[] = "temp.\"Korvane Snapshot\"";

ColumnType TypeOfDeclared(int declared) {
    switch (declared) {
        case SQLITE_INTEGER:
            return ColumnType::Integer;
        case SQLITE_FLOAT:
            return ColumnType::Double;
        default:
            return ColumnType::Text;
    }
}

// The server's snapshot cursor, and how many rows one fetch brings.
constexpr char kServerCursor[] = "korvane_snapshot";
constexpr int kServerBatch = 1000;

// Names of stored queries compare without regard to ASCII case: SQLite's
// column does so itself, the server's unique index is on lower("Name").
std::string NameMatch(DbHandle db) {
    return db.pg != nullptr ? "lower(\"Name\") = lower(?1)" : "\"Name\" = ?1";
}

// A whole text that is a number (the text filler "" is not).
bool ParseNumber(std::string_view text, double& value) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    if (text.empty()) {
        return false;
    }
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

std::string NumberText(double value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

enum RecordTag : char { kTagNull = 0, kTagInteger = 1, kTagDouble = 2, kTagText = 3 };

// The savepoint a stream runs under, so one that fails or stops early leaves
// the transaction around it as it was.
constexpr char kStreamMark[] = "korvane_stream";

// A field of a COPY text row without its backslash escapes.
std::string_view CopyUnescaped(std::string_view field, std::string& out) {
    if (field.find('\\') == std::string_view::npos) {
        return field;
    }
    out.clear();
    for (std::size_t i = 0; i < field.size(); ++i) {
        char c = field[i];
        if (c == '\\' && i + 1 < field.size()) {
            c = field[++i];
            switch (c) {
                case 'b':
                    c = '\b';
                    break;
                case 'f':
                    c = '\f';
                    break;
                case 'n':
                    c = '\n';
                    break;
                case 'r':
                    c = '\r';
                    break;
                case 't':
                    c = '\t';
                    break;
                case 'v':
                    c = '\v';
                    break;
                default:
                    break;
            }
        }
        out += c;
    }
    return out;
}

// Sets a value in place, so the text's room is kept for the next row.
void SetNumber(FieldValue& value, FieldKind kind, std::int64_t integer, double number) {
    value.kind = kind;
    value.integer = integer;
    value.number = number;
    value.text.clear();
}

void SetText(FieldValue& value, std::string_view text) {
    value.kind = FieldKind::Text;
    value.integer = 0;
    value.number = 0.0;
    value.text.assign(text);
}

}  // namespace

bool StoredQuery::Fail(std::string message) {
    last_error_ = std::move(message);
    return false;
}

bool StoredQuery::StoredQueryExists(std::string_view name) {
    DbHandle db = catalogue_.connection();
    if (!db) {
        return false;
    }
    SqlStatement statement;
    if (!statement.Prepare(db, "SELECT 1 FROM \"Stored Queries\" WHERE " + NameMatch(db), &last_error_) ||
        !statement.BindText(1, name)) {
        return false;
    }
    int rc = statement.Step();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        return Fail(statement.Message());
    }
    return rc == SQLITE_ROW;
}

bool StoredQuery::OpenStoredQuery(std::string_view name) {
    if (open_) {
        CloseStoredQuery();
    }
    DbHandle db = catalogue_.connection();
    if (!db) {
        return Fail("The catalogue is not open.");
    }
    SqlStatement statement;
    if (!statement.Prepare(db, "SELECT \"Name\", \"SQL\" FROM \"Stored Queries\" WHERE " + NameMatch(db),
                           &last_error_) ||
        !statement.BindText(1, name)) {
        return false;
    }
    int rc = statement.Step();
    if (rc != SQLITE_ROW) {
        return Fail(rc == SQLITE_DONE ? "There is no stored query " + std::string(name) + "."
                                      : statement.Message());
    }
    name_.assign(statement.ColumnText(0));
    sql_.assign(statement.ColumnText(1));
    open_ = true;
    columns_.clear();
    SqlStatement prepared;
    std::string error;
    if (Prepare(sql_, prepared, error)) {
        Describe(prepared);
    }
    return true;
}

bool StoredQuery::CreateStoredQuery(std::string_view name) {
    if (open_) {
        CloseStoredQuery();
    }
    DbHandle db = catalogue_.connection();
    if (!db) {
        return Fail("The catalogue is not open.");
    }
    if (name.empty()) {
        return Fail("A stored query needs a name.");
    }
    SqlStatement statement;
    if (!statement.Prepare(db, "INSERT INTO \"Stored Queries\"(\"Name\", \"SQL\") VALUES (?1, NULL)",
                           &last_error_) ||
        !statement.BindText(1, name)) {
        return false;
    }
    if (statement.Step() != SQLITE_DONE) {
        return Fail(statement.Message());
    }
    name_.assign(name);
    sql_.clear();
    columns_.clear();
    open_ = true;
    return true;
}

bool StoredQuery::Translate(std::string_view jet_sql, std::string& translated, std::string& error,
                            bool any_order) {
    const DbHandle db = catalogue_.connection();
    JetPlanHints hints;
    hints.any_order = any_order;
    SqlStatement highest;
    if (highest.Prepare(db, "SELECT max(\"Folder ID\") FROM \"Folder\"") && highest.Step() == SQLITE_ROW) {
        hints.highest_folder_id = highest.ColumnInt(0);
    }
    return db.pg != nullptr ? TranslateJetSqlForPostgres(jet_sql, translated, error, hints)
                            : TranslateJetSql(jet_sql, translated, error, hints);
}

bool StoredQuery::Prepare(std::string_view jet_sql, SqlStatement& statement, std::string& error,
                          bool any_order) {
    std::string translated;
    if (!Translate(jet_sql, translated, error, any_order)) {
        return false;
    }
    return statement.Prepare(catalogue_.connection(), translated, &error) && statement.Describe(&error);
}

void StoredQuery::Describe(const SqlStatement& statement) {
    columns_.clear();
    const int count = statement.ColumnCount();
    for (int i = 0; i < count; ++i) {
        Column column;
        column.name = statement.ColumnName(i);
        column.type = ColumnTypeOfName(column.name);
        if (column.type == ColumnType::None) {
            column.type = TypeOfDeclared(statement.DeclaredType(i));
        }
        columns_.push_back(std::move(column));
    }
}

bool StoredQuery::SetStoredQuerySql(std::string_view jet_sql) {
    DbHandle db = catalogue_.connection();
    if (!open_ || !db) {
        return Fail("No stored query is open.");
    }
    SqlStatement statement;
    std::string error;
    if (!Prepare(jet_sql, statement, error)) {
        catalogue_.ShowEngineMessage(error);
        return Fail(error);
    }
    if (!statement.ReadOnly()) {
        error = "Only a SELECT statement can be stored as a query.";
        catalogue_.ShowEngineMessage(error);
        return Fail(error);
    }
    if (jet_sql != sql_) {
        SqlStatement update;
        const std::string match = db.pg != nullptr ? "lower(\"Name\") = lower(?2)" : "\"Name\" = ?2";
        if (!update.Prepare(db, "UPDATE \"Stored Queries\" SET \"SQL\" = ?1 WHERE " + match, &error) ||
            !update.BindText(1, jet_sql) || !update.BindText(2, name_) || update.Step() != SQLITE_DONE) {
            if (error.empty()) {
                error = update.Message();
            }
            catalogue_.ShowEngineMessage(error);
            return Fail(error);
        }
        if (update.Changes() != 1) {
            error = "The stored query " + name_ + " no longer exists.";
            catalogue_.ShowEngineMessage(error);
            return Fail(error);
        }
        sql_.assign(jet_sql);
    }
    Describe(statement);
    return true;
}

bool StoredQuery::CloseStoredQuery() {
    if (!open_) {
        return false;
    }
    CloseQuerySnapshot();
    open_ = false;
    name_.clear();
    sql_.clear();
    columns_.clear();
    return true;
}

void StoredQuery::Release() {
    CloseStoredQuery();
    CloseQuerySnapshot();
}

ColumnType StoredQuery::QueryColumnInfo(int index, std::string& name) const {
    if (index < 0 || index >= static_cast<int>(columns_.size())) {
        return ColumnType::None;
    }
    const Column& column = columns_[static_cast<std::size_t>(index)];
    name = column.name;
    return column.type;
}

bool StoredQuery::EnsureCacheTable() {
    sqlite3* db = catalogue_.handle();
    std::string error;
    const std::string create =
        std::string("CREATE TEMP TABLE IF NOT EXISTS \"Korvane Snapshot\"(record BLOB);") + "DELETE FROM " +
        kCacheTable + ";";
    return ExecuteSql(db, create.c_str(), &error) &&
           cache_insert_.Prepare(
               db, std::string("INSERT INTO ") + kCacheTable + "(rowid, record) VALUES (?1, ?2)", &error) &&
           cache_read_.Prepare(db, std::string("SELECT record FROM ") + kCacheTable + " WHERE rowid = ?1",
                               &error);
}

bool StoredQuery::OpenQuerySnapshot(bool any_order, bool forward_only) {
    CloseQuerySnapshot();
    if (!open_ || !catalogue_.connection()) {
        return Fail("No stored query is open.");
    }
    std::string error;
    if (catalogue_.OnServer()) {
        std::string translated;
        if (!Translate(sql_, translated, error, any_order)) {
            return Fail(error);
        }
        return OpenServerSnapshot(translated, forward_only);
    }
    if (!Prepare(sql_, live_, error, any_order)) {
        return Fail(error);
    }
    if (!live_.ReadOnly()) {
        live_.Finalize();
        return Fail("Only a SELECT statement can be run as a snapshot.");
    }
    catalogue_.MapForReading(true);
    Describe(live_);
    cache_ok_ = false;
    live_done_ = false;
    rows_seen_ = 0;
    position_ = -1;
    row_.assign(columns_.size(), FieldValue{});
    snapshot_open_ = true;
    if (!StepLive() && !last_error_.empty()) {
        CloseQuerySnapshot();
        return false;
    }
    return true;
}

bool StoredQuery::OpenServerSnapshot(const std::string& translated, bool forward_only) {
    SqlStatement statement;
    std::string error;
    if (!statement.Prepare(catalogue_.connection(), translated, &error) || !statement.Describe(&error)) {
        return Fail(error);
    }
    if (!statement.ReadOnly()) {
        return Fail("Only a SELECT statement can be run as a snapshot.");
    }
    Describe(statement);
    kinds_.clear();
    for (int i = 0; i < statement.ColumnCount(); ++i) {
        kinds_.push_back(statement.DeclaredType(i));
    }
    statement.Finalize();
    // A cursor lives in a transaction; repeatable read keeps every batch to
    // the rows of the moment the snapshot opened.
    if (!catalogue_.BeginServerWork(true)) {
        return Fail(catalogue_.last_error());
    }
    std::string sql = translated;
    while (!sql.empty() && (sql.back() == ';' || sql.back() == ' ' || sql.back() == '\n')) {
        sql.pop_back();
    }
    if (forward_only) {
        return OpenServerStream(sql);
    }
    if (!catalogue_.connection().pg->Run(
            std::string("DECLARE ") + kServerCursor + " SCROLL CURSOR FOR " + sql, {}, error)) {
        catalogue_.EndServerWork(false);
        return Fail(error);
    }
    server_ = true;
    batch_.reset();
    batch_first_ = batch_end_ = 0;
    cursor_at_batch_end_ = true;
    server_rows_ = -1;
    rows_seen_ = 0;
    position_ = -1;
    row_.assign(columns_.size(), FieldValue{});
    snapshot_open_ = true;
    last_error_.clear();
    if (!MoveServerRow(0) && !last_error_.empty()) {
        CloseQuerySnapshot();
        return false;
    }
    return true;
}

// Stands on the row at position: from the batch in hand, the next batch, or
// a batch fetched after moving the cursor there.
bool StoredQuery::MoveServerRow(std::int64_t position) {
    last_error_.clear();
    if (server_rows_ >= 0 && position >= server_rows_) {
        position_ = -1;
        return false;
    }
    if (!batch_ || position < batch_first_ || position >= batch_end_) {
        PgConnection* pg = catalogue_.connection().pg;
        std::string error;
        if (!(cursor_at_batch_end_ && position == batch_end_)) {
            if (!pg->Run("MOVE ABSOLUTE " + std::to_string(position) + " FROM " + kServerCursor, {}, error)) {
                position_ = -1;
                return Fail(error);
            }
        }
        batch_ =
            pg->Run("FETCH FORWARD " + std::to_string(kServerBatch) + " FROM " + kServerCursor, {}, error);
        if (!batch_) {
            position_ = -1;
            return Fail(error);
        }
        const int fetched = PQntuples(batch_.get());
        batch_first_ = position;
        batch_end_ = position + fetched;
        cursor_at_batch_end_ = true;
        if (fetched < kServerBatch) {
            server_rows_ = batch_end_;
        }
        if (fetched == 0) {
            position_ = -1;
            return false;
        }
    }
    const int row = static_cast<int>(position - batch_first_);
    for (std::size_t i = 0; i < row_.size(); ++i) {
        row_[i] = PgField(batch_.get(), row, static_cast<int>(i));
    }
    position_ = position;
    rows_seen_ = std::max(rows_seen_, position + 1);
    return true;
}

bool StoredQuery::OpenServerStream(const std::string& sql) {
    PgConnection* pg = catalogue_.connection().pg;
    PGconn* conn = pg->get();
    std::string error;
    if (!pg->FlushCopies(&error)) {
        catalogue_.EndServerWork(false);
        return Fail(error);
    }
    PgResult mark(PQexec(conn, (std::string("SAVEPOINT ") + kStreamMark).c_str()));
    if (PQresultStatus(mark.get()) != PGRES_COMMAND_OK) {
        error = pg->Message();
        catalogue_.EndServerWork(false);
        return Fail(error);
    }
    // The line end keeps a closing comment of the statement off the ")".
    PgResult start(PQexec(conn, ("COPY (" + sql + "\n) TO STDOUT").c_str()));
    stream_ = PQresultStatus(start.get()) == PGRES_COPY_OUT ? Stream::Open : Stream::Failed;
    if (stream_ != Stream::Open) {
        error = pg->Message();
        EndServerStream();
        catalogue_.EndServerWork(false);
        return Fail(error);
    }
    server_ = true;
    rows_seen_ = 0;
    position_ = -1;
    row_.assign(columns_.size(), FieldValue{});
    snapshot_open_ = true;
    last_error_.clear();
    if (!ReadStreamRow() && !last_error_.empty()) {
        CloseQuerySnapshot();
        return false;
    }
    return true;
}

// The stream's next row, read into row_; false at the end or on failure
// (last_error_ then says why).
bool StoredQuery::ReadStreamRow() {
    last_error_.clear();
    position_ = -1;
    if (stream_ != Stream::Open) {
        return false;
    }
    PgConnection* pg = catalogue_.connection().pg;
    char* buffer = nullptr;
    const int size = PQgetCopyData(pg->get(), &buffer, 0);
    if (size >= 0) {
        // One call gives one whole row, ended by a line end.
        std::string_view line(buffer, static_cast<std::size_t>(size));
        if (!line.empty() && line.back() == '\n') {
            line.remove_suffix(1);
        }
        bool whole = true;
        for (std::size_t i = 0; i < row_.size() && whole; ++i) {
            const std::size_t tab = line.find('\t');
            const bool last = i + 1 == row_.size();
            whole = (tab == std::string_view::npos) == last;
            const std::string_view field = line.substr(0, last ? line.size() : tab);
            if (field == "\\N") {
                SetNumber(row_[i], FieldKind::Null, 0, 0.0);
            } else {
                SetPgField(kinds_[i], CopyUnescaped(field, unescaped_), row_[i], scratch_);
            }
            line.remove_prefix(last ? line.size() : tab + 1);
        }
        PQfreemem(buffer);
        if (!whole) {
            return Fail("A row of the answer could not be read.");
        }
        position_ = rows_seen_++;
        return true;
    }
    if (size == -1) {
        // The end of the rows; the statement's own result says how it ended.
        PgResult end(PQgetResult(pg->get()));
        const bool ended = PQresultStatus(end.get()) == PGRES_COMMAND_OK;
        std::string error = ended ? std::string() : pg->Message();
        while (PgResult(PQgetResult(pg->get()))) {
        }
        stream_ = ended ? Stream::Ended : Stream::Failed;
        return ended || Fail(error);
    }
    // A statement run meanwhile took the connection (the rows left were
    // dropped), or the connection was lost.
    stream_ = Stream::Lost;
    return Fail(pg->Alive()
                    ? "The answer's rows were cut off by another statement on the catalogue's connection."
                    : pg->Message());
}

// Leaves the stream's savepoint; a stream still running is stopped first.
void StoredQuery::EndServerStream() {
    PgConnection* pg = catalogue_.connection().pg;
    if (pg == nullptr || pg->get() == nullptr) {
        stream_ = Stream::None;
        return;
    }
    PGconn* conn = pg->get();
    if (stream_ == Stream::Open) {
        // The server is asked to stop; what it sent already is dropped.
        if (PGcancel* cancel = PQgetCancel(conn)) {
            char message[256];
            PQcancel(cancel, message, sizeof message);
            PQfreeCancel(cancel);
        }
        char* buffer = nullptr;
        while (PQgetCopyData(conn, &buffer, 0) >= 0) {
            PQfreemem(buffer);
        }
        while (PgResult(PQgetResult(conn))) {
        }
        stream_ = Stream::Failed;
    }
    const std::string mark = kStreamMark;
    if (stream_ == Stream::Ended) {
        PgResult(PQexec(conn, ("RELEASE SAVEPOINT " + mark).c_str()));
    } else if (stream_ == Stream::Failed) {
        PgResult(PQexec(conn, ("ROLLBACK TO SAVEPOINT " + mark + "; RELEASE SAVEPOINT " + mark).c_str()));
    }
    stream_ = Stream::None;
}

bool StoredQuery::CloseQuerySnapshot() {
    if (!snapshot_open_) {
        return false;
    }
    if (server_) {
        batch_.reset();
        std::string error;
        if (stream_ != Stream::None) {
            EndServerStream();
        } else {
            catalogue_.connection().pg->Run(std::string("CLOSE ") + kServerCursor, {}, error);
        }
        catalogue_.EndServerWork(true);
        server_ = false;
        snapshot_open_ = false;
        position_ = -1;
        rows_seen_ = 0;
        return true;
    }
    live_.Finalize();
    cache_insert_.Finalize();
    cache_read_.Finalize();
    catalogue_.MapForReading(false);
    if (cache_ok_) {
        // Frees the temporary pages; an error only leaves them until next time.
        ExecuteSql(catalogue_.handle(), (std::string("DELETE FROM ") + kCacheTable).c_str());
    }
    snapshot_open_ = false;
    position_ = -1;
    rows_seen_ = 0;
    return true;
}

bool StoredQuery::StepLive() {
    last_error_.clear();
    if (live_done_) {
        return false;
    }
    int rc = live_.Step();
    if (rc != SQLITE_ROW) {
        live_done_ = true;
        if (rc != SQLITE_DONE) {
            last_error_ = live_.Message();
        }
        live_.Reset();
        position_ = -1;
        return false;
    }
    for (std::size_t i = 0; i < row_.size(); ++i) {
        row_[i] = live_.ColumnField(static_cast<int>(i));
    }
    if (cache_ok_) {
        EncodeRow(record_);
        cache_insert_.Reset();
        if (!cache_insert_.BindInt(1, rows_seen_) ||
            sqlite3_bind_blob64(cache_insert_.get(), 2, record_.data(), record_.size(), SQLITE_STATIC) !=
                SQLITE_OK ||
            cache_insert_.Step() != SQLITE_DONE) {
            cache_ok_ = false;
        }
        cache_insert_.Reset();
    }
    position_ = rows_seen_;
    ++rows_seen_;
    return true;
}

void StoredQuery::EncodeRow(std::string& record) const {
    record.clear();
    for (const FieldValue& value : row_) {
        switch (value.kind) {
            case FieldKind::Integer: {
                record += kTagInteger;
                char bytes[sizeof value.integer];
                std::memcpy(bytes, &value.integer, sizeof bytes);
                record.append(bytes, sizeof bytes);
                break;
            }
            case FieldKind::Double:
            case FieldKind::Date: {
                record += kTagDouble;
                char bytes[sizeof value.number];
                std::memcpy(bytes, &value.number, sizeof bytes);
                record.append(bytes, sizeof bytes);
                break;
            }
            case FieldKind::Text: {
                record += kTagText;
                std::uint64_t size = value.text.size();
                char bytes[sizeof size];
                std::memcpy(bytes, &size, sizeof bytes);
                record.append(bytes, sizeof bytes);
                record += value.text;
                break;
            }
            case FieldKind::Null:
                record += kTagNull;
                break;
        }
    }
}

bool StoredQuery::DecodeRow(std::string_view record) {
    std::size_t at = 0;
    auto take = [&](void* target, std::size_t size) {
        if (record.size() - at < size) {
            return false;
        }
        std::memcpy(target, record.data() + at, size);
        at += size;
        return true;
    };
    for (FieldValue& value : row_) {
        char tag = 0;
        if (!take(&tag, 1)) {
            return false;
        }
        switch (tag) {
            case kTagInteger:
                value.kind = FieldKind::Integer;
                if (!take(&value.integer, sizeof value.integer)) {
                    return false;
                }
                break;
            case kTagDouble:
                value.kind = FieldKind::Double;
                if (!take(&value.number, sizeof value.number)) {
                    return false;
                }
                break;
            case kTagText: {
                std::uint64_t size = 0;
                if (!take(&size, sizeof size) || record.size() - at < size) {
                    return false;
                }
                value.kind = FieldKind::Text;
                value.text.assign(record.data() + at, static_cast<std::size_t>(size));
                at += static_cast<std::size_t>(size);
                break;
            }
            case kTagNull:
                value.kind = FieldKind::Null;
                break;
            default:
                return false;
        }
    }
    return at == record.size();
}

bool StoredQuery::LoadCachedRow(std::int64_t position) {
    if (!cache_ok_) {
        return Fail("Rows already read can no longer be reached.");
    }
    cache_read_.Reset();
    if (!cache_read_.BindInt(1, position)) {
        return Fail(cache_read_.Message());
    }
    bool ok = false;
    if (cache_read_.Step() == SQLITE_ROW) {
        const void* blob = sqlite3_column_blob(cache_read_.get(), 0);
        const int size = sqlite3_column_bytes(cache_read_.get(), 0);
        std::string_view record =
            blob != nullptr ? std::string_view(static_cast<const char*>(blob), static_cast<std::size_t>(size))
                            : std::string_view();
        ok = DecodeRow(record);
    }
    cache_read_.Reset();
    if (!ok) {
        return Fail("A row already read could not be read again.");
    }
    position_ = position;
    return true;
}

// The first move back runs the statement again from its start, keeping every
// row it passes, so later moves back are one lookup each.
bool StoredQuery::RestartWithCache(std::int64_t position) {
    if (!EnsureCacheTable()) {
        return Fail("Rows already read can no longer be reached.");
    }
    cache_ok_ = true;
    live_.Reset();
    live_done_ = false;
    rows_seen_ = 0;
    position_ = -1;
    while (rows_seen_ <= position) {
        if (!StepLive()) {
            position_ = -1;
            return false;
        }
    }
    return true;
}

bool StoredQuery::MoveQueryRow(std::int64_t position) {
    if (!snapshot_open_ || position < 0) {
        return false;
    }
    if (position == position_) {
        return true;
    }
    if (server_ && stream_ != Stream::None) {
        if (position < rows_seen_) {
            return Fail("Rows already read can no longer be reached.");
        }
        while (rows_seen_ <= position) {
            if (!ReadStreamRow()) {
                return false;
            }
        }
        return true;
    }
    if (server_) {
        return MoveServerRow(position);
    }
    if (position < rows_seen_) {
        return cache_ok_ ? LoadCachedRow(position) : RestartWithCache(position);
    }
    while (rows_seen_ <= position) {
        if (!StepLive()) {
            position_ = -1;
            return false;
        }
    }
    return true;
}

bool StoredQuery::NextQueryRow() {
    if (!snapshot_open_ || position_ < 0) {
        return false;
    }
    return MoveQueryRow(position_ + 1);
}

bool StoredQuery::QueryFieldValue(int column, FieldValue& value) {
    if (!snapshot_open_ || position_ < 0 || column < 0 || column >= static_cast<int>(row_.size())) {
        return false;
    }
    const FieldValue& raw = row_[static_cast<std::size_t>(column)];
    const ColumnType type = columns_[static_cast<std::size_t>(column)].type;
    if (raw.IsNull()) {
        SetNumber(value, FieldKind::Null, 0, 0.0);
        return true;
    }
    double number = 0.0;
    bool numeric = raw.kind == FieldKind::Text ? ParseNumber(raw.text, number) : raw.AsDouble(number);
    // The server gives the empty-text filler of a number column as NaN (SQLite
    // never stores one): it reads as null, as the filler does.
    if (numeric && std::isnan(number) && raw.kind != FieldKind::Text) {
        numeric = false;
    }
    switch (type) {
        case ColumnType::Integer:
            if (raw.kind == FieldKind::Integer) {
                SetNumber(value, FieldKind::Integer, SaturateToInt32(raw.integer), 0.0);
            } else if (numeric && !std::isnan(number)) {
                SetNumber(value, FieldKind::Integer, SaturateToInt32(number), 0.0);
            } else {
                SetNumber(value, FieldKind::Null, 0, 0.0);
            }
            break;
        case ColumnType::Double:
            SetNumber(value, numeric ? FieldKind::Double : FieldKind::Null, 0, numeric ? number : 0.0);
            break;
        case ColumnType::Date:
            SetNumber(value, numeric ? FieldKind::Date : FieldKind::Null, 0, numeric ? number : 0.0);
            break;
        default:
            if (raw.kind == FieldKind::Text) {
                SetText(value, raw.text);
            } else if (raw.kind == FieldKind::Integer) {
                SetText(value, std::to_string(raw.integer));
            } else {
                SetText(value, NumberText(raw.number));
            }
            break;
    }
    return true;
}

}  // namespace korvane
