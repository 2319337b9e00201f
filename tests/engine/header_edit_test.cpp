#include "engine/header_edit.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "engine/head_split.h"
#include "engine/header_predicates.h"
#include "engine/header_rules.h"
#include "engine/status_line.h"

namespace korvanel {
namespace {

constexpr std::array<std::string_view, 4> kUa = {"User-Agent", "User-agent", "user-agent",
                                                 "USER-AGENT"};
constexpr std::array<std::string_view, 1> kXTest = {"X-Test"};

struct EditCase {
    const char* name;
    // Named by its name in test lists, not by its bytes.
    friend void PrintTo(const EditCase& c, std::ostream* os) { *os << c.name; }
    std::string terminator;
    std::string block;
    int mode;
    int result;
    std::string expected;
};

class EditHeaderTest : public ::testing::TestWithParam<EditCase> {};

TEST_P(EditHeaderTest, EditsOneLine) {
    const EditCase& c = GetParam();
    HeaderBlock block;
    block.assign(c.block);
    EXPECT_EQ(EditHeader(block, c.mode, kUa, "KV/1", c.terminator), c.result);
    EXPECT_EQ(block.view(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, EditHeaderTest,
    ::testing::Values(
        EditCase{"AddAppendsBeforeBlankLine", "\r\n\r\n", "Host: a\r\n\r\n", 0, 1,
                 "Host: a\r\nUser-Agent: KV/1\r\n\r\n"},
        EditCase{"AddKeepsLfStyle", "\n\n", "Host: a\n\n", 0, 1, "Host: a\nUser-Agent: KV/1\n\n"},
        EditCase{"AddToBlockWithoutHeaderLines", "\r\n\r\n", "\r\n\r\n", 0, 1,
                 "User-Agent: KV/1\r\n\r\n"},
        EditCase{"DeleteFirstSpellingFound", "\r\n\r\n",
                 "user-agent: x\r\nHost: a\r\nUser-Agent: y\r\n\r\n", 1, 0,
                 "user-agent: x\r\nHost: a\r\n\r\n"},
        EditCase{"DeleteAtBlockStart", "\r\r", "User-Agent: y\rHost: a\r\r", 1, 0, "Host: a\r\r"},
        EditCase{"DeletePassesOverMidLineMatch", "\r\n\r\n",
                 "X-User-Agent: 1\r\nUser-Agent: 2\r\n\r\n", 1, 0, "X-User-Agent: 1\r\n\r\n"},
        EditCase{"DeleteNeedsNameSeparator", "\r\n\r\n", "User-Agents: 1\r\n\r\n", 1, 1,
                 "User-Agents: 1\r\n\r\n"},
        EditCase{"DeleteOtherSpellingUntouched", "\r\n\r\n", "USER-agent: 1\r\n\r\n", 1, 1,
                 "USER-agent: 1\r\n\r\n"},
        EditCase{"DeleteLineWithoutLineEnd", "\r\n\r\n", "Host: a\r\nUser-Agent: 1", 1, -1,
                 "Host: a\r\nUser-Agent: 1"},
        EditCase{"OtherModeFound", "\r\n\r\n", "User-Agent: 1\r\n\r\n", 5, -1,
                 "User-Agent: 1\r\n\r\n"},
        EditCase{"OtherModeNotFound", "\r\n\r\n", "Host: a\r\n\r\n", 5, 1, "Host: a\r\n\r\n"}),
    [](const auto& row) { return row.param.name; });

TEST(EditHeader, AddThatDoesNotFitLeavesBlockWhole) {
    HeaderBlock block;
    block.assign(std::string(HeaderBlock::kMaxLength - 10, 'a') + "\r\n\r\n");
    std::string before = block.str();
    EXPECT_EQ(EditHeader(block, kEditAdd, kXTest, "0123456789", "\r\n\r\n"), -1);
    EXPECT_EQ(block.view(), before);
}

HeaderRule Rule(int action, std::string_view name, std::string_view value) {
    HeaderRule rule;
    rule.enabled = 1;
    rule.action = action;
    rule.name = name;
    rule.name_lower = "x-test";
    rule.name_upper = "X-TEST";
    rule.name_capitalised = name;
    rule.value = value;
    return rule;
}

TEST(HeaderRules, AddRemoveChangeInListOrder) {
    HeaderRuleList rules;
    rules.rows.push_back(Rule(0, "X-Test", "1"));
    HeaderBlock block = "X-Test: 0\r\n\r\n";
    ApplyHeaderRules(block, rules, "\r\n\r\n");
    EXPECT_EQ(block.view(), "X-Test: 0\r\nX-Test: 1\r\n\r\n");

    rules.rows.push_back(Rule(2, "X-Test", "2"));
    HeaderRule off = Rule(1, "X-Test", "");
    off.enabled = 0;
    rules.rows.push_back(off);
    block = "x-test: 0\r\nA: b\r\nX-TEST: 9\r\n\r\n";
    ApplyHeaderRules(block, rules, "\r\n\r\n");
    EXPECT_EQ(block.view(), "A: b\r\nX-Test: 2\r\n\r\n");

    rules.rows.push_back(Rule(1, "X-Test", "dummy"));
    rules.rows.back().enabled = 1;
    ApplyHeaderRules(block, rules, "\r\n\r\n");
    EXPECT_EQ(block.view(), "A: b\r\n\r\n");
}

struct RequestCase {
    const char* name;
    // Named by its name in test lists, not by its bytes.
    friend void PrintTo(const RequestCase& c, std::ostream* os) { *os << c.name; }
    RequestEdits edits;
    std::string block;
    std::string expected;
};

class RequestEditsTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(RequestEditsTest, RewritesRequestHeaders) {
    const RequestCase& c = GetParam();
    HeaderBlock block;
    block.assign(c.block);
    ApplyRequestEdits(block, c.edits, "\r\n\r\n");
    EXPECT_EQ(block.view(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, RequestEditsTest,
    ::testing::Values(
        RequestCase{"UserAgentReplacedOthersKept",
                    {"KV/2", false, false, false},
                    "X-User-Agent: a\r\nUser-Agent: b\r\nUSER-agent: c\r\nuser-agent: d\r\n\r\n",
                    "X-User-Agent: a\r\nUSER-agent: c\r\nUser-Agent: KV/2\r\n\r\n"},
        RequestCase{"AcceptEncodingDroppedForFilter",
                    {"", true, false, false},
                    "Accept-Encoding: gzip\r\nHost: a\r\naccept-encoding: br\r\n\r\n",
                    "Host: a\r\n\r\n"},
        RequestCase{"Http10ClosesConnection",
                    {"", false, true, false},
                    "Host: a\r\nConnection: keep-alive\r\nProxy-Connection: keep-alive\r\n"
                    "Keep-Alive: 300\r\nconnection: x\r\n\r\n",
                    "Host: a\r\nConnection: close\r\n\r\n"},
        RequestCase{"ProxyKeepAliveGivesKeepAlive300",
                    {"", false, false, false},
                    "Proxy-Connection: Keep-Alive\r\nKeep-Alive: 115\r\n\r\n",
                    "Proxy-Connection: Keep-Alive\r\nKeep-Alive: 300\r\n\r\n"},
        RequestCase{"AllCookieLinesRemoved",
                    {"", false, false, true},
                    "Cookie: a=1\r\nHost: a\r\ncookie: b=2\r\nX-Cookie: c\r\n\r\n",
                    "Host: a\r\nX-Cookie: c\r\n\r\n"}),
    [](const auto& row) { return row.param.name; });

TEST(AnswerEdits, SetCookiesGoAndFilteredAnswerIsFramedByClose) {
    HeaderBlock block =
        "Set-Cookie: a\nContent-Length: 10\nConnection: keep-alive\nset-cookie: b\n\n";
    RemoveSetCookies(block, "\n\n");
    FrameFilteredAnswer(block, "\n\n");
    EXPECT_EQ(block.view(), "Connection: close\n\n");
}

// An answer without header lines that gets a header from a rule: the body that came with
// the head must go out exactly as received, after the new header line.
TEST(AnswerEdits, AddedHeaderStaysInsideHeadOfAnswerWithoutHeaders) {
    std::string_view head = "HTTP/1.0 200 OK\r\n\r\nBODY";
    StartLine status;
    HeaderBlock block;
    HeadBody body;
    ASSERT_TRUE(SplitHead(head, "\r\n\r\n", status, block));
    ASSERT_TRUE(NormaliseStatusLine("\r\n\r\n", status));
    ASSERT_TRUE(SplitBody("\r\n\r\n", block, body));
    HeaderRuleList rules;
    rules.rows.push_back(Rule(0, "X-Test", "1"));
    ApplyHeaderRules(block, rules, "\r\n\r\n");
    std::string wire = status.str() + block.str() + body.str();
    EXPECT_EQ(wire, "HTTP/1.0 200 OK\r\nX-Test: 1\r\n\r\nBODY");
}

}  // namespace
}  // namespace korvanel
