// Whole checker runs: a scripted check CGI and scripted proxies on 127.0.0.1, and the
// gateway discovery answered by a fake gateway. Every run discovers, so every run test
// lives in a network namespace of its own.
#include "checker/check_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <set>

#include "checker/check_answer.h"
#include "checker/checker_fixture.h"
#include "checker/net_namespace.h"
#include "checker/proxy_check.h"
#include "checker/scripted_server.h"
#include "runtime/settings.h"
#include "support/loopback.h"
#include "texts.h"

namespace korvanel {
namespace {

using testing::Answer;
using testing::Page;
using testing::ScriptedServer;

const std::string kBanner(kCheckerBanner);
const std::string kCgiPage = Page("HTTP/1.0 200 OK", "checker_type: korvanel\r\n", kBanner, 120);
const char kExternal[] = "203.0.113.5";

class CheckRun : public testing::CheckerTest {
  protected:
    CheckRun() {
        rt.check_stopped = 1;
        // The real waits (proxies here answer slowly), but a shorter gateway search.
        limits = kCheckLimits;
        limits.upnp_delay_ms = 1000;
    }
    ~CheckRun() override { testing::StopProcess(gateway_); }

    void StartGateway() {
        gateway_ = testing::StartFakeGateway(kExternal);
        ASSERT_GT(gateway_, 0);
    }
    void AddProxy(const std::string& address) {
        ProxyEntry entry;
        entry.address = address;
        entry.kind = "5";
        entry.speed = "55";
        rt.settings.proxies.rows.push_back(entry);
    }
    void UseCgi(const ScriptedServer& cgi) {
        rt.settings.checkproxyaddress = "http://" + cgi.address() + "/dizu8d.cgi";
    }
    void Run() {
        std::thread driver;
        ASSERT_TRUE(StartProxyCheck(rt, driver, limits));
        driver.join();
        EXPECT_EQ(rt.check_stopped, 1);
    }
    std::vector<std::string> Kinds() {
        std::vector<std::string> kinds;
        for (const ProxyEntry& entry : rt.settings.proxies.rows) kinds.push_back(entry.kind.str());
        return kinds;
    }

