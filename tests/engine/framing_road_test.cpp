// Messages whose body another reader could frame otherwise never pass the proxy: such a
// request is refused before any connection to the origin, such an answer never reaches the
// client. A valid spelling the proxy once missed is framed and relayed.
#include <gtest/gtest.h>

#include <string>

#include "engine/proxy_fixture.h"

namespace korvanel {
namespace {

using testing::ReadToClose;
using testing::ReadUntil;
using testing::WriteAll;

class FramingRoad : public ::testing::Test, public testing::ProxyFixture {
  protected:
    std::string Post(const std::string& framing_lines, const std::string& version = "1.1") {
        return "POST " + OriginUrl("/in") + " HTTP/" + version + "\r\nHost: example.test\r\n" +
               framing_lines + "\r\n0\r\n\r\nGET /smuggled HTTP/1.1\r\nHost: example.test\r\n\r\n";
    }
};

struct Refusal {
    const char* name;
    const char* lines;
    const char* version;
    const char* status;
};

const Refusal kRefusals[] = {
    {"BlankBeforeColon", "Content-Length: 5\r\nTransfer-Encoding : chunked\r\n", "1.1", "400"},
    {"LengthAndChunks", "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n", "1.1", "400"},
    {"TwoLengths", "Content-Length: 5\r\nContent-Length: 44\r\n", "1.1", "400"},
    {"FoldedCoding", "Content-Length: 5\r\nX: y\r\n\tTransfer-Encoding: chunked\r\n", "1.1", "400"},
    {"ChunksInHttp10", "Transfer-Encoding: chunked\r\n", "1.0", "400"},
    {"UnknownCoding", "Transfer-Encoding: identity, chunked\r\n", "1.1", "501"},
};

class RefusedRequest : public FramingRoad, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedRequest, NeverReachesTheOrigin) {
    Origin([](Socket& c, int) { ReadToClose(c, nullptr, 2000); });
    ASSERT_TRUE(Start());
    Socket client = Client();
    ASSERT_TRUE(WriteAll(client, Post(GetParam().lines, GetParam().version)));
    std::string answer = ReadToClose(client);
    EXPECT_TRUE(answer.starts_with(std::string("HTTP/1.0 ") + GetParam().status)) << answer;
    EXPECT_EQ(origin->accepted(), 0);
}

INSTANTIATE_TEST_SUITE_P(Smuggling, RefusedRequest, ::testing::ValuesIn(kRefusals),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(FramingRoad, ChunksWithoutASpaceAfterTheColonAreRelayedAsChunks) {
    std::string received;
    Origin([&received](Socket& c, int) {
        received = ReadUntil(c, "0\r\n\r\n");
        WriteAll(c, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
    });
    ASSERT_TRUE(Start());
    Socket client = Client();
    ASSERT_TRUE(WriteAll(client, "POST " + OriginUrl("/in") +
                                     " HTTP/1.1\r\nHost: example.test\r\n"
                                     "Transfer-Encoding:chunked\r\n\r\n4\r\nbody\r\n0\r\n\r\n"));
    std::string answer = ReadToClose(client);
    EXPECT_TRUE(answer.starts_with("HTTP/1.1 200")) << answer;
    EXPECT_TRUE(answer.ends_with("ok")) << answer;
    EXPECT_NE(received.find("4\r\nbody\r\n0\r\n\r\n"), std::string::npos) << received;
}

TEST_F(FramingRoad, AnAnswerFramedTwoWaysGetsTheErrorPage) {
    Origin([](Socket& c, int) {
        ReadUntil(c, "\r\n\r\n");
        WriteAll(c,
                 "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n"
                 "0\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nforged");
    });
    ASSERT_TRUE(Start());
    Socket client = Client();
    ASSERT_TRUE(WriteAll(client, "GET " + OriginUrl() + " HTTP/1.1\r\nHost: example.test\r\n\r\n"));
    std::string answer = ReadToClose(client);
    EXPECT_TRUE(answer.starts_with("HTTP/1.0 500")) << answer;
    EXPECT_EQ(answer.find("forged"), std::string::npos) << answer;
}

}  // namespace
}  // namespace korvanel
