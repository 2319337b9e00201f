// How a header block frames its body: the spellings a lenient reader would take otherwise
// (the classic request-smuggling variants), lists, and what is refused.
#include "engine/message_framing.h"

#include <gtest/gtest.h>

#include <string>

namespace korvanel {
namespace {

using enum FramingVerdict;

struct Case {
    const char* name;
    std::string lines;  // header lines, each ending in CRLF; the blank line is added
    MessageSide side;
    FramingVerdict verdict;
    bool chunked;
    long long length;
};

constexpr MessageSide kRequest = MessageSide::kRequest;
constexpr MessageSide kAnswer = MessageSide::kAnswer;

const Case kCases[] = {
    {"NoFraming", "Host: a\r\n", kRequest, kOk, false, -1},
    {"NoLinesAtAll", "\r\n", kRequest, kOk, false, -1},
    {"Length", "Content-Length: 12\r\n", kRequest, kOk, false, 12},
    {"LengthInAnyCase", "cOnTeNt-LeNgTh:12\r\n", kRequest, kOk, false, 12},
    {"SameLengthTwice", "Content-Length: 5\r\nContent-Length: 5\r\n", kRequest, kOk, false, 5},
    {"SameLengthListed", "Content-Length: 5, 5\r\n", kAnswer, kOk, false, 5},
    {"DifferentLengths", "Content-Length: 5\r\nContent-Length: 6\r\n", kRequest, kMalformed, false,
     -1},
    {"SignedLength", "Content-Length: +5\r\n", kRequest, kMalformed, false, -1},
    {"LengthWithTail", "Content-Length: 5x\r\n", kAnswer, kMalformed, false, -1},
    {"EmptyLength", "Content-Length:\r\n", kRequest, kMalformed, false, -1},
    {"HugeLength", "Content-Length: 99999999999999999999\r\n", kRequest, kMalformed, false, -1},
    {"Chunked", "Transfer-Encoding: chunked\r\n", kRequest, kOk, true, -1},
    {"ChunkedNoSpace", "Transfer-Encoding:chunked\r\n", kRequest, kOk, true, -1},
    {"ChunkedAfterTab", "Transfer-Encoding:\tchunked\r\n", kRequest, kOk, true, -1},
    {"ChunkedMixedCase", "TrAnSFer-EnCODinG: cHuNkeD\r\n", kRequest, kOk, true, -1},
    {"ChunkedTrailingBlanks", "Transfer-Encoding: chunked \t\r\n", kRequest, kOk, true, -1},
    {"GzipThenChunked", "Transfer-Encoding: gzip, chunked\r\n", kRequest, kOk, true, -1},
    {"CodingsOverTwoLines", "Transfer-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n", kRequest,
     kOk, true, -1},
    {"EmptyListElements", "Transfer-Encoding: ,chunked,\r\n", kRequest, kOk, true, -1},
    {"ChunkedThenGzipRequest", "Transfer-Encoding: chunked, gzip\r\n", kRequest, kMalformed, false,
     -1},
    {"ChunkedTwice", "Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n", kRequest,
     kMalformed, false, -1},
    {"UnknownCoding", "Transfer-Encoding: xchunked\r\n", kRequest, kUnknownCoding, false, -1},
    {"QuotedCoding", "Transfer-Encoding: \"chunked\"\r\n", kRequest, kMalformed, false, -1},
    {"ChunkedWithParameter", "Transfer-Encoding: chunked;q=1\r\n", kRequest, kMalformed, false, -1},
    {"EmptyCoding", "Transfer-Encoding: \r\n", kRequest, kMalformed, false, -1},
    {"BothHeaders", "Content-Length: 4\r\nTransfer-Encoding: chunked\r\n", kRequest, kMalformed,
     false, -1},
    {"BothHeadersInAnAnswer", "Transfer-Encoding: chunked\r\nContent-Length: 4\r\n", kAnswer,
     kMalformed, false, -1},
    {"BlankBeforeColon", "Transfer-Encoding : chunked\r\n", kRequest, kMalformed, false, -1},
    {"TabBeforeColon", "Content-Length\t: 3\r\n", kAnswer, kMalformed, false, -1},
    {"FoldedLine", "X-A: b\r\n Transfer-Encoding: chunked\r\n", kRequest, kMalformed, false, -1},
    {"FoldedFirstLine", " Transfer-Encoding: chunked\r\n", kRequest, kMalformed, false, -1},
    {"ControlInValue",
     std::string("Transfer-Encoding: \x0b"
                 "chunked\r\n"),
     kRequest, kMalformed, false, -1},
    {"NulInName", std::string("Transfer-Encoding\0: chunked\r\n", 30), kRequest, kMalformed, false,
     -1},
    {"BareLineFeedInValue", "X-A: b\nTransfer-Encoding: chunked\r\n", kRequest, kMalformed, false,
     -1},
    {"LineWithoutColon", "Transfer-Encoding chunked\r\n", kRequest, kMalformed, false, -1},
    {"EightBitValueKept", "Content-Disposition: \xe6\x97\xa5.txt\r\n", kAnswer, kOk, false, -1},
    {"AnswerGzipRunsToClose", "Transfer-Encoding: gzip\r\n", kAnswer, kOk, false, -1},
    {"AnswerUnknownCodingChunked", "Transfer-Encoding: br, chunked\r\n", kAnswer, kOk, true, -1},
    {"AnswerChunkedNotLast", "Transfer-Encoding: chunked, gzip\r\n", kAnswer, kMalformed, false,
     -1},
    {"OtherHeadersKeepTheirMatching", "Transfer_Encoding: chunked\r\n", kRequest, kOk, false, -1},
};

class FramingTest : public ::testing::TestWithParam<Case> {};

TEST_P(FramingTest, ReadsTheFrameOrRefuses) {
    const Case& c = GetParam();
    std::string block = c.lines + "\r\n";
    Framing framing = ReadFraming(block, "\r\n\r\n", c.side);
    EXPECT_EQ(framing.verdict, c.verdict);
    if (c.verdict != kOk) return;
    EXPECT_EQ(framing.chunked, c.chunked);
    EXPECT_EQ(framing.length, c.length);
}

INSTANTIATE_TEST_SUITE_P(Heads, FramingTest, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.name); });

// With bare line feeds for line ends, a carriage return before one is part of the line end,
// and anywhere else a control byte.
TEST(FramingLineFeeds, ReadsLinesEndedByLineFeedsAlone) {
    EXPECT_TRUE(ReadFraming("Transfer-Encoding: chunked\r\n\n", "\n\n", kRequest).chunked);
    EXPECT_EQ(ReadFraming("Content-Length: 7\n\n", "\n\n", kRequest).length, 7);
    EXPECT_EQ(ReadFraming("X: a\rTransfer-Encoding: chunked\n\n", "\n\n", kRequest).verdict,
              kMalformed);
}

}  // namespace
}  // namespace korvanel
