// The FTP client against the tests' own scripted server: what real servers
// rarely do, done on purpose.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "scan/ftp/ftp_client.h"
#include "scan/ftp/net_error.h"
#include "scripted_server.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::ScriptedServer;
using namespace std::chrono_literals;

class FtpScriptedTest : public ::testing::Test {
  protected:
    void SetUp() override {
        connection.timeouts = FtpTimeouts{2, 2, 2, 2, 2};
        connection.temp_folder = temp.str();
        SetLastNetError(0);
    }

    bool Login(std::string* reply = nullptr) {
        server.Start();
        return FtpLogin(connection, "127.0.0.1", "", "alice", "pa ss", server.port(), reply);
    }

    std::vector<std::string> Stop() {
        server.Stop();
        return server.Received();
    }

    std::size_t FilesInTemp() {
        std::size_t count = 0;
        for ([[maybe_unused]] const auto& item : std::filesystem::directory_iterator(temp.path()))
            ++count;
        return count;
    }

    testing::TempDir temp;
    ScriptedServer server;
    FtpConnection connection;
};

TEST_F(FtpScriptedTest, MultiLineGreetingIsOneReplyAndLoginSendsExactCommands) {
    server.Send("220-Welcome to the\r\n220-scripted server\r\n220 Ready\r\n")
        .Receive()
        .Send("331 Password required\r\n")
        .Receive()
        .Send("230 Logged in\r\n")
        .Receive()
        .Send("221 Bye\r\n");
    std::string reply = "stale";
    ASSERT_TRUE(Login(&reply));
    EXPECT_TRUE(connection.logged_in);
    EXPECT_TRUE(reply.empty());
    EXPECT_EQ(connection.replies.QueuedReplies(), 0u);
    EXPECT_EQ(ntohl(connection.local_address.s_addr), INADDR_LOOPBACK);

    SetLastNetError(kNetErrorTimedOut);
    FtpClose(connection);
    EXPECT_FALSE(connection.control.Valid());
    EXPECT_FALSE(connection.logged_in);
    EXPECT_EQ(LastNetError(), 0);
    EXPECT_EQ(Stop(), (std::vector<std::string>{"USER alice", "PASS pa ss", "QUIT"}));
}

TEST_F(FtpScriptedTest, InitialDirectoryIsEnteredOrFailsTheLogin) {
    server.Login().Receive().Send("550 No such directory\r\n");
    server.Start();
    std::string reply;
    EXPECT_FALSE(FtpLogin(connection, "127.0.0.1", "/pub/docs", "alice", "pw", server.port(), &reply));
    EXPECT_EQ(reply, "550 No such directory\r\n");
    EXPECT_EQ(LastNetError(), 0) << "a refusal is not a network error";
    EXPECT_EQ(Stop().back(), "CWD /pub/docs");
}

TEST_F(FtpScriptedTest, TwoRepliesInOnePacketAreTakenOneAfterTheOther) {
    server.Login().Receive().Send("200 first\r\n200 second\r\n");
    ASSERT_TRUE(Login());
    std::string reply;
    ASSERT_TRUE(FtpCommand(connection, "NOOP\r\n", "200", &reply));
    EXPECT_EQ(reply, "200 first\r\n");
    EXPECT_EQ(connection.replies.QueuedReplies(), 1u);
    ASSERT_TRUE(FtpTakeReply(connection, "200", &reply));
    EXPECT_EQ(reply, "200 second\r\n");
}

TEST_F(FtpScriptedTest, ReplySplitAcrossPacketsIsJoined) {
    server.Send("2")
        .Pause(50ms)
        .Send("20 Rea")
        .Pause(50ms)
        .Send("dy\r")
        .Pause(50ms)
        .Send("\n")
        .Receive()
        .Send("331 pw\r\n")
        .Receive()
        .Send("230 ok\r\n")
        .Receive()
        .Send("211-fir")
        .Pause(50ms)
        .Send("st\r\n21")
        .Pause(50ms)
        .Send("1 last\r")
        .Pause(50ms)
        .Send("\n");
    ASSERT_TRUE(Login());
    std::string reply;
    ASSERT_TRUE(FtpCommand(connection, "STAT\r\n", "211", &reply));
    EXPECT_EQ(reply, "211-first\r\n211 last\r\n");
}

