// A connection to a catalogue kept on a PostgreSQL server, through libpq.
//
// The server is named by a connection URI in libpq's own syntax
// (postgresql://[user@]host[:port]/dbname?sslmode=...); passwords come from
// libpq's own places (~/.pgpass, PGPASSWORD, a service file), never from the
// settings. Every failure keeps the server's (or libpq's) message.
//
// Inside a transaction a failed statement is rolled back to a savepoint taken
// just before it, so, as on the embedded engine, one refused statement does
// not undo the transaction's other work.
//
// Rows added during a build are not inserted one by one: they go through
// COPY. One table's rows stream to the server as they come; another table's
// wait in memory until they grow large, when they become the stream. Every
// row is sent before any other statement runs on the connection, so every
// statement sees them.
#pragma once

#include <libpq-fe.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

struct PgResultFree {
    void operator()(PGresult* result) const { PQclear(result); }
};
using PgResult = std::unique_ptr<PGresult, PgResultFree>;

// True when a Database setting names a PostgreSQL server rather than a file.
bool IsPostgresUri(std::string_view database);

class PgConnection {
  public:
    PgConnection() = default;
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    bool Connect(const std::string& uri, std::string& error);
    // Connects again with the same parameters after the connection was lost.
    bool Reconnect(std::string& error);
    PGconn* get() const { return conn_; }
    // The connection's last message, without its trailing line end.
    std::string Message() const;
    // False once the connection to the server is lost.
    bool Alive() const;

    // Runs one statement with parameters in text form ($1, $2, ...; a null
    // pointer is NULL). Null result (with the message in error) on failure.
    PgResult Run(const std::string& sql, const std::vector<const char*>& values, std::string& error);
    // Runs statements without parameters (several, separated by ";").
    bool Execute(std::string_view sql, std::string* error = nullptr);
    bool InTransaction() const;

    // Counts the statements that may have changed rows, so a cursor can tell
    // whether the rows it fetched ahead are still current.
    std::uint64_t changes() const { return changes_; }

    // Adds one row in binary COPY form (its field count, then each field's
    // length and bytes) for target ("<table>(<columns>)"). False when an
    // earlier send failed.
    bool CopyRow(const std::string& target, std::string_view row);
    // Sends every buffered row. False (error set) when the server refused them.
    bool FlushCopies(std::string* error = nullptr);
    // Drops unsent rows and a send's failure (the transaction was rolled back).
    void DiscardCopies();

  private:
    // The session settings every connection of the catalogue runs with.
    bool Configure(std::string& error);
    struct CopyBuffer {
        std::string target;
        std::string rows;
    };
    // Opens the COPY of the buffer's table and sends what it holds.
    bool StartStreaming(CopyBuffer& buffer, std::string& error);
    // Ends the open COPY (abandon: with that reason, its rows dropped).
    bool EndStreaming(std::string& error, const char* abandon = nullptr);

    PGconn* conn_ = nullptr;
    std::uint64_t changes_ = 0;
    std::vector<CopyBuffer> copies_;
    std::string streaming_;  // the table whose COPY is open, or ""
    std::string copy_error_;
};

// Bytes as the server keeps them (any byte that is not valid UTF-8 becomes a
// character of its own, see pg_text.h), and back. The text itself when it
// needs no change, else the form made in scratch.
std::string_view ToServerText(std::string_view bytes, std::string& scratch);
std::string_view FromServerText(std::string_view text, std::string& scratch);

}  // namespace korvane
