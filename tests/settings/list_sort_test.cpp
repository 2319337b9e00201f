#include "settings/list_sort.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/runtime.h"
#include "settings/row_makers.h"
#include "support/recording_front_end.h"

namespace korvanel {
namespace {

using testing::RecordingFrontEnd;
using Texts = std::vector<std::string>;

class ListSortTest : public ::testing::Test {
  protected:
    void AddProxy(const char* address, const char* kind, const char* speed, int in_use = 0) {
        ProxyEntry row;
        row.address = address;
        row.kind = kind;
        row.speed = speed;
        row.in_use = in_use;
        rt.settings.proxies.rows.push_back(row);
    }
    void AddRule(HeaderRuleList& list, const char* name, const char* value, int action,
                 int enabled = 0) {
        HeaderRule rule;
        rule.name = name;
        rule.value = value;
        rule.action = action;
        rule.enabled = enabled;
        list.rows.push_back(rule);
    }
    Texts Addresses() const {
        Texts out;
        for (const ProxyEntry& row : rt.settings.proxies.rows) out.push_back(row.address.str());
        return out;
    }
    Texts Names(const HeaderRuleList& list) const {
        Texts out;
        for (const HeaderRule& rule : list.rows) out.push_back(rule.name.str());
        return out;
    }
    int Sort(SortedList list, int column, SortFlags& with) {
        return SortListCommand(rt, list, column, with);
    }

