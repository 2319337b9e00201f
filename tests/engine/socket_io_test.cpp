#include "engine/socket_io.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

#include "engine/engine_test_support.h"
#include "support/loopback.h"
#include "texts.h"

namespace korvanel {
namespace {

using testing::EngineFixture;
using testing::MakePair;
using testing::MillisecondsSince;
using testing::SocketPair;
using testing::WriteAll;
using Steady = std::chrono::steady_clock;

class SocketIo : public ::testing::Test, public EngineFixture {
  protected:
    char head[kHeadBufferSize];
    long count = 0;
    Terminator terminator;
    ErrorText error;
};

TEST_F(SocketIo, AssemblesAHeadSentInSmallPieces) {
    SocketPair pair = MakePair(rt.sockets);
    const std::string text = "GET http://a.example/ HTTP/1.1\r\nHost: a.example\r\n\r\nBODY";
    std::thread writer([&] {
        for (std::size_t i = 0; i < text.size(); i += 5) {
            WriteAll(pair.far, std::string_view(text).substr(i, 5));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    ASSERT_EQ(ReadHead(rt, pair.near, head, count, terminator, error, "client", 5000),
              IoEnd::kDone);
    writer.join();
    // The head reader returns as soon as the terminator is in; later bytes stay queued.
    std::string got(head, static_cast<std::size_t>(count));
    EXPECT_TRUE(got.starts_with("GET http://a.example/")) << got;
    EXPECT_NE(got.find("\r\n\r\n"), std::string::npos);
    EXPECT_EQ(terminator.view(), "\r\n\r\n");
    EXPECT_EQ(head[count], '\0');
}

TEST_F(SocketIo, HeadFailuresCarryTheSideOfTheirText) {
    struct Case {
        const char* name;
        std::string sent;
        const char* side;
        std::string expected;
    };
    const Case cases[] = {
        {"client closes mid-head", "GET / HTTP/1.1\r\nHost", "client",
         std::string(text::kClientReceiveError) + "\n"},
        {"server closes mid-head", "HTTP/1.1 200 OK\r\n", "server",
         std::string(text::kServerReceiveError) + "\n"},
        {"not HTTP", "SSH-2.0-OpenSSH_9.2p1 Debian\r\n", "client", text::kClientHeadUnsupported},
        {"server not HTTP", "<html><body>hello</body>", "server", text::kServerHeadUnsupported},
        {"too long", "GET / HTTP/1.1\r\n" + std::string(kHeadLimit, 'x'), "client",
         text::kClientHeadUnsupported},
        {"closes at once", "", "client", std::string(text::kClientReceiveError) + "\n"},
    };
    for (const Case& c : cases) {
        SocketPair pair = MakePair(rt.sockets);
        std::thread writer([&] {
            WriteAll(pair.far, c.sent);
            pair.far.Close();
        });
        EXPECT_EQ(ReadHead(rt, pair.near, head, count, terminator, error, c.side, 5000),
                  IoEnd::kFailed)
            << c.name;
        writer.join();
        EXPECT_EQ(error.view(), c.expected) << c.name;
    }
}

// A time-out tells how much of a head had come: a caller treats a peer that sent nothing
// otherwise than one that stopped part-way.
TEST_F(SocketIo, HeadThatDoesNotCompleteInTimeIsATimeOut) {
    const std::string sent_cases[] = {"GET / HTTP/1.1\r\n", ""};
    for (const std::string& sent : sent_cases) {
        SocketPair pair = MakePair(rt.sockets);
        WriteAll(pair.far, sent);
        count = -1;
        auto start = Steady::now();
        EXPECT_EQ(ReadHead(rt, pair.near, head, count, terminator, error, "client", 300),
                  IoEnd::kNothing)
            << sent;
        EXPECT_GE(MillisecondsSince(start), 290);
        EXPECT_LT(MillisecondsSince(start), 3000);
        EXPECT_EQ(error.view(), std::string(text::kTimeout) + "\n");
        EXPECT_EQ(count, static_cast<long>(sent.size()));
    }
}

TEST_F(SocketIo, CleanUpReleasesABlockedReaderAsNotASocket) {
    SocketPair pair = MakePair(rt.sockets);
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        rt.sockets.CleanUp();
    });
    error = "untouched";
    EXPECT_EQ(ReadHead(rt, pair.near, head, count, terminator, error, "client", 10000),
              IoEnd::kNotSocket);
    EXPECT_EQ(error.view(), "untouched");
    ReceiveEnd end = ReceiveEnd::kWhole;
    char buffer[64];
    EXPECT_EQ(ReceiveSome(pair.near, buffer, 10, end), 0);
    EXPECT_EQ(end, ReceiveEnd::kNotSocket);
    stopper.join();
}

TEST_F(SocketIo, ReceiveSomeReturnsOnlyWholePiecesOrAtTheClose) {
    SocketPair pair = MakePair(rt.sockets);
    char buffer[4096];
    ReceiveEnd end = ReceiveEnd::kNothing;
    std::thread writer([&] {
        for (int i = 0; i < 10; ++i) {
            WriteAll(pair.far, "0123456789");
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    EXPECT_EQ(ReceiveSome(pair.near, buffer, 100, end), 100);
    writer.join();
    EXPECT_EQ(end, ReceiveEnd::kWhole);
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    EXPECT_EQ(buffer[100], '\0');

    WriteAll(pair.far, "ten bytes!");
    pair.far.Close();
    EXPECT_EQ(ReceiveSome(pair.near, buffer, 4094, end), 10);
    EXPECT_EQ(end, ReceiveEnd::kPeerClosed);
    EXPECT_EQ(std::string(buffer), "ten bytes!");
    EXPECT_EQ(ReceiveSome(pair.near, buffer, 4094, end), 0);
    EXPECT_EQ(end, ReceiveEnd::kNothing);
}

TEST_F(SocketIo, SendsLargeBuffersWholeAndCounts) {
    SocketPair pair = MakePair(rt.sockets);
    const std::string data = testing::PatternBytes(3 * 1024 * 1024);
    std::string received;
    std::thread reader([&] { received = testing::ReadCount(pair.far, data.size()); });
    EXPECT_EQ(SendAll(rt, pair.near, data.data(), static_cast<long>(data.size())), IoEnd::kDone);
    EXPECT_EQ(SendCounted(rt, pair.near, "abc", 3), 3);
    reader.join();
    EXPECT_TRUE(received == data);
    EXPECT_EQ(testing::ReadCount(pair.far, 3), "abc");
    EXPECT_EQ(SendAll(rt, pair.near, "x", 0), IoEnd::kDone);
    EXPECT_EQ(SendCounted(rt, pair.near, "x", 0), 0);
}

// Pieces go out whole and in order, empty ones skipped, also when the socket takes them a
// part at a time (a send buffer far smaller than the pieces).
TEST_F(SocketIo, SendsPiecesInOrderAcrossPartialSends) {
    const std::string big = testing::PatternBytes(2 * 1024 * 1024);
    const std::string small = "HTTP/1.1 200 OK\r\n";
    struct Case {
        const char* name;
        std::initializer_list<std::string_view> pieces;
    };
    const Case cases[] = {
        {"head and body", {small, "Content-Length: 5\r\n\r\n", "hello"}},
        {"empty pieces", {"", small, "", "x"}},
        {"large middle", {small, big, small}},
        {"all empty", {"", ""}},
    };
    for (const Case& c : cases) {
        SocketPair pair = MakePair(rt.sockets);
        int tiny = 4096;
        ::setsockopt(pair.near.fd(), SOL_SOCKET, SO_SNDBUF, &tiny, sizeof tiny);
        std::string expected;
        for (std::string_view piece : c.pieces) expected.append(piece);
        std::string received;
        std::thread reader([&] { received = testing::ReadCount(pair.far, expected.size()); });
        EXPECT_EQ(SendCounted(rt, pair.near, c.pieces), static_cast<long>(expected.size()))
            << c.name;
        reader.join();
        EXPECT_TRUE(received == expected) << c.name;
    }
}

// Fills the peer's window: the test's end never reads.
std::string Flood() {
    return std::string(16 * 1024 * 1024, 'f');
}

TEST_F(SocketIo, SendToAPeerThatStopsReadingGivesUpAfterItsSteps) {
    SocketPair pair = MakePair(rt.sockets);
    const std::string flood = Flood();
    auto start = Steady::now();
    EXPECT_EQ(SendAll(rt, pair.near, flood.data(), static_cast<long>(flood.size())),
              IoEnd::kNothing);
    // 11 steps of 20 ms: the 11th timed-out step gives up.
    EXPECT_GE(MillisecondsSince(start), 200);
    EXPECT_LT(MillisecondsSince(start), 3000);
    EXPECT_EQ(SendCounted(rt, pair.near, flood.data(), static_cast<long>(flood.size())), 0);
}

TEST_F(SocketIo, SendGivesUpOnAStopRequestAndOnARevokedSocket) {
    rt.limits.send_step_ms = 200;
    rt.limits.send_patient_steps = 90;
    SocketPair pair = MakePair(rt.sockets);
    const std::string flood = Flood();
    {
        Hold hold(rt.locks.server);
        rt.server.run_flag = RunFlag::kStopRequested;
    }
    auto start = Steady::now();
    EXPECT_EQ(SendAll(rt, pair.near, flood.data(), static_cast<long>(flood.size())),
              IoEnd::kNothing);
    EXPECT_LT(MillisecondsSince(start), 1000);

    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        rt.sockets.CleanUp();
    });
    {
        Hold hold(rt.locks.server);
        rt.server.run_flag = RunFlag::kRunning;
    }
    EXPECT_EQ(SendAll(rt, pair.near, flood.data(), static_cast<long>(flood.size())),
              IoEnd::kNotSocket);
    stopper.join();
}

TEST_F(SocketIo, SendToAClosedPeerIsAnError) {
    SocketPair pair = MakePair(rt.sockets);
    pair.far.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::string data(1 << 20, 'd');
    IoEnd result = IoEnd::kDone;
    for (int i = 0; i < 5 && result == IoEnd::kDone; ++i) {
        result = SendAll(rt, pair.near, data.data(), static_cast<long>(data.size()));
    }
    EXPECT_EQ(result, IoEnd::kFailed);
}

TEST(EngineLimits, ARuntimeUsesTheRealTimeOuts) {
    testing::RecordingFrontEnd front;
    Runtime rt(front);
    EXPECT_EQ(rt.limits.first_request_head_timeout_ms, 20000);
    EXPECT_EQ(rt.limits.kept_request_head_timeout_ms, 180000);
    EXPECT_EQ(rt.limits.answer_head_timeout_ms, 20000);
    EXPECT_EQ(rt.limits.send_step_ms, 200);
    EXPECT_EQ(rt.limits.send_patient_steps, 90);  // the 91st step gives up: about 18 s
    EXPECT_EQ(rt.limits.connect_step_ms * rt.limits.connect_steps, 40000);
    EXPECT_EQ(rt.limits.relay_idle_ms, 300000);
}

}  // namespace
}  // namespace korvanel
