#include "engine/origin_route.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/engine_test_support.h"
#include "texts.h"

namespace korvanel {
namespace {

// Stands for the program's inspector: a route only asks whether there is one.
class NoHandshakes final : public Inspector {
  public:
    HandshakeEnd AcceptClient(Socket&, std::string_view, const HandshakeWait&, std::string&,
                              std::string&) override {
        return HandshakeEnd::kFailed;
    }
    HandshakeEnd ConnectOrigin(Socket&, std::string_view, std::string_view, const HandshakeWait&,
                               std::string&) override {
        return HandshakeEnd::kFailed;
    }
    const std::string& CertificatePath() const override { return path_; }
    const std::string& CertificatePem() const override { return path_; }
    const std::string& ExtraCaFile() const override { return path_; }
    bool FilesChanged() const override { return false; }

  private:
    std::string path_;
};

struct RouteCase {
    const char* label;
    bool inspected;
    const char* proxy;
    const char* line;
    OriginRoute::Kind kind;
    // After ChooseTarget: the host and port the connection goes to and the line sent, or
    // the error text.
    const char* host;
    const char* port;
    const char* sent_line;
    std::string error;
};

class Routes : public ::testing::TestWithParam<RouteCase>, public testing::EngineFixture {
  protected:
    Routes() : connection(Socket(), nullptr) {}
    void SetUp() override {
        const RouteCase& c = GetParam();
        if (c.inspected) {
            connection.site.inspector = std::make_shared<NoHandshakes>();
            connection.site.host = "site.test";
            connection.site.port = "8443";
            connection.site.name = "site.test";
        }
        request.settings.proxy = c.proxy;
        request.request_line = c.line;
        request.request_terminator = "\r\n\r\n";
    }
    ConnectionState connection;
    RequestState request;
};

TEST_P(Routes, ChooseTheTargetOfTheirKind) {
    const RouteCase& c = GetParam();
    OriginRoute route = OriginRoute::ForRequest(connection, request.settings);
    EXPECT_EQ(route.kind(), c.kind);
    StepResult chosen = route.ChooseTarget(rt, request);
    if (!c.error.empty()) {
        EXPECT_EQ(chosen, Ending::kError);
        EXPECT_EQ(request.error.view(), c.error);
        return;
    }
    EXPECT_EQ(chosen, kGoOn);
    EXPECT_EQ(request.host.view(), c.host);
    EXPECT_EQ(request.port.view(), c.port);
    EXPECT_EQ(request.request_line.view(), c.sent_line);
}

std::string Unusable(const char* format, const char* value) {
    char text[256];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Routes,
    ::testing::Values(
        RouteCase{"StraightToTheOriginInOriginForm", false, "",
                  "GET http://a.test:8080/x?y HTTP/1.1\r\n", OriginRoute::Kind::kStraight, "a.test",
                  "8080", "GET /x?y HTTP/1.1\r\n", ""},
        RouteCase{"UpstreamKeepsTheAbsoluteForm", false, "proxy.test:3128",
                  "GET http://a.test/x HTTP/1.1\r\n", OriginRoute::Kind::kUpstream, "proxy.test",
                  "3128", "GET http://a.test/x HTTP/1.1\r\n", ""},
        RouteCase{"InspectedGoesToItsSiteWhateverTheProxy", true, "proxy.test:3128",
                  "GET http://site.test:8443/x HTTP/1.1\r\n", OriginRoute::Kind::kInspected,
                  "site.test", "8443", "GET /x HTTP/1.1\r\n", ""},
        RouteCase{"AProxyWithoutAPortIsUnusable", false, "proxy.test",
                  "GET http://a.test/ HTTP/1.1\r\n", OriginRoute::Kind::kUpstream, "", "", "",
                  Unusable(text::kProxyUnusable, "proxy.test")},
        RouteCase{"PortZeroIsUnusable", false, "proxy.test:0", "GET http://a.test/ HTTP/1.1\r\n",
                  OriginRoute::Kind::kUpstream, "", "", "", Unusable(text::kPortUnusable, "0")}),
    [](const auto& row) { return std::string(row.param.label); });

TEST_P(Routes, OnlyTheInspectedRoadKeepsItsOriginAndNamesItsRequestByUrl) {
    const RouteCase& c = GetParam();
    OriginRoute route = OriginRoute::ForRequest(connection, request.settings);
    EXPECT_FALSE(route.KeepsOrigin(connection)) << "no connection is open";
    connection.upstream = Socket::OpenTcp(rt.sockets);
    ASSERT_TRUE(connection.upstream.valid());
    EXPECT_EQ(route.KeepsOrigin(connection), c.inspected);

    request.request_line = "GET /x HTTP/1.1\r\n";
    route.NameForLog(connection, request);
    EXPECT_EQ(request.request_line.view(),
              c.inspected ? "GET https://site.test:8443/x HTTP/1.1\r\n" : "GET /x HTTP/1.1\r\n");
}

TEST(TunnelRoutes, GoStraightToTheTargetOrToTheProxy) {
    testing::EngineFixture f;
    ConnectTarget target{"a.test", "443", 443};
    RequestState request;
    ASSERT_TRUE(OriginRoute::ForTunnel(request.settings).ChooseTunnelTarget(f.rt, request, target));
    EXPECT_EQ(request.host.view(), "a.test");
    EXPECT_EQ(request.port.view(), "443");

    request.settings.proxy = "proxy.test:3128";
    OriginRoute upstream = OriginRoute::ForTunnel(request.settings);
    EXPECT_EQ(upstream.kind(), OriginRoute::Kind::kUpstream);
    ASSERT_TRUE(upstream.ChooseTunnelTarget(f.rt, request, target));
    EXPECT_EQ(request.host.view(), "proxy.test");
    EXPECT_EQ(request.port.view(), "3128");

    request.settings.proxy = "proxy.test:99999";
    EXPECT_FALSE(upstream.ChooseTunnelTarget(f.rt, request, target));
    EXPECT_EQ(request.error.view(), Unusable(text::kProxyUnusable, "proxy.test:99999"));
}

}  // namespace
}  // namespace korvanel