TEST_F(FtpScriptedTest, ExpectedCodeAndPositiveRepliesDecideSuccess) {
    server.Login()
        .Receive()
        .Send("350 Ready for more\r\n")
        .Receive()
        .Send("450 Busy\r\n")
        .Receive()
        .Send("2500 four digits\r\n");
    ASSERT_TRUE(Login());
    std::string reply;
    EXPECT_TRUE(FtpCommand(connection, "REST 0\r\n", "", &reply)) << "3xx is positive";
    EXPECT_FALSE(FtpCommand(connection, "NOOP\r\n", "", &reply)) << "4xx is not";
    EXPECT_EQ(reply, "450 Busy\r\n");
    EXPECT_TRUE(FtpCommand(connection, "CWD x\r\n", "250", &reply))
        << "only the first three characters count";
}

TEST_F(FtpScriptedTest, SilentServerFailsTheLoginAtTheTimeout) {
    connection.timeouts.reply = 1;
    server.Silence();
    std::string reply = "stale";
    EXPECT_FALSE(Login(&reply));
    EXPECT_EQ(LastNetError(), kNetErrorTimedOut);
    EXPECT_TRUE(reply.empty());
    FtpClose(connection);
    EXPECT_EQ(Stop(), std::vector<std::string>{}) << "QUIT is only sent after a login";
}

TEST_F(FtpScriptedTest, SilenceAfterACommandFailsThatCommand) {
    connection.timeouts.reply = 1;
    server.Login().Receive().Silence();
    ASSERT_TRUE(Login());
    EXPECT_FALSE(FtpCommand(connection, "NOOP\r\n", "200", nullptr));
    EXPECT_EQ(LastNetError(), kNetErrorTimedOut);
}

TEST_F(FtpScriptedTest, ResetDuringLoginIsConnectionReset) {
    server.Send("220 Ready\r\n").Receive().Reset();
    std::string reply;
    EXPECT_FALSE(Login(&reply));
    EXPECT_EQ(LastNetError(), kNetErrorConnectionReset);
    EXPECT_EQ(reply, "220 Ready\r\n") << "the last reply received goes to the caller";
}

TEST_F(FtpScriptedTest, OrderlyCloseDuringLoginIsAlsoConnectionReset) {
    server.Send("220 Ready\r\n").Receive().Close();
    EXPECT_FALSE(Login());
    EXPECT_EQ(LastNetError(), kNetErrorConnectionReset);
}

TEST_F(FtpScriptedTest, UserAcceptedWithoutPasswordFailsTheLogin) {
    server.Send("220 Ready\r\n").Receive().Send("230 Anonymous access granted\r\n");
    std::string reply;
    EXPECT_FALSE(Login(&reply));
    EXPECT_FALSE(connection.logged_in);
    EXPECT_EQ(reply, "230 Anonymous access granted\r\n");
    EXPECT_EQ(Stop(), std::vector<std::string>{"USER alice"}) << "no password is sent after a 230";
}

TEST_F(FtpScriptedTest, GreetingOtherThan220FailsTheLogin) {
    server.Send("421 Too many users\r\n");
    std::string reply;
    EXPECT_FALSE(Login(&reply));
    EXPECT_EQ(reply, "421 Too many users\r\n");
    EXPECT_EQ(Stop(), std::vector<std::string>{});
}

TEST_F(FtpScriptedTest, EndlessReplyLineIsRefusedWithoutHoldingIt) {
    server.Send("220 " + std::string(1 << 20, 'x'));
    EXPECT_FALSE(Login());
    EXPECT_EQ(LastNetError(), kNetErrorMessageSize);
    EXPECT_LE(connection.replies.PendingBytes(), kFtpMaxReplyBytes + 2);
    EXPECT_FALSE(FtpTakeReply(connection, "", nullptr)) << "the connection stays refused";
    EXPECT_EQ(LastNetError(), kNetErrorMessageSize);
}

