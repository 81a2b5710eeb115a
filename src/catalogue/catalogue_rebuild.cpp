// A build writes a whole new catalogue beside the one in place and swaps it
// in with one rename, so a kill, a crash, a full disk or an error at any point
// leaves the previous catalogue exactly as it was.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/catalogue_change_listener.h"
#include "catalogue/database_files.h"
#include "catalogue/jet_sql.h"
#include "catalogue/schema.h"

namespace korvane {
namespace {

constexpr const char* kRebuildSuffix = ".rebuild";
// How long the swap waits for other processes to close the previous
// catalogue before it copies the new one into it instead.
constexpr int kExclusiveWaitMs = 1000;
// How long the copy waits for another process's write to end.
constexpr int kCopyWaitMs = 30000;

std::string RebuildPathOf(const std::string& path) {
    return path + kRebuildSuffix;
}

std::string FolderOf(const std::string& path) {
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

std::string ErrnoText(int code) {
    return std::strerror(code);
}

// The user volumes (with the numbers already handed out) and the stored
// queries of the previous catalogue, copied into the new one's main database.
bool CarryOver(sqlite3* db, const std::string& previous, std::string& error) {
    SqlStatement attach;
    if (!attach.Prepare(db, "ATTACH DATABASE ?1 AS previous", &error) || !attach.BindText(1, previous) ||
        attach.Step() != SQLITE_DONE) {
        if (error.empty()) {
            error = SqliteMessage(db);
        }
        return false;
    }
    attach.Finalize();
    std::string columns;
    for (const ColumnDef& column : UserVolumesTable().columns) {
        columns += (columns.empty() ? "" : ", ") + QuoteSqlName(column.name);
    }
    std::string sql = "BEGIN;\n";
    sql += "INSERT INTO main.\"User Volumes\"(" + columns + ") SELECT " + columns +
           " FROM previous.\"User Volumes\";\n";
    sql += "DELETE FROM main.\"Stored Queries\";\n";
    sql +=
        "INSERT INTO main.\"Stored Queries\"(\"Name\", \"SQL\") SELECT \"Name\", \"SQL\" FROM "
        "previous.\"Stored Queries\";\n";
    bool ok = ExecuteSql(db, sql.c_str(), &error);
    if (ok) {
        SqlStatement sequence;
        // Numbers of deleted user volumes are never given out again.
        if (sequence.Prepare(db, "SELECT 1 FROM previous.sqlite_master WHERE name = 'sqlite_sequence'") &&
            sequence.Step() == SQLITE_ROW) {
            sequence.Finalize();
            ok = ExecuteSql(db,
                            "DELETE FROM main.sqlite_sequence WHERE name = 'User Volumes';"
                            "INSERT INTO main.sqlite_sequence(name, seq) SELECT name, seq FROM "
                            "previous.sqlite_sequence WHERE name = 'User Volumes';",
                            &error);
        }
    }
    ok = ok && ExecuteSql(db, "COMMIT", &error);
    if (!ok) {
        ExecuteSql(db, "ROLLBACK");
    }
    std::string ignored;
    ExecuteSql(db, "DETACH DATABASE previous", &ignored);
    return ok;
}

// Opens the previous catalogue so that no other connection has it, with its
// write-ahead log folded in and removed: a log left under the catalogue's name
// would otherwise be read into the file renamed there. The connection keeps
// everyone out until it is closed.
bool TakePreviousExclusively(const std::string& path, SqliteConnection& held, bool& in_use,
                             std::string& error) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    SqliteConnection db(raw);
    if (rc != SQLITE_OK) {
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) {
            return true;  // nothing in place to protect
        }
        error = raw != nullptr ? SqliteMessage(raw) : sqlite3_errstr(rc);
        return false;
    }
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), kExclusiveWaitMs);
    if (!ExecuteSql(db.get(), "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT;", &error) ||
        !ExecuteSql(db.get(), "PRAGMA wal_checkpoint(TRUNCATE)", &error)) {
        in_use = (sqlite3_errcode(db.get()) & 0xFF) == SQLITE_BUSY;
        ExecuteSql(db.get(), "ROLLBACK");
        return false;
    }
    SqlStatement mode;
    if (!mode.Prepare(db.get(), "PRAGMA journal_mode=DELETE", &error) || mode.Step() != SQLITE_ROW ||
        mode.ColumnText(0) != "delete") {
        error = "The previous catalogue's log could not be folded in: " + SqliteMessage(db.get());
        return false;
    }
    held = std::move(db);
    return true;
}

