// The catalogue: one SQLite file opened for the whole run, its four table
// cursors (Computer, Volume, Folder, File) opened around each piece of work,
// the User Volumes cursor, and the one stored query with its snapshot.
//
// Durability: the file runs in WAL mode with full syncs, so other processes
// can read it while Korvane writes. While the tables are open the catalogue
// holds one transaction, committed when they close; a scan's million rows are
// thus written together, and a crash in the middle leaves the catalogue as
// it was when the tables were opened.
//
// On a PostgreSQL server (a Database setting that is a postgresql:// URI) the
// same tables live in the server's database and several programs share
// them. The catalogue then holds one server transaction while any of its
// work is under way (open tables, a snapshot, a folder tree being read, a
// build) and commits when the last of them ends. A build writes its rows
// with COPY into new tables inside one transaction and puts them in place
// of the previous ones at the end (see server_build_tables.h): other
// programs see the previous catalogue until it commits, and a kill or a
// lost connection rolls it back. Builds of one database take turns through
// an advisory lock.
//
// Failures return false. Only opening and closing the tables (and setting a
// stored query's SQL) show the engine's message, with the exclamation icon.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/user_interface.h"
#include "catalogue/pg_connection.h"
#include "catalogue/scan_records.h"
#include "catalogue/server_build_tables.h"
#include "catalogue/sql_statement.h"
#include "catalogue/stored_query.h"
#include "catalogue/table_cursor.h"

namespace korvane {

class Catalogue {
  public:
    explicit Catalogue(UserInterface& ui);
    ~Catalogue();
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;

    // Opens an existing catalogue read-write, shared with other processes;
    // when another process holds it locked, waits up to the busy timeout.
    // Refuses, without changing the file, one that is missing, read-only, not
    // an SQLite database or without the catalogue's tables; last_error says
    // which.
    // A postgresql:// (or postgres://) URI opens the catalogue on that
    // server; the database's catalogue tables are created when it has none.
    bool OpenCatalogue(const std::string& path);
    // Closes the stored query, the tables (committing their work) and the
    // file. False when nothing was open.
    bool CloseCatalogue();
    bool IsOpen() const { return db_ != nullptr || pg_ != nullptr; }
    // True when the catalogue is on a PostgreSQL server.
    bool OnServer() const { return pg_ != nullptr; }
    const std::string& path() const { return path_; }

    // Opens Computer, Volume, Folder and File in that order and begins the
    // transaction that CloseCatalogueTables commits. False at once when the
    // catalogue is not open; an engine error is shown.
    bool OpenCatalogueTables();
    // Closes Computer, Volume, File and Folder and commits. An engine error
    // is shown, and the work stays pending for the next close.
    bool CloseCatalogueTables();
    bool TablesOpen() const { return tables_open_; }

    // A build never touches the catalogue in place. BeginRebuild makes a new,
    // empty catalogue file beside it (path() + ".rebuild") holding its user
    // volumes and stored queries, and from then on every operation works on
    // that file; readers in other processes go on seeing the previous one.
    // False (previous catalogue still open) when the file cannot be made or
    // another build of this catalogue is running.
    bool BeginRebuild();
    // Puts the finished rebuild in place with one atomic rename, once the
    // work is committed (tables closed) and on disk, and reopens it. Waits
    // for other processes to let go of the previous catalogue. False when
    // the rebuild could not be put in place: it is then discarded and the
    // previous catalogue is open again, unchanged.
    bool FinishRebuild();
    // Discards the rebuild; the previous catalogue is open again, unchanged.
    void AbandonRebuild();
    bool Rebuilding() const { return rebuild_lock_ >= 0 || server_build_; }
    // Told (once) when a build on the server has to wait for another.
    void set_build_wait_notice(std::function<void(const std::string&)> notice) {
        build_wait_notice_ = std::move(notice);
    }

    // Deletes every row of Computer, Volume, Folder and File (User Volumes and
    // the stored queries stay). An error on one table does not stop the
    // others; false when any table could not be emptied.
    bool EmptyCatalogueTables();

    // The first Computer row's keys; false (counters unchanged) without one.
    bool ReadIdCounters(IdCounters& counters);
    // Writes the counters into the first Computer row; false without one.
    bool WriteIdCounters(const IdCounters& counters);

    // Makes "PrimaryKey" the current index and seeks the identifier; the row
    // found is current for reading or editing.
    bool SeekFolderRow(std::int32_t folder_id);
    bool SeekFileRow(std::int32_t file_id);

    TableCursor& computer_table() { return computer_; }
    TableCursor& volume_table() { return volume_; }
    TableCursor& folder_table() { return folder_; }
    TableCursor& file_table() { return file_; }
    TableCursor& user_volumes_table() { return user_volumes_; }
    StoredQuery& stored_query() { return *stored_query_; }