TEST_F(FtpScriptedTest, EndlessMultiLineReplyIsRefused) {
    std::string flood = "220-Welcome\r\n";
    while (flood.size() < 2 * kFtpMaxReplyBytes)
        flood += "220-and welcome again\r\n";
    server.Send(flood);
    EXPECT_FALSE(Login());
    EXPECT_EQ(LastNetError(), kNetErrorMessageSize);
}

TEST_F(FtpScriptedTest, CommandTextCannotCarryASecondCommand) {
    server.Login();
    ASSERT_TRUE(Login());
    for (const char* bad : {"CWD a\r\nDELE b\r\n", "CWD a", "CWD a\n", "CWD a\rb\r\n", "\r\n"}) {
        SetLastNetError(0);
        EXPECT_FALSE(FtpCommand(connection, bad, "", nullptr)) << bad;
        EXPECT_EQ(LastNetError(), kNetErrorInvalid) << bad;
    }
    const std::string with_nul("CWD a\0b\r\n", 9);
    EXPECT_FALSE(FtpCommand(connection, with_nul, "", nullptr));
    EXPECT_EQ(Stop(), (std::vector<std::string>{"USER alice", "PASS pa ss"}))
        << "nothing else reached the server";
}

TEST_F(FtpScriptedTest, MalformedPassiveRepliesFail) {
    const char* replies[] = {
        "227 Entering Passive Mode 127,0,0,1,4,1\r\n",
        "227 (127,0,0,1,4)\r\n",
        "227 (127,0,0,1,4,1,7)\r\n",
        "227 (256,0,0,1,4,1)\r\n",
        "227 (127,0,0,1,4,1\r\n",
        "227 (a,b,c,d,e,f)\r\n",
        "227 (127,0,0,1,0,0)\r\n",
        "227 ()\r\n",
        "227 (127,0,0,1,,1)\r\n",
    };
    for (const char* text : replies) {
        ScriptedServer one;
        one.Login().Receive().Send(text);
        one.Start();
        FtpConnection client;
        client.timeouts = connection.timeouts;
        ASSERT_TRUE(FtpLogin(client, "127.0.0.1", "", "u", "p", one.port(), nullptr));
        sockaddr_in address{};
        SetLastNetError(0);
        EXPECT_FALSE(FtpPassive(client, address)) << text;
        EXPECT_EQ(LastNetError(), kNetErrorInvalid) << text;
        EXPECT_EQ(client.last_reply, text);
        one.Stop();
        EXPECT_EQ(one.Received().back(), "PASV");
    }
}

TEST_F(FtpScriptedTest, PassiveReplyNamesAddressAndPort) {
    server.Login()
        .Receive()
        .Send("227 Entering Passive Mode (10,0,0,5,4,1).\r\n")
        .Receive()
        .Send("502 Not implemented\r\n");
    ASSERT_TRUE(Login());
    sockaddr_in address{};
    ASSERT_TRUE(FtpPassive(connection, address));
    // The port is the reply's; the host is the one the control connection reached.
    EXPECT_EQ(ntohl(address.sin_addr.s_addr), 0x7F000001u);
    EXPECT_EQ(ntohs(address.sin_port), 1025);
    SetLastNetError(0);
    EXPECT_FALSE(FtpPassive(connection, address));
    EXPECT_EQ(LastNetError(), 0) << "a refused PASV is the server's answer, not a network error";
}

TEST(FtpPassiveReplyTest, ParsesAddressAndPortModulo256) {
    struct Case {
        const char* reply;
        std::uint32_t address;
        int port;
    };
    const Case cases[] = {
        {"227 Entering Passive Mode (10,0,0,5,4,1)", 0x0A000005u, 1025},
        {"227 =( 127, 0, 0, 1, 200, 10 )", 0x7F000001u, 200 * 256 + 10},
        {"227 (192,168,1,2,260,257)", 0xC0A80102u, 4 * 256 + 1},
        {"227 ok (1,2,3,4,0,21) (9,9,9,9,9,9)", 0x01020304u, 21},
    };
    for (const Case& c : cases) {
        sockaddr_in address{};
        ASSERT_TRUE(ParsePassiveReply(c.reply, address)) << c.reply;
        EXPECT_EQ(address.sin_family, AF_INET);
        EXPECT_EQ(ntohl(address.sin_addr.s_addr), c.address) << c.reply;
        EXPECT_EQ(ntohs(address.sin_port), c.port) << c.reply;
    }
}

