#include "engine/head_split.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/request_line.h"
#include "engine/tail_buffer.h"

namespace korvanel {
namespace {

using namespace std::string_literals;

struct SplitCase {
    const char* name;
    // Named by its name in test lists, not by its bytes.
    friend void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }
    std::string head;
    std::string terminator;
    std::string start_line;
    std::string block;
    std::string body;
};

class SplitTest : public ::testing::TestWithParam<SplitCase> {};

// The body bytes found must be exactly the bytes after the first blank line of the head.
TEST_P(SplitTest, SplitsIntoStartLineBlockAndExactBody) {
    const SplitCase& c = GetParam();
    test::TailBuffer head(c.head);
    StartLine start;
    HeaderBlock block;
    HeadBody body;
    ASSERT_TRUE(SplitHead(head.view(), c.terminator, start, block));
    ASSERT_TRUE(SplitBody(c.terminator, block, body));
    EXPECT_EQ(start.view(), c.start_line);
    EXPECT_EQ(block.view(), c.block);
    EXPECT_EQ(body.view(), c.body);
}

INSTANTIATE_TEST_SUITE_P(
    Heads, SplitTest,
    ::testing::Values(SplitCase{"CrLfWithBody", "GET http://a/ HTTP/1.1\r\nHost: a\r\n\r\nxyz",
                                "\r\n\r\n", "GET http://a/ HTTP/1.1\r\n", "Host: a\r\n\r\n", "xyz"},
                      SplitCase{"LfOnly", "HTTP/1.0 200 OK\nA: b\nC: d\n\nbody\n", "\n\n",
                                "HTTP/1.0 200 OK\n", "A: b\nC: d\n\n", "body\n"},
                      SplitCase{"CrOnly", "HTTP/1.0 200 OK\rA: b\r\r", "\r\r", "HTTP/1.0 200 OK\r",
                                "A: b\r\r", ""},
                      SplitCase{"NoHeaderLinesKeepsWholeBody", "HTTP/1.0 200 OK\r\n\r\nBODY",
                                "\r\n\r\n", "HTTP/1.0 200 OK\r\n", "\r\n\r\n", "BODY"},
                      SplitCase{"BodyBeginningWithLineEnd", "GET http://a/ HTTP/1.0\r\n\r\n\r\nX",
                                "\r\n\r\n", "GET http://a/ HTTP/1.0\r\n", "\r\n\r\n", "\r\nX"},
                      SplitCase{"BodyWithNulAndTerminator",
                                "POST http://a/ HTTP/1.1\r\nA: 1\r\n\r\n\0\r\n\r\nz"s, "\r\n\r\n",
                                "POST http://a/ HTTP/1.1\r\n", "A: 1\r\n\r\n", "\0\r\n\r\nz"s}),
    [](const auto& row) { return row.param.name; });

TEST(SplitHead, RefusesHeadWithoutLineEnd) {
    test::TailBuffer head("GET http://a/ HTTP/1.1");
    StartLine start;
    HeaderBlock block;
    EXPECT_FALSE(SplitHead(head.view(), "\r\n\r\n", start, block));
    EXPECT_FALSE(SplitHead("HTTP/1.0 200 OK\nA: b\n\n", "\r\r", start, block));
}

TEST(SplitBody, RefusesBlockWithoutTerminatorAndAcceptsLoneLineEnd) {
    HeaderBlock block = "A: b\r\n";
    HeadBody body = "stale";
    EXPECT_FALSE(SplitBody("\r\n\r\n", block, body));
    block = "\n";
    EXPECT_TRUE(SplitBody("\n\n", block, body));
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(block.view(), "\n");
}

// The request line grows when it is normalised; the body bytes that came with the head
// must not change with it.
TEST(SplitBody, BodyStaysExactWhenStartLineIsRewritten) {
    std::string_view head = "POST  http://a HTTP/1.1\r\nContent-Length: 4\r\n\r\nabcd";
    StartLine line;
    HeaderBlock block;
    HeadBody body;
    ASSERT_TRUE(SplitHead(head, "\r\n\r\n", line, block));
    ASSERT_TRUE(NormaliseRequestLine("\r\n\r\n", line));
    ASSERT_TRUE(SplitBody("\r\n\r\n", block, body));
    EXPECT_EQ(line.view(), "POST http://a/ HTTP/1.1\r\n");
    EXPECT_EQ(body.view(), "abcd");
}

}  // namespace
}  // namespace korvanel
