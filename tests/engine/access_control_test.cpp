#include "engine/access_control.h"

#include <gtest/gtest.h>

#include "engine/listener_test_support.h"
#include "runtime/runtime.h"
#include "support/recording_front_end.h"
#include "support/temp_dir.h"

namespace korvanel {
namespace {

using testing::kLoopback;
using testing::kLoopback2;

TEST(ParseDottedQuad, AcceptsFourNumbersUpTo255) {
    struct Case {
        const char* name;
        const char* text;
        int expected;
    } cases[] = {
        {"plain", "192.168.1.20", 1},
        {"zeros", "0.0.0.0", 1},
        {"highest", "255.255.255.255", 1},
        {"trailing text after the fourth number", "10.0.0.1x", 1},
        {"part above 255", "10.0.256.1", -1},
        {"negative part", "10.-1.0.1", -1},
        {"three parts", "10.0.1", -1},
        {"empty", "", -1},
        {"letters", "a.b.c.d", -1},
        {"huge number", "99999999999999999999.1.1.1", -1},
        {"space before a number", "10. 0.0.1", 1},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseDottedQuad(c.text), c.expected) << c.name;
}

TEST(ParseAllowedRange, SplitsAtTheFirstTo) {
    AllowedRange range = ParseAllowedRange("10.0.0.1to10.0.0.9");
    EXPECT_EQ(range.low, 0x0A000001u);
    EXPECT_EQ(range.high, 0x0A000009u);

    range = ParseAllowedRange("10.0.0.9to10.0.0.1");  // either order is kept as written
    EXPECT_EQ(range.low, 0x0A000009u);
    EXPECT_EQ(range.high, 0x0A000001u);

    range = ParseAllowedRange("bogusto10.0.0.1");  // an end that does not convert is 0
    EXPECT_EQ(range.low, 0u);
    EXPECT_EQ(range.high, 0x0A000001u);

    // Ends that the settings page accepts are read as it reads them, never as 0 (which would
    // open the range down to 0.0.0.0).
    range = ParseAllowedRange("10.0.0.1to 10.0.0.9x");
    EXPECT_EQ(range.low, 0x0A000001u);
    EXPECT_EQ(range.high, 0x0A000009u);

    range = ParseAllowedRange("192.168.0.7");  // no "to": one address
    EXPECT_EQ(range.low, 0xC0A80007u);
    EXPECT_EQ(range.high, 0xC0A80007u);
}

class AccessControl : public ::testing::Test {
  protected:
    AccessControl() : rt(front, dir.path()) {
        listening = Socket::OpenTcp(clients);
        Ipv4Endpoint local{kLoopback, 0};
        EXPECT_TRUE(listening.Bind(local));
        EXPECT_TRUE(listening.Listen(8));
        EXPECT_TRUE(listening.LocalEndpoint(local));
        port = local.port;
    }

    void SetRange(const char* text) {
        rt.settings.allow_user = text;
        LoadAllowedRange(rt);
    }

    // Connects from `source` and returns CheckClient's result on the accepted socket.
    ClientCheck Check(uint32_t source) {
        Socket client = testing::ConnectFrom(clients, source, port);
        EXPECT_TRUE(client.valid());
        EXPECT_EQ(listening.WaitReadable(1000), PollResult::kReady);
        Socket accepted;
        int family = 0;
        EXPECT_EQ(listening.Accept(accepted, family).status, IoStatus::kOk);
        address.clear();
        return CheckClient(rt, accepted, family, address);
    }

    testing::TempDir dir;
    testing::RecordingFrontEnd front;
    Runtime rt;
    SocketRegistry clients;
    Socket listening;
    uint16_t port = 0;
    ClientAddressText address;
};

TEST_F(AccessControl, DefaultRangeAdmitsOnlyLoopbackPrefixes) {
    SetRange("127.0.0.1to127.0.0.1");
    EXPECT_EQ(Check(kLoopback), ClientCheck::kAdmitted);
    EXPECT_EQ(address.view(), "127.0.0.1");
    EXPECT_EQ(testing::IpLogOf(rt), "127.0.0.1を許可\r\n");

    EXPECT_EQ(Check(kLoopback2), ClientCheck::kRefused);
    EXPECT_EQ(address.view(), "127.0.0.2");
    EXPECT_NE(testing::IpLogOf(rt).find("127.0.0.2をブロックし切断\r\n"), std::string::npos);
    EXPECT_EQ(testing::CountersOf(rt).blocked, 1);
}

TEST_F(AccessControl, PrefixAdmitsWithoutRangeTest) {
    SetRange("bogustonothing");                            // both ends 0
    EXPECT_EQ(Check(0x7F00000F), ClientCheck::kAdmitted);  // 127.0.0.15 begins with "127.0.0.1"
    EXPECT_EQ(Check(kLoopback2), ClientCheck::kRefused);
}

TEST_F(AccessControl, RangeIsInclusiveInEitherOrder) {
    SetRange("127.0.0.2to127.0.0.4");
    EXPECT_EQ(Check(kLoopback2), ClientCheck::kAdmitted);
    EXPECT_EQ(Check(0x7F000004), ClientCheck::kAdmitted);
    EXPECT_EQ(Check(0x7F000005), ClientCheck::kRefused);

    SetRange("127.0.0.4to127.0.0.2");
    EXPECT_EQ(Check(kLoopback2), ClientCheck::kAdmitted);
    EXPECT_EQ(Check(0x7F000004), ClientCheck::kAdmitted);
    EXPECT_EQ(Check(0x7F000003), ClientCheck::kAdmitted);
    EXPECT_EQ(Check(0x7F000005), ClientCheck::kRefused);
    EXPECT_EQ(testing::CountersOf(rt).blocked, 2);
}

TEST_F(AccessControl, OtherFamiliesAndUnknownPeers) {
    Socket unconnected = Socket::OpenTcp(clients);
    EXPECT_EQ(CheckClient(rt, unconnected, Ipv4Family(), address), ClientCheck::kPeerUnknown);

    EXPECT_EQ(CheckClient(rt, unconnected, Ipv6Family(), address), ClientCheck::kRefused);
    EXPECT_EQ(testing::IpLogOf(rt), "切断します\r\n");

    EXPECT_EQ(CheckClient(rt, unconnected, 1, address), ClientCheck::kRefused);  // no log line
    EXPECT_EQ(testing::IpLogOf(rt), "切断します\r\n");
    EXPECT_EQ(testing::CountersOf(rt).blocked, 0);
}

TEST(AnyTagFilterOn, IgnoresDummyRows) {
    testing::RecordingFrontEnd front;
    Runtime rt(front);
    EXPECT_FALSE(AnyTagFilterOn(rt));
    rt.settings.tag_switches[2].value = "1";  // a "dummy" row
    EXPECT_FALSE(AnyTagFilterOn(rt));
    rt.settings.tag_switches[16].value = "1";  // "<a"
    EXPECT_TRUE(AnyTagFilterOn(rt));
}

}  // namespace
}  // namespace korvanel