// Copies the finished build into the previous catalogue in one transaction,
// for when other processes have the previous one open: they go on reading
// their snapshot and see the new catalogue once the copy commits.
bool CopyIntoPrevious(const std::string& building, const std::string& path, std::string& error) {
    sqlite3* raw_source = nullptr;
    int rc = sqlite3_open_v2(building.c_str(), &raw_source, SQLITE_OPEN_READONLY, nullptr);
    SqliteConnection source(raw_source);
    if (rc != SQLITE_OK) {
        error = raw_source != nullptr ? SqliteMessage(raw_source) : sqlite3_errstr(rc);
        return false;
    }
    sqlite3* raw_target = nullptr;
    rc = sqlite3_open_v2(path.c_str(), &raw_target, SQLITE_OPEN_READWRITE, nullptr);
    SqliteConnection target(raw_target);
    if (rc != SQLITE_OK) {
        error = raw_target != nullptr ? SqliteMessage(raw_target) : sqlite3_errstr(rc);
        return false;
    }
    sqlite3_busy_timeout(target.get(), 100);
    ExecuteSql(target.get(), "PRAGMA synchronous=FULL");
    sqlite3_backup* backup = sqlite3_backup_init(target.get(), "main", source.get(), "main");
    if (backup == nullptr) {
        error = SqliteMessage(target.get());
        return false;
    }
    for (int attempt = 0; attempt < kCopyWaitMs / 100; ++attempt) {
        rc = sqlite3_backup_step(backup, -1);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED && rc != SQLITE_OK) {
            break;
        }
        sqlite3_sleep(100);
    }
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) {
        error = std::string("The new catalogue could not be copied into place: ") + sqlite3_errstr(rc);
        return false;
    }
    return true;
}

}  // namespace

void RemoveAbandonedRebuild(const std::string& path) {
    const std::string building = RebuildPathOf(path);
    const int fd = ::open(building.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    // A build that is still running holds the lock; the name must still be
    // the file locked, not one a new build has just made.
    struct stat locked {
    }, named{};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &locked) == 0 &&
        ::lstat(building.c_str(), &named) == 0 && locked.st_dev == named.st_dev &&
        locked.st_ino == named.st_ino) {
        RemoveDatabaseFiles(building);
    }
    ::close(fd);
}

namespace {

// The advisory lock that builds of one database take turns with (the server
// keeps advisory locks per database).
constexpr std::int64_t kServerBuildLock = 7175161531;

}  // namespace

bool Catalogue::BeginServerRebuild() {
    // As on SQLite, a build ends the stored query's snapshot.
    stored_query_->Release();
    user_volumes_.Close();
    if (server_work_ != 0 || pg_->InTransaction()) {
        return Fail("The catalogue is not ready for a build.");
    }
    std::string error;
    if (!pg_->Execute("BEGIN", &error)) {
        return Fail(error);
    }
    server_work_ = 1;
    server_build_ = true;
    SqlStatement lock;
    bool held = false;
    if (lock.Prepare(connection(), "SELECT pg_try_advisory_xact_lock(?1)", &error) &&
        lock.BindInt(1, kServerBuildLock) && lock.Step() == SQLITE_ROW) {
        held = lock.ColumnInt(0) != 0;
        if (!held) {
            if (build_wait_notice_) {
                build_wait_notice_(
                    "Another build of the catalogue is running; this build waits for it to end.");
            }
            lock.Finalize();
            held = lock.Prepare(connection(), "SELECT pg_advisory_xact_lock(?1)", &error) &&
                   lock.BindInt(1, kServerBuildLock) && lock.Step() == SQLITE_ROW;
        }
    }
    // New tables when they can be had, else the previous ones emptied.
    if (!held || !(ShadowCatalogueTables(*pg_, server_tables_) || EmptyCatalogueTables())) {
        if (!held) {
            error = lock.Message().empty() ? error : lock.Message();
        } else {
            error = last_error_;
        }
        EndServerRebuild(false);
        return Fail("The catalogue cannot be rebuilt: " + error);
    }
    return true;
}

bool Catalogue::EndServerRebuild(bool commit) {
    CloseCursors();
    server_build_ = false;
    server_tables_ = ServerBuildTables{};
    server_work_ = server_work_ > 0 ? 1 : 0;
    return EndServerWork(commit);
}

void Catalogue::CloseCursors() {
    stored_query_->Release();
    computer_.Close();
    volume_.Close();
    file_.Close();
    folder_.Close();
    tables_open_ = false;
    user_volumes_.Close();
}

void Catalogue::ReleaseConnection() {
    CloseCursors();
    db_.reset();
}

