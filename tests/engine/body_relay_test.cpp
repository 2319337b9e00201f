#include "engine/body_relay.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "engine/body_relay_fixture.h"
#include "engine/engine_test_support.h"
#include "support/loopback.h"
#include "texts.h"

namespace korvanel {
namespace {

using testing::PatternBytes;
using testing::ReadToClose;
using testing::WriteAll;

// Decodes the proxy's chunked output strictly: lower-case sizes of 1..4094, the given line
// end everywhere, a final "0" and terminator. Returns false on any deviation.
bool DecodeProxyChunks(const std::string& wire, std::string_view line_end, std::string& body,
                       int* chunks = nullptr) {
    std::size_t at = 0;
    body.clear();
    if (chunks) *chunks = 0;
    for (;;) {
        std::size_t end = wire.find(line_end, at);
        if (end == std::string::npos) return false;
        std::string size_text = wire.substr(at, end - at);
        if (size_text.empty() ||
            size_text.find_first_not_of("0123456789abcdef") != std::string::npos) {
            return false;
        }
        unsigned long size = std::stoul(size_text, nullptr, 16);
        at = end + line_end.size();
        if (size == 0) return wire.substr(at) == line_end && size_text == "0";
        if (size > 4094 || size_text[0] == '0') return false;
        if (wire.size() < at + size + line_end.size()) return false;
        body += wire.substr(at, size);
        at += size;
        if (wire.compare(at, line_end.size(), line_end) != 0) return false;
        at += line_end.size();
        if (chunks) ++*chunks;
    }
}

TEST_F(BodyRelay, RequestBodyCutShortByTheClientFails) {
    long long remaining = 10000;
    std::thread sender([&] {
        WriteAll(client.far, PatternBytes(5000));
        client.far.Close();
    });
    EXPECT_EQ(RelayRequestBody(rt, client.near, upstream.near, buffer, remaining, error),
              RelayResult::kFailed);
    sender.join();
    EXPECT_EQ(error.view(), std::string(text::kClientReceiveError) + "\n");
    EXPECT_EQ(remaining, 10000 - 5000);
}

TEST_F(BodyRelay, LengthRelayForwardsHeadBytesThenExactlyTheRest) {
    const std::string body = PatternBytes(2500000, 3);
    long head = HeadBody(body.substr(0, 777));
    long long remaining = static_cast<long long>(body.size()) - head;
    std::string got;
    // The server keeps its end open: the relay must stop at the length.
    RelayResult result = Run(
        [&] { return RelayLength(rt, client.near, upstream.near, buffer, head, remaining, error); },
        body.substr(777), false, got);
    EXPECT_EQ(result, RelayResult::kComplete);
    EXPECT_EQ(remaining, 0);
    EXPECT_TRUE(got == body);
    EXPECT_EQ(rt.server.bytes_received, body.size() - 777);
}

TEST_F(BodyRelay, LengthRelayReportsAServerThatCloses) {
    // At a piece boundary the relay sees nothing more: an error.
    long long remaining = 2 * kRelayPiece + 10;
    std::string got;
    RelayResult result = Run(
        [&] { return RelayLength(rt, client.near, upstream.near, buffer, 0, remaining, error); },
        PatternBytes(2 * kRelayPiece), true, got);
    EXPECT_EQ(result, RelayResult::kFailed);
    EXPECT_EQ(error.view(), std::string(text::kServerReceiveError) + "\n");
    EXPECT_EQ(got.size(), 2u * kRelayPiece);
}

TEST_F(BodyRelay, LengthRelayEndsNormallyWhenTheServerClosesInsideAPiece) {
    long long remaining = 100000;
    std::string got;
    const std::string sent = PatternBytes(kRelayPiece + 100);
    RelayResult result = Run(
        [&] { return RelayLength(rt, client.near, upstream.near, buffer, 0, remaining, error); },
        sent, true, got);
    EXPECT_EQ(result, RelayResult::kClosedInPiece);
    EXPECT_TRUE(got == sent);
}

// The server's chunked encoding of `body` in chunks of `chunk`, with `size_format`.
std::string EncodeChunks(const std::string& body, std::size_t chunk, const char* size_format,
                         std::string_view line_end, std::string_view ending) {
    std::string wire;
    for (std::size_t at = 0; at < body.size(); at += chunk) {
        std::size_t n = std::min(chunk, body.size() - at);
        char size[64];
        std::snprintf(size, sizeof size, size_format, n);
        wire += size;
        wire += line_end;
        wire += body.substr(at, n);
        wire += line_end;
    }
    wire += ending;
    return wire;
}

TEST_F(BodyRelay, ChunkedAnswersAreReChunkedInPiecesOfAtMost4094) {
    struct Case {
        const char* name;
        std::size_t chunk;
        const char* size_format;
        const char* terminator;
        const char* ending;
    };
    const Case cases[] = {
        {"large chunks", 10000, "%zx", "\r\n\r\n", "0\r\n\r\n"},
        {"upper case, extension", 9999, "%zX;name=value", "\r\n\r\n", "0\r\n\r\n"},
        {"leading zeros, blank", 5000, "000%zx ", "\r\n\r\n", "0\r\nX-Trailer: t\r\n\r\n"},
        {"small chunks", 7, "%zx", "\r\n\r\n", "0\r\n\r\n"},
        {"LF line ends", 4096, "%zx", "\n\n", "0\n\n"},
    };
    for (const Case& c : cases) {
        testing::EngineFixture fresh;
        testing::SocketPair to_client = testing::MakePair(fresh.rt.sockets);
        testing::SocketPair to_server = testing::MakePair(fresh.rt.sockets);
        const std::string body = PatternBytes(c.chunk == 7 ? 3000 : 300000, 5);
        std::string_view terminator(c.terminator);
        std::string_view line_end = terminator.substr(terminator.size() / 2);
        const std::string wire = EncodeChunks(body, c.chunk, c.size_format, line_end, c.ending);
        // The first 1234 bytes came with the head.
        std::memcpy(buffer, wire.data(), 1234);
        std::thread server([&] { WriteAll(to_server.far, wire.substr(1234)); });
        std::string got;
        std::thread reader([&] { got = ReadToClose(to_client.far); });
        EXPECT_EQ(RelayChunked(fresh.rt, to_server.near, to_client.near, buffer, 1234,
                               Terminator(terminator), error),
                  RelayResult::kComplete)
            << c.name << " " << error.view();
        server.join();
        to_client.near.Close();
        reader.join();
        std::string decoded;
        int chunks = 0;
        EXPECT_TRUE(DecodeProxyChunks(got, line_end, decoded, &chunks)) << c.name;
        EXPECT_TRUE(decoded == body) << c.name;
        EXPECT_GE(chunks, static_cast<int>(body.size() / 4094)) << c.name;
        // Everything up to the last size line is read; the blank line or trailer after it is not.
        std::size_t unread = std::string_view(c.ending).size() - 1 - line_end.size();
        EXPECT_EQ(fresh.rt.server.bytes_received, wire.size() - 1234 - unread) << c.name;
    }
}

TEST_F(BodyRelay, ChunkedRelayRefusesBadSizeLines) {
    for (const char* wire :
         {"zz\r\nabc\r\n0\r\n\r\n", "\r\n\r\n", "-5\r\nabc\r\n", "12345678901234567890\r\n"}) {
        testing::EngineFixture fresh;
        testing::SocketPair to_client = testing::MakePair(fresh.rt.sockets);
        testing::SocketPair to_server = testing::MakePair(fresh.rt.sockets);
        WriteAll(to_server.far, wire);
        EXPECT_EQ(RelayChunked(fresh.rt, to_server.near, to_client.near, buffer, 0,
                               Terminator("\r\n\r\n"), error),
                  RelayResult::kFailed)
            << wire;
        EXPECT_EQ(error.view(), "chunked error\n\n") << wire;
    }
    // A size line that never ends.
    testing::EngineFixture fresh;
    testing::SocketPair to_client = testing::MakePair(fresh.rt.sockets);
    testing::SocketPair to_server = testing::MakePair(fresh.rt.sockets);
    WriteAll(to_server.far, std::string(200, 'a'));
    EXPECT_EQ(RelayChunked(fresh.rt, to_server.near, to_client.near, buffer, 0,
                           Terminator("\r\n\r\n"), error),
              RelayResult::kFailed);
    EXPECT_EQ(error.view(), "chunked error\n\n");
}

TEST_F(BodyRelay, ChunkedAnswerCutInsideAChunkEndsWithoutTheLastChunk) {
    const std::string body = PatternBytes(9000);
    std::string wire = "2710\r\n" + body;  // promises 10000 bytes, sends 9000
    std::string got;
    EXPECT_EQ(RunChunkedToClose(wire, got), RelayResult::kClosedInPiece);
    std::string decoded;
    EXPECT_FALSE(DecodeProxyChunks(got, "\r\n", decoded));  // no final "0": visibly cut
    EXPECT_EQ(got.find("\r\n0\r\n\r\n"), std::string::npos);
}

TEST_F(BodyRelay, ChunkedAnswerCutAtAPieceBoundaryIsAReceiveError) {
    std::string wire = "2710\r\n" + PatternBytes(kRelayPiece);  // promises 10000 bytes
    std::string got;
    EXPECT_EQ(RunChunkedToClose(wire, got), RelayResult::kFailed);
    EXPECT_EQ(error.view(), std::string(text::kServerReceiveError) + "\n");
}

TEST(ChunkSize, ReadsTheFirstTokenAsHexadecimal) {
    EXPECT_EQ(ParseChunkSize("1a"), 26);
    EXPECT_EQ(ParseChunkSize("1A;name=value"), 26);
    EXPECT_EQ(ParseChunkSize(" 10 ; x"), 16);
    EXPECT_EQ(ParseChunkSize("0"), 0);
    EXPECT_EQ(ParseChunkSize("000a"), 10);
    EXPECT_EQ(ParseChunkSize("[ff"), 255);
    EXPECT_EQ(ParseChunkSize(""), -1);
    EXPECT_EQ(ParseChunkSize("g1"), -1);
    EXPECT_EQ(ParseChunkSize("1g"), -1);
    EXPECT_EQ(ParseChunkSize("fffffffffffffffff"), -1);
}

}  // namespace
}  // namespace korvanel
