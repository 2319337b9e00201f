// An HTTPS origin of the test's own for the tests of tunnels and inspection: nginx on a free
// loopback port with a certificate of a test CA (ca.pem in the test's folder), real upstream
// proxies from Debian (squid, tinyproxy), and curl through the proxy. Skipped when a program
// is missing.
#pragma once

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

inline constexpr const char* kPrograms[] = {"/usr/bin/curl", "/usr/bin/openssl", "/usr/sbin/nginx",
                                            "/usr/sbin/squid", "/usr/bin/tinyproxy"};

// Runs `command` through the shell; its standard output, and its exit status in `status`.
inline std::string RunShell(const std::string& command, int* status = nullptr) {
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

inline bool Listens(uint16_t port) {
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

class TlsOrigin : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* program : kPrograms) {
            if (::access(program, X_OK) != 0) GTEST_SKIP() << program << " is not installed";
        }
        ::chmod(dir.path().c_str(), 0755);  // nginx, squid and tinyproxy read as other users
        MakeCertificates();
        StartOrigin();
        proxy.rt.settings.https_tunnel = true;
        ASSERT_TRUE(ParseTunnelPorts(std::to_string(origin_port), proxy.rt.settings.tunnel_ports));
        ASSERT_TRUE(proxy.Start());
    }
    // The origin a test runs against; a fixture may start it with more servers.
    virtual void StartOrigin() { StartNginx(); }

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

    // The origin logs what reaches it: "request|User-Agent|Cookie|X-Rule|connection" a line, in
    // origin.log. `server_extra` goes into the origin's server block, `http_extra` (more
    // server blocks) into the http block.
    void StartNginx(const std::string& server_extra = "", const std::string& http_extra = "") {
        origin_port = UnusedLoopbackPort();
        std::string page(1024, 'k');
        WriteFile(dir.file("hello.html"), page);
        const std::string& d = dir.path();
        WriteFile(dir.file("nginx.conf"),
                  "daemon off;\nmaster_process off;\npid " + dir.file("nginx.pid") +
                      ";\nerror_log " + dir.file("nginx-error.log") +
                      " error;\nevents { worker_connections 256; }\nhttp {\n"
                      "    log_format seen "
                      "'$request|$http_user_agent|$http_cookie|$http_x_rule|$connection';\n"
                      "    access_log off;\n    client_body_temp_path " +
                      d + ";\n    proxy_temp_path " + d + ";\n    fastcgi_temp_path " + d +
                      ";\n    uwsgi_temp_path " + d + ";\n    scgi_temp_path " + d +
                      ";\n    server {\n        listen 127.0.0.1:" + std::to_string(origin_port) +
                      " ssl;\n        access_log " + dir.file("origin.log") +
                      " seen;\n        ssl_certificate " + dir.file("srv.pem") +
                      ";\n        ssl_certificate_key " + dir.file("srv.key") + ";\n        root " +
                      d + ";\n" + server_extra + "    }\n" + http_extra + "}\n");
        ASSERT_GT(Spawn("/usr/sbin/nginx -p " + d + " -c " + dir.file("nginx.conf") + " -e " +
                        dir.file("nginx-error.log")),
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

    static constexpr const char* kChromium = "/usr/lib/chromium/chromium";
    static bool HasChromium() {
        return ::access(kChromium, X_OK) == 0 && ::access("/usr/bin/certutil", X_OK) == 0;
    }

    // Headless Chromium with the proxy as its proxy server loads the origin's `path` by a
    // dot-less name (the only names it sends to the proxy, see the flags), trusting `ca_file`
    // through a throw-away NSS database; the page's DOM after its scripts ran.
    std::string ChromiumDump(const std::string& ca_file, const std::string& path) {
        const std::string home = dir.file("home");
        const std::string db = "sql:" + home + "/.pki/nssdb";
        int status = -1;
        RunShell("rm -rf " + home + " && mkdir -p " + home + "/.pki/nssdb && certutil -N" +
                     " --empty-password -d " + db + " && certutil -A -d " + db +
                     " -n testca -t C,, -i " + ca_file,
                 &status);
        EXPECT_EQ(status, 0);
        return RunShell("HOME=" + home + " timeout 60 " + kChromium +
                        " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                        " --disable-background-networking --disable-component-update"
                        " --disable-sync --disable-default-apps --no-default-browser-check"
                        " --disable-features=NetworkTimeServiceQuerying --disable-dev-shm-usage"
                        " --proxy-server=http://127.0.0.1:" +
                        std::to_string(proxy.port) +
                        " '--proxy-bypass-list=<-loopback>;*.*'"
                        " '--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1'"
                        " --user-data-dir=" +
                        dir.file("profile") + " --dump-dom https://localhost:" +
                        std::to_string(origin_port) + path + " 2>/dev/null");
    }

    std::string Expected() const { return std::string(1024, 'k') + " 200"; }

    ProxyHarness proxy;
    TempDir& dir = proxy.dir;
    uint16_t origin_port = 0;
    std::string squid_service;
    std::vector<pid_t> pids_;
};

}  // namespace korvanel::testing
