// HTTPS inspection as a user meets it: curl trusting the proxy's own CA reaches an nginx
// origin (trusted through the extra CA file), and every rewrite reaches the decrypted
// requests; origins whose certificates do not verify never see a request; hosts left alone
// are tunneled untouched; a WebSocket upgrade is relayed both ways.
#include <sys/stat.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "runtime/tls_files.h"
#include "settings/config_values.h"
#include "texts.h"
#include "tls/inspector_holder.h"
#include "tls_origin.h"

namespace korvanel::testing {
namespace {

// A certificate for localhost that the origin anchors do not vouch for, by kind.
struct BadOrigin {
    const char* name;
    const char* make;  // shell lines that write <name>.pem and <name>.key
    const char* reason;
};

const BadOrigin kBadOrigins[] = {
    {"stranger",
     "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout other.key"
     " -out other.pem -days 2 -subj /CN=Other -addext basicConstraints=critical,CA:TRUE"
     " && openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout stranger.key"
     " -out stranger.csr -subj /CN=localhost && openssl x509 -req -in stranger.csr -CA other.pem"
     " -CAkey other.key -CAcreateserial -out stranger.pem -days 2 -extfile ext.cnf",
     "証明書を確認できません"},
    {"misnamed",
     "printf 'subjectAltName=DNS:elsewhere.example\\n' > misnamed.cnf"
     " && openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout misnamed.key"
     " -out misnamed.csr -subj /CN=elsewhere.example && openssl x509 -req -in misnamed.csr"
     " -CA ca.pem -CAkey ca.key -CAcreateserial -out misnamed.pem -days 2 -extfile misnamed.cnf",
     "証明書を確認できません"},
    {"selfmade",
     "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout selfmade.key"
     " -out selfmade.pem -days 2 -subj /CN=localhost -addext subjectAltName=DNS:localhost",
     "証明書を確認できません"},
};

class InspectedHttps : public TlsOrigin {
  protected:
    void SetUp() override {
        // The trusted files are looked at for every tunnel.
        proxy.rt.limits.trust_file_look_ms = 0;
        TlsOrigin::SetUp();
        if (IsSkipped()) return;
        std::string ports = std::to_string(origin_port);
        for (uint16_t port : bad_ports_) ports += "," + std::to_string(port);
        Change([&](Settings& s) {
            ASSERT_TRUE(ParseTunnelPorts(ports, s.tunnel_ports));
            s.https_inspect = true;
            s.extra_ca_file = dir.file("ca.pem");
            s.agent = "KorvanelTest/1";
            s.cookie = "1";
            s.setcookie = "1";
            ASSERT_EQ(StoreSendRow(s, "1:0:X-Rule:applied"), kStored);
            for (TagSwitch& row : s.tag_switches) {
                if (row.tag.view() == "<script" || row.tag.view() == "</script") row.value = "1";
            }
            s.tag_filter_active = ComputeTagFilterActive(s);
        });
        // The authority is made before the first visit (as at a start with inspection on).
        PrepareInspection(proxy.rt);
        ASSERT_EQ(::access(dir.file(kAuthorityCertificateFile).c_str(), R_OK), 0);
    }
    void TearDown() override {
        TlsOrigin::TearDown();
        echo_done_ = true;
        if (echo_.joinable()) echo_.join();
    }

    void StartOrigin() override {
        std::string servers;
        for (const BadOrigin& bad : kBadOrigins) {
            int status = -1;
            RunShell(std::string("cd ") + dir.path() + " && (" + bad.make + ") 2>/dev/null",
                     &status);
            ASSERT_EQ(status, 0) << bad.name;
            ::chmod(dir.file(std::string(bad.name) + ".key").c_str(), 0644);
            uint16_t port = UnusedLoopbackPort();
            bad_ports_.push_back(port);
            servers +=
                "    server {\n        listen 127.0.0.1:" + std::to_string(port) +
                " ssl;\n        access_log " + dir.file(std::string(bad.name) + ".log") +
                " seen;\n        ssl_certificate " + dir.file(std::string(bad.name) + ".pem") +
                ";\n        ssl_certificate_key " + dir.file(std::string(bad.name) + ".key") +
                ";\n        root " + dir.path() + ";\n    }\n";
        }
        WriteFile(dir.file("plain.txt"), "plain\n");
        WriteFile(dir.file("script.html"),
                  "<html><body><script>document.title='ran'</script><p>kept</p></body></html>");
        StartEcho();
        StartNginx(
            "        add_header Set-Cookie \"sid=1\";\n"
            "        location /ws {\n            proxy_pass http://127.0.0.1:" +
                std::to_string(echo_port_) +
                ";\n            proxy_http_version 1.1;\n"
                "            proxy_set_header Upgrade $http_upgrade;\n"
                "            proxy_set_header Connection upgrade;\n        }\n",
            servers);
    }

