// Relays that would otherwise wait for good: a server that sends part of an answer and then
// goes silent, a client that leaves while its answer is still awaited.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "engine/body_relay.h"
#include "engine/body_relay_fixture.h"
#include "support/loopback.h"
#include "texts.h"

namespace korvanel {
namespace {

using testing::MillisecondsSince;
using testing::PatternBytes;
using testing::WriteAll;

class RelayCut : public BodyRelay {
  public:
    // The relay cases below reach the fixture's sockets and buffers.
    using BodyRelay::buffer;
    using BodyRelay::client;
    using BodyRelay::error;
    using BodyRelay::upstream;
    using EngineFixture::rt;
    using Relay = std::function<RelayResult(RelayCut&)>;

    // Runs `relay` while the server sends `partial` and then stays silent with its
    // connection open, and `client_side` acts on the client's end. Returns the relay's
    // result and its time in `elapsed_ms`.
    RelayResult RunStalled(const Relay& relay, const std::string& partial,
                           const std::function<void(Socket&)>& client_side, long long& elapsed_ms) {
        std::thread server([&] { WriteAll(upstream.far, partial); });
        std::thread client_thread([&] { client_side(client.far); });
        const auto start = std::chrono::steady_clock::now();
        RelayResult result = relay(*this);
        elapsed_ms = MillisecondsSince(start);
        server.join();
        client_thread.join();
        return result;
    }

