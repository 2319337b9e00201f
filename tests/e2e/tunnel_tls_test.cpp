// HTTPS through the proxy's CONNECT tunnels as a user meets it: curl to an nginx origin with
// a certificate of the test's own CA, straight and through real upstream proxies from
// Debian (squid and tinyproxy), and with the setting off. Skipped when a program is missing.
#include "tls_origin.h"

namespace korvanel::testing {
namespace {

using TlsTunnels = TlsOrigin;

TEST_F(TlsTunnels, CurlReachesTheOriginStraight) {
    for (const char* version : {"-x", "--proxy1.0"}) {
        SCOPED_TRACE(version);
        EXPECT_EQ(Curl(version), Expected()) << ReadFile(dir.file("curl.log"));
    }
    // With the setting off the proxy refuses CONNECT as before, and curl says so.
    proxy.rt.settings.https_tunnel = false;
    EXPECT_EQ(Curl(), " 500");
}

TEST_F(TlsTunnels, CurlReachesTheOriginThroughRealUpstreamProxies) {
    struct Case {
        const char* name;
        uint16_t port;
        std::string expected;
    };
    const Case cases[] = {
        {"squid", StartSquid(), Expected()},
        {"tinyproxy", StartTinyproxy(""), Expected()},
        // A proxy that refuses the port: its answer reaches curl as it came.
        {"tinyproxy refusing", StartTinyproxy("ConnectPort 443\n"), " 403"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        proxy.rt.settings.proxy = "127.0.0.1:" + std::to_string(c.port);
        EXPECT_EQ(Curl(), c.expected) << ReadFile(dir.file("curl.log"));
    }
}

// A real browser: headless Chromium with the proxy as its proxy server loads an https://
// page by a dot-less name (the only names it sends to the proxy, see the flags), trusting
// the test's CA through a throw-away NSS database.
TEST_F(TlsTunnels, HeadlessChromiumLoadsAnHttpsPage) {
    if (!HasChromium()) GTEST_SKIP() << "chromium or certutil is not installed";
    WriteFile(dir.file("tunnel.html"),
              "<html><body><p id=\"x\">through the tunnel</p></body></html>");
    const std::string page = ChromiumDump(dir.file("ca.pem"), "/tunnel.html");
    EXPECT_NE(page.find("<p id=\"x\">through the tunnel</p>"), std::string::npos) << page;
}

}  // namespace
}  // namespace korvanel::testing
