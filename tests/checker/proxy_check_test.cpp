// One proxy's check against scripted proxies on 127.0.0.1: each verdict, the byte limits,
// the speed and the progress report.
#include "checker/proxy_check.h"

#include <gtest/gtest.h>

#include "checker/check_answer.h"
#include "checker/checker_fixture.h"
#include "checker/scripted_server.h"
#include "runtime/list_rows.h"
#include "support/loopback.h"

namespace korvanel {
namespace {

using testing::Answer;
using testing::Page;
using testing::ScriptedServer;

const std::string kBanner(kCheckerBanner);

class ProxyCheck : public testing::CheckerTest {
  protected:
    ProxyCheck() {
        // Each look at the clock moves it 7 ms on: a check that answers measures 7 ms.
        rt.clock.monotonic_ms = [this] { return now_ms += 7; };
        identity.texts[0] = "10.9.8.7";
        identity.count = 1;
    }

    // Checks `address` with a fresh row that holds old verdict marks.
    ProxyEntry Check(const std::string& address, const std::string& external = "",
                     bool remove_row = false) {
        rt.settings.proxies.rows.clear();
        rt.settings.proxies.rows.emplace_back();
        ProxyEntry& entry = rt.settings.proxies.rows.back();
        entry.kind = "X";
        entry.speed = "old";
        auto job = std::make_unique<CheckJob>(rt, sockets, limits);
        job->total = 3;
        job->progress = &progress;
        EXPECT_EQ(BuildCheckRequest("checker.test", "80", "/dizu8d.cgi", job->request), 1);
        SplitProxyAddress(address, *job);
        job->external_address = external;
        job->local_identity = &identity;
        job->entry = &entry;
        if (remove_row) {
            // The row goes (the settings dialog deleted it): only its copy is kept.
            ProxyEntry copy = entry;
            rt.settings.proxies.rows.clear();
            CheckOneProxy(std::move(job));
            return copy;
        }
        CheckOneProxy(std::move(job));
        return entry;
    }
    ProxyEntry CheckScripted(ScriptedServer::Script script, const std::string& external = "") {
        ScriptedServer proxy(std::move(script));
        return Check(proxy.address(), external);
    }
    std::string KindOf(const std::string& answer, const std::string& external = "") {
        return CheckScripted(Answer(answer), external).kind.str();
    }

