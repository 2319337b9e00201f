#include "logging/logger.h"

#include <chrono>
#include <string>
#include <thread>

#include "engine/server_control.h"
#include "logging/log_fixture.h"
#include "logging/log_producers.h"

namespace korvanel::testing {
namespace {

TEST_F(LogTest, LoggerShowsCountersAndByteTotalsAsTheyChange) {
    std::thread logger;
    ASSERT_TRUE(StartLogger(rt, logger));
    EXPECT_TRUE(PollUntil([&] { return front.label(Label::kServedConnections) == "0"; }));
    EXPECT_EQ(front.label(Label::kBytesReceived), "0 Byte");
    EXPECT_EQ(front.label(Label::kBytesSent), "0 Byte");
    EXPECT_EQ(front.label(Label::kActiveConnections), "0");

    CountConnection(rt, CounterChange::kFirstStarts);
    CountConnection(rt, CounterChange::kKeptStarts);
    {
        Hold hold(rt.locks.counter);
        rt.server.counters.blocked = 3;
    }
    AddBytesSent(rt, 5000000000LL);  // past 32 bits
    AddBytesReceived(rt, 12);
    EXPECT_TRUE(PollUntil([&] { return front.label(Label::kBytesSent) == "5000000000 Byte"; }));
    EXPECT_TRUE(PollUntil([&] { return front.label(Label::kServedConnections) == "2"; }));
    EXPECT_EQ(front.label(Label::kActiveConnections), "1");
    EXPECT_EQ(front.label(Label::kKeepAliveConnections), "1");
    EXPECT_EQ(front.label(Label::kBlockedClients), "3");
    EXPECT_EQ(front.label(Label::kBytesReceived), "12 Byte");

    ASSERT_TRUE(StopLogger(rt));
    logger.join();
}

TEST_F(LogTest, LoggerFlushesEveryLogAndEndsWithinACycleOfTheStop) {
    SetAllModes("2");
    std::thread logger;
    ASSERT_TRUE(StartLogger(rt, logger));
    LogAccess(rt, "c", "h", "n", "80", "GET / HTTP/1.1\r\n", "HTTP/1.1 200 OK\r\n", "\r\n\r\n");
    LogSendHeaders(rt, "GET / HTTP/1.1\r\n", "\r\n");
    EXPECT_TRUE(PollUntil([&] { return !front.pane(Pane::kAccess).empty(); }));
    EXPECT_TRUE(PollUntil([&] { return !front.pane(Pane::kSendHeaders).empty(); }));

    LogIp(rt, "10.0.0.2", "を許可");  // made just before the stop: still written
    auto asked = std::chrono::steady_clock::now();
    ASSERT_TRUE(StopLogger(rt));
    logger.join();
    auto took = std::chrono::steady_clock::now() - asked;
    EXPECT_LT(took, std::chrono::milliseconds(4 * kLoggerCycleMs));
    EXPECT_EQ(ReadFile(dir.file("ip_log")), "10.0.0.2を許可\r\n");
    EXPECT_TRUE(FileExists(dir.file("access_log")));
    EXPECT_TRUE(FileExists(dir.file("send_log")));
}

TEST_F(LogTest, LoggerCyclesEveryQuarterSecond) {
    EXPECT_EQ(kLoggerCycleMs, 250);
    std::thread logger;
    ASSERT_TRUE(StartLogger(rt, logger));
    auto begun = std::chrono::steady_clock::now();
    // Each cycle shows a changed counter; count the cycles that pass in about a second.
    int cycles = 0;
    for (int32_t value = 1; std::chrono::steady_clock::now() - begun < std::chrono::seconds(1);) {
        {
            Hold hold(rt.locks.counter);
            rt.server.counters.blocked = value;
        }
        std::string shown = std::to_string(value);
        if (PollUntil([&] { return front.label(Label::kBlockedClients) == shown; })) ++cycles;
        ++value;
    }
    StopLogger(rt);
    logger.join();
    // A shorter cycle would show many more changes; a loaded machine may show fewer.
    EXPECT_LE(cycles, 1000 / kLoggerCycleMs + 2);
    EXPECT_GE(cycles, 1);
}

}  // namespace
}  // namespace korvanel::testing
