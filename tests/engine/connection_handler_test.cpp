#include "engine/connection_handler.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "engine/proxy_fixture.h"
#include "texts.h"

namespace korvanel {
namespace {

using testing::PatternBytes;
using testing::ReadCount;
using testing::ReadHeadOf;
using testing::ReadToClose;
using testing::ReadUntil;
using testing::WriteAll;

// What the origin saw: one entry per connection.
struct Seen {
    std::mutex mutex;
    std::vector<std::string> requests;
    void Add(std::string request) {
        std::lock_guard<std::mutex> hold(mutex);
        requests.push_back(std::move(request));
    }
    std::string At(std::size_t i) {
        std::lock_guard<std::mutex> hold(mutex);
        return i < requests.size() ? requests[i] : std::string();
    }
    std::size_t Count() {
        std::lock_guard<std::mutex> hold(mutex);
        return requests.size();
    }
};

class Handler : public ::testing::Test, public testing::ProxyFixture {
  protected:
    // An origin that answers every request head with `answer`, then closes when asked.
    void AnswerWith(std::string answer, bool close_after = true) {
        Origin([this, answer, close_after](Socket& c, int) {
            seen.Add(ReadUntil(c, "\r\n\r\n"));
            WriteAll(c, answer);
            if (!close_after) ReadToClose(c, nullptr, 3000);
        });
        ASSERT_TRUE(Start());
    }
    std::string Get(const std::string& path, const std::string& extra = "") {
        return "GET " + OriginUrl(path) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n";
    }
    Seen seen;
};

TEST_F(Handler, RelaysAnAnswerByLengthAndKeepsTheConnectionForTheNextRequest) {
    const std::string body = PatternBytes(1000000, 21);
    AnswerWith("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                   "\r\nConnection: Keep-Alive\r\n\r\n" + body,
               false);
    Socket client = Client();
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(WriteAll(client, Get("/page?x=" + std::to_string(round))));
        std::string head = ReadHeadOf(client);
        EXPECT_TRUE(head.starts_with("HTTP/1.1 200 OK\r\n")) << head;
        EXPECT_TRUE(ReadCount(client, body.size()) == body) << round;
    }
    // Every request goes on a new upstream connection, in origin form.
    EXPECT_EQ(origin->accepted(), 2);
    EXPECT_TRUE(seen.At(0).starts_with("GET /page?x=0 HTTP/1.1\r\n")) << seen.At(0);
    EXPECT_TRUE(seen.At(1).starts_with("GET /page?x=1 HTTP/1.1\r\n")) << seen.At(1);
    client.Close();
    ASSERT_TRUE(testing::PollUntil(
        [&] {
            ConnectionCounters c = testing::CountersOf(rt);
            return c.active == 0 && c.keep_alive_active == 0;
        },
        2000));
    // The wait for a third request counts too.
    EXPECT_EQ(testing::CountersOf(rt).served, 3);
}

TEST_F(Handler, ReChunksAChunkedAnswer) {
    const std::string body = PatternBytes(200000, 4);
    std::string wire = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (std::size_t at = 0; at < body.size(); at += 10000) {
        char size[32];
        std::snprintf(size, sizeof size, "%zX;ext=1\r\n",
                      std::min<std::size_t>(10000, body.size() - at));
        wire += size + body.substr(at, 10000) + "\r\n";
    }
    wire += "0\r\n\r\n";
    AnswerWith(wire, false);
    Socket client = Client();
    WriteAll(client, Get("/"));
    std::string wire_out = ReadToClose(client);
    std::size_t at = wire_out.find("\r\n\r\n") + 4;
    std::string decoded;
    for (;;) {
        std::size_t end = wire_out.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        std::string digits = wire_out.substr(at, end - at);
        ASSERT_EQ(digits.find_first_not_of("0123456789abcdef"), std::string::npos) << digits;
        std::size_t size = std::stoul(digits, nullptr, 16);
        ASSERT_LE(size, 4094u);
        at = end + 2;
        if (size == 0) break;
        decoded += wire_out.substr(at, size);
        ASSERT_EQ(wire_out.substr(at + size, 2), "\r\n");
        at += size + 2;
    }
    EXPECT_EQ(wire_out.substr(at), "\r\n");
    EXPECT_TRUE(decoded == body);
}

TEST_F(Handler, RelaysAnAnswerWithoutLengthUntilTheServerCloses) {
    const std::string body = PatternBytes(700000, 9);
    // An HTTP/1.1 request, an answer that names neither a length nor a close.
    AnswerWith("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n" + body);
    Socket client = Client();
    WriteAll(client, Get("/"));
    std::string head = ReadHeadOf(client);
    bool closed = false;
    std::string got = ReadToClose(client, &closed);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(got == body);
}

TEST_F(Handler, SendsARequestBodyWholeWhateverCameWithTheHead) {
    const std::string body = PatternBytes(1000000, 13);
    Origin([this, body](Socket& c, int) {
        std::string head = ReadUntil(c, "\r\n\r\n");
        std::size_t end = head.find("\r\n\r\n") + 4;
        std::string got = head.substr(end) + ReadCount(c, body.size() - (head.size() - end));
        seen.Add(head.substr(0, end));
        seen.Add(got);
        WriteAll(c, "HTTP/1.1 201 Created\r\nContent-Length: 2\r\n\r\nok");
    });
    ASSERT_TRUE(Start());
    Socket client = Client();
    std::string request =
        "POST " + OriginUrl("/upload") +
        " HTTP/1.1\r\nHost: example.test\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\n\r\n";
    std::thread writer([&] { WriteAll(client, request + body); });
    std::string answer = ReadToClose(client);
    writer.join();
    EXPECT_TRUE(answer.ends_with("\r\n\r\nok")) << answer.substr(0, 200);
    EXPECT_TRUE(seen.At(1) == body);
    EXPECT_EQ(rt.server.bytes_sent, seen.At(0).size() + body.size());
}

// Decodes a chunked body the proxy sent: lower-case sizes of at most 4094 bytes.
bool DecodeStrict(const std::string& wire, std::string& body) {
    std::size_t at = 0;
    for (;;) {
        std::size_t end = wire.find("\r\n", at);
        if (end == std::string::npos) return false;
        std::string digits = wire.substr(at, end - at);
        if (digits.empty() || digits.find_first_not_of("0123456789abcdef") != std::string::npos) {
            return false;
        }
        std::size_t size = std::stoul(digits, nullptr, 16);
        if (size > 4094) return false;
        at = end + 2;
        if (size == 0) return wire.substr(at) == "\r\n";
        body += wire.substr(at, size);
        at += size + 2;
    }
}

TEST_F(Handler, RelaysAChunkedRequestBody) {
    const std::string body = PatternBytes(300000, 31);
    Origin([this](Socket& c, int) {
        std::string got = ReadUntil(c, "\r\n0\r\n\r\n", 10000);
        std::size_t end = got.find("\r\n\r\n") + 4;
        seen.Add(got.substr(end));
        WriteAll(c, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    });
    ASSERT_TRUE(Start());
    std::string wire = "POST " + OriginUrl("/") +
                       " HTTP/1.1\r\nHost: example.test\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (std::size_t at = 0; at < body.size(); at += 10000) {
        char size[16];
        std::snprintf(size, sizeof size, "%zX\r\n", std::min<std::size_t>(10000, body.size() - at));
        wire += size + body.substr(at, 10000) + "\r\n";
    }
    wire += "0\r\n\r\n";
    Socket client = Client();
    std::thread writer([&] { WriteAll(client, wire); });
    std::string answer = ReadToClose(client);
    writer.join();
    EXPECT_TRUE(answer.ends_with("\r\n\r\nok")) << answer.substr(0, 300);
    std::string decoded;
    EXPECT_TRUE(DecodeStrict(seen.At(0), decoded));
    EXPECT_TRUE(decoded == body);
}

TEST_F(Handler, FailuresBeforeTheAnswerGetTheErrorPage) {
    AnswerWith("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    uint16_t closed_port = testing::UnusedLoopbackPort();
    const std::string own = std::to_string(proxy_port);
    struct Case {
        std::string request;
        std::string reason;
    };
    const Case cases[] = {
        {"GET http://127.0.0.1:0/ HTTP/1.1\r\nHost: example.test\r\n\r\n",
         "そのポート：0 は使えません"},
        {"GET http://127.0.0.1:" + std::to_string(closed_port) +
             "/ HTTP/1.1\r\nHost: example.test\r\n\r\n",
         "127.0.0.1:" + std::to_string(closed_port) + "に接続できません"},
        {"GET http://127.0.0.1:" + own + "/ HTTP/1.1\r\nHost: example.test\r\n\r\n",
         "\"127.0.0.1\":" + own + "へのアクセスは出来ません"},
        {"GET ftp://example/ HTTP/1.1\r\nHost: example.test\r\n\r\n", "対応していないヘッダです"},
    };
    for (const Case& c : cases) {
        Socket client = Client();
        WriteAll(client, c.request);
        std::string page = ReadToClose(client);
        EXPECT_TRUE(page.starts_with("HTTP/1.0 500 InternalServerError\r\n")) << page;
        EXPECT_NE(page.find("charset=UTF-8"), std::string::npos);
        EXPECT_NE(page.find(c.reason), std::string::npos) << page;
    }
    EXPECT_EQ(origin->accepted(), 0);
}

// A 101 answer starts a relay both ways only for a request that asked to change protocols;
// any other gets the error page instead of a connection no longer read as HTTP.
TEST_F(Handler, SwitchesProtocolsOnlyWhenTheRequestAsked) {
    const std::string switching =
        "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n\r\n";
    AnswerWith(switching);
    struct Case {
        std::string extra;
        bool relayed;
    };
    const Case cases[] = {
        {"Upgrade: websocket\r\nConnection: keep-alive, Upgrade\r\n", true},
        {"upgrade: websocket\r\nconnection: UPGRADE\r\n", true},
        {"", false},
        {"Upgrade: websocket\r\n", false},
        {"Connection: Upgrade\r\n", false},
    };
    for (const Case& c : cases) {
        Socket client = Client();
        WriteAll(client, Get("/ws", c.extra));
        std::string got = ReadToClose(client);
        if (c.relayed) {
            EXPECT_EQ(got, switching) << c.extra;
        } else {
            EXPECT_TRUE(got.starts_with("HTTP/1.0 500 InternalServerError\r\n")) << got;
            EXPECT_NE(got.find(text::kServerHeadUnsupported), std::string::npos) << got;
        }
    }
}

TEST_F(Handler, GoesThroughTheUpstreamProxyWithTheAbsoluteUrl) {
    AnswerWith("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nvia");
    auto set_proxy = [this](const std::string& proxy) {
        Hold hold(rt.locks.settings);
        rt.settings.proxy = proxy;
    };
    set_proxy("127.0.0.1:" + std::to_string(origin->port()));
    Socket client = Client();
    WriteAll(client, "GET http://far.example.test/x HTTP/1.1\r\nHost: far.example.test\r\n\r\n");
    EXPECT_TRUE(ReadToClose(client).ends_with("\r\n\r\nvia"));
    EXPECT_TRUE(seen.At(0).starts_with("GET http://far.example.test/x HTTP/1.1\r\n")) << seen.At(0);

    set_proxy("no-port.example.test");
    Socket refused = Client();
    WriteAll(refused, "GET http://far.example.test/x HTTP/1.1\r\nHost: far.example.test\r\n\r\n");
    std::string page = ReadToClose(refused);
    EXPECT_NE(page.find("そのプロクシサーバ：no-port.example.test は使えません"), std::string::npos)
        << page;
    EXPECT_EQ(origin->accepted(), 1);
}

TEST_F(Handler, AppliesTheUserSettingsToRequestAndAnswer) {
    AnswerWith(
        "HTTP/1.1 200 OK\r\nSet-Cookie: id=1\r\nContent-Length: 2\r\nSet-Cookie: b=2\r\n\r\nok");
    {
        Hold hold(rt.locks.settings);
        rt.settings.agent = "TestAgent/1.0";
        rt.settings.cookie = "1";
        rt.settings.setcookie = "1";
        rt.settings.http_version = "1.0";
    }
    Socket client = Client();
    WriteAll(client,
             Get("/", "User-Agent: curl/8\r\nCookie: secret=1\r\nConnection: keep-alive\r\n"));
    bool closed = false;
    std::string answer = ReadToClose(client, &closed);
    EXPECT_TRUE(closed);
    EXPECT_EQ(answer.find("Set-Cookie"), std::string::npos) << answer;
    EXPECT_TRUE(answer.ends_with("\r\n\r\nok")) << answer;
    std::string request = seen.At(0);
    EXPECT_TRUE(request.starts_with("GET / HTTP/1.0\r\n")) << request;
    EXPECT_NE(request.find("User-Agent: TestAgent/1.0\r\n"), std::string::npos) << request;
    EXPECT_EQ(request.find("curl/8"), std::string::npos) << request;
    EXPECT_EQ(request.find("Cookie"), std::string::npos) << request;
    EXPECT_NE(request.find("Connection: close\r\n"), std::string::npos) << request;
}

TEST_F(Handler, ResendsARequestWhoseServerLeftWithoutAnswering) {
    Origin([this](Socket& c, int index) {
        // The body may arrive in a later segment than the head.
        std::string request = ReadUntil(c, "\r\n\r\n");
        std::size_t have = request.size() - (request.find("\r\n\r\n") + 4);
        if (have < 4) request += ReadCount(c, 4 - have);
        seen.Add(request);
        if (index == 0) return;  // drops the connection unanswered
        WriteAll(c, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nagain");
    });
    ASSERT_TRUE(Start());
    Socket client = Client();
    WriteAll(client, "POST " + OriginUrl("/") +
                         " HTTP/1.1\r\nHost: example.test\r\nContent-Length: 4\r\n\r\nbody");
    std::string got = ReadToClose(client);
    EXPECT_TRUE(got.ends_with("\r\n\r\nagain")) << got;
    EXPECT_EQ(origin->accepted(), 2);
    EXPECT_TRUE(seen.At(1).ends_with("\r\n\r\nbody")) << seen.At(1);
    // The request went out twice but is counted once.
    EXPECT_EQ(rt.server.bytes_sent, seen.At(1).size());
}

// A server that takes longer than the answer time-out has the request already: sent again,
// a form would be submitted twice. The client learns of the time-out instead.
TEST_F(Handler, ASlowServerIsNotSentTheRequestAgain) {
    rt.limits.answer_head_timeout_ms = 300;
    Origin([](Socket& c, int) {
        std::string request = ReadUntil(c, "\r\n\r\n");
        std::size_t have = request.size() - (request.find("\r\n\r\n") + 4);
        if (have < 4) ReadCount(c, 4 - have);
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        WriteAll(c, "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nlate");
    });
    ASSERT_TRUE(Start());
    struct Case {
        const char* name;
        bool body_after_head;
    };
    const Case cases[] = {{"body with the head", false}, {"body after the head", true}};
    const std::string head =
        "POST " + OriginUrl("/") + " HTTP/1.1\r\nHost: example.test\r\nContent-Length: 4\r\n\r\n";
    for (const Case& c : cases) {
        const int before = origin->accepted();
        Socket client = Client();
        if (c.body_after_head) {
            WriteAll(client, head);
            ASSERT_TRUE(testing::PollUntil([&] { return origin->accepted() > before; }, 3000));
            WriteAll(client, "body");
        } else {
            WriteAll(client, head + "body");
        }
        std::string page = ReadToClose(client);
        EXPECT_TRUE(page.starts_with("HTTP/1.0 500 InternalServerError\r\n")) << c.name << page;
        EXPECT_NE(page.find(text::kTimeout), std::string::npos) << c.name << ": " << page;
        // A second connection would have been made by now.
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        EXPECT_EQ(origin->accepted(), before + 1) << c.name;
    }
}

TEST_F(Handler, DoesNotResendABodyThatFollowedTheHead) {
    const std::string body = PatternBytes(50000);
    Origin([](Socket& c, int) {
        ReadUntil(c, "\r\n\r\n");
        ReadCount(c, 50000);
    });
    ASSERT_TRUE(Start());
    Socket client = Client();
    std::string request =
        "PUT " + OriginUrl("/") +
        " HTTP/1.1\r\nHost: example.test\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\n\r\n";
    WriteAll(client, request);
    // The body goes only once the head has been taken and sent on alone.
    for (int i = 0; i < 500 && origin->accepted() == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    WriteAll(client, body);
    std::string page = ReadToClose(client);
    EXPECT_NE(page.find(text::kServerReceiveError), std::string::npos) << page;
    EXPECT_EQ(origin->accepted(), 1);
}

TEST_F(Handler, AServersEarlyAnswerReachesAClientStillSendingItsBody) {
    Origin([](Socket& c, int) {
        ReadUntil(c, "\r\n\r\n");
        WriteAll(c, "HTTP/1.1 413 Payload Too Large\r\nContent-Length: 7\r\n\r\ntoo big");
    });  // closes without reading the body
    ASSERT_TRUE(Start());
    const std::string body(32 * 1024 * 1024, 'b');
    Socket client = Client();
    std::string request = "PUT " + OriginUrl("/") + " HTTP/1.1\r\nHost: example.test\r\n" +
                          "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    std::thread writer([&] { WriteAll(client, request + body); });
    std::string answer = ReadToClose(client);
    writer.join();
    EXPECT_TRUE(answer.starts_with("HTTP/1.1 413 Payload Too Large\r\n")) << answer.substr(0, 300);
    EXPECT_TRUE(answer.ends_with("too big")) << answer.substr(0, 300);
}

TEST_F(Handler, AnswersWithoutBodyDoNotWaitForOne) {
    // HEAD with a length, then a 304 without one.
    Origin([this](Socket& c, int index) {
        seen.Add(ReadUntil(c, "\r\n\r\n"));
        if (index == 0) {
            WriteAll(c,
                     "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nConnection: Keep-Alive\r\n\r\n");
        } else {
            WriteAll(c, "HTTP/1.1 304 Not Modified\r\nETag: \"abcdef\"\r\n\r\n");
        }
        ReadToClose(c, nullptr, 3000);
    });
    ASSERT_TRUE(Start());
    Socket client = Client();
    WriteAll(client, "HEAD " + OriginUrl("/") + " HTTP/1.1\r\nHost: example.test\r\n\r\n");
    EXPECT_TRUE(ReadHeadOf(client).starts_with("HTTP/1.1 200 OK"));
    WriteAll(client, Get("/"));
    bool closed = false;
    std::string got = ReadToClose(client, &closed, 3000);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(got.starts_with("HTTP/1.1 304 Not Modified\r\n")) << got;
    EXPECT_TRUE(got.ends_with("\r\n\r\n")) << got;
}

TEST_F(Handler, KeepsBodyBytesExactAcrossRewrittenHeads) {
    struct Case {
        const char* name;
        std::string answer;
        std::string expected_body;
    };
    const Case cases[] = {
        {"status line without reason", "HTTP/1.1 200\r\nContent-Length: 5\r\n\r\nhello", "hello"},
        {"LF line ends", "HTTP/1.0 200 OK\nContent-Length: 6\n\nhello!", "hello!"},
        {"more bytes than the length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhelloEXTRA",
         "hello"},
        {"NUL in the body",
         std::string("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n") + std::string("a\0b\0", 4),
         std::string("a\0b\0", 4)},
    };
    ASSERT_TRUE(Start());
    for (const Case& c : cases) {
        std::string answer = c.answer;
        testing::ScriptedOrigin one([answer](Socket& s, int) {
            ReadUntil(s, "\r\n\r\n");
            WriteAll(s, answer);
            ReadToClose(s, nullptr, 2000);
        });
        Socket client = Client();
        WriteAll(client, "GET http://127.0.0.1:" + std::to_string(one.port()) +
                             "/ HTTP/1.1\r\nHost: example.test\r\n\r\n");
        std::string got = ReadToClose(client, nullptr, 5000);
        std::size_t cut = got.find("\r\n\r\n");
        if (cut == std::string::npos) cut = got.find("\n\n") - 2;
        EXPECT_EQ(got.substr(cut + 4), c.expected_body) << c.name << ": " << got;
    }
}

}  // namespace
}  // namespace korvanel
