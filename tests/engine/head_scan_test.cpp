#include "engine/head_scan.h"

#include <gtest/gtest.h>

#include <string>

namespace korvanel {
namespace {

// Feeds `text` in pieces of `step` bytes, as a socket might deliver it.
HeadScan Feed(const std::string& text, std::size_t step, Terminator& terminator,
              std::size_t* consumed = nullptr) {
    HeadScanState state;
    HeadScan scan = HeadScan::kMore;
    std::size_t have = 0;
    while (have < text.size() && scan == HeadScan::kMore) {
        have = std::min(text.size(), have + step);
        scan = ScanHead(std::string_view(text).substr(0, have), state, terminator);
    }
    if (consumed) *consumed = have;
    return scan;
}

TEST(HeadScan, FindsTheTerminatorWhicheverWayTheHeadArrives) {
    const std::string head = "GET http://example.com/ HTTP/1.1\r\nHost: example.com\r\n\r\n";
    for (std::size_t step : {1u, 2u, 3u, 7u, 1000u}) {
        Terminator terminator;
        std::size_t consumed = 0;
        EXPECT_EQ(Feed(head, step, terminator, &consumed), HeadScan::kComplete) << step;
        EXPECT_EQ(terminator.view(), "\r\n\r\n") << step;
        EXPECT_EQ(consumed, head.size()) << step;
    }
}

TEST(HeadScan, PrefersCrLfPairThenLfPairThenCrPair) {
    EXPECT_EQ(FindHeadTerminator("a\n\nb\r\n\r\n"), "\r\n\r\n");
    EXPECT_EQ(FindHeadTerminator("a\r\rb\n\n"), "\n\n");
    EXPECT_EQ(FindHeadTerminator("a\r\rb"), "\r\r");
    EXPECT_EQ(FindHeadTerminator("a\r\nb\r\n"), "");
    // Fed byte by byte, a mixed line end completes as the pair it forms first.
    Terminator terminator;
    EXPECT_EQ(Feed("HTTP/1.0 200 OK\r\n\nbody", 1, terminator), HeadScan::kComplete);
    EXPECT_EQ(terminator.view(), "\n\n");
}

TEST(HeadScan, TestsTheStartOnlyAfterTwentyBytes) {
    Terminator terminator;
    HeadScanState state;
    // 20 bytes of anything are never refused for their start.
    EXPECT_EQ(ScanHead(std::string(20, 'x'), state, terminator), HeadScan::kMore);
    EXPECT_EQ(ScanHead(std::string(21, 'x'), state, terminator), HeadScan::kNotHttp);
    for (const char* start : {"GET ", "POST ", "HTTP/1.", "DELETE ", "HEAD ", "PUT "}) {
        HeadScanState fresh;
        std::string text = std::string(start) + std::string(30, 'a');
        EXPECT_EQ(ScanHead(text, fresh, terminator), HeadScan::kMore) << start;
    }
    // CONNECT only where tunnels are on.
    HeadScanState connect;
    EXPECT_EQ(ScanHead("CONNECT a.example:443 HTTP/1.1\r\n", connect, terminator),
              HeadScan::kNotHttp);
    HeadScanState tunnels_on;
    tunnels_on.connect_allowed = true;
    EXPECT_EQ(ScanHead("CONNECT a.example:443 HTTP/1.1\r\n", tunnels_on, terminator),
              HeadScan::kMore);
    HeadScanState lower;
    EXPECT_EQ(ScanHead("get /index.html HTTP/1.0 more", lower, terminator), HeadScan::kNotHttp);
    // A complete head is never refused for its start (later stages judge it).
    HeadScanState complete;
    EXPECT_EQ(ScanHead("OPTIONS * HTTP/1.1\r\nA: b\r\n\r\n", complete, terminator),
              HeadScan::kComplete);
}

TEST(HeadScan, RefusesLongFirstPieceWithoutLineEndAndOverlongHeads) {
    Terminator terminator;
    HeadScanState first;
    std::string no_line_end = "GET " + std::string(3000, 'a');
    EXPECT_EQ(ScanHead(no_line_end, first, terminator), HeadScan::kNoLineEnd);
    // Only the first piece is judged so.
    HeadScanState later;
    EXPECT_EQ(ScanHead("GET ", later, terminator), HeadScan::kMore);
    EXPECT_EQ(ScanHead(no_line_end, later, terminator), HeadScan::kMore);

    std::string overlong = "GET / HTTP/1.0\r\n" + std::string(kHeadLimit, 'h');
    EXPECT_EQ(Feed(overlong.substr(0, kHeadLimit), 997, terminator), HeadScan::kTooLong);
    EXPECT_EQ(Feed(overlong.substr(0, kHeadLimit - 1), 997, terminator), HeadScan::kMore);
}

}  // namespace
}  // namespace korvanel
