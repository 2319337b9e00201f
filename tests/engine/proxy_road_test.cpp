// The proxy as users meet it: the tag filter on real-sized pages, curl as the client,
// interim answers, time-outs, the access log and a stop in the middle of a request.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "engine/proxy_fixture.h"
#include "runtime/log_queue.h"
#include "support/temp_dir.h"
#include "texts.h"

namespace korvanel {
namespace {

using testing::PatternBytes;
using testing::ReadCount;
using testing::ReadToClose;
using testing::ReadUntil;
using testing::WriteAll;
using Steady = std::chrono::steady_clock;

class ProxyRoad : public ::testing::Test, public testing::ProxyFixture {
  protected:
    void ServeAnswer(std::string answer) {
        Origin([answer](Socket& c, int) {
            ReadUntil(c, "\r\n\r\n");
            WriteAll(c, answer);
        });
    }
    void EnableScriptFilter() {
        for (TagSwitch& row : rt.settings.tag_switches) {
            if (row.tag.view() == "<script" || row.tag.view() == "</script") row.value = "1";
        }
        rt.settings.tag_filter_active = ComputeTagFilterActive(rt.settings);
    }
    std::string Get(const std::string& path = "/") {
        return "GET " + OriginUrl(path) + " HTTP/1.1\r\nHost: example.test\r\n\r\n";
    }
};

// A page of many pieces with script tags everywhere, also across piece boundaries.
std::string ScriptPage(std::size_t size) {
    std::string page = "<html><body>";
    int i = 0;
    while (page.size() < size) {
        page += "<p>paragraph " + std::to_string(i) + " " + std::string(97 + i % 50, 'x') +
                "</p><script type=\"text/javascript\">var v" + std::to_string(i) +
                " = 1;</script>\n";
        ++i;
    }
    return page + "</body></html>";
}

std::string Commented(std::string page) {
    std::string out;
    for (std::size_t at = 0; at < page.size();) {
        bool open = page.compare(at, 7, "<script") == 0;
        bool close = page.compare(at, 8, "</script") == 0;
        if (open || close) {
            std::size_t end = page.find('>', at);
            out += "<!--" + page.substr(at, end - at + 1) + "-->";
            at = end + 1;
        } else {
            out += page[at++];
        }
    }
    return out;
}

TEST_F(ProxyRoad, TheTagFilterDisablesTagsInPagesOfManyPieces) {
    EnableScriptFilter();
    const std::string page = ScriptPage(300000);
    ServeAnswer("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                std::to_string(page.size()) + "\r\nConnection: Keep-Alive\r\n\r\n" + page);
    ASSERT_TRUE(Start());
    Socket client = Client();
    WriteAll(client, Get());
    bool closed = false;
    std::string got = ReadToClose(client, &closed);
    EXPECT_TRUE(closed);  // filtered without a length: the close ends the body
    std::size_t cut = got.find("\r\n\r\n");
    ASSERT_NE(cut, std::string::npos);
    std::string head = got.substr(0, cut + 4);
    EXPECT_EQ(head.find("Content-Length"), std::string::npos) << head;
    EXPECT_NE(head.find("Connection: close"), std::string::npos) << head;
    EXPECT_TRUE(got.substr(cut + 4) == Commented(page));
}

TEST_F(ProxyRoad, TheTagFilterWorksOnChunkedAndOnWholePages) {
    EnableScriptFilter();
    const std::string page = ScriptPage(100000);
    std::string chunked =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (std::size_t at = 0; at < page.size(); at += 3000) {
        std::string part = page.substr(at, 3000);
        char size[16];
        std::snprintf(size, sizeof size, "%zx\r\n", part.size());
        chunked += size + part + "\r\n";
    }
    chunked += "0\r\n\r\n";
    const std::string small = "<html><script>x</script>tail</html>";
    Origin([chunked, small](Socket& c, int index) {
        ReadUntil(c, "\r\n\r\n");
        if (index == 0) {
            WriteAll(c, chunked);
        } else {
            WriteAll(c, "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                            std::to_string(small.size()) + "\r\n\r\n" + small);
        }
    });
    ASSERT_TRUE(Start());
    Socket client = Client();
    WriteAll(client, Get());
    std::string got = ReadToClose(client);
    std::size_t at = got.find("\r\n\r\n") + 4;
    std::string decoded;
    while (at < got.size()) {
        std::size_t end = got.find("\r\n", at);
        std::size_t size = std::stoul(got.substr(at, end - at), nullptr, 16);
        ASSERT_LE(size, 4094u);
        if (size == 0) break;
        decoded += got.substr(end + 2, size);
        at = end + 2 + size + 2;
    }
    EXPECT_TRUE(decoded == Commented(page));

    Socket second = Client();
    WriteAll(second, Get());
    got = ReadToClose(second);
    EXPECT_TRUE(got.ends_with("\r\n\r\n<html><!--<script>-->x<!--</script>-->tail</html>")) << got;
}

TEST_F(ProxyRoad, PassesOverInterimAnswers) {
    ServeAnswer(
        "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 4\r\nX-Pad: "
        "padding\r\n\r\n"
        "done");
    ASSERT_TRUE(Start());
    Socket client = Client();
    WriteAll(client, Get());
    std::string got = ReadToClose(client);
    EXPECT_TRUE(got.starts_with("HTTP/1.1 200 OK\r\n")) << got;
    EXPECT_TRUE(got.ends_with("\r\n\r\ndone")) << got;
}

// A client that announced "Expect: 100-continue" over HTTP/1.1 waits for the interim answer
// before it sends its body; an HTTP/1.0 client cannot read one.
TEST_F(ProxyRoad, PassesInterimAnswersOnToClientsThatAskForThem) {
    ServeAnswer("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ndone");
    ASSERT_TRUE(Start());
    struct Case {
        const char* name;
        const char* version;
        const char* answer_start;
    };
    const Case cases[] = {
        {"HTTP/1.1", "HTTP/1.1", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n"},
        {"HTTP/1.0", "HTTP/1.0", "HTTP/1.1 200 OK\r\n"},
    };
    for (const Case& c : cases) {
        Socket client = Client();
        WriteAll(client, "POST " + OriginUrl() + " " + c.version +
                             "\r\nHost: example.test\r\nExpect: 100-continue\r\n"
                             "Content-Length: 2\r\n\r\nhi");
        std::string got = ReadToClose(client);
        EXPECT_TRUE(got.starts_with(c.answer_start)) << c.name << ": " << got;
        EXPECT_TRUE(got.ends_with("\r\n\r\ndone")) << c.name << ": " << got;
    }
}

// With the filter on, an HTML answer's head goes out with "Connection: close" whether a
// body follows or not; the connection ends with it, and a body is relayed filtered whatever
// the status.
TEST_F(ProxyRoad, FilteredAnswersEndTheirConnectionAndKeepTheirBodies) {
    EnableScriptFilter();
    struct Case {
        const char* name;
        const char* method;
        std::string answer;
        std::string body;
    };
    const std::string html = "Content-Type: text/html\r\n";
    const Case cases[] = {
        {"HEAD", "HEAD",
         "HTTP/1.1 200 OK\r\n" + html + "Content-Length: 50\r\nConnection: Keep-Alive\r\n\r\n", ""},
        {"204", "GET",
         "HTTP/1.1 204 No Content\r\n" + html +
             "Content-Length: 0\r\nConnection: Keep-Alive\r\n\r\n",
         ""},
        {"304", "GET",
         "HTTP/1.1 304 Not Modified\r\n" + html +
             "Content-Length: 120\r\nConnection: Keep-Alive\r\n\r\n",
         ""},
        {"302 until close", "GET",
         "HTTP/1.0 302 Found\r\nLocation: /b\r\n" + html + "\r\n<a>moved</a><script>x</script>",
         "<a>moved</a><!--<script>-->x<!--</script>-->"},
    };
    ASSERT_TRUE(Start());
    for (const Case& c : cases) {
        std::string answer = c.answer;
        // The origin leaves its end open unless the answer ends with the close.
        const bool origin_closes = c.answer.starts_with("HTTP/1.0");
        testing::ScriptedOrigin one([answer, origin_closes](Socket& s, int) {
            ReadUntil(s, "\r\n\r\n");
            WriteAll(s, answer);
            if (!origin_closes) ReadToClose(s, nullptr, 3000);
        });
        Socket client = Client();
        WriteAll(client, std::string(c.method) + " http://127.0.0.1:" + std::to_string(one.port()) +
                             "/ HTTP/1.1\r\nHost: example.test\r\n\r\n");
        bool closed = false;
        std::string got = ReadToClose(client, &closed, 2000);
        EXPECT_TRUE(closed) << c.name;
        std::size_t cut = got.find("\r\n\r\n");
        ASSERT_NE(cut, std::string::npos) << c.name << ": " << got;
        EXPECT_NE(got.substr(0, cut).find("Connection: close"), std::string::npos) << c.name;
        EXPECT_EQ(got.substr(cut + 4), c.body) << c.name;
    }
    ASSERT_TRUE(testing::PollUntil([&] { return testing::CountersOf(rt).active == 0; }, 3000));
    // Every line names its request: none for a wait on a connection that should have ended.
    EXPECT_EQ(AccessLog().find("\"\" \"\""), std::string::npos) << AccessLog();
}

// Runs a shell command and gives its exit status.
int Shell(const std::string& command) {
    return std::system(command.c_str());
}

TEST_F(ProxyRoad, CurlGetsAndSendsBodiesByteForByte) {
    if (Shell("command -v curl >/dev/null 2>&1") != 0) GTEST_SKIP() << "curl is missing";
    const std::string body = PatternBytes(5 * 1024 * 1024, 17);
    Origin([body](Socket& c, int index) {
        std::string head = ReadUntil(c, "\r\n\r\n");
        std::size_t end = head.find("\r\n\r\n") + 4;
        if (index == 0) {  // GET: chunked answer
            std::string wire = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
            for (std::size_t at = 0; at < body.size(); at += 65536) {
                std::string part = body.substr(at, 65536);
                char size[16];
                std::snprintf(size, sizeof size, "%zx\r\n", part.size());
                wire += size + part + "\r\n";
            }
            WriteAll(c, wire + "0\r\n\r\n");
            return;
        }
        // POST: answer with what arrived.
        std::size_t length = std::stoul(head.substr(head.find("Content-Length: ") + 16));
        std::string got = head.substr(end) + ReadCount(c, length - (head.size() - end), 20000);
        WriteAll(c, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(got.size()) +
                        "\r\n\r\n" + got);
    });
    ASSERT_TRUE(Start());
    testing::WriteFile(dir.file("up"), body);
    const std::string proxy = " -x http://127.0.0.1:" + std::to_string(proxy_port) + " ";
    ASSERT_EQ(
        Shell("curl -s -S --max-time 30" + proxy + OriginUrl("/big") + " -o " + dir.file("got")),
        0);
    EXPECT_TRUE(testing::ReadFile(dir.file("got")) == body);
    ASSERT_EQ(Shell("curl -s -S --max-time 30 -H 'Expect:' --data-binary @" + dir.file("up") +
                    proxy + OriginUrl("/post") + " -o " + dir.file("echo")),
              0);
    EXPECT_TRUE(testing::ReadFile(dir.file("echo")) == body);
}

// A connection on which no byte of a request came closes quietly at its time-out: a page
// sent unasked could be taken as the answer to the request a browser sends at that moment.
// A head cut off part-way is answered with the time-out page.
TEST_F(ProxyRoad, IdleClientsMeetTheHeadTimeOuts) {
    rt.limits.first_request_head_timeout_ms = 300;
    ServeAnswer("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: Keep-Alive\r\n\r\n");
    ASSERT_TRUE(Start());
    struct Case {
        const char* name;
        std::string sent;
        bool page;
    };
    const Case cases[] = {
        {"silent", "", false},
        {"head cut off", "GET " + OriginUrl() + " HTTP/1.1\r\nHost: exa", true},
    };
    for (const Case& c : cases) {
        Socket client = Client();
        WriteAll(client, c.sent);
        auto start = Steady::now();
        bool closed = false;
        std::string got = ReadToClose(client, &closed, 5000);
        EXPECT_TRUE(closed) << c.name;
        EXPECT_LT(testing::MillisecondsSince(start), 3000) << c.name;
        if (c.page) {
            EXPECT_NE(got.find(text::kTimeout), std::string::npos) << c.name << ": " << got;
        } else {
            EXPECT_EQ(got, "") << c.name;
        }
    }

    // A kept connection waits for its next request with the other time-out.
    rt.limits.first_request_head_timeout_ms = 20000;
    rt.limits.kept_request_head_timeout_ms = 300;
    Socket kept = Client();
    WriteAll(kept, Get());
    ReadUntil(kept, "\r\n\r\n");
    auto start = Steady::now();
    bool closed = false;
    EXPECT_EQ(ReadToClose(kept, &closed, 5000), "");
    EXPECT_TRUE(closed);
    EXPECT_LT(testing::MillisecondsSince(start), 3000);
    // Counted and logged as connections their clients ended: one "E" line each, no page.
    ASSERT_TRUE(testing::PollUntil(
        [&] {
            ConnectionCounters counters = testing::CountersOf(rt);
            return counters.active == 0 && counters.keep_alive_active == 0;
        },
        3000));
    std::string log = AccessLog();
    std::size_t marked = 0;
    for (std::size_t at = log.find("E127.0.0.1"); at != std::string::npos;
         at = log.find("E127.0.0.1", at + 1)) {
        ++marked;
    }
    EXPECT_EQ(marked, 3u) << log;
}

TEST_F(ProxyRoad, TheAccessLogMarksHowRequestsEnded) {
    rt.settings.access_log = "0";
    ServeAnswer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    ASSERT_TRUE(Start());
    {
        Socket leaves = Client();  // connects and leaves without a word
    }
    Socket served = Client();
    WriteAll(served, Get("/served"));
    ReadToClose(served);
    // The handler of the client that left may still be on its way: wait for its line.
    std::string log;
    EXPECT_TRUE(testing::PollUntil(
        [&] {
            log = AccessLog();
            return log.find("E127.0.0.1") != std::string::npos &&
                   log.find("GET /served") != std::string::npos;
        },
        3000))
        << log;
    EXPECT_NE(log.find("GET /served HTTP/1.1"), std::string::npos) << log;
}

TEST_F(ProxyRoad, AStopReleasesAHandlerWaitingForTheServer) {
    Origin([](Socket& c, int) {
        ReadUntil(c, "\r\n\r\n");
        ReadToClose(c, nullptr, 10000);  // never answers
    });
    ASSERT_TRUE(Start());
    Socket client = Client();
    WriteAll(client, Get());
    ASSERT_TRUE(testing::PollUntil([&] { return origin->accepted() == 1; }, 3000));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto start = Steady::now();
    EXPECT_EQ(StopServer(rt), 1);
    EXPECT_LT(testing::MillisecondsSince(start), 5000);
    EXPECT_EQ(rt.sockets.Count(), 0u);
    bool closed = false;
    ReadToClose(client, &closed, 2000);
    EXPECT_TRUE(closed);
}

}  // namespace
}  // namespace korvanel
