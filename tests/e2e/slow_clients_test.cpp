// Sixty clients that send their heads slowly hold every place the listener has: the next
// client is closed at once, the slow ones are still served, and those that stop sending
// are let go at the head time-out.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "runtime/server_state.h"
#include "support/http_client.h"
#include "support/load_origin.h"
#include "support/proxy_harness.h"

namespace korvanel::testing {
namespace {

using Clock = std::chrono::steady_clock;

TEST(SlowClients, SixtyHoldTheirPlacesAndTheNextIsClosedAtOnce) {
    constexpr int kHeadTimeoutMs = 4000;
    ProxyHarness proxy;
    proxy.rt.limits.first_request_head_timeout_ms = kHeadTimeoutMs;
    const ProcessCounts before = BaselineCounts();
    {
        LoadOrigin origin;
        ASSERT_TRUE(proxy.Start());
        SocketRegistry registry;
        std::vector<std::unique_ptr<HttpClient>> slow;
        std::vector<std::string> heads;
        for (int i = 0; i < kMaxActiveFirstRequests; ++i) {
            slow.push_back(std::make_unique<HttpClient>(registry, proxy.port));
            ASSERT_TRUE(slow.back()->connected()) << i;
            heads.push_back("GET " + origin.Url("len", 20000 + i, i) +
                            " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        }
        auto connected = Clock::now();
        // A few bytes of every head, a piece at a time.
        std::size_t sent = 0;
        for (; sent < 12; sent += 4) {
            for (int i = 0; i < kMaxActiveFirstRequests; ++i) {
                ASSERT_TRUE(WriteAll(slow[i]->socket(), heads[i].substr(sent, 4)));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_TRUE(PollUntil([&] { return proxy.Active() == kMaxActiveFirstRequests; }, 3000))
            << proxy.Active();

        // One more: closed without a word and at once.
        Socket extra = ConnectLoopback(registry, proxy.port);
        ASSERT_TRUE(extra.valid());
        auto probe = Clock::now();
        bool closed = false;
        std::string said = ReadToClose(extra, &closed, 2000);
        EXPECT_TRUE(closed);
        EXPECT_EQ(said, "");
        EXPECT_LT(MillisecondsSince(probe), 500);
        extra.Close();

        // The first half finish their heads and get their answers whole.
        for (int i = 0; i < kMaxActiveFirstRequests / 2; ++i) {
            ASSERT_TRUE(WriteAll(slow[i]->socket(), heads[i].substr(sent)));
        }
        for (int i = 0; i < kMaxActiveFirstRequests / 2; ++i) {
            HttpAnswer answer = slow[i]->Read(3000);
            EXPECT_EQ(answer.status, 200) << i;
            EXPECT_EQ(answer.body, PatternBytes(20000 + i, i)) << i;
        }
        // The others never finish: each is let go at the head time-out, not later.
        for (int i = kMaxActiveFirstRequests / 2; i < kMaxActiveFirstRequests; ++i) {
            bool gone = false;
            ReadToClose(slow[i]->socket(), &gone, kHeadTimeoutMs + 2000);
            EXPECT_TRUE(gone) << i;
        }
        long long waited = MillisecondsSince(connected);
        EXPECT_GE(waited, kHeadTimeoutMs - 100);
        EXPECT_LT(waited, kHeadTimeoutMs + 1500);
        EXPECT_TRUE(proxy.WaitIdle(1000));

        // Places are free again.
        HttpClient next(registry, proxy.port);
        EXPECT_EQ(next.Get(origin.Url("chunk", 30000, 4)).body, PatternBytes(30000, 4));
        next.socket().Close();
        slow.clear();
        EXPECT_TRUE(proxy.Stop());
    }
    EXPECT_EQ(WaitForCounts(before, 3000), before);
}

}  // namespace
}  // namespace korvanel::testing
