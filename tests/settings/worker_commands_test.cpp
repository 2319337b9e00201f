#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "runtime/runtime.h"
#include "settings/apply_setting.h"
#include "settings/list_commands.h"
#include "settings/worker_thread.h"
#include "support/recording_front_end.h"
#include "texts.h"

namespace korvanel {
namespace {

using testing::RecordingFrontEnd;

class WorkerCommandsTest : public ::testing::Test {
  protected:
    RecordingFrontEnd front;
    Runtime rt{front};
};

TEST_F(WorkerCommandsTest, ProxyInUseFollowsUseReleaseAndDelete) {
    ASSERT_EQ(AddProxyCommand(rt, "1", "0", "0", "a.example:8080"), 1);
    ASSERT_EQ(AddProxyCommand(rt, "0", "35", "6", "b.example:3128"), 1);
    ASSERT_EQ(AddProxyCommand(rt, "0", "0", "0", "c.example:80"), 1);
    EXPECT_EQ(rt.settings.proxies.at(0)->in_use, 0);  // a new row never starts in use
    EXPECT_EQ(rt.settings.proxies.at(1)->speed.view(), "35");

    int position = 99;
    FindProxyInUseCommand(rt, position);
    EXPECT_EQ(position, -1);
    ASSERT_EQ(UseProxyCommand(rt, 1), 1);
    EXPECT_EQ(rt.settings.proxy.view(), "b.example:3128");
    FindProxyInUseCommand(rt, position);
    EXPECT_EQ(position, 1);

    // Deleting another row leaves the proxy in use alone and the status bar untouched.
    ASSERT_EQ(DeleteProxyCommand(rt, 2), 1);
    EXPECT_EQ(rt.settings.proxy.view(), "b.example:3128");
    EXPECT_EQ(front.status_bar(kProxyStatusPart), "");

    ASSERT_EQ(DeleteProxyCommand(rt, 1), 1);
    EXPECT_TRUE(rt.settings.proxy.empty());
    EXPECT_EQ(front.status_bar(kProxyStatusPart), text::kStatusBarNoProxy);
    EXPECT_EQ(rt.settings.proxies.size(), 1);

    ASSERT_EQ(UseProxyCommand(rt, 0), 1);
    ASSERT_EQ(ReleaseProxyCommand(rt, 0), 1);
    EXPECT_TRUE(rt.settings.proxy.empty());
    EXPECT_EQ(rt.settings.proxies.at(0)->in_use, 0);

    EXPECT_EQ(DeleteProxyCommand(rt, 5), -1);
    EXPECT_EQ(UseProxyCommand(rt, -1), -1);
    EXPECT_EQ(rt.settings.proxies.size(), 1);
}

TEST_F(WorkerCommandsTest, UserAgentInUseFollowsUseReleaseAndDelete) {
    std::string long_text(218, 'u');
    ASSERT_EQ(AddUserAgentCommand(rt, "UA/1"), 1);
    ASSERT_EQ(AddUserAgentCommand(rt, long_text), 1);
    ASSERT_EQ(UseUserAgentCommand(rt, 1), 1);
    EXPECT_EQ(rt.settings.agent.view(), long_text);
    int position = -5;
    FindUserAgentInUseCommand(rt, position);
    EXPECT_EQ(position, 1);

    ASSERT_EQ(DeleteUserAgentCommand(rt, 0), 1);
    EXPECT_EQ(front.status_bar(kUserAgentStatusPart), "");
    ASSERT_EQ(DeleteUserAgentCommand(rt, 0), 1);
    EXPECT_TRUE(rt.settings.agent.empty());
    EXPECT_EQ(front.status_bar(kUserAgentStatusPart), text::kStatusBarNoUserAgent);
    EXPECT_TRUE(rt.settings.user_agents.empty());

    ASSERT_EQ(AddUserAgentCommand(rt, "UA/2"), 1);
    ASSERT_EQ(UseUserAgentCommand(rt, 0), 1);
    ASSERT_EQ(ReleaseUserAgentCommand(rt, 0), 1);
    EXPECT_TRUE(rt.settings.agent.empty());
}

TEST_F(WorkerCommandsTest, HeaderRulesKeepTheEnabledCount) {
    ASSERT_EQ(AddHeaderRuleCommand(rt, HeaderList::kSend, "0", "2", "x-forwarded-for", "1.2.3.4"),
              1);
    ASSERT_EQ(AddHeaderRuleCommand(rt, HeaderList::kSend, "0", "1", "via", "x"), 1);
    const HeaderRuleList& rules = rt.settings.send_headers;
    EXPECT_EQ(rules.at(0)->name_capitalised.view(), "X-Forwarded-For");
    EXPECT_EQ(rules.at(0)->action, 2);
    EXPECT_EQ(rules.enabled_count, 1);

    ASSERT_EQ(EnableHeaderRuleCommand(rt, HeaderList::kSend, 0), 1);
    ASSERT_EQ(EnableHeaderRuleCommand(rt, HeaderList::kSend, 0), 1);
    EXPECT_EQ(rules.enabled_count, 2);
    int query = 0;
    QueryHeaderRuleCommand(rt, HeaderList::kSend, query);
    EXPECT_EQ(query, 1);
    query = 1;
    QueryHeaderRuleCommand(rt, HeaderList::kSend, query);
    EXPECT_EQ(query, 0);

    ASSERT_EQ(DisableHeaderRuleCommand(rt, HeaderList::kSend, 0), 1);
    ASSERT_EQ(DisableHeaderRuleCommand(rt, HeaderList::kSend, 0), 1);
    EXPECT_EQ(rules.enabled_count, 1);

    // An enabled rule deleted without being disabled first leaves the count as well.
    ASSERT_EQ(EnableHeaderRuleCommand(rt, HeaderList::kSend, 1), 1);
    ASSERT_EQ(DeleteHeaderRuleCommand(rt, HeaderList::kSend, 1), 1);
    EXPECT_EQ(rules.enabled_count, 1);
    EXPECT_EQ(rules.size(), 1);
    EXPECT_TRUE(rt.settings.recv_headers.empty());
}

TEST_F(WorkerCommandsTest, TagSwitchTurnsGroupsOfFour) {
    auto on_rows = [&] {
        std::string rows;
        for (int i = 0; i < kTagSwitchCount; ++i) rows += rt.settings.tag_switches[i].value.view();
        return rows;
    };
    const std::string all_off(kTagSwitchCount, '0');
    ASSERT_EQ(TagSwitchCommand(rt, "1"), 1);
    EXPECT_EQ(on_rows(), "1111" + all_off.substr(4));
    EXPECT_EQ(rt.settings.tag_filter_active, 1);
    ASSERT_EQ(TagSwitchCommand(rt, "-1"), 1);
    EXPECT_EQ(on_rows(), all_off);
    EXPECT_EQ(rt.settings.tag_filter_active, 0);

    ASSERT_EQ(TagSwitchCommand(rt, "52"), 1);
    EXPECT_EQ(on_rows(), all_off.substr(4) + "1111");
    EXPECT_EQ(rt.settings.tag_filter_active, 1);
    ASSERT_EQ(TagSwitchCommand(rt, "-52"), 1);
    EXPECT_EQ(on_rows(), all_off);

    // Only the "dummy" rows of the LINK group on: the filter stays off.
    ASSERT_EQ(TagSwitchCommand(rt, "2"), 1);
    EXPECT_EQ(rt.settings.tag_switches[1].value.view(), "0");
    EXPECT_EQ(rt.settings.tag_switches[5].value.view(), "1");

    // 0 changes nothing and leaves the flag as it was, even a stale one.
    rt.settings.tag_filter_active = 7;
    const std::string before = on_rows();
    ASSERT_EQ(TagSwitchCommand(rt, "0"), 1);
    EXPECT_EQ(on_rows(), before);
    EXPECT_EQ(rt.settings.tag_filter_active, 7);

    // Groups past the end of the table are ignored.
    ASSERT_EQ(TagSwitchCommand(rt, "53"), 1);
    ASSERT_EQ(TagSwitchCommand(rt, "-2147483648"), 1);
    EXPECT_EQ(on_rows(), before);
}

SettingCommand Command(std::string_view keyword, std::string_view value) {
    SettingCommand command;
    command.keyword = keyword;
    command.value = value;
    return command;
}

TEST_F(WorkerCommandsTest, ApplySettingMatchesKeywordsInOrderOnTheirLengths) {
    const Settings& s = rt.settings;
    ApplySetting(rt, Command("http_version", "1.0"));
    EXPECT_EQ(s.http_version.view(), "1.0");
    ApplySetting(rt, Command("passive", "10.0.0.1to10.0.0.9"));
    EXPECT_EQ(s.localorpassive.view(), "passive");
    EXPECT_EQ(s.allow_user.view(), "10.0.0.1to10.0.0.9");
    ApplySetting(rt, Command("local", "ignored"));
    EXPECT_EQ(s.localorpassive.view(), "local");
    EXPECT_EQ(s.allow_user.view(), "10.0.0.1to10.0.0.9");
    // Six characters decide: "passiv" matches, and so does anything after them.
    ApplySetting(rt, Command("passivX", "1.1.1.1to1.1.1.2"));
    EXPECT_EQ(s.localorpassive.view(), "passive");

    ApplySetting(rt, Command("send_recv_header_log", "3"));
    ApplySetting(rt, Command("send_header_log", "2"));
    ApplySetting(rt, Command("recv_header_log", "1"));
    ApplySetting(rt, Command("access_log", "0"));
    EXPECT_EQ(s.send_recv_header_log.view(), "3");
    EXPECT_EQ(s.send_header_log.view(), "2");
    EXPECT_EQ(s.recv_header_log.view(), "1");
    EXPECT_EQ(s.access_log.view(), "0");

    ApplySetting(rt, Command("setcookie", "1"));
    ApplySetting(rt, Command("cookie", "0"));
    EXPECT_EQ(s.setcookie.view(), "1");
    EXPECT_EQ(s.cookie.view(), "0");

    ApplySetting(rt, Command("port", "123456789"));
    EXPECT_EQ(s.port.view(), "1234567");
    ApplySetting(rt, Command("proxy", std::string(300, 'p')));
    EXPECT_EQ(s.proxy.size(), 221u);
    ApplySetting(rt, Command("agent", "UA/3"));
    EXPECT_EQ(s.agent.view(), "UA/3");
    ApplySetting(rt, Command("auto_start", "2"));
    EXPECT_EQ(s.auto_start.view(), "2");
    ApplySetting(rt, Command("checkproxyaddress", "http://c.example/x.cgi"));
    EXPECT_EQ(s.checkproxyaddress.view(), "http://c.example/x.cgi");

    // Too short to match its keyword, or no keyword at all: nothing changes.
    ApplySetting(rt, Command("por", "9999"));
    ApplySetting(rt, Command("colour", "RED"));
    EXPECT_EQ(s.port.view(), "1234567");
    EXPECT_EQ(ApplySetting(rt, Command("", "x")), 1);
}

TEST_F(WorkerCommandsTest, ThreadThatCannotStartIsReportedAndGivenUp) {
    bool ran = false;
    ThreadStarter failing = [](std::thread&, std::function<void()>) { return false; };
    EXPECT_EQ(RunWorkerCommand(
                  rt, [&] { return ran = true, 1; }, failing),
              kThreadNotStarted);
    EXPECT_FALSE(ran);
    auto messages = front.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, "thread error");
    EXPECT_EQ(messages[0].second, "error");
}

TEST_F(WorkerCommandsTest, CommandRunsOnItsOwnThreadHoldingTheSettingsLock) {
    std::thread::id worker;
    bool held = false;
    RunWorkerCommand(rt, [&] {
        worker = std::this_thread::get_id();
        // The lock is free for the worker: the caller does not hold it while waiting.
        held = rt.locks.settings.try_lock();
        if (held) rt.locks.settings.unlock();
        return 1;
    });
    EXPECT_NE(worker, std::this_thread::get_id());
    EXPECT_TRUE(held);
    FixedText<64> mode;
    ASSERT_EQ(CopyBindModeCommand(rt, mode), 1);
    EXPECT_EQ(mode.view(), "local");
}

}  // namespace
}  // namespace korvanel

namespace korvanel {
namespace {

// A limited wait gives up while another thread holds the list; the command still ends
// later, once the lock is free, and a free list answers within the limit.
TEST_F(WorkerCommandsTest, LimitedWaitsGiveUpButTheCommandStillEnds) {
    ASSERT_EQ(AddProxyCommandWithin(rt, "a.example:8080", 3000), 1);
    ASSERT_EQ(AddUserAgentCommandWithin(rt, "UA/2", 3000), 1);
    EXPECT_EQ(rt.settings.user_agents.at(0)->text.view(), "UA/2");
    {
        std::unique_lock<Lock> held(rt.locks.settings);
        std::thread other([this] { EXPECT_EQ(UseProxyCommandWithin(rt, 0, 50), kWorkerTimedOut); });
        other.join();
    }
    for (int tries = 0; tries < 200; ++tries) {
        {
            Hold hold(rt.locks.settings);
            if (rt.settings.proxy.view() == "a.example:8080") break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Hold hold(rt.locks.settings);
    EXPECT_EQ(rt.settings.proxies.at(0)->in_use, 1);
    EXPECT_EQ(rt.settings.proxy.view(), "a.example:8080");
}

}  // namespace
}  // namespace korvanel
