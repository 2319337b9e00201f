// The relays by length and until close move large bodies through a pipe (splice): the same
// bytes, results, texts and totals as the buffer relays, and a stop still releases them.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "engine/body_relay.h"
#include "engine/body_relay_fixture.h"
#include "engine/engine_test_support.h"
#include "support/loopback.h"
#include "texts.h"

namespace korvanel {
namespace {

using testing::PatternBytes;
using testing::ReadCount;
using testing::ReadToClose;
using testing::WriteAll;
using Steady = std::chrono::steady_clock;
using testing::MillisecondsSince;

class SpliceRelay : public BodyRelay {
  protected:
    using BodyRelay::Run;
    // The server always closes after its bytes.
    template <typename Relay>
    RelayResult Run(Relay relay, const std::string& from_server, std::string& to_client) {
        return Run(relay, from_server, true, to_client);
    }
    RelayResult Length(long head, long long& remaining) {
        return RelayLength(rt, client.near, upstream.near, buffer, head, remaining, error);
    }
    RelayResult UntilClose(long head) {
        return RelayUntilClose(rt, client.near, upstream.near, buffer, head, error);
    }
};

TEST_F(SpliceRelay, LengthRelayTellsACloseAtAPieceBoundaryFromOneInsideAPiece) {
    const std::string at_boundary = PatternBytes(40 * kRelayPiece, 5);
    long long remaining = 1000000;
    std::string got;
    EXPECT_EQ(Run([&] { return Length(0, remaining); }, at_boundary, got), RelayResult::kFailed);
    EXPECT_EQ(error.view(), std::string(text::kServerReceiveError) + "\n");
    EXPECT_TRUE(got == at_boundary);
    EXPECT_EQ(remaining, 1000000 - 40 * kRelayPiece);
    EXPECT_EQ(rt.server.bytes_received, 40 * kRelayPiece);
}

TEST_F(SpliceRelay, UntilCloseRelaysEverythingAndEndsByWhereTheCloseCame) {
    const std::string body = PatternBytes(3000000, 7);
    long head = HeadBody(body.substr(0, 1234));
    std::string got;
    // 2,998,766 bytes after the head: not a whole number of 4096-byte pieces.
    EXPECT_EQ(Run([&] { return UntilClose(head); }, body.substr(1234), got),
              RelayResult::kClosedInPiece);
    EXPECT_TRUE(got == body);
    EXPECT_EQ(rt.server.bytes_received, body.size() - 1234);
}

TEST_F(SpliceRelay, UntilCloseAtAPieceBoundaryIsComplete) {
    const std::string body = PatternBytes(100 * kUntilClosePiece, 9);
    std::string got;
    EXPECT_EQ(Run([&] { return UntilClose(0); }, body, got), RelayResult::kComplete);
    EXPECT_TRUE(got == body);
}

TEST_F(SpliceRelay, AClientThatLeavesIsASendErrorNotABrokenPipe) {
    client.far.Close();
    long long remaining = 4000000;
    std::thread server([&] { WriteAll(upstream.far, PatternBytes(4000000)); });
    EXPECT_EQ(Length(0, remaining), RelayResult::kFailed);
    EXPECT_EQ(error.view(), std::string(text::kClientSendError) + "\n");
    upstream.near.Close();
    server.join();
}

TEST_F(SpliceRelay, AClientThatStopsReadingIsGivenUpAfterTheSendSteps) {
    std::thread server([&] { WriteAll(upstream.far, std::string(32 * 1024 * 1024, 'x')); });
    auto start = Steady::now();
    EXPECT_EQ(UntilClose(0), RelayResult::kFailed);
    EXPECT_EQ(error.view(), std::string(text::kClientSendError) + "\n");
    EXPECT_LT(MillisecondsSince(start), 5000);
    upstream.near.Close();
    server.join();
}

// A stop in the middle of a body: CleanUp shuts the sockets down and the waiting relay
// ends as "no longer a socket", after the bytes that arrived went on.
class SpliceRelayStop : public SpliceRelay, public ::testing::WithParamInterface<bool> {};

TEST_P(SpliceRelayStop, CleanUpReleasesARelayWaitingForTheServer) {
    const bool by_length = GetParam();
    const std::string first = PatternBytes(300 * 1024, 3);
    std::thread server([&] { WriteAll(upstream.far, first); });
    std::string got;
    std::thread reader([&] {
        got = ReadCount(client.far, first.size());
        rt.sockets.CleanUp();
    });
    long long remaining = 10 * 1024 * 1024;
    auto start = Steady::now();
    EXPECT_EQ(by_length ? Length(0, remaining) : UntilClose(0), RelayResult::kRevoked);
    EXPECT_LT(MillisecondsSince(start), 5000);
    reader.join();
    server.join();
    EXPECT_TRUE(got == first);
    EXPECT_EQ(rt.server.bytes_received, static_cast<long long>(first.size()));
    if (by_length) {
        EXPECT_EQ(remaining, 10 * 1024 * 1024 - static_cast<long long>(first.size()));
    }
}

INSTANTIATE_TEST_SUITE_P(ByLengthAndUntilClose, SpliceRelayStop, ::testing::Bool());

}  // namespace
}  // namespace korvanel