    int gateway_ = -1;
};

TEST_F(CheckRun, NothingToCheckLeavesTheDialogOpen) {
    KORVANEL_RUN_IN_NET_NAMESPACE();
    StartGateway();
    Run();
    EXPECT_EQ(front.check_line(1), std::string(text::kCheckGettingIdentity) + "完了");
    EXPECT_EQ(front.check_line(2), std::string(text::kCheckAskingGateway) + kExternal);
    EXPECT_EQ(front.check_line(kCheckProgressLine), "Proxyが登録されていません");
    EXPECT_EQ(front.check_buttons(), std::make_pair(true, true));
    EXPECT_EQ(front.closed_with, 0);

    AddProxy("127.0.0.1:1");
    rt.settings.checkproxyaddress = "http://127.0.0.1:1";  // no path
    Run();
    EXPECT_EQ(front.check_line(kCheckProgressLine), "ﾁｪｯｸ用のCGIのｱﾄﾞﾚｽが無効です");
    EXPECT_EQ(front.closed_with, 0);
    EXPECT_EQ(Kinds()[0], "5");
}

TEST_F(CheckRun, AnOrdinaryPageEndsTheRunBeforeAnyProxy) {
    KORVANEL_RUN_IN_NET_NAMESPACE();
    // Without a gateway the external address is unknown.
    ScriptedServer cgi(Answer(Page("HTTP/1.0 200 OK", "", "<html>just a page</html>", 300)));
    ScriptedServer proxy(Answer(kCgiPage));
    UseCgi(cgi);
    AddProxy(proxy.address());
    Run();
    EXPECT_EQ(front.check_line(2), std::string(text::kCheckAskingGateway) + "データ無し");
    EXPECT_EQ(front.check_line(3), "ﾁｪｯｸに使うCGIの属性を取得....送受信に失敗しました");
    EXPECT_EQ(front.check_line(4), "Proxyのﾁｪｯｸを終了します。");
    EXPECT_EQ(front.closed_with, 1);
    EXPECT_EQ(proxy.connections(), 0);
    EXPECT_EQ(Kinds()[0], "5");
}

TEST_F(CheckRun, TwentyProxiesAtMostEightAtATime) {
    KORVANEL_RUN_IN_NET_NAMESPACE();
    StartGateway();
    ScriptedServer cgi(Answer(kCgiPage));
    UseCgi(cgi);
    std::atomic<int> open{0}, max_open{0};
    std::vector<std::unique_ptr<ScriptedServer>> proxies;
    std::vector<std::string> expected;
    auto add_server = [&](ScriptedServer::Script script, const char* kind) {
        proxies.push_back(std::make_unique<ScriptedServer>(std::move(script)));
        proxies.back()->ShareOpenCount(&open, &max_open);
        AddProxy(proxies.back()->address());
        expected.push_back(kind);
    };
    // Slow ones first, so that eight are in flight together.
    for (int i = 0; i < 6; ++i) {
        add_server(testing::AnswerAfter(2500, Page("HTTP/1.0 200 OK", "", kBanner, 200)), "9");
    }
    for (int i = 0; i < 5; ++i) {
        std::string shows = kBanner + " X-Forwarded-For: " + kExternal;
        add_server(testing::AnswerAfter(2500, Page("HTTP/1.0 200 OK", "", shows, 200)), "6");
    }
    for (int i = 0; i < 2; ++i) {
        add_server(
            Answer(Page("HTTP/1.1 200 OK", "Transfer-Encoding: chunked\r\n", kBanner, 100, false)),
            "1");
    }
    for (int i = 0; i < 6; ++i) {
        AddProxy("127.0.0.1:" + std::to_string(testing::UnusedLoopbackPort()));
        expected.push_back("3");
    }
    AddProxy("no-port-here");
    expected.push_back("3");
    ASSERT_EQ(rt.settings.proxies.size(), 20);

    Run();
    EXPECT_EQ(Kinds(), expected);
    EXPECT_EQ(max_open, 8);
    for (const ProxyEntry& entry : rt.settings.proxies.rows) {
        if (entry.kind.view() == "9" || entry.kind.view() == "6") {
            EXPECT_GE(std::atol(entry.speed.c_str()), 2500) << entry.address.view();
        } else {
            EXPECT_EQ(entry.speed.view(), "0") << entry.address.view();
        }
    }
    EXPECT_EQ(front.check_line(3), "ﾁｪｯｸに使うCGIの属性を取得....KORVANEL専用CGI");
    EXPECT_EQ(front.check_line(4), "Proxyのﾁｪｯｸを開始します");
    std::vector<std::string> history = front.progress_line_history();
    ASSERT_EQ(history.size(), 21u);
    std::set<std::string> progress(history.begin(), history.end() - 1);
    for (int i = 1; i <= 20; ++i) {
        EXPECT_EQ(progress.count(std::to_string(i) + " / 20 処理中"), 1u) << i;
    }
    EXPECT_EQ(history.back(), "Proxyのﾁｪｯｸを終了しました");
    EXPECT_EQ(front.steps, 20);
    EXPECT_EQ(front.closed_with, 1);
    EXPECT_TRUE(CloseCheckDialogRequested(rt));  // idle again: close closes at once
}

TEST_F(CheckRun, CloseDuringDispatchStopsTheRun) {
    KORVANEL_RUN_IN_NET_NAMESPACE();
    StartGateway();
    ScriptedServer cgi(Answer(kCgiPage));
    UseCgi(cgi);
    ScriptedServer slow(testing::HoldUntilClosed(20000));
    for (int i = 0; i < 20; ++i) AddProxy(slow.address());

    std::thread driver;
    ASSERT_TRUE(StartProxyCheck(rt, driver, limits));
    EXPECT_EQ(front.check_buttons(), std::make_pair(false, true));
    while (slow.connections() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    auto asked = std::chrono::steady_clock::now();
    EXPECT_FALSE(CloseCheckDialogRequested(rt));  // the run closes the dialog itself
    driver.join();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(2));

    EXPECT_EQ(front.closed_with, 1);
    EXPECT_EQ(rt.check_stopped, 1);
    // Handed-out proxies end Unchecked (or Dead when the stop came right after their
    // connect); the others keep their old verdicts.
    int handed_out = 0, untouched = 0;
    for (const ProxyEntry& entry : rt.settings.proxies.rows) {
        if (entry.kind.view() == "5") {
            ++untouched;
            EXPECT_EQ(entry.speed.view(), "55");
        } else {
            ++handed_out;
            EXPECT_TRUE(entry.kind.view() == "0" || entry.kind.view() == "3") << entry.kind.view();
            EXPECT_EQ(entry.speed.view(), "0");
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the last accepts
    EXPECT_EQ(handed_out, slow.connections());
    EXPECT_GE(untouched, 12);
    EXPECT_NE(front.check_line(kCheckProgressLine), "Proxyのﾁｪｯｸを終了しました");
}

// Workers that cannot be started free their slot again: with every start after the first
// eight failing, the run still hands out the whole list and ends (it once waited for ever
// for a slot that no worker would free).
TEST_F(CheckRun, WorkersThatCannotStartDoNotHangTheRun) {
    KORVANEL_RUN_IN_NET_NAMESPACE();
    ScriptedServer cgi(Answer(kCgiPage));
    UseCgi(cgi);
    for (int i = 0; i < 18; ++i) {
        AddProxy("127.0.0.1:" + std::to_string(testing::UnusedLoopbackPort()));
    }
    limits = testing::FastLimits();
    std::atomic<int> starts{0};
    ThreadStarter eight_only = [&](std::thread& thread, std::function<void()> fn) {
        if (++starts > kMaxCheckWorkers) return false;
        thread = std::thread(std::move(fn));
        return true;
    };
    rt.check_stopped = 0;
    auto run =
        std::async(std::launch::async, [&] { return RunProxyCheck(rt, limits, eight_only); });
    bool ended = run.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    if (!ended) RequestStop();  // lets a hung run end, so that the test can report it
    EXPECT_TRUE(ended);
    EXPECT_EQ(run.get(), CheckRunEnd::kAllHandedOut);
    std::vector<std::string> kinds = Kinds();
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), "3"), kMaxCheckWorkers);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), "5"), 18 - kMaxCheckWorkers);
    EXPECT_EQ(front.messages().size(), 18u - kMaxCheckWorkers);  // one thread error each
    EXPECT_EQ(front.closed_with, 1);
}

