// A catalogue on a server whose connection is lost (ended by the server,
// refused when made again) and connected again, and the notice a committed
// build sends to the programs that listen for it.
#include <gtest/gtest.h>
#include <poll.h>

#include <string>
#include <vector>

#include "catalogue/catalogue_change_listener.h"
#include "catalogue_fixture.h"

namespace korvane::testing {
namespace {

class ServerConnectionTest : public CatalogueTest {
  protected:
    CatalogueEngine engine() const override { return CatalogueEngine::Postgres; }

    std::string DatabaseName() const {
        const std::size_t slash = path_.find("@/") + 2;
        return path_.substr(slash, path_.find('?') - slash);
    }
    // The server's own database: the catalogue's may refuse connections.
    std::string ServerDatabase() const {
        return path_.substr(0, path_.find("@/") + 2) + "postgres" + path_.substr(path_.find('?'));
    }
    // Ends a server process from another connection, as an administrator would.
    void Terminate(int server_pid) {
        OtherConnection other(ServerDatabase());
        ASSERT_EQ(other.Rows("SELECT pg_terminate_backend(" + std::to_string(server_pid) + ")"), "t|\n");
    }
    void AllowConnections(bool allow) {
        OtherConnection other(ServerDatabase());
        ASSERT_TRUE(other.Exec("ALTER DATABASE " + DatabaseName() + " ALLOW_CONNECTIONS " +
                               (allow ? "true" : "false")));
    }
    // Work that meets the connection: reading a stored query.
    void TouchServer() { catalogue_.stored_query().OpenStoredQuery("Anything"); }
    void ExpectFolderThere() {
        OpenTables();
        EXPECT_TRUE(catalogue_.SeekFolderRow(1));
        EXPECT_TRUE(catalogue_.CloseCatalogueTables());
    }
};

TEST_F(ServerConnectionTest, ALostConnectionIsToldOnceForEachMeetingAndReconnectGoesOn) {
    catalogue_.set_offers_reconnect(true);  // a window offers to reconnect
    OpenTables();
    AddFolder(1, 0, 0, "root");
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());
    Terminate(catalogue_.ServerProcessId());
    // Nothing has met the loss yet.
    EXPECT_FALSE(catalogue_.ConnectionLost());
    std::string message;
    EXPECT_FALSE(catalogue_.TakeConnectionLoss(message));

    TouchServer();
    EXPECT_TRUE(catalogue_.ConnectionLost());
    EXPECT_FALSE(catalogue_.WorkUnderWay());
    ASSERT_TRUE(catalogue_.TakeConnectionLoss(message));
    EXPECT_NE(message.find("terminating connection due to administrator command"), std::string::npos)
        << message;
    EXPECT_FALSE(catalogue_.TakeConnectionLoss(message));
    // Work that meets it again is told again, still with the server's words.
    TouchServer();
    message.clear();
    ASSERT_TRUE(catalogue_.TakeConnectionLoss(message));
    EXPECT_NE(message.find("terminating connection"), std::string::npos) << message;

    std::string error;
    ASSERT_TRUE(catalogue_.Reconnect(error)) << error;
    EXPECT_FALSE(catalogue_.ConnectionLost());
    EXPECT_FALSE(catalogue_.TakeConnectionLoss(message));
    ExpectFolderThere();
}

TEST_F(ServerConnectionTest, WithoutAWindowTheNextStatementConnectsAgain) {
    OpenTables();
    AddFolder(1, 0, 0, "root");
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());
    Terminate(catalogue_.ServerProcessId());
    TouchServer();  // the statement that meets the loss fails
    EXPECT_TRUE(catalogue_.ConnectionLost());
    TouchServer();  // the next one connects first
    EXPECT_FALSE(catalogue_.ConnectionLost());
    ExpectFolderThere();
}

TEST_F(ServerConnectionTest, ALossInsideOpenTablesIsLetGoByReconnect) {
    OpenTables();
    AddFolder(1, 0, 0, "root");
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());
    OpenTables();
    Terminate(catalogue_.ServerProcessId());
    EXPECT_FALSE(catalogue_.SeekFolderRow(1));
    EXPECT_TRUE(catalogue_.ConnectionLost());
    EXPECT_TRUE(catalogue_.WorkUnderWay());
    std::string error;
    ASSERT_TRUE(catalogue_.Reconnect(error)) << error;
    EXPECT_FALSE(catalogue_.WorkUnderWay());
    EXPECT_FALSE(catalogue_.TablesOpen());
    ExpectFolderThere();
}

