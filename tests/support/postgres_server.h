// A real PostgreSQL server for the tests, and fresh databases on it.
//
// Under ctest one server serves the whole run: the fixture program
// (korvane_postgres_fixture start|stop FOLDER) starts it before the first
// test that needs it and stops it after the last, and records where its
// socket is in FOLDER (the build folder's "postgres-test-server"). A test
// program run on its own finds no such record and starts a private server,
// stopped when the program ends.
//
// The server listens only on a Unix socket in its own temporary folder (no
// TCP), trusts every local connection, and runs without fsync. As root it
// runs as "nobody", since the server refuses to run as root.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct pg_conn;

namespace korvane::testing {

// The folder under the build folder where the ctest run's server is recorded.
std::string SharedPostgresRecordFolder();

// Starts a server and records it in record_folder (created if missing). A
// server recorded there already is stopped and removed first.
bool StartRecordedPostgresServer(const std::string& record_folder, std::string& error);

// Stops the server recorded in record_folder and removes its files. True
// when nothing is recorded.
bool StopRecordedPostgresServer(const std::string& record_folder, std::string& error);

// Creates a new, empty database with a name no other test uses and returns
// its connection URI (libpq's syntax), or "" with the reason in error.
std::string FreshPostgresDatabase(std::string& error);

// Drops a database made by FreshPostgresDatabase (given its URI).
bool DropPostgresDatabase(const std::string& uri, std::string& error);

// A connection for checks made directly on a test database.
class PostgresTestConnection {
  public:
    using Row = std::vector<std::optional<std::string>>;  // nullopt for NULL

    bool Connect(const std::string& uri, std::string& error);
    // Runs statements that return no rows.
    bool Execute(const std::string& sql, std::string& error);
    // Runs one query; every value in text form.
    bool Query(const std::string& sql, std::vector<Row>& rows, std::string& error);
    pg_conn* get() const { return connection_.get(); }

  private:
    struct Closer {
        void operator()(pg_conn* connection) const;
    };
    std::unique_ptr<pg_conn, Closer> connection_;
};

}  // namespace korvane::testing