    // A WebSocket origin in plain HTTP: answers the upgrade, then echoes what comes.
    void StartEcho() {
        SocketRegistry* registry = &echo_registry_;
        echo_listening_ = Socket::OpenTcp(*registry);
        echo_listening_.SetReuseAddress();
        ASSERT_TRUE(echo_listening_.Bind({0x7F000001, 0}) && echo_listening_.Listen(4));
        Ipv4Endpoint local;
        ASSERT_TRUE(echo_listening_.LocalEndpoint(local));
        echo_port_ = local.port;
        echo_ = std::thread([this] {
            for (;;) {
                Socket peer;
                int family = 0;
                // Waits in steps, so that the test's end ends it at once.
                while (echo_listening_.WaitReadable(100) != PollResult::kReady) {
                    if (echo_done_) return;
                }
                if (echo_listening_.Accept(peer, family).status != IoStatus::kOk) return;
                ReadUntil(peer, "\r\n\r\n");
                WriteAll(peer,
                         "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
                         "Connection: Upgrade\r\n\r\n");
                char buffer[256];
                while (peer.WaitReadable(3000) == PollResult::kReady) {
                    IoResult got = peer.Receive(buffer, sizeof buffer);
                    if (got.status != IoStatus::kOk) break;
                    WriteAll(peer, std::string("echo:") + std::string(buffer, got.bytes));
                }
            }
        });
    }

    // curl trusting the proxy's own CA: the bodies of `paths`, one connection for all.
    std::string CurlInspected(const std::vector<std::string>& paths, uint16_t port,
                              const std::string& extra = "") {
        std::string urls;
        for (const std::string& path : paths) {
            urls += " https://localhost:" + std::to_string(port) + path;
        }
        return RunShell("curl -s --noproxy '' --max-time 20 --cacert " +
                        dir.file(kAuthorityCertificateFile) +
                        " -x 127.0.0.1:" + std::to_string(proxy.port) + " -b sid=secret -D " +
                        dir.file("heads") + " " + extra + urls + " 2>>" + dir.file("curl.log"));
    }