TEST(FtpPortCommandTest, AddressBytesThenPortHighAndLow) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(0xC0A80102u);
    address.sin_port = htons(1030);
    EXPECT_EQ(FormatPortCommand(address), "PORT 192,168,1,2,4,6\r\n");
    address.sin_addr.s_addr = htonl(0x7F000001u);
    address.sin_port = htons(65535);
    EXPECT_EQ(FormatPortCommand(address), "PORT 127,0,0,1,255,255\r\n");
}

TEST_F(FtpScriptedTest, PassiveListingWithBothRepliesInOnePacket) {
    const std::string listing =
        "-rw-r--r--   1 ftp ftp  12 Jan  5  2001 a.txt\r\n"
        "drwxr-xr-x   2 ftp ftp 512 Jan  5  2001 sub\r\n";
    server.Login()
        .Receive()
        .PassiveReply()
        .Receive()
        .Send("200 Type set to A\r\n")
        .Receive()
        .SendPassiveData(listing)
        .Send("150 Here comes the listing\r\n226 Transfer complete\r\n");
    ASSERT_TRUE(Login());
    std::vector<std::string> status;
    std::string file = "stale";
    std::string reply;
    ASSERT_TRUE(FtpTransfer(connection, file, "", true, true, &reply,
                            [&](std::string_view text) { status.emplace_back(text); }));
    EXPECT_EQ(reply, "226 Transfer complete\r\n");
    EXPECT_EQ(std::filesystem::path(file).parent_path(), temp.path());
    EXPECT_EQ(std::filesystem::path(file).filename().string().rfind("dir", 0), 0u) << file;
    EXPECT_EQ(testing::ReadFileBytes(file), listing);
    EXPECT_EQ(connection.transferred, listing.size());
    ASSERT_FALSE(status.empty());
    EXPECT_EQ(status.front(), "");
    EXPECT_EQ(status.back(), std::to_string(listing.size()));
    EXPECT_EQ(Stop(), (std::vector<std::string>{"USER alice", "PASS pa ss", "PASV", "TYPE A", "LIST"}));
}

TEST_F(FtpScriptedTest, PassiveReplyNamingAnotherHostStillReachesTheServer) {
    // A server that names another host would have us connect there (a bounce);
    // the data connection goes to the server we logged in to.
    server.Login()
        .Receive()
        .PassiveReply("192,0,2,77")
        .Receive()
        .Send("200 Type set to A\r\n")
        .Receive()
        .SendPassiveData("-rw-r--r-- 1 ftp ftp 1 Jan  5  2001 a\r\n")
        .Send("150 Here\r\n226 Done\r\n");
    ASSERT_TRUE(Login());
    std::string file;
    ASSERT_TRUE(FtpTransfer(connection, file, "", true, true, nullptr));
    EXPECT_EQ(testing::ReadFileBytes(file), "-rw-r--r-- 1 ftp ftp 1 Jan  5  2001 a\r\n");
    Stop();
    EXPECT_TRUE(server.Problem().empty()) << server.Problem();
}

TEST_F(FtpScriptedTest, FailedRetrievalKeepsTheFileThatWasThere) {
    struct Case {
        const char* what;
        bool refused;  // 550 to RETR, else the data connection breaks off mid-file
    };
    for (const Case& c : {Case{"refused", true}, Case{"broken off", false}}) {
        SCOPED_TRACE(c.what);
        testing::TempDir folder;
        ScriptedServer one;
        one.Login().Receive().PassiveReply().Receive().Send("200 Type set to I\r\n").Receive();
        if (c.refused)
            one.Send("550 No such file\r\n");
        else
            one.Send("150 Opening\r\n").SendPassiveData("partial").Pause(50ms).Reset();
        one.Start();
        FtpConnection client;
        client.timeouts = FtpTimeouts{2, 2, 2, 2, 2};
        ASSERT_TRUE(FtpLogin(client, "127.0.0.1", "", "alice", "pa ss", one.port(), nullptr));
        std::string local = folder / "report.doc";
        ASSERT_TRUE(testing::WriteFileBytes(local, "the only copy"));
        EXPECT_FALSE(FtpTransfer(client, local, "report.doc", false, true, nullptr));
        EXPECT_EQ(testing::ReadFileBytes(local), "the only copy");
        std::size_t files = 0;
        for ([[maybe_unused]] const auto& item : std::filesystem::directory_iterator(folder.path()))
            ++files;
        EXPECT_EQ(files, 1u) << "no part file is left behind";
        one.Stop();
    }
}

