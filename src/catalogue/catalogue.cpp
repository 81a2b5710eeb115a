#include "catalogue/catalogue.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>

#include "catalogue/database_files.h"
#include "catalogue/jet_sql.h"
#include "catalogue/schema.h"
#include "catalogue/server_schema.h"
#include "platform/volumes.h"

namespace korvane {

namespace {

constexpr std::size_t kMaxEngineMessage = 511;

std::string FolderOf(const std::string& path) {
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

// One count from a query that returns a single number.
bool CountOf(DbHandle db, const std::string& sql, std::int64_t& count, std::string& error) {
    SqlStatement statement;
    if (!statement.Prepare(db, sql, &error)) {
        return false;
    }
    int rc = statement.Step();
    if (rc != SQLITE_ROW) {
        error = statement.Message();
        return false;
    }
    count = statement.ColumnInt(0);
    return true;
}

// SQLite's own check of the file's pages and its schema; each finding goes
// to finding. False when the check cannot go on to the catalogue's rules.
bool CheckPages(sqlite3* db, const std::function<void(const std::string&)>& finding) {
    SqlStatement pages;
    std::string error;
    if (!pages.Prepare(db, "PRAGMA integrity_check(100)", &error)) {
        finding("The catalogue could not be checked: " + error);
        return false;
    }
    int rc;
    while ((rc = pages.Step()) == SQLITE_ROW) {
        std::string_view line = pages.ColumnText(0);
        if (line != "ok") {
            finding("Damaged: " + std::string(line));
        }
    }
    if (rc != SQLITE_DONE) {
        finding("The catalogue could not be read: " + SqliteMessage(db));
        return false;
    }
    pages.Finalize();
    if (!VerifyCatalogueSchema(db, error)) {
        finding(error);
        return false;
    }
    return true;
}

}  // namespace

Catalogue::Catalogue(UserInterface& ui)
    : ui_(ui),
      computer_(ComputerTable()),
      volume_(VolumeTable()),
      folder_(FolderTable()),
      file_(FileTable()),
      user_volumes_(UserVolumesTable()),
      stored_query_(std::make_unique<StoredQuery>(*this)) {}

Catalogue::~Catalogue() {
    if (IsOpen()) {
        CloseCatalogue();
    }
}

bool Catalogue::Fail(std::string message) {
    last_error_ = std::move(message);
    return false;
}

void Catalogue::ShowEngineMessage(std::string_view message) const {
    if (offers_reconnect_ && ConnectionLost()) {
        // The offer to reconnect shows the server's message.
        NoteConnectionLoss(message);
        return;
    }
    if (message.size() > kMaxEngineMessage) {
        std::size_t cut = kMaxEngineMessage;
        // Never cut a UTF-8 sequence in two.
        while (cut > 0 && (static_cast<unsigned char>(message[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        message = message.substr(0, cut);
    }
    ui_.ShowMessage(message, MessageIcon::Exclamation, MessageButtons::Ok);
}

DbHandle Catalogue::connection() const {
    if (pg_ == nullptr) {
        return DbHandle(db_.get());
    }
    NoteConnectionLoss();
    // Without a window to offer it, a connection lost while nothing was under
    // way is made again before a statement meets it: nothing was pending, so
    // nothing is lost, and an unattended run's next line still works. One try
    // per loss, so a server that is down does not cost a connect each time.
    if (!ConnectionLost()) {
        reconnect_tried_ = false;
    } else if (!offers_reconnect_ && !reconnect_tried_ && !WorkUnderWay()) {
        reconnect_tried_ = true;
        std::string error;
        if (pg_->Reconnect(error)) {
            loss_message_.clear();
            loss_told_ = false;
            reconnect_tried_ = false;
        }
    }
    return DbHandle(pg_.get());
}

bool Catalogue::ConnectionLost() const {
    return pg_ != nullptr && !pg_->Alive();
}

void Catalogue::NoteConnectionLoss(std::string_view message) const {
    if (!ConnectionLost()) {
        return;
    }
    // The first message after the loss is the server's own; later
    // statements only say that there is no connection.
    if (loss_message_.empty()) {
        loss_message_ = message.empty() ? pg_->Message() : std::string(message);
    }
    loss_told_ = false;
}

bool Catalogue::TakeConnectionLoss(std::string& message) {
    if (!ConnectionLost()) {
        loss_message_.clear();
        loss_told_ = false;
        return false;
    }
    if (loss_told_) {
        return false;
    }
    NoteConnectionLoss();
    loss_told_ = true;
    message = loss_message_.empty() ? "The connection to the catalogue server was lost." : loss_message_;
    return true;
}

bool Catalogue::Reconnect(std::string& error) {
    if (pg_ == nullptr) {
        error = "The catalogue is not on a server.";
        return Fail(error);
    }
    if (Rebuilding()) {
        error = "The catalogue is being built; it connects again once the build ends.";
        return Fail(error);
    }
    CloseCursors();
    server_work_ = 0;
    if (!pg_->Reconnect(error)) {
        loss_message_ = error;
        loss_told_ = true;  // the caller has the message
        return Fail(error);
    }
    loss_message_.clear();
    loss_told_ = false;
    return true;
}

bool Catalogue::WorkUnderWay() const {
    return server_work_ > 0 || tables_open_ || Rebuilding() || stored_query_->SnapshotOpen();
}

int Catalogue::ServerProcessId() const {
    return pg_ != nullptr ? PQbackendPID(pg_->get()) : 0;
}

std::string Catalogue::LastRowError() const {
    if (pg_ == nullptr) {
        return SqliteMessage(db_.get());
    }
    for (const TableCursor* cursor : {&file_, &folder_, &volume_, &computer_}) {
        if (!cursor->last_error().empty()) {
            return cursor->last_error();
        }
    }
    return pg_->Message();
}

bool Catalogue::OpenCatalogue(const std::string& path) {
    if (IsOpen()) {
        CloseCatalogue();
    }
    last_error_.clear();
    if (path.empty()) {
        return Fail("No catalogue file name was given.");
    }
    if (IsPostgresUri(path)) {
        return OpenServerCatalogue(path);
    }
    sqlite3* raw = nullptr;
    // Never created here, and no URI names: the file must be there already.
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    SqliteConnection db(raw);
    if (rc != SQLITE_OK) {
        return Fail(raw != nullptr ? SqliteMessage(raw) : sqlite3_errstr(rc));
    }
    sqlite3_extended_result_codes(db.get(), 1);
    if (sqlite3_busy_timeout(db.get(), busy_timeout_ms_) != SQLITE_OK) {
        return Fail(SqliteMessage(db.get()));
    }
    if (sqlite3_db_readonly(db.get(), "main") == 1) {
        return Fail("The catalogue " + path + " cannot be written.");
    }
    // Everything up to here only reads, so a file that is refused is untouched.
    std::string error;
    if (!VerifyCatalogueSchema(db.get(), error)) {
        return Fail(error);
    }
    if (!ConfigureJetConnection(db.get(), error)) {
        return Fail(error);
    }
    // WAL lets other processes read while a scan writes; where the file system
    // cannot share memory the catalogue keeps its journal mode.
    ExecuteSql(db.get(), "PRAGMA journal_mode=WAL");
    if (!ExecuteSql(db.get(), "PRAGMA synchronous=FULL; PRAGMA temp_store=FILE; PRAGMA cache_size=-32768",
                    &error)) {
        return Fail(error);
    }
    // Through a memory map SQLite reads pages without copying each one; only
    // where losing the disk cannot happen under a running query.
    LinuxVolumeProbe probe;
    mappable_ = IsFixedLocalStorage(probe, path);
    db_ = std::move(db);
    path_ = path;
    RemoveAbandonedRebuild(path);
    return true;
}

bool Catalogue::OpenServerCatalogue(const std::string& uri) {
    auto pg = std::make_unique<PgConnection>();
    std::string error;
    bool any = false;
    if (!pg->Connect(uri, error) || !ServerHasCatalogueTables(*pg, any, error)) {
        return Fail(error);
    }
    // An empty database becomes an empty catalogue, as a new file would.
    if (!any && !CreateServerCatalogueSchema(*pg, error)) {
        return Fail("The catalogue could not be created: " + error);
    }
    if (!VerifyServerCatalogueSchema(*pg, error)) {
        return Fail(error);
    }
    pg_ = std::move(pg);
    loss_message_.clear();
    loss_told_ = false;
    server_work_ = 0;
    server_build_ = false;
    path_ = uri;
    return true;
}

bool Catalogue::BeginServerWork(bool consistent) {
    if (pg_ == nullptr) {
        return true;
    }
    // A connection lost while no work was under way is made again: nothing
    // was pending, so nothing is lost.
    if (server_work_ == 0 && !pg_->Alive()) {
        NoteConnectionLoss();
        std::string error;
        if (!pg_->Reconnect(error)) {
            loss_message_ = error;
            return Fail(error);
        }
        loss_message_.clear();
    }
    if (server_work_ == 0 && !pg_->InTransaction()) {
        // A consistent read's snapshot is taken by its first statement, which
        // may then wait for a build's swap of the tables (server_build_tables.h)
        // and find the new tables empty through that older snapshot. Waiting
        // for the tables first takes the snapshot once the swap has committed.
        static constexpr const char* kConsistent =
            "BEGIN ISOLATION LEVEL REPEATABLE READ; "
            "LOCK TABLE \"Computer\", \"Volume\", \"Folder\", \"File\" IN ACCESS SHARE MODE";
        std::string error;
        if (!pg_->Execute(consistent ? kConsistent : "BEGIN", &error)) {
            pg_->Execute("ROLLBACK");
            return Fail(error);
        }
    }
    ++server_work_;
    return true;
}

bool Catalogue::EndServerWork(bool commit) {
    if (pg_ == nullptr || server_work_ == 0) {
        return true;
    }
    if (--server_work_ > 0 || !pg_->InTransaction()) {
        return true;
    }
    std::string error;
    if (PQtransactionStatus(pg_->get()) == PQTRANS_INERROR) {
        pg_->Execute("ROLLBACK");
        pg_->DiscardCopies();
        return Fail(commit ? "The catalogue's changes were undone after an error on the server." : "");
    }
    if (!commit) {
        pg_->DiscardCopies();
        pg_->Execute("ROLLBACK");
        return true;
    }
    if (!pg_->FlushCopies(&error) || !pg_->Execute("COMMIT", &error)) {
        pg_->Execute("ROLLBACK");
        pg_->DiscardCopies();
        return Fail(error);
    }
    return true;
}

void Catalogue::MapForReading(bool on) {
    if (mappable_ && db_ != nullptr) {
        // Without effect while SQLite holds mapped pages; an error only costs speed.
        ExecuteSql(db_.get(), on ? "PRAGMA mmap_size=1073741824" : "PRAGMA mmap_size=0");
    }
}

bool Catalogue::CloseCatalogue() {
    if (Rebuilding()) {
        DiscardRebuild();
        path_.clear();
        pg_.reset();
        return true;
    }
    if (!IsOpen()) {
        return false;
    }
    stored_query_->Release();
    if (tables_open_) {
        CloseCatalogueTables();
    }
    user_volumes_.Close();
    bool ok = true;
    if (pg_ != nullptr) {
        if (server_work_ > 0) {
            server_work_ = 1;
            ok = EndServerWork(true);
        }
        pg_.reset();
        path_.clear();
        return ok;
    }
    if (sqlite3_get_autocommit(db_.get()) == 0) {
        std::string error;
        if (!ExecuteSql(db_.get(), "COMMIT", &error)) {
            ok = Fail(error);
            ExecuteSql(db_.get(), "ROLLBACK");
        }
    }
    db_.reset();
    path_.clear();
    return ok;
}

bool Catalogue::OpenCatalogueTables() {
    if (!IsOpen()) {
        return false;
    }
    if (tables_open_) {
        return true;
    }
    bool began = false;
    std::string error;
    if (pg_ != nullptr) {
        if (!BeginServerWork()) {
            ShowEngineMessage(last_error_);
            return false;
        }
        for (TableCursor* cursor : {&computer_, &volume_, &folder_, &file_}) {
            if (!cursor->Open(connection())) {
                error = cursor->last_error();
                computer_.Close();
                volume_.Close();
                folder_.Close();
                file_.Close();
                EndServerWork(false);
                ShowEngineMessage(error);
                return Fail(error);
            }
            cursor->set_bulk_load(server_build_);
        }
        tables_open_ = true;
        return true;
    }
    if (sqlite3_get_autocommit(db_.get()) != 0) {
        if (!ExecuteSql(db_.get(), "BEGIN", &error)) {
            ShowEngineMessage(error);
            return Fail(error);
        }
        began = true;
    }
    // Reading the schema inside the transaction also notices a table that
    // another process changed since the catalogue was opened.
    if (!VerifyCatalogueSchema(db_.get(), error)) {
        if (began) {
            ExecuteSql(db_.get(), "ROLLBACK");
        }
        ShowEngineMessage(error);
        return Fail(error);
    }
    for (TableCursor* cursor : {&computer_, &volume_, &folder_, &file_}) {
        if (!cursor->Open(db_.get())) {
            error = cursor->last_error();
            computer_.Close();
            volume_.Close();
            folder_.Close();
            file_.Close();
            if (began) {
                ExecuteSql(db_.get(), "ROLLBACK");
            }
            ShowEngineMessage(error);
            return Fail(error);
        }
    }
    tables_open_ = true;
    return true;
}

bool Catalogue::CommitPending() {
    if (pg_ != nullptr) {
        if (!EndServerWork(true)) {
            ShowEngineMessage(last_error_);
            return false;
        }
        return true;
    }
    if (sqlite3_get_autocommit(db_.get()) != 0) {
        return true;
    }
    std::string error;
    if (!ExecuteSql(db_.get(), "COMMIT", &error)) {
        ShowEngineMessage(error);
        return Fail(error);
    }
    return true;
}

bool Catalogue::CloseCatalogueTables() {
    if (!IsOpen() || !tables_open_) {
        return false;
    }
    computer_.Close();
    volume_.Close();
    file_.Close();
    folder_.Close();
    tables_open_ = false;
    return CommitPending();
}

bool Catalogue::EmptyCatalogueTables() {
    if (!IsOpen()) {
        return false;
    }
    bool ok = true;
    for (const TableDef* table : {&ComputerTable(), &VolumeTable(), &FolderTable(), &FileTable()}) {
        std::string error;
        const std::string sql = "DELETE FROM " + QuoteSqlName(table->name);
        if (!ExecuteSql(connection(), sql.c_str(), &error)) {
            ok = Fail(error);
        }
    }
    return ok;
}

bool Catalogue::ReadIdCounters(IdCounters& counters) {
    if (!IsOpen()) {
        return false;
    }
    SqlStatement statement;
    const std::string first = pg_ != nullptr ? "\"Computer ID\"" : "rowid";
    if (!statement.Prepare(connection(),
                           "SELECT \"Volume Key\", \"Folder Key\", \"File Key\" FROM \"Computer\" "
                           "ORDER BY " +
                               first + " LIMIT 1",
                           &last_error_)) {
        return false;
    }
    int rc = statement.Step();
    if (rc != SQLITE_ROW) {
        return Fail(rc == SQLITE_DONE ? "The catalogue has no Computer row." : statement.Message());
    }
    std::int32_t* targets[] = {&counters.next_volume, &counters.next_folder, &counters.next_file};
    for (int i = 0; i < 3; ++i) {
        std::int32_t value = 0;
        if (statement.ColumnField(i).AsInt32(value)) {
            *targets[i] = value;
        }
    }
    return true;
}

bool Catalogue::WriteIdCounters(const IdCounters& counters) {
    if (!IsOpen()) {
        return false;
    }
    SqlStatement statement;
    const std::string first = pg_ != nullptr ? "\"Computer ID\"" : "rowid";
    if (!statement.Prepare(
            connection(),
            "UPDATE \"Computer\" SET \"Volume Key\" = ?1, \"Folder Key\" = ?2, \"File Key\" = ?3 "
            "WHERE " +
                first + " = (SELECT " + first + " FROM \"Computer\" ORDER BY " + first + " LIMIT 1)",
            &last_error_)) {
        return false;
    }
    if (!statement.BindInt(1, counters.next_volume) || !statement.BindInt(2, counters.next_folder) ||
        !statement.BindInt(3, counters.next_file) || statement.Step() != SQLITE_DONE) {
        return Fail(statement.Message());
    }
    if (statement.Changes() != 1) {
        return Fail("The catalogue has no Computer row.");
    }
    return true;
}

bool Catalogue::SeekFolderRow(std::int32_t folder_id) {
    if (!tables_open_ || !folder_.SetCurrentIndex(kPrimaryKeyIndex)) {
        return false;
    }
    return folder_.Seek(folder_id);
}

bool Catalogue::SeekFileRow(std::int32_t file_id) {
    if (!tables_open_ || !file_.SetCurrentIndex(kPrimaryKeyIndex)) {
        return false;
    }
    return file_.Seek(file_id);
}

bool Catalogue::IntegrityCheck(std::string& report) {
    report.clear();
    if (!IsOpen()) {
        report = "The catalogue is not open.\n";
        return Fail("The catalogue is not open.");
    }
    bool ok = true;
    auto finding = [&](const std::string& line) {
        report += line;
        report += '\n';
        ok = false;
    };

    std::string error;
    if (pg_ != nullptr) {
        if (!VerifyServerCatalogueSchema(*pg_, error)) {
            finding(error);
            last_error_ = report;
            return false;
        }
    } else if (!CheckPages(db_.get(), finding)) {
        last_error_ = report;
        return false;
    }
    const std::string first = pg_ != nullptr ? "\"Computer ID\"" : "rowid";

    struct Rule {
        std::string sql;
        const char* text;  // %lld: the number of rows found
    };
    const Rule rules[] = {
        {"SELECT count(*) FROM \"Folder\" AS f WHERE f.\"Parent ID\" <> 0 AND NOT EXISTS "
         "(SELECT 1 FROM \"Folder\" AS p WHERE p.\"Folder ID\" = f.\"Parent ID\")",
         "%lld folders name a parent folder that does not exist."},
        {"SELECT count(*) FROM \"File\" AS f WHERE NOT EXISTS "
         "(SELECT 1 FROM \"Folder\" AS p WHERE p.\"Folder ID\" = f.\"Parent ID\")",
         "%lld files name a folder that does not exist."},
        {"SELECT count(*) FROM \"Volume\" AS v WHERE NOT EXISTS "
         "(SELECT 1 FROM \"Folder\" AS p WHERE p.\"Folder ID\" = v.\"Folder ID\")",
         "%lld volumes name a root folder that does not exist."},
        // A catalogue never built has no Computer row and nothing that needs one.
        {"SELECT CASE WHEN (SELECT count(*) FROM \"Computer\") = 0 AND (EXISTS (SELECT 1 FROM \"Volume\") OR "
         "EXISTS (SELECT 1 FROM \"Folder\") OR EXISTS (SELECT 1 FROM \"File\")) THEN 1 ELSE 0 END",
         "The Computer row is missing (%lld)."},
        {"SELECT count(*) FROM \"Computer\" AS c WHERE " + first + " = (SELECT min(" + first +
             ") FROM \"Computer\") AND ("
             "c.\"Volume Key\" <= (SELECT coalesce(max(\"Volume ID\"), 0) FROM \"Volume\") OR "
             "c.\"Folder Key\" <= (SELECT coalesce(max(\"Folder ID\"), 0) FROM \"Folder\") OR "
             "c.\"File Key\" <= (SELECT coalesce(max(\"File ID\"), 0) FROM \"File\"))",
         "The next-identifier counters are not above the identifiers in use (%lld)."},
    };
    for (const Rule& rule : rules) {
        std::int64_t count = 0;
        if (!CountOf(connection(), rule.sql, count, error)) {
            finding("The catalogue could not be checked: " + error);
            continue;
        }
        if (count != 0) {
            char line[160];
            std::snprintf(line, sizeof line, rule.text, static_cast<long long>(count));
            finding(line);
        }
    }
    if (ok) {
        report = "The catalogue is in good order.\n";
    } else {
        last_error_ = report;
    }
    return ok;
}

bool CompactCatalogue(const std::string& path, std::string* error, int busy_timeout_ms) {
    auto fail = [&](std::string message) {
        if (error != nullptr) {
            *error = std::move(message);
        }
        return false;
    };
    if (path.empty()) {
        return fail("No catalogue file name was given.");
    }
    if (IsPostgresUri(path)) {
        // The server keeps its own files; compacting is reclaiming dead rows
        // and refreshing the planner's statistics.
        PgConnection pg;
        std::string message;
        if (!pg.Connect(path, message) || !VerifyServerCatalogueSchema(pg, message) ||
            !pg.Execute("VACUUM (ANALYZE) \"Computer\", \"Volume\", \"Folder\", \"File\", "
                        "\"User Volumes\", \"Stored Queries\"",
                        &message)) {
            return fail(message);
        }
        return true;
    }
    const std::string folder = FolderOf(path);
    const std::string temporary = folder + "/~tmp.db";
    RemoveDatabaseFiles(temporary);

    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    SqliteConnection db(raw);
    if (rc != SQLITE_OK) {
        return fail(raw != nullptr ? SqliteMessage(raw) : sqlite3_errstr(rc));
    }
    sqlite3_busy_timeout(db.get(), busy_timeout_ms);
    std::string message;
    if (!VerifyCatalogueSchema(db.get(), message)) {
        return fail(message);
    }
    // Held until the copy has replaced the file: no other process can be
    // using the catalogue that is about to be replaced.
    if (!ExecuteSql(db.get(), "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT;", &message)) {
        ExecuteSql(db.get(), "ROLLBACK");
        return fail("The catalogue is in use: " + message);
    }
    SqlStatement vacuum;
    if (!vacuum.Prepare(db.get(), "VACUUM INTO ?1", &message) || !vacuum.BindText(1, temporary) ||
        vacuum.Step() != SQLITE_DONE) {
        if (message.empty()) {
            message = SqliteMessage(db.get());
        }
        vacuum.Finalize();
        RemoveDatabaseFiles(temporary);
        return fail(message);
    }
    vacuum.Finalize();
    if (!SyncPath(temporary, O_RDONLY)) {
        RemoveDatabaseFiles(temporary);
        return fail("The compacted copy could not be written.");
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        int code = errno;
        RemoveDatabaseFiles(temporary);
        return fail(std::string("The compacted copy could not replace the catalogue: ") +
                    std::strerror(code));
    }
    SyncPath(folder, O_RDONLY | O_DIRECTORY);
    db.reset();
    return true;
}

}  // namespace korvane
