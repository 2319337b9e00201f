#include "engine/upstream.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/access_control.h"
#include "engine/engine_test_support.h"
#include "platform/local_addresses.h"
#include "platform/socket.h"
#include "support/loopback.h"

namespace korvanel {
namespace {

using testing::EngineFixture;
using testing::MillisecondsSince;
using Steady = std::chrono::steady_clock;

TEST(Upstream, SplitsTheProxyTextAtTheFirstColon) {
    TargetHost host;
    TargetPort port;
    EXPECT_TRUE(SplitProxyAddress("192.0.2.10:8080", host, port));
    EXPECT_EQ(host.view(), "192.0.2.10");
    EXPECT_EQ(port.view(), "8080");
    EXPECT_TRUE(SplitProxyAddress("proxy.example:1:2", host, port));
    EXPECT_EQ(host.view(), "proxy.example");
    EXPECT_EQ(port.view(), "1:2");
    EXPECT_TRUE(SplitProxyAddress("h:12345678901234", host, port));
    EXPECT_EQ(port.view(), "123456789");
    EXPECT_FALSE(SplitProxyAddress("192.0.2.10", host, port));
}

TEST(Upstream, AcceptsPortsThatConvertToOneTo65535) {
    for (const char* good : {"1", "80", "080", "65535", "8080abc", " 81"}) {
        EXPECT_TRUE(IsUsablePort(good)) << good;
    }
    for (const char* bad : {"0", "65536", "abc", "", "-80", "99999999999999"}) {
        EXPECT_FALSE(IsUsablePort(bad)) << bad;
    }
    EXPECT_EQ(PortValue("080"), 80);
}

// Every address that may reach the proxy counts, by address, not by its text.
TEST(Upstream, RecognisesTheProxyItself) {
    struct Case {
        uint32_t address;
        const char* port;
        bool self;
    };
    const Case cases[] = {
        {0x7F000001, "8080", true},  {0x7F000001, "08080", true}, {0x7F000002, "8080", true},
        {0x7F00000A, "8080", true},  {0x7F000101, "8080", true},  {0x00000000, "8080", true},
        {0x7F000001, "8081", false}, {0x7F00000A, "8081", false}, {0xC0000201, "8080", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsSelfConnection(c.address, c.port, "8080"), c.self) << std::hex << c.address;
    }
    for (uint32_t own : ListLocalIpv4()) {
        EXPECT_TRUE(IsSelfConnection(own, "8080", "8080")) << std::hex << own;
        EXPECT_FALSE(IsSelfConnection(own, "8081", "8080")) << std::hex << own;
    }
}

// With the passive bind, a client of another machine must not reach this machine's
// loopback; this machine's own clients, by any of its addresses, may.
TEST(Upstream, TellsThisMachinesClientsFromOthers) {
    for (const char* address : {"127.0.0.1", "127.0.0.9", "127.200.1.1"}) {
        EXPECT_TRUE(IsThisMachine(address)) << address;
    }
    for (uint32_t own : ListLocalIpv4()) {
        char text[16];
        FormatIpv4(own, text, sizeof text);
        EXPECT_TRUE(IsThisMachine(text)) << text;
    }
    for (const char* address : {"198.51.100.77", "0.0.0.0", "", "not an address"}) {
        EXPECT_FALSE(IsThisMachine(address)) << address;
    }
}

class Connect : public ::testing::Test, public EngineFixture {};

TEST_F(Connect, RefusesLoopbackTargetsWhenTold) {
    uint16_t port = 0;
    Socket listener = testing::ListenLoopback(rt.sockets, port);
    const std::string port_text = std::to_string(port);
    NumericAddress numeric;
    for (const char* host : {"127.0.0.1", "localhost", "0.0.0.0"}) {
        Socket upstream;
        EXPECT_EQ(ConnectUpstream(rt, upstream, host, numeric, port_text, "8080",
                                  LoopbackTarget::kRefused),
                  UpstreamConnect::kSelf)
            << host;
        EXPECT_FALSE(upstream.valid());
    }
    Socket upstream;
    EXPECT_EQ(ConnectUpstream(rt, upstream, "127.0.0.1", numeric, port_text, "8080",
                              LoopbackTarget::kAllowed),
              UpstreamConnect::kConnected);
}

TEST_F(Connect, ConnectsWithTheNumericAddressOfTheTarget) {
    uint16_t port = 0;
    Socket listener = testing::ListenLoopback(rt.sockets, port);
    Socket upstream;
    NumericAddress numeric;
    std::string port_text = std::to_string(port);
    EXPECT_EQ(ConnectUpstream(rt, upstream, "localhost", numeric, port_text, "8080"),
              UpstreamConnect::kConnected);
    EXPECT_TRUE(upstream.valid());
    EXPECT_EQ(numeric.view(), "127.0.0.1");
    Socket accepted = testing::AcceptOne(listener);
    EXPECT_TRUE(testing::WriteAll(upstream, "ping"));
    EXPECT_EQ(testing::ReadCount(accepted, 4), "ping");

    // A second connect replaces the first connection.
    EXPECT_EQ(ConnectUpstream(rt, upstream, "127.0.0.1", numeric, port_text, "8080"),
              UpstreamConnect::kConnected);
    bool closed = false;
    testing::ReadToClose(accepted, &closed, 2000);
    EXPECT_TRUE(closed);
}

TEST_F(Connect, ARefusedConnectFailsAtOnce) {
    uint16_t port = 0;
    {
        Socket listener = testing::ListenLoopback(rt.sockets, port);
    }  // closed: nothing listens there now
    Socket upstream;
    NumericAddress numeric;
    rt.limits.connect_step_ms = 200;
    rt.limits.connect_steps = 200;
    auto start = Steady::now();
    EXPECT_EQ(ConnectUpstream(rt, upstream, "127.0.0.1", numeric, std::to_string(port), "1"),
              UpstreamConnect::kFailed);
    EXPECT_LT(MillisecondsSince(start), 1000);
    EXPECT_FALSE(upstream.valid());
    EXPECT_EQ(ConnectUpstream(rt, upstream, "", numeric, "80", "1"), UpstreamConnect::kFailed);
}

TEST_F(Connect, RefusesToConnectToItselfWithoutOpeningASocket) {
    Socket upstream;
    NumericAddress numeric;
    std::size_t before = rt.sockets.Count();
    EXPECT_EQ(ConnectUpstream(rt, upstream, "127.0.0.1", numeric, "8080", "8080"),
              UpstreamConnect::kSelf);
    EXPECT_EQ(ConnectUpstream(rt, upstream, "localhost", numeric, "08080", "8080"),
              UpstreamConnect::kSelf);
    EXPECT_EQ(rt.sockets.Count(), before);
    EXPECT_FALSE(upstream.valid());
}

// A listener whose backlog is full drops further connection attempts, so their connect
// never completes.
struct SilentTarget {
    explicit SilentTarget(SocketRegistry& registry) {
        listener = Socket::OpenTcp(registry);
        listener.Bind({0x7f000001, 0});
        listener.Listen(0);
        Ipv4Endpoint local;
        listener.LocalEndpoint(local);
        port = local.port;
        for (Socket& filler : fillers) {
            filler = Socket::OpenTcp(registry);
            filler.StartConnect({0x7f000001, port});
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Socket listener;
    Socket fillers[4];
    uint16_t port = 0;
};

TEST_F(Connect, GivesUpOnATargetThatNeverAnswersAndOnAStop) {
    SilentTarget target(rt.sockets);
    Socket upstream;
    NumericAddress numeric;
    auto start = Steady::now();
    EXPECT_EQ(ConnectUpstream(rt, upstream, "127.0.0.1", numeric, std::to_string(target.port), "1"),
              UpstreamConnect::kFailed);
    // 25 steps of 20 ms.
    EXPECT_GE(MillisecondsSince(start), 450);
    EXPECT_LT(MillisecondsSince(start), 3000);

    rt.limits.connect_step_ms = 200;
    rt.limits.connect_steps = 200;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Hold hold(rt.locks.server);
        rt.server.run_flag = RunFlag::kStopRequested;
    });
    start = Steady::now();
    EXPECT_EQ(ConnectUpstream(rt, upstream, "127.0.0.1", numeric, std::to_string(target.port), "1"),
              UpstreamConnect::kFailed);
    EXPECT_LT(MillisecondsSince(start), 1000);
    stopper.join();
}

}  // namespace
}  // namespace korvanel
