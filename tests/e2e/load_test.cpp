// Many clients at once through the real listener and connection handlers, in this process
// and in the built program: no failed request, every body byte for byte, and afterwards no
// handler thread or descriptor left behind.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "support/http_client.h"
#include "support/load_driver.h"
#include "support/load_origin.h"
#include "support/proxy_harness.h"

namespace korvanel::testing {
namespace {

using Clock = std::chrono::steady_clock;

TEST(Load, FiftyClientsTwoThousandRequestsAllArriveWhole) {
    ProxyHarness proxy;
    const ProcessCounts before = BaselineCounts();
    {
        LoadOrigin origin;
        ASSERT_TRUE(proxy.Start());
        auto start = Clock::now();
        LoadResult result = RunLoad(proxy.port, origin, LoadPlan{50, 40});
        EXPECT_EQ(result.failed, 0) << result.first_failure;
        EXPECT_EQ(result.succeeded, 2000);
        RecordProperty("load_ms", static_cast<int>(MillisecondsSince(start)));
        // Every handler has ended before the stop.
        EXPECT_TRUE(proxy.WaitIdle(3000))
            << proxy.Active() << " active, " << proxy.KeptActive() << " kept";
        EXPECT_GE(proxy.Served(), 2000);  // every request is counted
        EXPECT_TRUE(proxy.Stop());
    }
    EXPECT_EQ(WaitForCounts(before, 3000), before);
}

// Clients that keep asking while the stop comes: the stop returns at once, every client
// sees its connection end (none waits for a time-out), and a new start serves again.
TEST(Load, StopUnderLoadEndsEveryHandlerAndClient) {
    ProxyHarness proxy;
    const ProcessCounts before = BaselineCounts();
    {
        LoadOrigin origin;
        ASSERT_TRUE(proxy.Start());
        std::atomic<bool> stopped{false};
        std::atomic<int> answered{0};
        std::vector<std::thread> clients;
        for (int c = 0; c < 30; ++c) {
            clients.emplace_back([&, c] {
                SocketRegistry registry;
                for (int n = 0; !stopped; ++n) {
                    HttpClient client(registry, proxy.port);
                    if (!client.connected()) continue;
                    std::string url;
                    switch ((c + n) % 4) {
                        case 0:
                            url = origin.Url("len", 4000000, n);  // long in relay
                            break;
                        case 1:
                            url = origin.Url("chunk", 100000, n);
                            break;
                        case 2:
                            url = origin.Url("len", 100000, n, "stall");  // held by the origin
                            break;
                        default:
                            // Half a head: waits in the head reader.
                            WriteAll(client.socket(), "GET " + origin.Url("len", 10, n));
                            client.socket().WaitReadable(10000);
                            continue;
                    }
                    HttpAnswer answer = client.Get(url, 10000);
                    if (answer.complete) ++answered;
                }
            });
        }
        // Let the load build up, then stop while requests are everywhere on their way.
        PollUntil([&] { return answered.load() >= 20; }, 5000);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        auto stop_start = Clock::now();
        EXPECT_TRUE(proxy.Stop());
        stopped = true;
        EXPECT_LT(MillisecondsSince(stop_start), 3000);
        for (std::thread& t : clients) t.join();
        // No client waited for one of its own time-outs (10 s).
        EXPECT_LT(MillisecondsSince(stop_start), 5000);
        EXPECT_GT(answered.load(), 0);
        origin.Release();

        // A new start serves again.
        ASSERT_TRUE(proxy.Start());
        SocketRegistry registry;
        HttpClient again(registry, proxy.port);
        HttpAnswer answer = again.Get(origin.Url("len", 70000, 9));
        EXPECT_EQ(answer.status, 200);
        EXPECT_EQ(answer.body, PatternBytes(70000, 9));
        again.socket().Close();
        EXPECT_TRUE(proxy.Stop());
    }
    EXPECT_EQ(WaitForCounts(before, 3000), before);
}

}  // namespace
}  // namespace korvanel::testing