bool Catalogue::BeginRebuild() {
    if (!IsOpen() || tables_open_ || Rebuilding()) {
        return Fail("The catalogue is not ready for a build.");
    }
    last_error_.clear();
    if (pg_ != nullptr) {
        return BeginServerRebuild();
    }
    const std::string building = RebuildPathOf(path_);
    const int fd = ::open(building.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        return Fail("The new catalogue " + building + " cannot be created: " + ErrnoText(errno));
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return Fail("Another build of the catalogue " + path_ + " is running.");
    }
    // What a killed build left here is thrown away.
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        std::remove((building + suffix).c_str());
    }
    auto give_up = [&](const std::string& message) {
        std::remove(building.c_str());
        ::close(fd);
        return Fail(message);
    };
    if (::ftruncate(fd, 0) != 0) {
        return give_up("The new catalogue " + building + " cannot be written: " + ErrnoText(errno));
    }

    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(building.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    SqliteConnection db(raw);
    std::string error;
    if (rc != SQLITE_OK) {
        return give_up(raw != nullptr ? SqliteMessage(raw) : sqlite3_errstr(rc));
    }
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), busy_timeout_ms_);
    // The file only counts once it is complete, synced and renamed: the
    // journal stays in memory and commits are not synced one by one.
    if (!ExecuteSql(db.get(),
                    "PRAGMA journal_mode=MEMORY; PRAGMA synchronous=OFF; PRAGMA temp_store=FILE; "
                    "PRAGMA cache_size=-32768",
                    &error) ||
        !ConfigureJetConnection(db.get(), error) || !ExecuteSql(db.get(), "BEGIN", &error) ||
        !CreateCatalogueSchema(db.get(), error) || !ExecuteSql(db.get(), "COMMIT", &error) ||
        !CarryOver(db.get(), path_, error)) {
        if (error.empty()) {
            error = SqliteMessage(db.get());
        }
        db.reset();
        return give_up("The new catalogue cannot be written: " + error);
    }
    ReleaseConnection();
    db_ = std::move(db);
    rebuild_lock_ = fd;
    return true;
}

void Catalogue::DiscardRebuild() {
    if (pg_ != nullptr) {
        const std::string reason = last_error_;
        EndServerRebuild(false);
        last_error_ = reason;
        return;
    }
    ReleaseConnection();
    RemoveDatabaseFiles(RebuildPathOf(path_));
    ::close(rebuild_lock_);
    rebuild_lock_ = -1;
}

void Catalogue::AbandonRebuild() {
    if (!Rebuilding()) {
        return;
    }
    if (pg_ != nullptr) {
        DiscardRebuild();
        return;
    }
    const std::string previous = path_;
    const std::string reason = last_error_;
    DiscardRebuild();
    path_.clear();
    OpenCatalogue(previous);
    if (!reason.empty()) {
        last_error_ = reason;
    }
}

bool Catalogue::FinishRebuild() {
    if (!Rebuilding()) {
        return Fail("No build is in progress.");
    }
    if (pg_ != nullptr) {
        if (tables_open_) {
            Fail("The build was not committed.");
            AbandonRebuild();
            return false;
        }
        // The planner's figures describe the new rows from the commit on.
        std::string error;
        if (!(server_tables_.shadowing ? PutShadowTablesInPlace(*pg_, server_tables_, busy_timeout_ms_, error)
                                       : pg_->Execute("ANALYZE \"Volume\", \"Folder\", \"File\"", &error))) {
            Fail(error);
            AbandonRebuild();
            return false;
        }
        // Other programs' windows load the new catalogue once it commits.
        if (!AnnounceCatalogueBuild(*pg_, error)) {
            Fail(error);
            AbandonRebuild();
            return false;
        }
        // Other programs see the new catalogue from this commit on; a failure
        // rolls it back and leaves the previous one in place.
        return EndServerRebuild(true);
    }
    if (tables_open_ || sqlite3_get_autocommit(db_.get()) == 0) {
        Fail("The build was not committed.");
        AbandonRebuild();
        return false;
    }
    ReleaseConnection();
    const std::string building = RebuildPathOf(path_);
    // Complete on disk before it carries the catalogue's name.
    if (::fsync(rebuild_lock_) != 0) {
        Fail("The new catalogue could not be written: " + ErrnoText(errno));
        AbandonRebuild();
        return false;
    }
    SqliteConnection previous;
    std::string error;
    bool in_use = false;
    if (!TakePreviousExclusively(path_, previous, in_use, error)) {
        if (!in_use || !CopyIntoPrevious(building, path_, error)) {
            Fail(error);
            AbandonRebuild();
            return false;
        }
        DiscardRebuild();
        const std::string path = path_;
        path_.clear();
        return OpenCatalogue(path);
    }
    if (std::rename(building.c_str(), path_.c_str()) != 0) {
        Fail("The new catalogue could not replace " + path_ + ": " + ErrnoText(errno));
        previous.reset();
        AbandonRebuild();
        return false;
    }
    SyncPath(FolderOf(path_), O_RDONLY | O_DIRECTORY);
    previous.reset();
    // Closed only now: closing any descriptor of the file would drop the
    // engine's locks on it.
    ::close(rebuild_lock_);
    rebuild_lock_ = -1;
    const std::string path = path_;
    path_.clear();
    return OpenCatalogue(path);
}

}  // namespace korvane