TEST_F(FtpScriptedTest, ActiveRetrievalTellsTheServerWhereToConnect) {
    std::string bytes;
    for (int i = 0; i < 100000; ++i)
        bytes.push_back(static_cast<char>(i * 7 % 256));
    server.Login()
        .Receive()
        .Send("200 PORT command successful\r\n")
        .Receive()
        .Send("200 Type set to I\r\n")
        .Receive()
        .Send("150 Opening BINARY mode data connection\r\n")
        .SendActiveData(bytes)
        .Send("226 Transfer complete\r\n");
    ASSERT_TRUE(Login());
    std::string local = temp / "fetched.bin";
    ASSERT_TRUE(testing::WriteFileBytes(local, "old contents that must go"));
    std::string reply;
    ASSERT_TRUE(FtpTransfer(connection, local, "dir/file name.bin", false, false, &reply));
    EXPECT_EQ(local, temp / "fetched.bin");
    EXPECT_EQ(testing::ReadFileBytes(local), bytes);
    const std::vector<std::string> received = Stop();
    ASSERT_EQ(received.size(), 5u);
    EXPECT_EQ(received[2].rfind("PORT 127,0,0,1,", 0), 0u) << received[2];
    EXPECT_EQ(received[3], "TYPE I");
    EXPECT_EQ(received[4], "RETR dir/file name.bin");
    EXPECT_TRUE(server.Problem().empty()) << server.Problem();
}

TEST_F(FtpScriptedTest, ServerThatNeverConnectsBackFailsAndLeavesControlInStep) {
    server.Login()
        .Receive()
        .Send("200 PORT ok\r\n")
        .Receive()
        .Send("200 Type set\r\n")
        .Receive()
        .Send("150 Opening data connection\r\n")
        .Pause(1500ms)
        .Send("425 Can't open data connection\r\n")
        .Receive()
        .Send("250 Directory changed\r\n");
    connection.timeouts.accept = 1;
    ASSERT_TRUE(Login());
    std::string local = temp / "never.bin";
    std::string reply;
    EXPECT_FALSE(FtpTransfer(connection, local, "never.bin", false, false, &reply));
    EXPECT_EQ(LastNetError(), kNetErrorTimedOut);
    EXPECT_EQ(reply, "425 Can't open data connection\r\n");
    EXPECT_FALSE(std::filesystem::exists(local)) << "no partial file is left";
    std::string cwd_reply;
    EXPECT_TRUE(FtpCommand(connection, "CWD /pub\r\n", "250", &cwd_reply));
    EXPECT_EQ(cwd_reply, "250 Directory changed\r\n");
}

TEST_F(FtpScriptedTest, SilentDataConnectionFailsTheListing) {
    server.Login()
        .Receive()
        .PassiveReply()
        .Receive()
        .Send("200 Type set\r\n")
        .Receive()
        .Send("150 Here it comes\r\n")
        .HoldPassiveData();
    connection.timeouts.data_receive = 1;
    connection.timeouts.reply = 1;
    ASSERT_TRUE(Login());
    std::string file;
    EXPECT_FALSE(FtpTransfer(connection, file, "", true, true, nullptr));
    EXPECT_EQ(LastNetError(), kNetErrorTimedOut);
    EXPECT_TRUE(file.empty());
    EXPECT_EQ(FilesInTemp(), 0u) << "the temporary listing is removed";
}