TEST_F(ServerConnectionTest, AServerThatRefusesGivesItsMessageAndNothingIsLost) {
    OpenTables();
    AddFolder(1, 0, 0, "root");
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());
    AllowConnections(false);
    Terminate(catalogue_.ServerProcessId());
    TouchServer();
    std::string error;
    EXPECT_FALSE(catalogue_.Reconnect(error));
    EXPECT_NE(error.find("is not currently accepting connections"), std::string::npos) << error;
    EXPECT_EQ(catalogue_.last_error(), error);
    EXPECT_TRUE(catalogue_.ConnectionLost());
    // The box that tried has told the person already.
    std::string message;
    EXPECT_FALSE(catalogue_.TakeConnectionLoss(message));
    // Work that tries to connect by itself meets the refusal and is told of it.
    EXPECT_FALSE(catalogue_.OpenCatalogueTables());
    ASSERT_TRUE(catalogue_.TakeConnectionLoss(message));
    EXPECT_NE(message.find("is not currently accepting connections"), std::string::npos) << message;

    AllowConnections(true);
    ASSERT_TRUE(catalogue_.Reconnect(error)) << error;
    ExpectFolderThere();
}

TEST_F(ServerConnectionTest, OnAFileThereIsNoServerToLoseOrReconnect) {
    std::string error;
    const std::string file = FreshCatalogue(CatalogueEngine::Sqlite, dir_.path().string(), error);
    RecordingUserInterface ui;
    Catalogue local(ui);
    ASSERT_TRUE(local.OpenCatalogue(file)) << local.last_error();
    EXPECT_FALSE(local.ConnectionLost());
    EXPECT_FALSE(local.Reconnect(error));
    EXPECT_EQ(local.ServerProcessId(), 0);
}

// Reads notices until count have come or five seconds have passed.
std::vector<CatalogueChangeNotice> WaitForNotices(CatalogueChangeListener& listener, std::size_t count,
                                                  bool& listening) {
    std::vector<CatalogueChangeNotice> notices;
    listening = true;
    for (int waited = 0; listening && notices.size() < count && waited < 5000; waited += 50) {
        pollfd socket{listener.Socket(), POLLIN, 0};
        if (::poll(&socket, 1, 50) > 0)
            listening = listener.TakeNotices(notices);
    }
    return notices;
}

TEST_F(ServerConnectionTest, OnlyACommittedBuildIsAnnouncedWithItsServerProcess) {
    CatalogueChangeListener listener;
    std::string error;
    ASSERT_TRUE(listener.Listen(path_, error)) << error;
    // A build rolled back tells nobody.
    ASSERT_TRUE(catalogue_.BeginRebuild()) << catalogue_.last_error();
    catalogue_.AbandonRebuild();

    RecordingUserInterface other_ui;
    Catalogue other(other_ui);
    ASSERT_TRUE(other.OpenCatalogue(path_)) << other.last_error();
    ASSERT_TRUE(other.BeginRebuild()) << other.last_error();
    ASSERT_TRUE(other.FinishRebuild()) << other.last_error();

    bool listening = false;
    std::vector<CatalogueChangeNotice> notices = WaitForNotices(listener, 1, listening);
    EXPECT_TRUE(listening);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].server_pid, other.ServerProcessId());
    EXPECT_EQ(notices[0].payload, "build");
    EXPECT_TRUE(ChangedByOthers(notices, catalogue_.ServerProcessId()));
    EXPECT_FALSE(ChangedByOthers(notices, other.ServerProcessId()));

    // The listener's own connection ended: it stops listening and says so.
    OtherConnection admin(path_);
    const std::string pid = admin.Rows(
        "SELECT pid FROM pg_stat_activity WHERE datname = current_database() AND query LIKE 'LISTEN%'");
    ASSERT_FALSE(pid.empty());
    Terminate(std::stoi(pid));
    notices = WaitForNotices(listener, 1, listening);
    EXPECT_FALSE(listening);
    EXPECT_FALSE(listener.Listening());
    EXPECT_EQ(listener.Socket(), -1);
}

}  // namespace
}  // namespace korvane::testing
