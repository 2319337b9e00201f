#include "engine/header_predicates.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engine/tail_buffer.h"

namespace korvanel {
namespace {

struct LengthCase {
    const char* name;
    // Named by its name in test lists, not by its bytes.
    friend void PrintTo(const LengthCase& c, std::ostream* os) { *os << c.name; }
    std::string block;
    std::int64_t expected;
};

class ContentLengthTest : public ::testing::TestWithParam<LengthCase> {};

TEST_P(ContentLengthTest, ReadsLength) {
    test::TailBuffer block(GetParam().block);
    EXPECT_EQ(ContentLength(block.view(), "\r\n\r\n"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, ContentLengthTest,
    ::testing::Values(LengthCase{"Plain", "Host: a\r\nContent-Length: 1234\r\n\r\n", 1234},
                      LengthCase{"Large", "Content-Length: 104857600000\r\n\r\n", 104857600000},
                      LengthCase{"LeadingDigitsOnly", "Content-Length: 12abc\r\n\r\n", 12},
                      LengthCase{"Absent", "Host: a.example\r\n\r\n", -1},
                      LengthCase{"MidLineIsNotHeader", "X-Content-Length: 5\r\n\r\n", -1},
                      LengthCase{"ShortBlock", "A: b\r\n\r\n", -2},
                      LengthCase{"NoLineEnd", "Host: a\r\nContent-Length: 12", -2},
                      LengthCase{"NotANumber", "Content-Length: abc\r\n\r\n", -2},
                      LengthCase{"Negative", "Content-Length: -5\r\n\r\n", -2},
                      LengthCase{"Overflow", "Content-Length: 99999999999999999999\r\n\r\n", -2}),
    [](const auto& row) { return row.param.name; });

struct FlagCase {
    const char* name;
    // Named by its name in test lists, not by its bytes.
    friend void PrintTo(const FlagCase& c, std::ostream* os) { *os << c.name; }
    bool (*predicate)(std::string_view, std::string_view);
    std::string block;
    bool expected;
};

class FlagTest : public ::testing::TestWithParam<FlagCase> {};

TEST_P(FlagTest, Answers) {
    // Placed at the very end of its own heap block, so a read past the end shows.
    test::TailBuffer block(GetParam().block);
    EXPECT_EQ(GetParam().predicate(block.view(), "\n\n"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, FlagTest,
    ::testing::Values(
        FlagCase{"HtmlWithCharset", IsHtml, "Content-Type: text/html; charset=UTF-8\n\n", true},
        FlagCase{"NotHtml", IsHtml, "Content-Type: text/plain\n\n", false},
        FlagCase{"HtmlShortBlock", IsHtml, "Content-Type: text/htm", false},
        FlagCase{"Chunked", IsChunked, "Transfer-Encoding: chunked\n\n", true},
        FlagCase{"GzipChunkedIsNot", IsChunked, "Transfer-Encoding: gzip, chunked\n\n", false},
        FlagCase{"ChunkedCutShort", IsChunked, "A: bbbbbbb\nTransfer-Encoding: chunk", false},
        FlagCase{"FirstSpellingDecides", IsChunked,
                 "Transfer-Encoding: chunked\nTransfer-encoding: gzip\n\n", false},
        FlagCase{"Close", HasConnectionClose, "Connection: close\n\n", true},
        FlagCase{"CloseMisspelled", HasConnectionClose, "A: b\nCneonction: close\n\n", true},
        FlagCase{"KeepAliveIsNotClose", HasConnectionClose, "Connection: keep-alive\n\n", false},
        FlagCase{"KeepAlive", HasConnectionKeepAlive, "Connection: Keep-Alive\n\n", true},
        FlagCase{"KeepAliveCutShort", HasConnectionKeepAlive, "AAAAAAAA\nConnection: Keep", false},
        FlagCase{"ProxyKeepAlive", HasProxyKeepAlive, "Proxy-Connection: keep-alive\n\n", true},
        FlagCase{"ProxyKeepAliveAbsent", HasProxyKeepAlive, "Connection: keep-alive\nA: b\n\n",
                 false},
        FlagCase{"ExpectContinue", ExpectsContinue, "Host: a\nExpect: 100-continue\n\n", true},
        FlagCase{"ExpectSomethingElse", ExpectsContinue, "Expect: 200-ok\n\n", false},
        FlagCase{"ExpectCutShort", ExpectsContinue, "Expect: 100-cont", false}),
    [](const auto& row) { return row.param.name; });

}  // namespace
}  // namespace korvanel
