// How a connection's end is told apart: an orderly close from a reset.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/socket.h"
#include "platform/splice_pipe.h"
#include "support/loopback.h"

namespace korvanel {
namespace {

IoResult ReceiveOnce(Socket& socket) {
    char piece[64];
    EXPECT_EQ(socket.WaitReadable(2000), PollResult::kReady);
    return socket.Receive(piece, sizeof piece);
}

TEST(SocketEnd, AnOrderlyCloseIsNotBrokenAndAnAbortIsSeenAsAReset) {
    SocketRegistry registry;
    testing::SocketPair closed = testing::MakePair(registry);
    closed.far.Close();
    EXPECT_EQ(ReceiveOnce(closed.near).status, IoStatus::kPeerClosed);
    EXPECT_FALSE(closed.near.Broken());

    testing::SocketPair aborted = testing::MakePair(registry);
    aborted.far.Abort();
    EXPECT_FALSE(aborted.far.valid());
    IoResult got = ReceiveOnce(aborted.near);
    EXPECT_EQ(got.status, IoStatus::kError);
    EXPECT_EQ(got.error, ECONNRESET);
    EXPECT_TRUE(aborted.near.Broken());
    // The mark goes with the connection, and ends with it.
    Socket moved = std::move(aborted.near);
    EXPECT_TRUE(moved.Broken());
    EXPECT_FALSE(aborted.near.Broken());
    moved.Close();
    EXPECT_FALSE(moved.Broken());
}

int OptionOf(const Socket& socket, int level, int name) {
    int value = -1;
    socklen_t length = sizeof value;
    EXPECT_EQ(::getsockopt(socket.fd(), level, name, &value, &length), 0);
    return value;
}

// The listener sets these once for every client it accepts.
TEST(SocketEnd, AcceptedSocketsInheritNoDelayAndKeepAliveFromTheListener) {
    SocketRegistry registry;
    uint16_t port = 0;
    Socket listener = testing::ListenLoopback(registry, port);
    ASSERT_TRUE(listener.SetNoDelay());
    ASSERT_TRUE(listener.SetKeepAlive(61, 7, 3));
    Socket client = testing::ConnectLoopback(registry, port);
    Socket accepted = testing::AcceptOne(listener);
    ASSERT_TRUE(accepted.valid());
    EXPECT_NE(OptionOf(accepted, IPPROTO_TCP, TCP_NODELAY), 0);
    EXPECT_NE(OptionOf(accepted, SOL_SOCKET, SO_KEEPALIVE), 0);
    EXPECT_EQ(OptionOf(accepted, IPPROTO_TCP, TCP_KEEPIDLE), 61);
    EXPECT_EQ(OptionOf(accepted, IPPROTO_TCP, TCP_KEEPINTVL), 7);
    EXPECT_EQ(OptionOf(accepted, IPPROTO_TCP, TCP_KEEPCNT), 3);
}

// Connects `socket` to 127.0.0.1:port; its local port, 0 when that failed.
uint16_t LocalPortOfConnect(Socket& socket, uint16_t port) {
    Ipv4Endpoint local;
    if (socket.StartConnect({0x7F000001u, port}) == Socket::ConnectStart::kFailed ||
        !socket.LocalEndpoint(local)) {
        return 0;
    }
    return local.port;
}

// Connects over the connect range take their ports in turn, of both parities; by default
// they would all be of one.
TEST(SocketEnd, ConnectsOverTheConnectRangeTakePortsOfBothParities) {
    SocketRegistry registry;
    uint16_t port = 0;
    Socket listener = testing::ListenLoopback(registry, port);
    bool parity_seen[2] = {false, false};
    for (int i = 0; i < 8; ++i) {
        Socket socket = Socket::OpenTcp(registry);
        if (!socket.UseConnectPortRange()) GTEST_SKIP() << "no per-socket port range here";
        uint16_t local = LocalPortOfConnect(socket, port);
        ASSERT_NE(local, 0);
        parity_seen[local % 2] = true;
        Socket accepted = testing::AcceptOne(listener);
    }
    EXPECT_TRUE(parity_seen[0] && parity_seen[1]);
}

// A range whose every port is taken leaves the connect to the kernel's own choice.
TEST(SocketEnd, AConnectRangeWithNoFreePortFallsBackToTheKernelsChoice) {
    SocketRegistry registry;
    uint16_t port = 0;
    Socket listener = testing::ListenLoopback(registry, port);
    Socket first = Socket::OpenTcp(registry);
    uint16_t taken = LocalPortOfConnect(first, port);
    ASSERT_NE(taken, 0);
    Socket first_accepted = testing::AcceptOne(listener);
    // A range of the one port the first connection holds.
    Socket second = Socket::OpenTcp(registry);
    if (!second.UseConnectPortRange(taken, taken)) GTEST_SKIP() << "no per-socket port range here";
    uint16_t local = LocalPortOfConnect(second, port);
    ASSERT_NE(local, 0);
    EXPECT_NE(local, taken);
    EXPECT_TRUE(testing::AcceptOne(listener).valid());
}

TEST(SocketEnd, ASpliceFromAResetConnectionMarksItBroken) {
    SocketRegistry registry;
    testing::SocketPair pair = testing::MakePair(registry);
    pair.far.Abort();
    SplicePipe pipe;
    ASSERT_TRUE(pipe.valid());
    ASSERT_EQ(pair.near.WaitReadable(2000), PollResult::kReady);
    EXPECT_EQ(pipe.Fill(pair.near, 4096).status, IoStatus::kError);
    EXPECT_TRUE(pair.near.Broken());
}

TEST(SocketEnd, AFailedSendDoesNotMarkTheConnectionBroken) {
    // A peer that stops reading may still have sent all it meant to.
    SocketRegistry registry;
    testing::SocketPair pair = testing::MakePair(registry);
    pair.far.Abort();
    ASSERT_EQ(pair.near.WaitReadable(2000), PollResult::kReady);
    EXPECT_EQ(pair.near.Send("x", 1).status, IoStatus::kError);
    EXPECT_FALSE(pair.near.Broken());
}

}  // namespace
}  // namespace korvanel