    std::vector<uint16_t> bad_ports_;
    SocketRegistry echo_registry_;
    Socket echo_listening_;
    uint16_t echo_port_ = 0;
    std::atomic<bool> echo_done_{false};
    std::thread echo_;
};

TEST_F(InspectedHttps, EveryRewriteReachesTheDecryptedRequests) {
    const std::string body =
        CurlInspected({"/plain.txt", "/plain.txt", "/script.html"}, origin_port);
    EXPECT_EQ(body,
              "plain\nplain\n<html><body><!--<script>-->document.title='ran'<!--</script>-->"
              "<p>kept</p></body></html>")
        << ReadFile(dir.file("curl.log"));
    // The origin saw the replaced User-Agent, no cookie and the rule's header.
    const std::string seen = ReadFile(dir.file("origin.log"));
    EXPECT_NE(seen.find("GET /plain.txt HTTP/1.1|KorvanelTest/1|-|applied"), std::string::npos)
        << seen;
    EXPECT_EQ(seen.find("secret"), std::string::npos);
    // The first two went over one kept connection to the origin (an HTML page filtered
    // ends its connection).
    std::vector<std::string> connections;
    std::istringstream lines(seen);
    for (std::string line; std::getline(lines, line);) {
        connections.push_back(line.substr(line.rfind('|')));
    }
    ASSERT_EQ(connections.size(), 3u) << seen;
    EXPECT_EQ(connections[0], connections[1]) << seen;
    EXPECT_EQ(ReadFile(dir.file("heads")).find("Set-Cookie"), std::string::npos);
    // The CA's key is the user's alone; the access log names the pages by their URLs.
    struct stat key {};
    ASSERT_EQ(::stat(dir.file(kAuthorityKeyFile).c_str(), &key), 0);
    EXPECT_EQ(key.st_mode & 0777, 0600u);
    std::string access;
    {
        Hold hold(proxy.rt.logs.access.lock);
        access = std::string(proxy.rt.logs.access.view());
    }
    EXPECT_NE(access.find("\"GET https://localhost:" + std::to_string(origin_port) +
                          "/script.html HTTP/1.1\""),
              std::string::npos)
        << access;
}

TEST_F(InspectedHttps, OriginsThatDoNotVerifyNeverSeeTheRequest) {
    for (std::size_t i = 0; i < std::size(kBadOrigins); ++i) {
        SCOPED_TRACE(kBadOrigins[i].name);
        const std::string page = CurlInspected({"/hello.html"}, bad_ports_[i]);
        EXPECT_NE(page.find(kBadOrigins[i].reason), std::string::npos) << page;
        EXPECT_EQ(ReadFile(dir.file(std::string(kBadOrigins[i].name) + ".log")), "");
    }
}

// Trust the user takes back (here the key made readable by others) ends inspection at
// once: the next tunnel is refused and the browsers are offered no authority, until the
// files are sound again.
TEST_F(InspectedHttps, TrustFailsClosedWhenTheAuthorityFilesChange) {
    const std::string key = dir.file(kAuthorityKeyFile);
    EXPECT_EQ(CurlInspected({"/plain.txt"}, origin_port), "plain\n");
    ASSERT_EQ(::chmod(key.c_str(), 0644), 0);
    EXPECT_EQ(CurlInspected({"/plain.txt"}, origin_port), "");
    EXPECT_NE(ReadFile(dir.file("heads")).find(" 502 "), std::string::npos)
        << ReadFile(dir.file("heads"));
    {
        std::lock_guard<std::mutex> hold(proxy.rt.tls.mutex);
        EXPECT_TRUE(proxy.rt.authority_pem.empty());
    }
    EXPECT_TRUE(PollUntil(
        [&] {
            return proxy.front.pane(Pane::kStatus).find(text::kKeyReadableByOthers) !=
                   std::string::npos;
        },
        3000))
        << proxy.front.pane(Pane::kStatus);
    ASSERT_EQ(::chmod(key.c_str(), 0600), 0);
    EXPECT_EQ(CurlInspected({"/plain.txt"}, origin_port), "plain\n");
}

// An origin that ends a length-less answer with close_notify: the client gets the whole
// answer and close_notify too. One that ends it with a bare TCP close cut it short (or an
// attacker did): the client's connection is reset, never ended as whole.
TEST_F(InspectedHttps, ALengthlessAnswerIsWholeOnlyWhenTheOriginSaysSoOverTls) {
    const uint16_t port = UnusedLoopbackPort();
    WriteFile(dir.file("ends.py"),
              "import os, socket, ssl, sys\n"
              "context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)\n"
              "context.load_cert_chain(sys.argv[2] + '/srv.pem', sys.argv[2] + '/srv.key')\n"
              "listener = socket.create_server(('127.0.0.1', int(sys.argv[1])))\n"
              "while True:\n"
              "    raw, _ = listener.accept()\n"
              "    try:\n"
              "        tls = context.wrap_socket(raw, server_side=True)\n"
              "        request = b''\n"
              "        while b'\\r\\n\\r\\n' not in request:\n"
              "            request += tls.recv(4096)\n"
              "        tls.sendall(b'HTTP/1.1 200 OK\\r\\nContent-Type: text/plain\\r\\n\\r\\n'"
              " + b'x' * 5000)\n"
              "        if b' /whole' in request:\n"
              "            tls.unwrap()\n"
              "            tls.close()\n"
              "        else:\n"
              "            os.close(tls.detach())\n"
              "    except OSError:\n"
              "        pass\n");
    ASSERT_GT(
        Spawn("python3 " + dir.file("ends.py") + " " + std::to_string(port) + " " + dir.path()), 0);
    ASSERT_TRUE(Listens(port));
    Change([&](Settings& s) { s.tunnel_ports.ports[s.tunnel_ports.count++] = port; });
    struct Case {
        const char* path;
        int curl_status;
    };
    for (const Case& c : {Case{"/whole", 0}, Case{"/cut", 56}}) {
        SCOPED_TRACE(c.path);
        int status = -1;
        const std::string body = RunShell("curl -s --noproxy '' --max-time 20 --cacert " +
                                              dir.file(kAuthorityCertificateFile) +
                                              " -x 127.0.0.1:" + std::to_string(proxy.port) +
                                              " https://localhost:" + std::to_string(port) + c.path,
                                          &status);
        EXPECT_EQ(status, c.curl_status);
        if (c.curl_status == 0) {
            EXPECT_EQ(body, std::string(5000, 'x'));
        }
    }
    std::string access;
    EXPECT_TRUE(PollUntil(
        [&] {
            Hold hold(proxy.rt.logs.access.lock);
            access = std::string(proxy.rt.logs.access.view());
            return access.find("/cut") != std::string::npos;
        },
        3000));
    EXPECT_NE(access.find("E127.0.0.1"), std::string::npos) << access;
    EXPECT_EQ(access.find("E127.0.0.1"), access.rfind("E127.0.0.1")) << access;
}

TEST_F(InspectedHttps, TheSameThroughARealUpstreamProxyAndForHostsLeftAlone) {
    const uint16_t squid = StartSquid();
    Change([&](Settings& s) { s.proxy = "127.0.0.1:" + std::to_string(squid); });
    EXPECT_EQ(CurlInspected({"/hello.html"}, origin_port), std::string(1024, 'k'))
        << ReadFile(dir.file("curl.log"));
    // A host left alone is tunneled: curl meets the origin's own certificate.
    Change([](Settings& s) { s.inspect_except = {"localhost"}; });
    EXPECT_EQ(Curl(), Expected()) << ReadFile(dir.file("curl.log"));
}

// A real browser trusting the user's CA: the page comes through decrypted, with its scripts
// turned into comments, so none of them runs.
TEST_F(InspectedHttps, HeadlessChromiumRunsNoScriptOfAnInspectedPage) {
    if (!HasChromium()) GTEST_SKIP() << "chromium or certutil is not installed";
    WriteFile(dir.file("browser.html"),
              "<html><body><p id=\"x\">inspected</p>"
              "<script>document.body.setAttribute('data-ran', 'yes')</script></body></html>");
    const std::string page = ChromiumDump(dir.file(kAuthorityCertificateFile), "/browser.html");
    EXPECT_NE(page.find("<p id=\"x\">inspected</p>"), std::string::npos) << page;
    EXPECT_NE(page.find("<!--<script>-->"), std::string::npos) << page;
    EXPECT_EQ(page.find("data-ran=\"yes\""), std::string::npos) << page;
}

// Plain HTTP to the echo origin, and inspected HTTPS to nginx, which passes the upgrade on.
TEST_F(InspectedHttps, AWebSocketUpgradeIsRelayedBothWays) {
    const std::string talk =
        "(printf 'GET %s HTTP/1.1\\r\\nHost: localhost\\r\\nUpgrade: websocket\\r\\n"
        "Connection: Upgrade\\r\\n\\r\\n'; sleep 1; printf 'ping'; sleep 1) | timeout 10 ";
    const std::string proxy_port = std::to_string(proxy.port);
    const struct {
        const char* name;
        std::string command;
    } cases[] = {
        {"plain", "bash -c '" + std::string() + "exec 3<>/dev/tcp/127.0.0.1/" + proxy_port +
                      " 4<&0; cat <&4 >&3 & timeout 4 cat <&3'"},
        {"inspected", "openssl s_client -quiet -no_ign_eof -proxy 127.0.0.1:" + proxy_port +
                          " -connect localhost:" + std::to_string(origin_port) +
                          " -servername localhost -CAfile " + dir.file(kAuthorityCertificateFile)},
    };
    const std::string targets[] = {"http://127.0.0.1:" + std::to_string(echo_port_) + "/ws", "/ws"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(cases[i].name);
        char line[400];
        std::snprintf(line, sizeof line, talk.c_str(), targets[i].c_str());
        const std::string answer = RunShell(line + cases[i].command + " 2>" + dir.file("talk.log"));
        EXPECT_NE(answer.find("HTTP/1.1 101"), std::string::npos)
            << answer << ReadFile(dir.file("talk.log"));
        EXPECT_NE(answer.find("echo:ping"), std::string::npos) << answer;
    }
}

}  // namespace
}  // namespace korvanel::testing
