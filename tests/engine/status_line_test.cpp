#include "engine/status_line.h"

#include <gtest/gtest.h>

#include <string>

namespace korvanel {
namespace {

struct StatusCase {
    const char* name;
    // Named by its name in test lists, not by its bytes.
    friend void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.name; }
    std::string terminator;
    std::string line;
    int result;  // 1: rewritten, -1: refused
    std::string expected;
};

class NormaliseStatusLineTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(NormaliseStatusLineTest, ChecksAndRewrites) {
    const StatusCase& c = GetParam();
    StartLine line;
    line.assign(c.line);
    ASSERT_EQ(NormaliseStatusLine(c.terminator, line) ? 1 : -1, c.result);
    if (c.result == 1) {
        EXPECT_EQ(line.view(), c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, NormaliseStatusLineTest,
    ::testing::Values(
        StatusCase{"Plain", "\r\n\r\n", "HTTP/1.1 200 OK\r\n", 1, "HTTP/1.1 200 OK\r\n"},
        StatusCase{"ReasonWithBlanks", "\n\n", "HTTP/1.0  404   Not Found\n", 1,
                   "HTTP/1.0 404 Not Found\n"},
        StatusCase{"NoReason", "\r\n\r\n", "HTTP/1.1 200\r\n", 1, "HTTP/1.1 200 dummy\r\n"},
        StatusCase{"OneCharacterReason", "\r\r", "HTTP/1.1 204 X\r", 1, "HTTP/1.1 204 dummy\r"},
        StatusCase{"LongReasonCut", "\r\n\r\n", "HTTP/1.1 200 " + std::string(200, 'r') + "\r\n", 1,
                   "HTTP/1.1 200 " + std::string(kMaxReasonLength, 'r') + "\r\n"},
        StatusCase{"CodeNotDigits", "\r\n\r\n", "HTTP/1.1 20x OK\r\n", -1, ""},
        StatusCase{"CodeTooLong", "\r\n\r\n", "HTTP/1.1 2000 OK\r\n", -1, ""},
        StatusCase{"Http2", "\r\n\r\n", "HTTP/2 200 OK\r\n", -1, ""},
        StatusCase{"VersionOnly", "\r\n\r\n", "HTTP/1.1\r\n", -1, ""},
        StatusCase{"NotHttp", "\r\n\r\n", "ICY 200 OK\r\n", -1, ""}),
    [](const auto& row) { return row.param.name; });

}  // namespace
}  // namespace korvanel