    long long now_ms = 1000;
    int progress = 0;
    LocalIdentityList identity;
};

TEST_F(ProxyCheck, EachAnswerGivesItsVerdict) {
    std::string ok = "HTTP/1.0 200 OK";
    struct Case {
        const char* name;
        std::string answer;
        std::string_view kind;
    } cases[] = {
        {"anonymous", Page(ok, "", kBanner, 32), proxy_kind::kAnonymous},
        {"no checker_type needed", Page(ok, "Via: 1.1 cache\r\n", kBanner, 500),
         proxy_kind::kAnonymous},
        {"read to the close", Page(ok, "", kBanner, 300, false), proxy_kind::kAnonymous},
        {"local address shown", Page(ok, "", kBanner + " 10.9.8.7", 100),
         proxy_kind::kNotAnonymous},
        {"31 bytes", Page(ok, "", kBanner, 31), proxy_kind::kDead},
        {"no banner", Page(ok, "", "<html>a page</html>", 300), proxy_kind::kDead},
        {"not html", "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + kBanner,
         proxy_kind::kDead},
        {"404", Page("HTTP/1.0 404 Not Found", "", kBanner, 100), proxy_kind::kDead},
        {"malformed status", Page("HTTP/1.0 200", "", kBanner, 100), proxy_kind::kDead},
        {"unreadable length",
         "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: abc\r\n\r\n" + kBanner,
         proxy_kind::kDead},
        {"length 2001",
         "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 2001\r\n\r\n" + kBanner,
         proxy_kind::kUnsupported},
        {"more body than length",
         "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 40\r\n\r\n" + kBanner +
             std::string(60, '.'),
         proxy_kind::kUnsupported},
        {"chunked", Page("HTTP/1.1 200 OK", "Transfer-Encoding: chunked\r\n", kBanner, 100, false),
         proxy_kind::kUnsupported},
        {"head data over 2000 bytes", Page(ok, "", kBanner, 1990), proxy_kind::kDead},
        {"closed without an answer", "", proxy_kind::kDead},
    };
    for (const Case& c : cases) EXPECT_EQ(KindOf(c.answer), c.kind) << c.name;
}

TEST_F(ProxyCheck, TheExternalAddressDecidesWhenKnown) {
    std::string shows = Page("HTTP/1.0 200 OK", "", kBanner + " for=203.0.113.5", 100);
    std::string dashed = Page("HTTP/1.0 200 OK", "", kBanner + " p203-0-113-5.isp", 100);
    std::string plain = Page("HTTP/1.0 200 OK", "", kBanner, 100);
    EXPECT_EQ(KindOf(shows, ""), proxy_kind::kAnonymous);  // unknown: not looked for
    EXPECT_EQ(KindOf(shows, "203.0.113.5"), proxy_kind::kNotAnonymous);
    EXPECT_EQ(KindOf(dashed, "203.0.113.5"), proxy_kind::kNotAnonymous);
    EXPECT_EQ(KindOf(plain, "203.0.113.5"), proxy_kind::kAnonymous);
    EXPECT_EQ(KindOf(plain, "gateway"), proxy_kind::kNotAnonymous);  // not four parts
}

TEST_F(ProxyCheck, AnAnsweringProxyGetsItsSpeedTheOthersZero) {
    ProxyEntry answered = CheckScripted(Answer(Page("HTTP/1.0 200 OK", "", kBanner, 100)));
    EXPECT_EQ(answered.kind.view(), proxy_kind::kAnonymous);
    EXPECT_EQ(answered.speed.view(), "7");
    ProxyEntry dead = Check("127.0.0.1:" + std::to_string(testing::UnusedLoopbackPort()));
    EXPECT_EQ(dead.kind.view(), proxy_kind::kDead);
    EXPECT_EQ(dead.speed.view(), "0");
    // An address without ":" has neither host nor port.
    EXPECT_EQ(Check("127.0.0.1").kind.view(), proxy_kind::kDead);
    EXPECT_EQ(Check(":8080").kind.view(), proxy_kind::kDead);
}

TEST_F(ProxyCheck, ABodyAfterTheHeadIsReadToItsLength) {
    std::string page = Page("HTTP/1.0 200 OK", "", kBanner, 2000);
    std::size_t split = page.find("\r\n\r\n") + 4;
    EXPECT_EQ(CheckScripted([&](int fd, const std::string&) {
                  testing::WriteAll(fd, page.substr(0, split));
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
                  testing::WriteAll(fd, page.substr(split));
              }).kind.view(),
              proxy_kind::kAnonymous);
    // A body that stops short while the connection stays open times out: Dead.
    EXPECT_EQ(CheckScripted([&](int fd, const std::string&) {
                  testing::WriteAll(fd, page.substr(0, split + 100));
                  std::this_thread::sleep_for(std::chrono::milliseconds(600));
              }).kind.view(),
              proxy_kind::kDead);
}

TEST_F(ProxyCheck, AStopWhileWaitingLeavesTheProxyUnchecked) {
    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        RequestStop();
    });
    ProxyEntry entry =
        CheckScripted(testing::AnswerAfter(400, Page("HTTP/1.0 200 OK", "", kBanner, 100)));
    stopper.join();
    EXPECT_EQ(entry.kind.view(), proxy_kind::kUnchecked);
    EXPECT_EQ(entry.speed.view(), "0");
}

TEST_F(ProxyCheck, ARowRemovedDuringTheCheckIsNotWritten) {
    ScriptedServer proxy(Answer(Page("HTTP/1.0 200 OK", "", kBanner, 100)));
    ProxyEntry removed = Check(proxy.address(), "", true);
    EXPECT_EQ(removed.kind.view(), "X");
    EXPECT_EQ(progress, 1);  // still counted
}

TEST_F(ProxyCheck, EveryOutcomeCountsAndReportsProgress) {
    Check("127.0.0.1");
    Check("127.0.0.1:" + std::to_string(testing::UnusedLoopbackPort()));
    EXPECT_EQ(progress, 2);
    EXPECT_EQ(front.steps, 2);
    EXPECT_EQ(front.check_line(kCheckProgressLine), "2 / 3 処理中");
}

}  // namespace
}  // namespace korvanel
