// The SOCKS connect over a real loopback connection against a scripted proxy: answers that
// come in pieces, bytes of the target right behind the answer (never read by the connect),
// a proxy that closes or goes silent, and a stop in the middle, which ends it at once.
#include "engine/socks_connect.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/engine_test_support.h"
#include "support/loopback.h"
#include "texts.h"

namespace korvanel {
namespace {

using testing::MillisecondsSince;
using Steady = std::chrono::steady_clock;

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out.push_back(static_cast<char>(v));
    return out;
}

// What the proxy reads (the test checks it) and sends, step by step.
struct Step {
    std::size_t read;    // bytes it reads first
    std::string answer;  // then sends, one byte at a time when `trickle`
};

struct Case {
    const char* name;
    UpstreamKind kind;
    const char* user;
    std::vector<Step> steps;
    bool close_after;  // the proxy closes after its steps (else it goes silent)
    SocksEnd end;
    const char* reason;
};

class SocksConnectTest : public ::testing::Test, public testing::EngineFixture {
  protected:
    SocksConnectTest() { rt.limits.answer_head_timeout_ms = 300; }
};

TEST_F(SocksConnectTest, AnswersInPiecesRefusalsClosesAndSilence) {
    const std::string greeting_ok = Bytes({5, 0});
    const std::string granted = Bytes({5, 0, 0, 1, 127, 0, 0, 1, 0, 80});
    const std::string behind = "HTTP/1.1 200 OK\r\n";  // the target's, after the answer
    const Case cases[] = {
        {"granted, with the target's bytes behind",
         UpstreamKind::kSocks5,
         "",
         {{3, greeting_ok}, {16, granted + behind}},
         false,
         SocksEnd::kConnected},
        {"a login",
         UpstreamKind::kSocks5,
         "al",
         {{3, Bytes({5, 2})}, {2 + 2 + 1 + 2, Bytes({1, 0})}, {16, granted}},
         false,
         SocksEnd::kConnected},
        {"a login refused",
         UpstreamKind::kSocks5,
         "al",
         {{3, Bytes({5, 2})}, {2 + 2 + 1 + 2, Bytes({1, 1})}},
         true,
         SocksEnd::kFailed,
         text::kSocksLoginRefused},
        {"host unreachable",
         UpstreamKind::kSocks5,
         "",
         {{3, greeting_ok}, {16, Bytes({5, 4, 0, 1, 0, 0, 0, 0, 0, 0})}},
         true,
         SocksEnd::kFailed,
         text::kSocksHostUnreachable},
        {"closed in the middle of the answer",
         UpstreamKind::kSocks5,
         "",
         {{3, greeting_ok}, {16, Bytes({5, 0, 0, 1, 127})}},
         true,
         SocksEnd::kFailed,
         text::kSocksClosed},
        {"silent after the greeting",
         UpstreamKind::kSocks5,
         "",
         {{3, greeting_ok}},
         false,
         SocksEnd::kFailed,
         text::kSocksTimeout},
        {"an HTTP proxy taken for SOCKS",
         UpstreamKind::kSocks5,
         "",
         {{3, "HTTP/1.0 400 Bad Request\r\n\r\n"}},
         true,
         SocksEnd::kFailed,
         text::kSocksMalformed},
        {"SOCKS4a granted",
         UpstreamKind::kSocks4a,
         "id",
         {{8 + 3 + 10, Bytes({0, 90, 0, 0, 0, 0, 0, 0}) + behind}},
         false,
         SocksEnd::kConnected},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::SocketPair pair = testing::MakePair(rt.sockets);
        std::string received;
        std::thread proxy([&] {
            for (const Step& step : c.steps) {
                received += testing::ReadCount(pair.far, step.read, 2000);
                // The answer a byte at a time: the connect must put it together.
                for (char byte : step.answer) {
                    testing::WriteAll(pair.far, std::string_view(&byte, 1));
                }
            }
            if (c.close_after) pair.far.Close();
        });
        const char* reason = nullptr;
        SocksEnd end = SocksConnect(rt, pair.near, c.kind, "a.example", "80", c.user, "pw", reason);
        proxy.join();
        EXPECT_EQ(end, c.end);
        if (c.reason != nullptr) {
            EXPECT_STREQ(reason, c.reason);
        }
        if (end == SocksEnd::kConnected && c.steps.back().answer.ends_with(behind)) {
            // What followed the answer is still there for the relay.
            EXPECT_EQ(testing::ReadCount(pair.near, behind.size(), 1000), behind);
        }
        // The CONNECT names the target, never an address looked up here.
        if (c.kind == UpstreamKind::kSocks5 && std::string(c.user).empty() && c.steps.size() > 1) {
            EXPECT_EQ(received.substr(3), Bytes({5, 1, 0, 3, 9}) + "a.example" + Bytes({0, 80}));
        }
    }
}

TEST_F(SocksConnectTest, AStopEndsTheWaitAtOnce) {
    rt.limits.answer_head_timeout_ms = 20000;
    testing::SocketPair pair = testing::MakePair(rt.sockets);
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        rt.sockets.CleanUp();
    });
    const auto start = Steady::now();
    const char* reason = nullptr;
    EXPECT_EQ(SocksConnect(rt, pair.near, UpstreamKind::kSocks5, "a.example", "80", "", "", reason),
              SocksEnd::kStopped);
    EXPECT_LT(MillisecondsSince(start), 2000);
    stopper.join();
}

}  // namespace
}  // namespace korvanel