// A front end that notes whether either lock was held while the run called it: the
// dialog's thread may be waiting for a stop request, which needs both.
class LockWatchingFrontEnd : public testing::CheckFrontEnd {
  public:
    void SetCheckLine(int line, std::string_view text) override {
        Watch();
        CheckFrontEnd::SetCheckLine(line, text);
    }
    void SetCheckButtons(bool ok_enabled, bool close_enabled) override {
        Watch();
        CheckFrontEnd::SetCheckButtons(ok_enabled, close_enabled);
    }
    void CloseCheckDialog(int result) override {
        Watch();
        CheckFrontEnd::CloseCheckDialog(result);
    }
    Runtime* rt = nullptr;
    std::atomic<int> calls_under_lock{0};

  private:
    // Another thread tries both locks: the caller holding one makes the try fail.
    void Watch() {
        if (rt == nullptr) return;
        std::thread probe([this] {
            for (Lock* lock : {&rt->locks.settings, &rt->locks.checker}) {
                if (lock->try_lock()) {
                    lock->unlock();
                } else {
                    ++calls_under_lock;
                }
            }
        });
        probe.join();
    }
};

TEST(CheckRunLocks, TheDialogIsNeverCalledUnderALock) {
    KORVANEL_RUN_IN_NET_NAMESPACE();
    LockWatchingFrontEnd front;
    Runtime rt{front};
    front.rt = &rt;
    CheckLimits limits = testing::FastLimits();
    rt.check_stopped = 0;
    EXPECT_EQ(RunProxyCheck(rt, limits), CheckRunEnd::kNothingToCheck);  // no proxy
    EXPECT_EQ(front.check_line(kCheckProgressLine), "Proxyが登録されていません");
    rt.settings.proxies.rows.push_back(ProxyEntry{});
    rt.settings.checkproxyaddress = "http://127.0.0.1:1";  // no path
    rt.check_stopped = 0;
    EXPECT_EQ(RunProxyCheck(rt, limits), CheckRunEnd::kNothingToCheck);
    EXPECT_EQ(front.calls_under_lock, 0);
}

TEST(CheckDialog, OpeningNamesTheCheckAddress) {
    testing::CheckFrontEnd front;
    Runtime rt{front};
    rt.settings.checkproxyaddress = kDefaultCheckAddress;
    OpenCheckDialog(rt, 7);
    EXPECT_EQ(front.check_line(1), "外部CGI(ﾃﾞﾌｫﾙﾄ:" + std::string(kDefaultCheckAddress) + ")に");
    EXPECT_EQ(front.check_line(2), "ｱｸｾｽします。ｱﾄﾞﾚｽは独自に変更する事ができます。");
    EXPECT_EQ(front.check_progress(), std::make_pair(0, 7));
    rt.settings.checkproxyaddress = "http://mine.example/c.cgi";
    OpenCheckDialog(rt, 7);
    EXPECT_EQ(front.check_line(1), "http://mine.example/c.cgiに");
    EXPECT_EQ(front.check_line(2), "ｱｸｾｽします。");
    EXPECT_TRUE(CloseCheckDialogRequested(rt));
}

}  // namespace
}  // namespace korvanel
