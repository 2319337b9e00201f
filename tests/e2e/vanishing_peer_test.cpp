// Clients and origin servers that go away in the middle of a message, by an orderly close
// or a reset: the client gets what was relayed (never an answer that looks whole when it is
// not), the handler ends without waiting for a time-out, and nothing is left behind.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "support/http_client.h"
#include "support/load_origin.h"
#include "support/proxy_harness.h"

namespace korvanel::testing {
namespace {

using Clock = std::chrono::steady_clock;

// How long a handler may take to end after its peer went away: well under the shortened
// head time-out, so that an ending by time-out is caught.
constexpr int kPromptEndMs = 1000;

class VanishingPeers : public ::testing::Test {
  protected:
    void SetUp() override {
        before_ = BaselineCounts();
        origin_ = std::make_unique<LoadOrigin>();
        ASSERT_TRUE(proxy_.Start());
    }
    void TearDown() override {
        EXPECT_TRUE(proxy_.WaitIdle(3000));
        // A request after the fault is served as usual.
        {
            HttpClient client(clients_, proxy_.port);
            HttpAnswer answer = client.Get(origin_->Url("len", 5000, 77));
            EXPECT_EQ(answer.body, PatternBytes(5000, 77)) << answer.head;
        }
        EXPECT_TRUE(proxy_.Stop());
        origin_.reset();
        EXPECT_EQ(WaitForCounts(before_, 3000), before_);
    }

    // Waits for the handler of the vanished client to end; the time it took.
    long long MsUntilIdle(Clock::time_point since) {
        EXPECT_TRUE(proxy_.WaitIdle(5000));
        return MillisecondsSince(since);
    }