TEST_F(FtpScriptedTest, ListingBeyondItsBoundIsRefused) {
    server.Login()
        .Receive()
        .PassiveReply()
        .Receive()
        .Send("200 Type set\r\n")
        .Receive()
        .Send("150 Here it comes\r\n")
        .SendPassiveData(std::string(5000, 'l'))
        .Send("226 Done\r\n");
    connection.max_listing_bytes = 1000;
    ASSERT_TRUE(Login());
    std::string file;
    std::string reply;
    EXPECT_FALSE(FtpTransfer(connection, file, "", true, true, &reply));
    EXPECT_EQ(LastNetError(), kNetErrorMessageSize);
    EXPECT_LE(connection.transferred, 1000u);
    EXPECT_EQ(FilesInTemp(), 0u);
    EXPECT_EQ(reply, "226 Done\r\n") << "the closing reply was taken";
}

TEST_F(FtpScriptedTest, RefusedRetrievalRemovesTheLocalFile) {
    server.Login()
        .Receive()
        .PassiveReply()
        .Receive()
        .Send("200 Type set\r\n")
        .Receive()
        .Send("550 No such file\r\n")
        .Receive()
        .Send("250 ok\r\n");
    ASSERT_TRUE(Login());
    std::string local = temp / "missing.bin";
    std::string reply;
    SetLastNetError(0);
    EXPECT_FALSE(FtpTransfer(connection, local, "missing.bin", false, true, &reply));
    EXPECT_EQ(reply, "550 No such file\r\n");
    EXPECT_EQ(LastNetError(), 0);
    EXPECT_FALSE(std::filesystem::exists(local));
    EXPECT_TRUE(FtpCommand(connection, "CWD /\r\n", "250", nullptr)) << "no reply was left over";
}

TEST_F(FtpScriptedTest, AbortCallbackStopsTheTransferBeforeTheFirstBlock) {
    server.Login()
        .Receive()
        .PassiveReply()
        .Receive()
        .Send("200 Type set\r\n")
        .Receive()
        .Send("150 Here it comes\r\n")
        .SendPassiveData("data that is never read")
        .Send("426 Transfer aborted\r\n");
    ASSERT_TRUE(Login());
    int polls = 0;
    connection.abort_callback = [&] { return ++polls == 1 ? 7 : 0; };
    std::string local = temp / "aborted.bin";
    std::string reply;
    EXPECT_FALSE(FtpTransfer(connection, local, "file", false, true, &reply));
    EXPECT_EQ(connection.aborted, 7);
    EXPECT_EQ(polls, 1);
    EXPECT_EQ(reply, "426 Transfer aborted\r\n");
    EXPECT_FALSE(std::filesystem::exists(local));
}

TEST_F(FtpScriptedTest, UnreachableHostsAreReportedByNumber) {
    std::string reply = "stale";
    EXPECT_FALSE(FtpLogin(connection, "no-such-host..invalid", "", "u", "p", 21, &reply));
    EXPECT_EQ(LastNetError(), kNetErrorHostNotFound);
    EXPECT_TRUE(reply.empty());
    std::string text;
    EXPECT_TRUE(HostErrorText(text, LastNetError(), "no-such-host..invalid"));
    EXPECT_EQ(text, "Host no-such-host..invalid not found.");

    int closed_port = 0;
    {
        ScriptedServer gone;  // holds a free port until it is destroyed
        closed_port = gone.port();
    }
    EXPECT_FALSE(FtpLogin(connection, "127.0.0.1", "", "u", "p", closed_port, &reply));
    EXPECT_EQ(LastNetError(), kNetErrorConnectionRefused);
    EXPECT_FALSE(FtpLogin(connection, "127.0.0.1", "", "u", "p", 70000, &reply));
    EXPECT_EQ(LastNetError(), kNetErrorInvalid);
}

TEST_F(FtpScriptedTest, OperationsOnAClosedConnectionFailAsNotConnected) {
    std::string file;
    EXPECT_FALSE(FtpCommand(connection, "NOOP\r\n", "", nullptr));
    EXPECT_EQ(LastNetError(), kNetErrorNotConnected);
    EXPECT_FALSE(FtpTransfer(connection, file, "", true, true, nullptr));
    EXPECT_EQ(LastNetError(), kNetErrorNotConnected);
    EXPECT_EQ(FilesInTemp(), 0u);
    FtpClose(connection);
    EXPECT_EQ(LastNetError(), 0);
}

}  // namespace
}  // namespace korvane
