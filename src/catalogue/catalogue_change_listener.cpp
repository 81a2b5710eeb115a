#include "catalogue/catalogue_change_listener.h"

namespace korvane {

bool AnnounceCatalogueBuild(PgConnection& connection, std::string& error) {
    return connection.Execute(std::string("NOTIFY ") + kCatalogueChangeChannel + ", 'build'", &error);
}

bool CatalogueChangeListener::Listen(const std::string& uri, std::string& error) {
    auto connection = std::make_unique<PgConnection>();
    if (!connection->Connect(uri, error) ||
        !connection->Execute(std::string("LISTEN ") + kCatalogueChangeChannel, &error)) {
        connection_.reset();
        return false;
    }
    connection_ = std::move(connection);
    return true;
}

int CatalogueChangeListener::Socket() const {
    return connection_ != nullptr ? PQsocket(connection_->get()) : -1;
}

bool CatalogueChangeListener::TakeNotices(std::vector<CatalogueChangeNotice>& notices, std::string* error) {
    if (connection_ == nullptr) {
        return false;
    }
    PGconn* conn = connection_->get();
    const bool read = PQconsumeInput(conn) == 1;
    // Notices that arrived before a loss still count.
    while (PGnotify* notice = PQnotifies(conn)) {
        notices.push_back({notice->be_pid, notice->extra != nullptr ? notice->extra : ""});
        PQfreemem(notice);
    }
    if (!read || !connection_->Alive()) {
        if (error != nullptr) {
            *error = connection_->Message();
        }
        connection_.reset();
        return false;
    }
    return true;
}

bool ChangedByOthers(const std::vector<CatalogueChangeNotice>& notices, int own_server_pid) {
    for (const CatalogueChangeNotice& notice : notices) {
        if (notice.server_pid != own_server_pid) {
            return true;
        }
    }
    return false;
}

}  // namespace korvane
