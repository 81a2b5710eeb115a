// Telling the programs that share a catalogue on a server that a build has
// changed it. The build announces itself inside its own transaction, so the
// server delivers the notice only if and when the build commits; a build
// rolled back tells nobody. A program listens on a small connection of its
// own, since the catalogue's connection is busy with its own work.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "catalogue/pg_connection.h"

namespace korvane {

// The server's channel for a catalogue's builds (the server keeps channels
// per database, so each catalogue has its own).
inline constexpr const char* kCatalogueChangeChannel = "korvane_catalogue";

// Announces a build on the connection that is about to commit it.
bool AnnounceCatalogueBuild(PgConnection& connection, std::string& error);

struct CatalogueChangeNotice {
    // The server process of the connection that committed the build.
    int server_pid = 0;
    std::string payload;
};

class CatalogueChangeListener {
  public:
    // Connects to the catalogue's server (a postgresql:// URI) and listens.
    bool Listen(const std::string& uri, std::string& error);
    void Stop() { connection_.reset(); }
    bool Listening() const { return connection_ != nullptr; }
    // The connection's socket, readable when the server has sent something;
    // -1 when not listening.
    int Socket() const;
    // Reads what the server has sent and appends the notices that came.
    // False (and listening stops) when the connection was lost: builds may
    // then go unnoticed until it listens again.
    bool TakeNotices(std::vector<CatalogueChangeNotice>& notices, std::string* error = nullptr);

  private:
    std::unique_ptr<PgConnection> connection_;
};

// True when a notice comes from a connection other than own_server_pid, the
// server process of the program's own catalogue connection.
bool ChangedByOthers(const std::vector<CatalogueChangeNotice>& notices, int own_server_pid);

}  // namespace korvane