    long long remaining = 0;
    FilterBuffers filter;
};

struct AnswerRelayCase {
    const char* name;
    long long length;     // the announced body length (-1 none)
    std::string partial;  // what the server sends before it goes silent
    RelayCut::Relay relay;
};

const std::vector<AnswerRelayCase>& AnswerRelays() {
    static const std::vector<AnswerRelayCase> cases = {
        {"length", 5000, PatternBytes(1000),
         [](RelayCut& t) {
             return RelayLength(t.rt, t.client.near, t.upstream.near, t.buffer, 0, t.remaining,
                                t.error);
         }},
        {"spliced length", 1 << 20, PatternBytes(70000),
         [](RelayCut& t) {
             return RelayLength(t.rt, t.client.near, t.upstream.near, t.buffer, 0, t.remaining,
                                t.error);
         }},
        {"until close", -1, PatternBytes(1000),
         [](RelayCut& t) {
             return RelayUntilClose(t.rt, t.client.near, t.upstream.near, t.buffer, 0, t.error);
         }},
        {"chunked", -1, "100\r\n" + std::string(100, 'c'),
         [](RelayCut& t) {
             return RelayChunked(t.rt, t.upstream.near, t.client.near, t.buffer, 0,
                                 Terminator("\r\n\r\n"), t.error);
         }},
        {"chunked size line", -1, "10",
         [](RelayCut& t) {
             return RelayChunked(t.rt, t.upstream.near, t.client.near, t.buffer, 0,
                                 Terminator("\r\n\r\n"), t.error);
         }},
        {"filtered", 5000, "<p>" + std::string(500, 'f'),
         [](RelayCut& t) {
             return RelayFiltered(t.rt, t.client.near, t.upstream.near, t.buffer, 0, t.remaining,
                                  t.filter, t.error);
         }},
        {"chunked filtered", -1, "100\r\n<p>" + std::string(50, 'f'),
         [](RelayCut& t) {
             return RelayChunkedFiltered(t.rt, t.upstream.near, t.client.near, t.buffer, 0,
                                         Terminator("\r\n\r\n"), t.filter, t.error);
         }},
    };
    return cases;
}

constexpr int kShortIdleMs = 200;
// Far below the real idle limit, far above a loaded machine's scheduling delays.
constexpr long long kPromptMs = 3000;

TEST_F(RelayCut, EveryAnswerRelayEndsAfterTheIdleLimit) {
    rt.limits.relay_idle_ms = kShortIdleMs;
    for (const AnswerRelayCase& c : AnswerRelays()) {
        SCOPED_TRACE(c.name);
        remaining = c.length;
        error.clear();
        long long elapsed = 0;
        // The client stays, reading nothing: only the server's silence ends the relay.
        RelayResult result = RunStalled(
            c.relay, c.partial, [](Socket&) {}, elapsed);
        EXPECT_EQ(result, RelayResult::kFailed);
        EXPECT_EQ(error.view(), std::string(text::kTimeout) + "\n");
        EXPECT_GE(elapsed, kShortIdleMs - 20);
        EXPECT_LT(elapsed, kPromptMs);
        EXPECT_TRUE(upstream.near.Broken());
        upstream = testing::MakePair(rt.sockets);
        client = testing::MakePair(rt.sockets);
    }
}

TEST_F(RelayCut, EveryAnswerRelayEndsAtOnceWhenTheClientLeaves) {
    // The real idle limit: only the client's close can end these relays in time.
    for (const AnswerRelayCase& c : AnswerRelays()) {
        SCOPED_TRACE(c.name);
        remaining = c.length;
        error.clear();
        long long elapsed = 0;
        RelayResult result = RunStalled(
            c.relay, c.partial,
            [](Socket& far) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                far.Close();
            },
            elapsed);
        EXPECT_EQ(result, RelayResult::kFailed);
        EXPECT_EQ(error.view(), std::string(text::kClientSendError) + "\n");
        EXPECT_LT(elapsed, kPromptMs);
        upstream = testing::MakePair(rt.sockets);
        client = testing::MakePair(rt.sockets);
    }
}

// A client that sends its next request while the answer is on its way has not left, even
// when it ends its sending side after that request.
TEST_F(RelayCut, AClientThatSendsItsNextRequestIsStillServed) {
    struct Case {
        const char* name;
        bool half_close;
    };
    for (const Case& c : {Case{"pipelined", false}, Case{"pipelined, then half-closed", true}}) {
        SCOPED_TRACE(c.name);
        const std::string body = PatternBytes(3000);
        remaining = static_cast<long long>(body.size());
        std::string got;
        std::thread server([&] {
            WriteAll(upstream.far, body.substr(0, 1000));
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            WriteAll(upstream.far, body.substr(1000));
        });
        std::thread client_thread([&] {
            WriteAll(client.far, "GET /next HTTP/1.1\r\nHost: a\r\n\r\n");
            if (c.half_close) client.far.ShutdownSend();
            got = testing::ReadCount(client.far, body.size());
        });
        RelayResult result =
            RelayLength(rt, client.near, upstream.near, buffer, 0, remaining, error);
        server.join();
        client_thread.join();
        EXPECT_EQ(result, RelayResult::kComplete);
        EXPECT_TRUE(got == body);
        upstream = testing::MakePair(rt.sockets);
        client = testing::MakePair(rt.sockets);
    }
}

TEST_F(RelayCut, RequestBodiesEndAfterTheIdleLimit) {
    rt.limits.relay_idle_ms = kShortIdleMs;
    struct Case {
        const char* name;
        std::function<RelayResult(RelayCut&)> relay;
        std::string partial;
    };
    const Case cases[] = {
        {"length",
         [](RelayCut& t) {
             t.remaining = 10000;
             return RelayRequestBody(t.rt, t.client.near, t.upstream.near, t.buffer, t.remaining,
                                     t.error);
         },
         PatternBytes(1000)},
        {"chunked",
         [](RelayCut& t) {
             return RelayChunkedRequestBody(t.rt, t.client.near, t.upstream.near, t.buffer, 0,
                                            Terminator("\r\n\r\n"), t.error);
         },
         "100\r\nabc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        error.clear();
        std::thread client_thread([&] { WriteAll(client.far, c.partial); });
        const auto start = std::chrono::steady_clock::now();
        RelayResult result = c.relay(*this);
        const long long elapsed = MillisecondsSince(start);
        client_thread.join();
        EXPECT_EQ(result, RelayResult::kFailed);
        EXPECT_EQ(error.view(), std::string(text::kTimeout) + "\n");
        EXPECT_GE(elapsed, kShortIdleMs - 20);
        EXPECT_LT(elapsed, kPromptMs);
        upstream = testing::MakePair(rt.sockets);
        client = testing::MakePair(rt.sockets);
    }
}

}  // namespace
}  // namespace korvanel
