// Servers that answer part-way and then go silent with their connections open, sixty at
// once: the proxy frees their handlers after its idle limit and serves the next client.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine/proxy_fixture.h"

namespace korvanel {
namespace {

using testing::MillisecondsSince;
using testing::ReadUntil;
using testing::WriteAll;

class StalledOrigins : public ::testing::Test, public testing::ProxyFixture {};

// Longer than opening the sixty connections takes, so that all of them are held at once.
constexpr int kIdleMs = 1500;
constexpr int kHandlers = 60;

TEST_F(StalledOrigins, SixtyOfThemLockNobodyOutLongerThanTheIdleLimit) {
    rt.limits.relay_idle_ms = kIdleMs;
    std::atomic<bool> release{false};
    Origin([&](Socket& c, int) {
        std::string head = ReadUntil(c, "\r\n\r\n");
        if (head.find("/stall") != std::string::npos) {
            WriteAll(c, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\npart of it");
            // Silent, the connection open, until the test ends.
            testing::PollUntil([&] { return release.load(); }, 20000);
            return;
        }
        WriteAll(c, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
    });
    ASSERT_TRUE(Start());
    std::vector<Socket> stalled;
    for (int i = 0; i < kHandlers; ++i) {
        stalled.push_back(Client());
        ASSERT_TRUE(stalled.back().valid());
        WriteAll(stalled.back(),
                 "GET " + OriginUrl("/stall") + " HTTP/1.1\r\nHost: example.test\r\n\r\n");
    }
    for (Socket& s : stalled) {
        ASSERT_NE(ReadUntil(s, "part of it").find("part of it"), std::string::npos);
    }
    const auto all_stalled = std::chrono::steady_clock::now();

    // Every handler is taken: the next client is served once the idle limit has freed one.
    std::string answer;
    while (answer.find("\r\n\r\nok") == std::string::npos &&
           MillisecondsSince(all_stalled) < 10000) {
        Socket next = Client();
        if (!next.valid()) continue;
        WriteAll(next, "GET " + OriginUrl("/quick") + " HTTP/1.1\r\nHost: example.test\r\n\r\n");
        answer = testing::ReadToClose(next, nullptr, 3000);
    }
    const long long waited = MillisecondsSince(all_stalled);
    EXPECT_NE(answer.find("\r\n\r\nok"), std::string::npos) << answer;
    EXPECT_LT(waited, kIdleMs + 2500);
    // The stalled answers were cut, not passed off as whole.
    for (Socket& s : stalled) EXPECT_TRUE(testing::ClosedByPeer(s, kIdleMs + 1000));
    release = true;
    origin.reset();  // its scripts look at `release`, which ends with this test body
}

}  // namespace
}  // namespace korvanel