    // Checks the file page by page, the schema, and the rules queries rely on
    // (every folder's parent and every file's folder exists, each volume's
    // root folder exists, the counters lie above the identifiers in use).
    // report gets one line per finding, or a line saying all is in order.
    bool IntegrityCheck(std::string& report);

    // The SQLite connection; null on a server.
    sqlite3* handle() const { return db_.get(); }
    // The connection of either engine.
    DbHandle connection() const;
    // Server work nests: the first Begin starts a transaction (repeatable
    // read when consistent, for several reads of one state), the last End
    // commits it (or rolls it back). Without effect on SQLite.
    bool BeginServerWork(bool consistent = false);
    bool EndServerWork(bool commit = true);
    UserInterface& ui() const { return ui_; }

    // A catalogue on a server whose connection is gone (the server ended it,
    // or the server or the network went down). Work then fails with the
    // server's message; nothing the server committed is lost.
    bool ConnectionLost() const;
    // True, with the server's message, the first time it is asked after work
    // met a lost connection; asked again, false until work meets it again.
    bool TakeConnectionLoss(std::string& message);
    // Connects to the server again. What was under way when the connection
    // went (open tables, a snapshot) ended with it on the server and is let
    // go here. False, with the server's message in error and last_error(),
    // when the server cannot be reached (the catalogue can be asked again),
    // on SQLite and during a build.
    bool Reconnect(std::string& error);
    // True while open tables, a snapshot, a build or other server work are
    // under way.
    bool WorkUnderWay() const;
    // The server process serving the catalogue's connection; 0 on SQLite.
    int ServerProcessId() const;
    // On: the message of a lost connection is left to the program's offer
    // to reconnect instead of being shown as an engine message.
    void set_offers_reconnect(bool on) { offers_reconnect_ = on; }

    // Shows an engine message the way the catalogue's failure rules say:
    // exclamation icon, OK button, at most 511 characters.
    void ShowEngineMessage(std::string_view message) const;
    // The engine's message for a row a table cursor could not save.
    std::string LastRowError() const;
    // The reason for the last failure of an operation of this object.
    const std::string& last_error() const { return last_error_; }
    // Reads pages through a memory map while on, where the catalogue's disk
    // allows it (a fixed local disk). Query snapshots turn it on for their
    // lifetime; a scan, which mostly writes, reads without it.
    void MapForReading(bool on);
    // How long an operation waits for another process's lock (default 3000 ms).
    void set_busy_timeout_ms(int milliseconds) { busy_timeout_ms_ = milliseconds; }

  private:
    bool Fail(std::string message);
    bool CommitPending();
    // Closes the stored query, the cursors and the connection without
    // committing; the rebuild file and its lock go.
    void DiscardRebuild();
    // Lets go of the stored query's snapshot and every open table.
    void CloseCursors();
    void ReleaseConnection();
    bool OpenServerCatalogue(const std::string& uri);
    bool BeginServerRebuild();
    bool EndServerRebuild(bool commit);
    // Keeps the message of a connection found lost (the failure's own
    // message when known), for TakeConnectionLoss.
    void NoteConnectionLoss(std::string_view message = {}) const;

    UserInterface& ui_;
    SqliteConnection db_;
    std::string path_;
    int busy_timeout_ms_ = 3000;
    bool mappable_ = false;
    TableCursor computer_;
    TableCursor volume_;
    TableCursor folder_;
    TableCursor file_;
    TableCursor user_volumes_;
    std::unique_ptr<StoredQuery> stored_query_;
    bool tables_open_ = false;
    std::string last_error_;
    // The rebuild file, locked while a build writes it; -1 when none.
    int rebuild_lock_ = -1;
    std::unique_ptr<PgConnection> pg_;
    int server_work_ = 0;  // nested users of the server transaction
    bool server_build_ = false;
    ServerBuildTables server_tables_;
    std::function<void(const std::string&)> build_wait_notice_;
    bool offers_reconnect_ = false;
    // The loss of the connection: the server's message, and whether
    // TakeConnectionLoss has told of it since work last met it.
    mutable std::string loss_message_;
    mutable bool loss_told_ = false;
    mutable bool reconnect_tried_ = false;  // since the connection was last seen lost
};

// Removes what a killed build left beside the catalogue at path, unless a
// build is still writing it.
void RemoveAbandonedRebuild(const std::string& path);

// Compacts a closed catalogue. On a server: VACUUM and ANALYZE of its
// tables. In a file: VACUUM INTO "~tmp.db" in the same folder (the
// current folder for a bare file name), then the copy replaces the file. The
// catalogue stays exclusively locked throughout, so one that another process
// is using is left alone; any failure leaves the catalogue file as it was.
bool CompactCatalogue(const std::string& path, std::string* error = nullptr, int busy_timeout_ms = 3000);

}  // namespace korvane
