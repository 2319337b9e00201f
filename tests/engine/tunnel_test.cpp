// CONNECT tunnels through the real listener: refused as any unknown method while the
// setting is off, opened straight or through an upstream proxy when it is on, bytes and
// half-closes passed on both ways, the refusals a client can read, and hundreds of idle
// tunnels beside plain requests and a stop.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/error_page.h"
#include "engine/proxy_fixture.h"
#include "engine/tunnel_loop.h"
#include "runtime/tunnel_values.h"
#include "texts.h"

namespace korvanel {
namespace {

using testing::PatternBytes;
using testing::ReadCount;
using testing::ReadHeadOf;
using testing::ReadToClose;
using testing::ReadUntil;
using testing::ScriptedOrigin;
using testing::WriteAll;
using Steady = std::chrono::steady_clock;

constexpr std::string_view kEstablished = "HTTP/1.1 200 Connection established\r\n\r\n";

std::string PageOf(const char* head, const std::string& reason) {
    char page[kErrorPageCapacity];
    int length = head == nullptr ? BuildErrorPage(page, sizeof page, reason)
                                 : BuildErrorPage(page, sizeof page, reason, head);
    return length < 0 ? std::string() : std::string(page, static_cast<std::size_t>(length));
}

// Sends back what it reads until the client's end, then ends its own side.
void Echo(Socket& c, int) {
    char buffer[4096];
    for (;;) {
        if (c.WaitReadable(10000) != PollResult::kReady) return;
        IoResult got = c.Receive(buffer, sizeof buffer);
        if (got.status == IoStatus::kWouldBlock) continue;
        if (got.status != IoStatus::kOk) break;
        if (!WriteAll(c, std::string_view(buffer, static_cast<std::size_t>(got.bytes)))) return;
    }
    c.ShutdownSend();
}

class Tunnels : public ::testing::Test, public testing::ProxyFixture {
  protected:
    Tunnels() {
        rt.settings.https_tunnel = true;
        rt.settings.send_header_log = "0";
        rt.settings.recv_header_log = "0";
    }
    // Starts the proxy with `script` as the origin and its port as the only one allowed.
    void StartWith(ScriptedOrigin::Script script) {
        Origin(std::move(script));
        ASSERT_TRUE(ParseTunnelPorts(std::to_string(origin->port()), rt.settings.tunnel_ports));
        ASSERT_TRUE(Start());
    }
    std::string Target() const { return "127.0.0.1:" + std::to_string(origin->port()); }
    std::string ConnectHead(const std::string& target, const char* version = "HTTP/1.1") {
        return "CONNECT " + target + " " + version + "\r\nHost: " + target + "\r\n\r\n";
    }
    // A client whose tunnel to the origin stands.
    Socket OpenTunnel() {
        Socket client = Client();
        EXPECT_TRUE(WriteAll(client, ConnectHead(Target())));
        EXPECT_EQ(ReadHeadOf(client), kEstablished);
        return client;
    }
    int OpenTunnels() { return rt.server.open_tunnels.load(); }
    std::string LogOf(LogBuffer& buffer) {
        Hold hold(buffer.lock);
        return std::string(buffer.view());
    }
};

TEST_F(Tunnels, SwitchedOffConnectIsRefusedAsBefore) {
    rt.settings.https_tunnel = false;
    StartWith(Echo);
    Socket client = Client();
    ASSERT_TRUE(WriteAll(client, ConnectHead(Target())));
    EXPECT_EQ(ReadToClose(client), PageOf(nullptr, text::kUnsupportedHeader));
    EXPECT_EQ(origin->accepted(), 0);
}

TEST_F(Tunnels, RelaysBytesUnchangedBothWaysAndLogsTheTunnel) {
    StartWith(Echo);
    for (const char* version : {"HTTP/1.1", "HTTP/1.0"}) {
        SCOPED_TRACE(version);
        Socket client = Client();
        // The head in two pieces, the first past the start test; bytes right behind the
        // head belong to the tunnel.
        const std::string head = ConnectHead(Target(), version);
        ASSERT_TRUE(WriteAll(client, head.substr(0, 30)));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_TRUE(WriteAll(client, head.substr(30) + "early"));
        EXPECT_EQ(ReadHeadOf(client), kEstablished);
        EXPECT_EQ(ReadCount(client, 5), "early");
        // More than a pipe holds and past the size at which a tunnel's pipes grow, sent
        // before any of it is read back: each direction stalls on a full socket and resumes.
        const std::string payload = PatternBytes(3000000, 7);
        ASSERT_TRUE(WriteAll(client, payload));
        EXPECT_EQ(ReadCount(client, payload.size()), payload);
        client.ShutdownSend();
        bool closed = false;
        EXPECT_EQ(ReadToClose(client, &closed), "");
        EXPECT_TRUE(closed);
    }
    ASSERT_TRUE(testing::PollUntil([&] { return OpenTunnels() == 0; }));
    const std::string log = AccessLog();
    EXPECT_NE(log.find("\"CONNECT " + Target() +
                       " HTTP/1.0\" \"HTTP/1.1 200 Connection "
                       "established (3000005 up, 3000005 down)\"\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("E127.0.0.1"), std::string::npos) << log;
    EXPECT_NE(LogOf(rt.logs.send_headers).find("CONNECT " + Target() + " HTTP/1.1\r\nHost: "),
              std::string::npos);
    EXPECT_NE(LogOf(rt.logs.recv_headers).find("HTTP/1.1 200 Connection established\r\n"),
              std::string::npos);
    EXPECT_GE(rt.server.bytes_sent.load(), 6000010u);
    EXPECT_GE(rt.server.bytes_received.load(), 6000010u);
    EXPECT_EQ(testing::CountersOf(rt).active, 0);
}

// Each side's end goes on to the other while the other direction keeps flowing.
TEST_F(Tunnels, PassesHalfClosesOnEachWay) {
    for (bool client_first : {true, false}) {
        SCOPED_TRACE(client_first ? "client ends first" : "origin ends first");
        std::mutex mutex;
        std::string after_end;  // what the origin read after its own end
        StartWith([&, client_first](Socket& s, int) {
            if (client_first) {
                std::string got = ReadToClose(s);  // the client's end arrives first
                WriteAll(s, "after your end: " + got);
                return;
            }
            WriteAll(s, "bye");
            s.ShutdownSend();
            std::string got = ReadToClose(s);
            std::lock_guard<std::mutex> hold(mutex);
            after_end = got;
        });
        Socket client = OpenTunnel();
        bool closed = false;
        if (client_first) {
            ASSERT_TRUE(WriteAll(client, "ping"));
            client.ShutdownSend();
            EXPECT_EQ(ReadToClose(client, &closed), "after your end: ping");
            EXPECT_TRUE(closed);
        } else {
            EXPECT_EQ(ReadToClose(client, &closed), "bye");
            EXPECT_TRUE(closed);
            EXPECT_TRUE(WriteAll(client, "late"));
            client.ShutdownSend();
            EXPECT_TRUE(testing::PollUntil([&] {
                std::lock_guard<std::mutex> hold(mutex);
                return after_end == "late";
            }));
        }
        ASSERT_TRUE(testing::PollUntil([&] { return OpenTunnels() == 0; }));
        EXPECT_EQ(AccessLog().find("E127.0.0.1"), std::string::npos);
        StopServer(rt);
        origin.reset();
    }
}

TEST_F(Tunnels, RefusalsComeAsPagesAClientCanRead) {
    StartWith(Echo);
    const std::string closed_port = std::to_string(testing::UnusedLoopbackPort());
    ASSERT_TRUE(ParseTunnelPorts(std::to_string(origin->port()) + "," + closed_port,
                                 rt.settings.tunnel_ports));
    struct Case {
        const char* name;
        std::string request_line;
        std::string page;
    };
    const Case cases[] = {
        {"port not allowed", "CONNECT 127.0.0.1:25 HTTP/1.1",
         PageOf(text::kTunnelRefusedHead, "そのポート：25 は使えません")},
        {"nothing listens", "CONNECT 127.0.0.1:" + closed_port + " HTTP/1.1",
         PageOf(text::kTunnelUnreachableHead, "127.0.0.1:" + closed_port + "に接続できません")},
        {"name does not resolve", "CONNECT no-such-host.invalid:" + closed_port + " HTTP/1.1",
         PageOf(text::kTunnelUnreachableHead,
                "no-such-host.invalid:" + closed_port + "に接続できません")},
        {"the proxy itself", "CONNECT 127.0.0.1:" + std::to_string(proxy_port) + " HTTP/1.1",
         PageOf(text::kTunnelRefusedHead,
                "\"127.0.0.1\":" + std::to_string(proxy_port) + "へのアクセスは出来ません")},
        {"no port", "CONNECT 127.0.0.1 HTTP/1.1", PageOf(nullptr, text::kUnsupportedHeader)},
        {"HTTP/2", "CONNECT " + Target() + " HTTP/2.0", PageOf(nullptr, text::kUnsupportedHeader)},
    };
    rt.settings.tunnel_ports.ports[rt.settings.tunnel_ports.count++] = proxy_port;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Socket client = Client();
        ASSERT_TRUE(WriteAll(client, c.request_line + "\r\nHost: example.test\r\n\r\n"));
        EXPECT_EQ(ReadToClose(client), c.page);
    }
    EXPECT_EQ(origin->accepted(), 0);
    EXPECT_EQ(OpenTunnels(), 0);
}

// An upstream proxy in use gets a CONNECT head of the proxy's own (the browser's headers
// stay behind; the User-Agent is the one the user chose, or none); its answer, a refusal
// with its body included, reaches the client as it came.
TEST_F(Tunnels, GoesThroughTheUpstreamProxy) {
    struct Case {
        const char* name;
        std::string answer;
        bool opens;
        const char* agent;
        const char* authorization;  // the browser's Proxy-Authorization line, or ""
    };
    const Case cases[] = {
        {"opened", "HTTP/1.1 200 Tunnel ready\r\nVia: up\r\n\r\n", true, "Chosen/2",
         "proxy-authorization:  Basic dXNlcjpwYXNz \r\n"},
        {"opened, no header lines", "HTTP/1.0 200 Connection established\r\n\r\n", true, "", ""},
        {"refused",
         "HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 7\r\n\r\n"
         "no way!",
         false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string seen;
        const std::string answer = c.answer;
        StartWith([&seen, answer](Socket& s, int index) {
            seen = ReadUntil(s, "\r\n\r\n");
            WriteAll(s, answer);
            if (answer.find(" 200 ") != std::string::npos) Echo(s, index);
        });
        rt.settings.proxy = Target();
        rt.settings.agent = c.agent;
        rt.settings.tunnel_ports = TunnelPorts();  // 443 only: the target's port
        Socket client = Client();
        ASSERT_TRUE(WriteAll(client,
                             "CONNECT secure.example.test:443 HTTP/1.1\r\nHost: "
                             "secure.example.test:443\r\nUser-Agent: Browser/1\r\n" +
                                 std::string(c.authorization) +
                                 "Proxy-Connection: keep-alive\r\nX-Private: yes\r\n\r\n"));
        if (c.opens) {
            EXPECT_EQ(ReadHeadOf(client), c.answer);
            ASSERT_TRUE(WriteAll(client, "through"));
            EXPECT_EQ(ReadCount(client, 7), "through");
            client.ShutdownSend();
            EXPECT_EQ(ReadToClose(client), "");
        } else {
            EXPECT_EQ(ReadToClose(client), c.answer);
        }
        ASSERT_TRUE(testing::PollUntil([&] { return OpenTunnels() == 0; }));
        StopServer(rt);
        origin.reset();
        const std::string agent_line =
            *c.agent == '\0' ? "" : std::string("User-Agent: ") + c.agent + "\r\n";
        const std::string authorization_line =
            *c.authorization == '\0' ? "" : "Proxy-Authorization: Basic dXNlcjpwYXNz\r\n";
        EXPECT_EQ(seen,
                  "CONNECT secure.example.test:443 HTTP/1.1\r\nHost: "
                  "secure.example.test:443\r\n" +
                      agent_line + authorization_line + "\r\n");
        rt.settings.proxy.clear();
    }
    rt.settings.agent.clear();
}

// The descriptors go up to what the system allows, and tunnels stay below them: one past
// the cap is refused with a page, and room comes back as tunnels end.
TEST_F(Tunnels, TunnelsPastTheCapAreRefusedUntilOneEnds) {
    rt.limits.max_open_tunnels = 2;
    StartWith([](Socket& s, int) { ReadToClose(s, nullptr, 60000); });
    rlimit descriptors{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &descriptors), 0);
    EXPECT_TRUE(descriptors.rlim_cur == descriptors.rlim_max || descriptors.rlim_cur == 1 << 20);
    std::vector<Socket> tunnels;
    tunnels.push_back(OpenTunnel());
    tunnels.push_back(OpenTunnel());
    ASSERT_TRUE(testing::PollUntil([&] { return OpenTunnels() == 2; }));
    Socket refused = Client();
    ASSERT_TRUE(WriteAll(refused, ConnectHead(Target())));
    EXPECT_EQ(ReadToClose(refused), PageOf(text::kTunnelBusyHead, text::kTooManyTunnels));
    tunnels.front().Close();
    ASSERT_TRUE(testing::PollUntil([&] { return OpenTunnels() == 1; }));
    tunnels.push_back(OpenTunnel());
    EXPECT_TRUE(testing::PollUntil([&] { return OpenTunnels() == 2; }));
}

TEST_F(Tunnels, IdleLimitEndsASilentTunnel) {
    rt.limits.relay_idle_ms = 300;
    StartWith([](Socket& s, int) { ReadToClose(s); });
    Socket client = OpenTunnel();
    const auto start = Steady::now();
    bool closed = false;
    ReadToClose(client, &closed, 5000);
    EXPECT_TRUE(closed);
    EXPECT_GE(testing::MillisecondsSince(start), 250);
    ASSERT_TRUE(testing::PollUntil([&] { return AccessLog().find("E127.0.0.1") == 0; }));
}

// Two browsers' worth of idle tunnels: neither the first-request limit nor the handlers
// are taken by them, and a stop ends them all at once.
TEST_F(Tunnels, HundredsOfIdleTunnelsLeavePlainRequestsAndTheStopAlone) {
    constexpr int kTunnels = 200;
    // The origin's listen queue may drop a connect of this burst; the retry comes a second
    // later, after the fixture's shortened connect limit.
    rt.limits.connect_step_ms = kConnectStepMs;
    rt.limits.connect_steps = kConnectSteps;
    StartWith([](Socket& s, int) { ReadToClose(s, nullptr, 60000); });
    std::vector<Socket> tunnels;
    for (int i = 0; i < kTunnels; ++i) tunnels.push_back(OpenTunnel());
    // The answer goes out just before the hand-over.
    ASSERT_TRUE(testing::PollUntil([&] { return OpenTunnels() == kTunnels; }));
    EXPECT_TRUE(testing::PollUntil([&] { return testing::CountersOf(rt).active == 0; }));

    // A plain request to an origin of its own still goes through at once.
    ScriptedOrigin plain([](Socket& s, int) {
        ReadUntil(s, "\r\n\r\n");
        WriteAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
    });
    Socket client = Client();
    ASSERT_TRUE(WriteAll(client, "GET http://127.0.0.1:" + std::to_string(plain.port()) +
                                     "/ HTTP/1.1\r\nHost: example.test\r\n\r\n"));
    const std::string answer = ReadToClose(client);
    EXPECT_TRUE(answer.ends_with("\r\n\r\nok")) << answer;
    EXPECT_EQ(testing::CountersOf(rt).served, kTunnels + 1);

    ASSERT_EQ(StopServer(rt), 1);
    // Closed by the time the stop returns: each read ends at once.
    for (Socket& tunnel : tunnels) {
        bool closed = false;
        ReadToClose(tunnel, &closed, 100);
        ASSERT_TRUE(closed);
    }
}

}  // namespace
}  // namespace korvanel