    RecordingFrontEnd front;
    Runtime rt{front};
    SortFlags flags;
};

// Each proxy key, clicked twice: the first click sorts the key's first way, the second the
// other way.
TEST_F(ListSortTest, ProxyKeysAlternateFromTheirFirstDirection) {
    struct Case {
        int column;
        Texts first;
        Texts second;
    };
    // Rows: a (kind 9, speed 120), b (kind 0, unmeasured), c (kind 6, speed 35).
    const std::vector<Case> cases = {
        {1, {"a:1", "b:1", "c:1"}, {"c:1", "b:1", "a:1"}},
        {2, {"a:1", "c:1", "b:1"}, {"b:1", "c:1", "a:1"}},  // highest kind first
        {3, {"c:1", "a:1", "b:1"}, {"b:1", "a:1", "c:1"}},  // 35, 120, 0 then 0, 120, 35
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.column);
        rt.settings.proxies.rows.clear();
        AddProxy("b:1", "0", "0");
        AddProxy("a:1", "9", "120");
        AddProxy("c:1", "6x", "35");
        SortFlags fresh;
        ASSERT_EQ(Sort(SortedList::kProxies, c.column, fresh), kSortDone);
        EXPECT_EQ(Addresses(), c.first);
        ASSERT_EQ(Sort(SortedList::kProxies, c.column, fresh), kSortDone);
        EXPECT_EQ(Addresses(), c.second);
    }
}

TEST_F(ListSortTest, CheckPutsTheRowInUseFirstEveryTime) {
    AddProxy("a:1", "0", "0");
    AddProxy("b:1", "0", "0");
    AddProxy("c:1", "0", "0", 1);
    for (int click = 0; click < 2; ++click) {
        ASSERT_EQ(Sort(SortedList::kProxies, 4, flags), kSortDone);
        EXPECT_EQ(Addresses().front(), "c:1");
    }
    rt.settings.user_agents.rows.push_back({0, "Zeta"});
    rt.settings.user_agents.rows.push_back({1, "Alpha"});
    rt.settings.user_agents.rows.push_back({0, "Beta"});
    ASSERT_EQ(Sort(SortedList::kUserAgents, 2, flags), kSortDone);
    EXPECT_EQ(rt.settings.user_agents.rows.front().text.str(), "Alpha");
    ASSERT_EQ(Sort(SortedList::kUserAgents, 1, flags), kSortDone);
    EXPECT_EQ(rt.settings.user_agents.at(2)->text.str(), "Zeta");
    EXPECT_EQ(rt.settings.user_agents.at(0)->in_use, 1);  // contents travel with their row
}

// Byte order: upper case before lower case, a prefix before the longer text, bytes above
// 0x7F after every ASCII byte.
TEST_F(ListSortTest, TextsCompareAsUnsignedBytes) {
    AddProxy("b:1", "0", "0");
    AddProxy("\xE3\x81\x82:1", "0", "0");
    AddProxy("B:1", "0", "0");
    AddProxy("b:10", "0", "0");
    ASSERT_EQ(Sort(SortedList::kProxies, 1, flags), kSortDone);
    EXPECT_EQ(Addresses(), (Texts{"B:1", "b:1", "b:10", "\xE3\x81\x82:1"}));
}

TEST_F(ListSortTest, RuleListsSortAloneWithFlagsOfTheirOwn) {
    AddRule(rt.settings.send_headers, "Via", "2", 2);
    AddRule(rt.settings.send_headers, "Accept", "3", 0, 1);
    AddRule(rt.settings.send_headers, "Cookie", "1", 1);
    AddRule(rt.settings.recv_headers, "Zz", "", 0);
    AddRule(rt.settings.recv_headers, "Aa", "", 0);
    SortFlags send_flags;
    SortFlags recv_flags;
    ASSERT_EQ(Sort(SortedList::kSendRules, 1, send_flags), kSortDone);
    EXPECT_EQ(Names(rt.settings.send_headers), (Texts{"Accept", "Cookie", "Via"}));
    EXPECT_EQ(Names(rt.settings.recv_headers), (Texts{"Zz", "Aa"}));
    // The receive list's first click on the same column still sorts ascending.
    ASSERT_EQ(Sort(SortedList::kReceiveRules, 1, recv_flags), kSortDone);
    EXPECT_EQ(Names(rt.settings.recv_headers), (Texts{"Aa", "Zz"}));

    ASSERT_EQ(Sort(SortedList::kSendRules, 2, send_flags), kSortDone);
    EXPECT_EQ(Names(rt.settings.send_headers), (Texts{"Cookie", "Via", "Accept"}));
    ASSERT_EQ(Sort(SortedList::kSendRules, 3, send_flags), kSortDone);
    EXPECT_EQ(Names(rt.settings.send_headers), (Texts{"Accept", "Cookie", "Via"}));
    ASSERT_EQ(Sort(SortedList::kSendRules, 3, send_flags), kSortDone);
    EXPECT_EQ(Names(rt.settings.send_headers), (Texts{"Via", "Cookie", "Accept"}));
    ASSERT_EQ(Sort(SortedList::kSendRules, 4, send_flags), kSortDone);
    EXPECT_EQ(Names(rt.settings.send_headers).front(), "Accept");
}

TEST_F(ListSortTest, ColumnsWithoutKeyAndEmptyListsChangeNothing) {
    AddProxy("b:1", "0", "0");
    AddProxy("a:1", "0", "0");
    for (int column : {0, 6, -1}) EXPECT_EQ(Sort(SortedList::kProxies, column, flags), kSortNoKey);
    EXPECT_EQ(Sort(SortedList::kUserAgents, 3, flags), kSortNoKey);
    EXPECT_EQ(Addresses(), (Texts{"b:1", "a:1"}));
    EXPECT_EQ(flags.set, SortFlags{}.set);
    EXPECT_EQ(Sort(SortedList::kUserAgents, 1, flags), kSortDone);
    EXPECT_TRUE(rt.settings.user_agents.empty());
}

// Column 5 is what each proxy speaks: HTTP first.
TEST_F(ListSortTest, ProxiesSortByWhatTheySpeak) {
    AddProxy("s:1", "0", "0");
    AddProxy("h:1", "0", "0");
    rt.settings.proxies.at(0)->upstream = UpstreamKind::kSocks5;
    EXPECT_EQ(Sort(SortedList::kProxies, 5, flags), kSortDone);
    EXPECT_EQ(Addresses(), (Texts{"h:1", "s:1"}));
}

TEST_F(ListSortTest, AWorkerThatCannotStartLeavesTheListAsItWas) {
    AddProxy("b:1", "0", "0");
    AddProxy("a:1", "0", "0");
    auto refuse = [](std::thread&, std::function<void()>) { return false; };
    EXPECT_EQ(SortListCommand(rt, SortedList::kProxies, 1, flags, refuse), kSortFailed);
    EXPECT_EQ(Addresses(), (Texts{"b:1", "a:1"}));
    EXPECT_TRUE(front.messages().empty());  // the page reports it in the status log
}

}  // namespace
}  // namespace korvanel
