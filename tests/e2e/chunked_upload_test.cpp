// A chunked request body on a kept-alive connection: the body ends with its trailer section
// (at least the empty line after the last chunk), which must not be left for the next
// request on the connection to begin with.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "support/http_client.h"
#include "support/load_origin.h"
#include "support/proxy_harness.h"

namespace korvanel::testing {
namespace {

std::string ChunkedHead(const LoadOrigin& origin) {
    return "POST " + origin.EchoUrl() +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n";
}

TEST(ChunkedUpload, TheNextRequestOnTheConnectionIsServed) {
    ProxyHarness proxy;
    const ProcessCounts before = BaselineCounts();
    {
        LoadOrigin origin;
        ASSERT_TRUE(proxy.Start());
        SocketRegistry registry;
        HttpClient client(registry, proxy.port);
        const std::string big = PatternBytes(30000, 21);
        // Head and body in separate pieces, the way a client streams an upload; the second
        // upload has a trailer field.
        const std::string bodies[] = {
            "5\r\nhello\r\n6;ext=1\r\n world\r\n0\r\n\r\n",
            "7530\r\n" + big + "\r\n0\r\nX-Checksum: 1\r\n\r\n",
        };
        const std::string expected[] = {"hello world", big};
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(WriteAll(client.socket(), ChunkedHead(origin)));
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            ASSERT_TRUE(WriteAll(client.socket(), bodies[i]));
            HttpAnswer echo = client.Read(3000);
            EXPECT_EQ(echo.status, 200) << i;
            EXPECT_EQ(echo.body, expected[i]) << i;
            ASSERT_FALSE(echo.closed) << i;

            HttpAnswer next = client.Get(origin.Url("chunk", 20000, 22 + i), 3000);
            EXPECT_EQ(next.status, 200) << i << "\n" << next.head << next.body;
            EXPECT_EQ(next.body, PatternBytes(20000, 22 + i)) << i;
            ASSERT_FALSE(next.closed) << i;
        }
        client.socket().Close();
        EXPECT_TRUE(proxy.WaitIdle(2000));
        EXPECT_TRUE(proxy.Stop());
    }
    EXPECT_EQ(WaitForCounts(before, 3000), before);
}

}  // namespace
}  // namespace korvanel::testing