    ProxyHarness proxy_;
    SocketRegistry clients_;
    std::unique_ptr<LoadOrigin> origin_;
    ProcessCounts before_;
};

void Vanish(Socket& socket, bool reset) {
    if (reset) {
        CloseWithReset(socket);
    } else {
        socket.Close();
    }
}

TEST_F(VanishingPeers, ClientLeavesInMidHead) {
    for (bool reset : {false, true}) {
        Socket client = ConnectLoopback(clients_, proxy_.port);
        ASSERT_TRUE(WriteAll(client, "GET " + origin_->Url("len", 10, 1) + " HTTP/1.1\r\nHo"));
        ASSERT_TRUE(PollUntil([&] { return proxy_.Active() == 1; }, 2000));
        auto left = Clock::now();
        Vanish(client, reset);
        EXPECT_LT(MsUntilIdle(left), kPromptEndMs) << (reset ? "reset" : "close");
    }
}

TEST_F(VanishingPeers, ClientLeavesInMidBody) {
    const std::string body = PatternBytes(400000, 3);
    for (bool reset : {false, true}) {
        const int accepted = origin_->accepted();
        Socket client = ConnectLoopback(clients_, proxy_.port);
        const std::string head =
            "POST " + origin_->EchoUrl() +
            " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\n\r\n";
        ASSERT_TRUE(WriteAll(client, head + body.substr(0, body.size() / 2)));
        // The handler has connected and is relaying the body to the origin.
        ASSERT_TRUE(PollUntil([&] { return origin_->accepted() > accepted; }, 2000));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        auto left = Clock::now();
        Vanish(client, reset);
        EXPECT_LT(MsUntilIdle(left), kPromptEndMs) << (reset ? "reset" : "close");
    }
}

TEST_F(VanishingPeers, ClientLeavesWhileALargeAnswerIsRelayed) {
    for (const char* framing : {"len", "chunk", "close"}) {
        for (bool reset : {false, true}) {
            HttpClient client(clients_, proxy_.port);
            ASSERT_TRUE(client.Send("GET", origin_->Url(framing, 16000000, 5)));
            // Some of the answer arrives; the client then goes while the rest is in flight.
            std::string some = ReadCount(client.socket(), 300000, 20000);
            ASSERT_EQ(some.size(), 300000u) << framing;
            auto left = Clock::now();
            Vanish(client.socket(), reset);
            EXPECT_LT(MsUntilIdle(left), kPromptEndMs) << framing << (reset ? " reset" : " close");
        }
    }
}

// The origin breaks off in mid-body. An answer must not arrive looking complete (one that
// ends with the close learns of a reset by a reset); whatever arrived is the start of the
// real body; the connection ends.
TEST_F(VanishingPeers, OriginClosesOrResetsInMidBody) {
    const std::size_t size = 1000000;
    for (const char* fault : {"cut", "reset"}) {
        for (const char* framing : {"len", "chunk", "close"}) {
            const std::string what = std::string(framing) + " " + fault;
            HttpClient client(clients_, proxy_.port);
            HttpAnswer answer = client.Get(origin_->Url(framing, size, 6, fault), 5000);
            const std::string expected = PatternBytes(size, 6);
            EXPECT_EQ(answer.status, 200) << what;
            EXPECT_TRUE(answer.closed) << what;
            // Half the body, up to the end of the chunk that crosses the middle.
            EXPECT_LE(answer.body.size(), size / 2 + 10000) << what;
            EXPECT_EQ(answer.body, expected.substr(0, answer.body.size())) << what;
            if (std::string(framing) != "close" || std::string(fault) == "reset") {
                EXPECT_FALSE(answer.complete) << what;
            } else {
                // Without a length the close is the end: all that was sent arrived.
                EXPECT_TRUE(answer.complete) << what;
                EXPECT_FALSE(answer.reset) << what;
                EXPECT_EQ(answer.body.size(), size / 2) << what;
            }
            EXPECT_TRUE(proxy_.WaitIdle(kPromptEndMs)) << what;
        }
    }
}

// The origin stops sending in mid-body. Within the relay's idle limit the client sees the
// answer stop; once the origin closes, the handler ends. A client that gave up in the
// meantime ends its own handler at once.
TEST_F(VanishingPeers, OriginStallsInMidBody) {
    const std::size_t size = 600000;
    for (const char* framing : {"len", "chunk", "close"}) {
        HttpClient waiting(clients_, proxy_.port);
        HttpClient leaving(clients_, proxy_.port);
        int reached = origin_->faults_reached();
        ASSERT_TRUE(waiting.Send("GET", origin_->Url(framing, size, 8, "stall")));
        ASSERT_TRUE(leaving.Send("GET", origin_->Url(framing, size, 9, "stall")));
        ASSERT_TRUE(PollUntil([&] { return origin_->faults_reached() == reached + 2; }, 3000));
        HttpAnswer stalled = waiting.Read(300);
        EXPECT_FALSE(stalled.complete) << framing;
        EXPECT_FALSE(stalled.closed) << framing;
        leaving.socket().Close();
        // The handler of the client that left ends at once, though its origin is stalled.
        EXPECT_TRUE(PollUntil([&] { return proxy_.Active() == 1; }, 2000)) << framing;

        auto released = Clock::now();
        origin_->Release();
        EXPECT_LT(MsUntilIdle(released), kPromptEndMs) << framing;
        HttpAnswer rest = waiting.Read(2000);
        std::string body = stalled.body + rest.head + rest.body;
        if (std::string(framing) == "len") {
            EXPECT_EQ(body.size(), size / 2);
        }
        EXPECT_EQ(body.substr(0, 100), PatternBytes(size, 8).substr(0, 100)) << framing;
        origin_ = std::make_unique<LoadOrigin>();  // stalls again for the next framing
    }
}

// A client that stops reading its answer, and an origin that stops reading a request body:
// the blocked send gives up after its steps (shortened here), and the handler ends.
TEST_F(VanishingPeers, PeersThatStopReadingAreGivenUpOn) {
    {
        HttpClient client(clients_, proxy_.port);
        ASSERT_TRUE(client.Send("GET", origin_->Url("len", 16000000, 10)));
        // Only the head is read: the receive buffer does not grow.
        ASSERT_NE(ReadUntil(client.socket(), "\r\n\r\n", 20000).find("200 OK"), std::string::npos);
        auto stopped = Clock::now();
        EXPECT_LT(MsUntilIdle(stopped), 2000);
    }
    {
        HttpClient client(clients_, proxy_.port);
        // More than the origin's receive buffer and the proxy's send buffer hold.
        const std::string body = PatternBytes(16000000, 11);
        std::thread upload([&] {
            client.Send("POST", origin_->HoldUrl(), body);  // fails once the proxy gives up
        });
        const bool reached = PollUntil([&] { return origin_->faults_reached() == 1; }, 10000);
        EXPECT_TRUE(reached);
        if (reached) {
            auto held = Clock::now();
            // The send's steps, then the look for an early answer (1 s).
            EXPECT_LT(MsUntilIdle(held), 3000);
        }
        origin_->Release();
        upload.join();
    }
}

}  // namespace
}  // namespace korvanel::testing
