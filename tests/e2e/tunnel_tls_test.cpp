// HTTPS through the proxy's CONNECT tunnels as a user meets it: curl to an nginx origin with
// a certificate of the test's own CA, straight and through real upstream proxies from
// Debian (squid and tinyproxy), and with the setting off. Skipped when a program is missing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "runtime/tunnel_values.h"
#include "support/loopback.h"
#include "support/proxy_harness.h"

namespace korvanel::testing {
namespace {

constexpr const char* kPrograms[] = {"/usr/bin/curl", "/usr/bin/openssl", "/usr/sbin/nginx",
                                     "/usr/sbin/squid", "/usr/bin/tinyproxy"};

// Runs `command` through the shell; its standard output, and its exit status in `status`.
std::string RunShell(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    int ended = ::pclose(pipe);
    if (status != nullptr) *status = WIFEXITED(ended) ? WEXITSTATUS(ended) : -1;
    return out;
}

bool Listens(uint16_t port) {
    return PollUntil(
        [port] {
            SocketRegistry registry;
            Socket socket = Socket::OpenTcp(registry);
            Ipv4Endpoint target{0x7F000001, port};
            return socket.StartConnect(target) != Socket::ConnectStart::kFailed &&
                   socket.WaitWritable(200) == PollResult::kReady && socket.ConnectError() == 0;
        },
        15000);
}

class TlsTunnels : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* program : kPrograms) {
            if (::access(program, X_OK) != 0) GTEST_SKIP() << program << " is not installed";
        }
        ::chmod(dir.path().c_str(), 0755);  // nginx, squid and tinyproxy read as other users
        MakeCertificates();
        StartNginx();
        proxy.rt.settings.https_tunnel = true;
        ASSERT_TRUE(ParseTunnelPorts(std::to_string(origin_port), proxy.rt.settings.tunnel_ports));
        ASSERT_TRUE(proxy.Start());
    }
    void TearDown() override {
        for (pid_t pid : pids_) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }

    void MakeCertificates() {
        const std::string d = dir.path();
        WriteFile(dir.file("ext.cnf"),
                  "subjectAltName=DNS:localhost,IP:127.0.0.1\nextendedKeyUsage=serverAuth\n");
        int status = -1;
        RunShell("cd " + d +
                     " && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes"
                     " -keyout ca.key -out ca.pem -days 2 -subj '/CN=Tunnel Test CA'"
                     " -addext basicConstraints=critical,CA:TRUE"
                     " -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null"
                     " && openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes"
                     " -keyout srv.key -out srv.csr -subj /CN=localhost 2>/dev/null"
                     " && openssl x509 -req -in srv.csr -CA ca.pem -CAkey ca.key -CAcreateserial"
                     " -out srv.pem -days 2 -extfile ext.cnf 2>/dev/null && chmod 644 srv.key",
                 &status);
        ASSERT_EQ(status, 0);
    }

    pid_t Spawn(const std::string& command) {
        pid_t pid = ::fork();
        if (pid == 0) {
            ::execl("/bin/sh", "sh", "-c", ("exec " + command + " >/dev/null 2>&1").c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (pid > 0) pids_.push_back(pid);
        return pid;
    }

    void StartNginx() {
        origin_port = UnusedLoopbackPort();
        std::string page(1024, 'k');
        WriteFile(dir.file("hello.html"), page);
        WriteFile(dir.file("nginx.conf"),
                  "daemon off;\nmaster_process off;\npid " + dir.file("nginx.pid") +
                      ";\nerror_log " + dir.file("nginx-error.log") +
                      " error;\nevents { worker_connections 256; }\nhttp {\n"
                      "    access_log off;\n    client_body_temp_path " +
                      dir.path() + ";\n    proxy_temp_path " + dir.path() +
                      ";\n    fastcgi_temp_path " + dir.path() + ";\n    uwsgi_temp_path " +
                      dir.path() + ";\n    scgi_temp_path " + dir.path() +
                      ";\n    server {\n        listen 127.0.0.1:" + std::to_string(origin_port) +
                      " ssl;\n        ssl_certificate " + dir.file("srv.pem") +
                      ";\n        ssl_certificate_key " + dir.file("srv.key") + ";\n        root " +
                      dir.path() + ";\n    }\n}\n");
        ASSERT_GT(Spawn("/usr/sbin/nginx -p " + dir.path() + " -c " + dir.file("nginx.conf") +
                        " -e " + dir.file("nginx-error.log")),
                  0);
        ASSERT_TRUE(Listens(origin_port)) << ReadFile(dir.file("nginx-error.log"));
    }

    uint16_t StartSquid() {
        uint16_t port = UnusedLoopbackPort();
        WriteFile(dir.file("squid.conf"),
                  "http_port 127.0.0.1:" + std::to_string(port) +
                      "\nhttp_access allow all\ncache deny all\ncache_mem 0 MB\n"
                      "access_log none\ncache_store_log none\ncache_log /dev/null\n"
                      "pid_filename none\nnetdb_filename none\nlogfile_rotate 0\n"
                      "shutdown_lifetime 0 seconds\npinger_enable off\n"
                      "cache_effective_user proxy\ncoredump_dir " +
                      dir.path() + "\n");
        squid_service = "kvtun" + std::to_string(::getpid());
        EXPECT_GT(Spawn("/usr/sbin/squid -N -n " + squid_service + " -f " + dir.file("squid.conf")),
                  0);
        EXPECT_TRUE(Listens(port));
        return port;
    }

    // `connect_ports`: tinyproxy's ConnectPort lines (none: any port).
    uint16_t StartTinyproxy(const std::string& connect_ports) {
        uint16_t port = UnusedLoopbackPort();
        const std::string name = "tinyproxy" + std::to_string(port) + ".conf";
        WriteFile(dir.file(name), "User nobody\nGroup nogroup\nPort " + std::to_string(port) +
                                      "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\n"
                                      "Allow 127.0.0.1\nLogLevel Critical\n" +
                                      connect_ports);
        EXPECT_GT(Spawn("/usr/bin/tinyproxy -d -c " + dir.file(name)), 0);
        EXPECT_TRUE(Listens(port));
        return port;
    }

    // curl through the proxy; its output is the body, then the CONNECT answer's code.
    // `proxy_option`: -x, or --proxy1.0 for a CONNECT in HTTP/1.0.
    std::string Curl(const std::string& proxy_option = "-x") {
        return RunShell("curl -s --noproxy '' --max-time 20 --cacert " + dir.file("ca.pem") + " " +
                        proxy_option + " 127.0.0.1:" + std::to_string(proxy.port) +
                        " -w ' %{http_connect}' https://localhost:" + std::to_string(origin_port) +
                        "/hello.html 2>>" + dir.file("curl.log"));
    }

    std::string Expected() const { return std::string(1024, 'k') + " 200"; }

    ProxyHarness proxy;
    TempDir& dir = proxy.dir;
    uint16_t origin_port = 0;
    std::string squid_service;
    std::vector<pid_t> pids_;
};

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
    const std::string chromium = "/usr/lib/chromium/chromium";
    if (::access(chromium.c_str(), X_OK) != 0 || ::access("/usr/bin/certutil", X_OK) != 0) {
        GTEST_SKIP() << "chromium or certutil is not installed";
    }
    WriteFile(dir.file("tunnel.html"),
              "<html><body><p id=\"x\">through the tunnel</p></body></html>");
    const std::string home = dir.file("home");
    const std::string db = "sql:" + home + "/.pki/nssdb";
    int status = -1;
    RunShell("mkdir -p " + home + "/.pki/nssdb && certutil -N --empty-password -d " + db +
                 " && certutil -A -d " + db + " -n testca -t C,, -i " + dir.file("ca.pem"),
             &status);
    ASSERT_EQ(status, 0);
    const std::string page = RunShell(
        "HOME=" + home + " timeout 60 " + chromium +
        " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
        " --disable-background-networking --disable-component-update --disable-sync"
        " --disable-default-apps --no-default-browser-check"
        " --disable-features=NetworkTimeServiceQuerying --disable-dev-shm-usage"
        " --proxy-server=http://127.0.0.1:" +
        std::to_string(proxy.port) +
        " '--proxy-bypass-list=<-loopback>;*.*'"
        " '--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1'"
        " --user-data-dir=" +
        dir.file("profile") + " --dump-dom https://localhost:" + std::to_string(origin_port) +
        "/tunnel.html 2>/dev/null");
    EXPECT_NE(page.find("<p id=\"x\">through the tunnel</p>"), std::string::npos) << page;
}

}  // namespace
}  // namespace korvanel::testing
