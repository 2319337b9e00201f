#include "engine/request_line.h"

#include <gtest/gtest.h>

#include <string>

namespace korvanel {
namespace {

struct LineCase {
    const char* name;
    // Named by its name in test lists, not by its bytes.
    friend void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }
    std::string terminator;
    std::string line;
    int result;            // 1: rewritten, -1: refused
    std::string expected;  // the line afterwards, when the result is 1
};

class NormaliseRequestLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(NormaliseRequestLineTest, ChecksAndRewrites) {
    const LineCase& c = GetParam();
    StartLine line;
    line.assign(c.line);
    ASSERT_EQ(NormaliseRequestLine(c.terminator, line) ? 1 : -1, c.result);
    if (c.result == 1) {
        EXPECT_EQ(line.view(), c.expected);
    }
}

const std::string kLongPath(kMaxPathLength, 'p');

INSTANTIATE_TEST_SUITE_P(
    Lines, NormaliseRequestLineTest,
    ::testing::Values(
        LineCase{"AddsMissingPath", "\r\n\r\n", "GET http://a.example HTTP/1.1\r\n", 1,
                 "GET http://a.example/ HTTP/1.1\r\n"},
        LineCase{"CollapsesBlanksKeepsLfLineEnd", "\n\n", "POST  http://a/x?y=1\tHTTP/1.0\n", 1,
                 "POST http://a/x?y=1 HTTP/1.0\n"},
        LineCase{"DeleteByFirstFour", "\r\n\r\n", "DELETE http://a/ HTTP/1.1\r\n", 1,
                 "DELETE http://a/ HTTP/1.1\r\n"},
        LineCase{"MethodBeginningWithGet", "\r\n\r\n", "GETX http://a/ HTTP/1.1\r\n", 1,
                 "GETX http://a/ HTTP/1.1\r\n"},
        LineCase{"PathAtItsLimit", "\r\n\r\n",
                 "GET http://a/" + kLongPath.substr(1) + " HTTP/1.1\r\n", 1,
                 "GET http://a/" + kLongPath.substr(1) + " HTTP/1.1\r\n"},
        LineCase{"PathOverItsLimit", "\r\n\r\n", "GET http://a/" + kLongPath + " HTTP/1.1\r\n", -1,
                 ""},
        LineCase{"OriginForm", "\r\n\r\n", "GET / HTTP/1.1\r\n", -1, ""},
        LineCase{"Connect", "\r\n\r\n", "CONNECT a.example:443 HTTP/1.1\r\n", -1, ""},
        LineCase{"OtherScheme", "\r\n\r\n", "GET https://a/ HTTP/1.1\r\n", -1, ""},
        LineCase{"EmptyAuthority", "\r\n\r\n", "GET http:///x HTTP/1.1\r\n", -1, ""},
        LineCase{"Options", "\r\n\r\n", "OPTIONS http://a/ HTTP/1.1\r\n", -1, ""},
        LineCase{"PutLonger", "\r\n\r\n", "PUTX http://a/ HTTP/1.1\r\n", -1, ""},
        LineCase{"MethodTooLong", "\r\n\r\n", "GETXXXXX http://a/ HTTP/1.1\r\n", -1, ""},
        LineCase{"BadVersion", "\r\n\r\n", "GET http://a/ FTP/1.0\r\n", -1, ""},
        LineCase{"LineTooLong", "\r\n\r\n",
                 "GET http://a/" + std::string(kMaxHeadLength, 'x') + " HTTP/1.1\r\n", -1, ""}),
    [](const auto& row) { return row.param.name; });

TEST(EffectiveVersion, RequestOrSettingChoosesHttp10) {
    EXPECT_EQ(EffectiveVersion("GET http://a/ HTTP/1.0\r\n", "\r\n\r\n", "1.1"), "1.0");
    EXPECT_EQ(EffectiveVersion("GET http://a/ HTTP/1.1\n", "\n\n", "1.0"), "1.0");
    EXPECT_EQ(EffectiveVersion("GET http://a/ HTTP/1.1\r\n", "\r\n\r\n", "1.1"), "1.1");
}

TEST(ForceHttp10, DowngradesVersionKeepingLineEnd) {
    StartLine line = "GET http://a/ HTTP/1.1\n";
    EXPECT_TRUE(ForceHttp10("\n\n", line));
    EXPECT_EQ(line.view(), "GET http://a/ HTTP/1.0\n");
    line = "GET http://a/ HTTP/1.1\r\n";
    EXPECT_TRUE(ForceHttp10("\r\n\r\n", line));
    EXPECT_EQ(line.view(), "GET http://a/ HTTP/1.0\r\n");
}

struct OriginCase {
    const char* name;
    // Named by its name in test lists, not by its bytes.
    friend void PrintTo(const OriginCase& c, std::ostream* os) { *os << c.name; }
    std::string line;
    int result;  // 1: rewritten, -1: refused
    std::string expected_line;
    std::string host;
    std::string port;
};

class ToOriginFormTest : public ::testing::TestWithParam<OriginCase> {};

TEST_P(ToOriginFormTest, GivesPathHostAndPort) {
    const OriginCase& c = GetParam();
    StartLine line;
    line.assign(c.line);
    TargetHost host;
    TargetPort port;
    ASSERT_EQ(ToOriginForm(line, host, port, "\r\n\r\n") ? 1 : -1, c.result);
    if (c.result != 1) return;
    EXPECT_EQ(line.view(), c.expected_line);
    EXPECT_EQ(host.view(), c.host);
    EXPECT_EQ(port.view(), c.port);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ToOriginFormTest,
    ::testing::Values(OriginCase{"DefaultPort", "GET http://a.example/ HTTP/1.1\r\n", 1,
                                 "GET / HTTP/1.1\r\n", "a.example", "80"},
                      OriginCase{"ExplicitPort", "POST http://a.example:8080/x/y?q HTTP/1.0\r\n", 1,
                                 "POST /x/y?q HTTP/1.0\r\n", "a.example", "8080"},
                      OriginCase{"EmptyPortIsDefault", "GET http://a.example:/ HTTP/1.1\r\n", 1,
                                 "GET / HTTP/1.1\r\n", "a.example", "80"},
                      OriginCase{"EightDigitPort", "GET http://a:12345678/ HTTP/1.1\r\n", 1,
                                 "GET / HTTP/1.1\r\n", "a", "12345678"},
                      OriginCase{"NineDigitPort", "GET http://a:123456789/ HTTP/1.1\r\n", -1, "",
                                 "", ""},
                      OriginCase{"NoHost", "GET http://:80/ HTTP/1.1\r\n", -1, "", "", ""}),
    [](const auto& row) { return row.param.name; });

TEST(RequestLine, NormaliseThenOriginFormOnLfMessage) {
    StartLine line = "GET http://a.example HTTP/1.1\n";
    ASSERT_TRUE(NormaliseRequestLine("\n\n", line));
    TargetHost host;
    TargetPort port;
    ASSERT_TRUE(ToOriginForm(line, host, port, "\n\n"));
    EXPECT_EQ(line.view(), "GET / HTTP/1.1\n");
    EXPECT_EQ(host.view(), "a.example");
    EXPECT_EQ(port.view(), "80");
}

}  // namespace
}  // namespace korvanel
