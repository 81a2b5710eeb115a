// The timed socket operations against real sockets on 127.0.0.1.
#include "scan/ftp/net_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "scan/ftp/net_error.h"

namespace korvane {
namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

// A listening socket on an ephemeral loopback port.
struct Listener {
    SocketHandle socket;
    int port = 0;

    explicit Listener(int backlog = 4) {
        socket = MakeTcpSocket();
        sockaddr_in address = Loopback(0);
        EXPECT_EQ(::bind(socket.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(socket.Get(), backlog), 0);
        sockaddr_in bound{};
        EXPECT_TRUE(LocalAddressOf(socket.Get(), bound));
        port = ntohs(bound.sin_port);
    }
};

bool Connect(SocketHandle& client, int port, int seconds = 5) {
    client = MakeTcpSocket();
    sockaddr_in address = Loopback(port);
    return ConnectWithTimeout(client.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address, seconds);
}

// A connected pair: client made here, server accepted from the listener.
struct Pair {
    Listener listener;
    SocketHandle client, server;

    Pair() {
        EXPECT_TRUE(Connect(client, listener.port));
        server = AcceptWithTimeout(listener.socket.Get(), nullptr, nullptr, 5);
        EXPECT_TRUE(server.Valid());
    }
};

TEST(NetSocketTest, ConnectsSendsAndReceivesWithinTheTime) {
    Pair pair;
    const std::string text = "USER anonymous\r\n";
    ASSERT_TRUE(SendWithTimeout(pair.client.Get(), text.data(), text.size(), 0, 5));
    ASSERT_EQ(WaitUntilReadable(pair.server.Get(), 5), 1);
    EXPECT_EQ(BytesWaiting(pair.server.Get()), text.size());
    char buffer[64] = {};
    ASSERT_EQ(ReceiveWithTimeout(pair.server.Get(), buffer, sizeof buffer, 0, 5),
              static_cast<ssize_t>(text.size()));
    EXPECT_EQ(std::string(buffer, text.size()), text);
    EXPECT_EQ(WaitUntilWritable(pair.server.Get(), 5), 1);
}

TEST(NetSocketTest, WaitWithoutLimitReturnsAsSoonAsDataWaits) {
    Pair pair;
    ASSERT_TRUE(SendWithTimeout(pair.server.Get(), "x", 1, 0, 5));
    EXPECT_EQ(WaitUntilReadable(pair.client.Get(), -1), 1);
}

TEST(NetSocketTest, RefusedConnectionStoresConnectionRefused) {
    int port = 0;
    {
        Listener closed_again;  // takes a free port and gives it back
        port = closed_again.port;
    }
    SocketHandle client;
    SetLastNetError(0);
    EXPECT_FALSE(Connect(client, port, 5));
    EXPECT_EQ(LastNetError(), kNetErrorConnectionRefused);
}

TEST(NetSocketTest, ConnectToPeerThatNeverAnswersGivesUpAtTheTimeout) {
    // A listener whose queue is full drops further connection requests, as a
    // host that never answers would.
    Listener full(0);
    std::vector<SocketHandle> queued;
    bool timed_out = false;
    for (int i = 0; i < 16 && !timed_out; ++i) {
        SocketHandle client;
        SetLastNetError(0);
        if (!Connect(client, full.port, 1)) {
            timed_out = true;
            EXPECT_EQ(LastNetError(), kNetErrorTimedOut);
        }
        queued.push_back(std::move(client));
    }
    EXPECT_TRUE(timed_out) << "every connection was queued; the listener never filled up";
}

TEST(NetSocketTest, SilentPeerGivesZeroAfterTheTimeoutLikeAnOrderlyEnd) {
    Pair pair;
    char buffer[16];
    SetLastNetError(0);
    EXPECT_EQ(ReceiveWithTimeout(pair.client.Get(), buffer, sizeof buffer, 0, 1), 0);
    EXPECT_EQ(LastNetError(), kNetErrorTimedOut);
    EXPECT_EQ(WaitUntilReadable(pair.client.Get(), 0), 0);

    pair.server.Close();
    SetLastNetError(0);
    EXPECT_EQ(ReceiveWithTimeout(pair.client.Get(), buffer, sizeof buffer, 0, 5), 0);
    EXPECT_EQ(LastNetError(), 0) << "an orderly end is not an error";
}

TEST(NetSocketTest, ResetPeerIsConnectionReset) {
    Pair pair;
    linger option{1, 0};
    ASSERT_EQ(::setsockopt(pair.server.Get(), SOL_SOCKET, SO_LINGER, &option, sizeof option), 0);
    pair.server.Close();
    char buffer[16];
    EXPECT_EQ(ReceiveWithTimeout(pair.client.Get(), buffer, sizeof buffer, 0, 5), -1);
    EXPECT_EQ(LastNetError(), kNetErrorConnectionReset);
    // Sending to a reset connection fails the same way and raises no signal.
    EXPECT_FALSE(SendWithTimeout(pair.client.Get(), "QUIT\r\n", 6, 0, 5));
    EXPECT_EQ(LastNetError(), kNetErrorConnectionReset);
}

TEST(NetSocketTest, AcceptWithoutClientTimesOut) {
    Listener listener;
    SetLastNetError(0);
    SocketHandle accepted = AcceptWithTimeout(listener.socket.Get(), nullptr, nullptr, 1);
    EXPECT_FALSE(accepted.Valid());
    EXPECT_EQ(LastNetError(), kNetErrorTimedOut);
}

TEST(NetSocketTest, AcceptedSocketIsNonBlockingAndKnowsItsPeer) {
    Listener listener;
    SocketHandle client;
    ASSERT_TRUE(Connect(client, listener.port));
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    SocketHandle accepted =
        AcceptWithTimeout(listener.socket.Get(), reinterpret_cast<sockaddr*>(&peer), &length, 5);
    ASSERT_TRUE(accepted.Valid());
    EXPECT_EQ(ntohl(peer.sin_addr.s_addr), INADDR_LOOPBACK);
    EXPECT_NE(::fcntl(accepted.Get(), F_GETFL) & O_NONBLOCK, 0);
}

TEST(NetSocketTest, NonBlockingModeCanBeSwitched) {
    SocketHandle socket = MakeTcpSocket();
    ASSERT_TRUE(socket.Valid());
    EXPECT_NE(::fcntl(socket.Get(), F_GETFL) & O_NONBLOCK, 0);
    ASSERT_TRUE(SetNonBlocking(socket.Get(), false));
    EXPECT_EQ(::fcntl(socket.Get(), F_GETFL) & O_NONBLOCK, 0);
    ASSERT_TRUE(SetNonBlocking(socket.Get(), true));
    EXPECT_NE(::fcntl(socket.Get(), F_GETFL) & O_NONBLOCK, 0);
}

TEST(NetSocketTest, ClosedHandleFailsWithBadHandle) {
    SetLastNetError(0);
    EXPECT_EQ(WaitUntilReadable(-1, 1), -1);
    EXPECT_EQ(LastNetError(), kNetErrorBadHandle);
    SocketHandle socket = MakeTcpSocket();
    const int fd = socket.Get();
    socket.Close();
    EXPECT_FALSE(SetNonBlocking(fd, true));
    EXPECT_EQ(LastNetError(), kNetErrorBadHandle);
    EXPECT_EQ(BytesWaiting(fd), 0u);
}

TEST(NetSocketTest, HandleClosesItsDescriptorOnceAndMovesOwnership) {
    SocketHandle first = MakeTcpSocket();
    const int fd = first.Get();
    SocketHandle second(std::move(first));
    EXPECT_FALSE(first.Valid());
    EXPECT_EQ(second.Get(), fd);
    second = SocketHandle();
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1) << "the descriptor should be closed";
}

TEST(NetSocketTest, ResolvesLoopbackNamesAndReportsUnknownHosts) {
    in_addr address{};
    ASSERT_TRUE(ResolveHostIPv4("127.0.0.1", address));
    EXPECT_EQ(ntohl(address.s_addr), INADDR_LOOPBACK);
    ASSERT_TRUE(ResolveHostIPv4("localhost", address));
    EXPECT_EQ(ntohl(address.s_addr) >> 24, 127u);
    // A name with an empty label is refused by the resolver itself, without
    // asking any name server.
    SetLastNetError(0);
    EXPECT_FALSE(ResolveHostIPv4("no-such-host..invalid", address));
    EXPECT_EQ(LastNetError(), kNetErrorHostNotFound);
    SetLastNetError(0);
    EXPECT_FALSE(ResolveHostIPv4("", address));
    EXPECT_EQ(LastNetError(), kNetErrorHostNotFound);
}

TEST(NetErrorTest, HostErrorTextOnlyForHostNotFound) {
    std::string text = "stale";
    EXPECT_TRUE(HostErrorText(text, kNetErrorHostNotFound, "ftp.example.org"));
    EXPECT_EQ(text, "Host ftp.example.org not found.");
    EXPECT_TRUE(HostErrorText(text, kNetErrorHostNotFound, ""));
    EXPECT_EQ(text, "Host  not found.");
    for (int other : {0, kNetErrorConnectionReset, kNetErrorTimedOut, kNetErrorConnectionRefused, 11002}) {
        text = "stale";
        EXPECT_FALSE(HostErrorText(text, other, "ftp.example.org")) << other;
        EXPECT_TRUE(text.empty()) << other;
    }
}

TEST(NetErrorTest, LastErrorBelongsToTheThreadThatSetIt) {
    SetLastNetError(kNetErrorTimedOut);
    int seen_elsewhere = -1;
    std::thread other([&] {
        seen_elsewhere = LastNetError();
        SetLastNetError(kNetErrorConnectionReset);
    });
    other.join();
    EXPECT_EQ(seen_elsewhere, 0);
    EXPECT_EQ(LastNetError(), kNetErrorTimedOut);
}

}  // namespace
}  // namespace korvane
