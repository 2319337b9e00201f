// How a connection's end is told apart: an orderly close from a reset.
#include <gtest/gtest.h>

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
