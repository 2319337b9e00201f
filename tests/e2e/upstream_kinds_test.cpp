// Upstream proxies of every kind as users run them, each a real server from Debian on
// loopback: danted (SOCKS5 without a login, and with one checked against a user of its own
// mount namespace; plain SOCKS4), microsocks (SOCKS5 with a login), `ssh -D` to an sshd the
// test starts with a key it makes (SOCKS5 and SOCKS4a), and Squid asking for a Basic login.
// Plain, tunneled and inspected requests go through each, to an origin named by a name that
// only the proxies know (each runs with a hosts file of its own): a request that went around
// the proxy, or a name looked up here, would not arrive. Refusals reach the browser as the
// error page with the reason, never as a hang. Skipped when a program is missing.
#include <unistd.h>

#include "logging/logger.h"
#include "runtime/tls_files.h"
#include "settings/list_commands.h"
#include "settings/proxy_url.h"
#include "tls/inspector_holder.h"
#include "tls_origin.h"

namespace korvanel::testing {
namespace {

constexpr const char* kSocksPrograms[] = {"/usr/sbin/danted",
                                          "/usr/bin/microsocks",
                                          "/usr/sbin/sshd",
                                          "/usr/bin/ssh",
                                          "/usr/bin/ssh-keygen",
                                          "/usr/bin/unshare",
                                          "/usr/lib/squid/basic_ncsa_auth"};

// The logins the servers take (a blank and a ":" in the passwords on purpose).
constexpr const char* kDanteUser = "kvsocks";
constexpr const char* kDantePassword = "pa ss:w0rd";
constexpr const char* kMicrosocksUser = "alice";
constexpr const char* kMicrosocksPassword = "s3cr:et";
constexpr const char* kSquidUser = "carol";
constexpr const char* kSquidPassword = "sq pass";
// The origin's name, known to the proxies alone.
constexpr const char* kOriginName = "origin.only-proxies.test";

class UpstreamKinds : public TlsOrigin {
  protected:
    void SetUp() override {
        for (const char* program : kSocksPrograms) {
            if (::access(program, X_OK) != 0) GTEST_SKIP() << program << " is not installed";
        }
        if (::geteuid() != 0) GTEST_SKIP() << "sshd and danted's login need root";
        TlsOrigin::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        dante_ = StartDante(false);
        dante_login_ = StartDante(true);
        microsocks_ = UnusedLoopbackPort();
        Spawn(WithOwnHosts(std::string("/usr/bin/microsocks -i 127.0.0.1 -p ") +
                           std::to_string(microsocks_) + " -u " + kMicrosocksUser + " -P " +
                           kMicrosocksPassword));
        ASSERT_TRUE(Listens(microsocks_));
        StartSshTunnel();
        squid_ = StartSquidWithLogin();
    }

    // Plain HTTP beside the HTTPS origin, from the same folder; the origin's certificate
    // names the proxies' name for it too.
    void StartOrigin() override {
        int status = -1;
        RunShell("cd " + dir.path() + " && printf 'subjectAltName=DNS:localhost,DNS:" +
                     kOriginName + "\\nextendedKeyUsage=serverAuth\\n' > ext.cnf" +
                     " && openssl x509 -req -in srv.csr -CA ca.pem -CAkey ca.key -CAcreateserial"
                     " -out srv.pem -days 2 -extfile ext.cnf 2>/dev/null",
                 &status);
        ASSERT_EQ(status, 0);
        WriteFile(dir.file("hosts"),
                  std::string("127.0.0.1 localhost\n127.0.0.1 ") + kOriginName + "\n");
        plain_port_ = UnusedLoopbackPort();
        StartNginx("", "    server {\n        listen 127.0.0.1:" + std::to_string(plain_port_) +
                           ";\n        access_log " + dir.file("plain.log") + " seen;\n" +
                           "        root " + dir.path() + ";\n    }\n");
    }

    // danted with no login, or with a user name and password checked against a passwd and
    // shadow file of the test's own, bound over the system's in a mount namespace.
    uint16_t StartDante(bool with_login) {
        const uint16_t port = UnusedLoopbackPort();
        const std::string name = with_login ? "danted-login" : "danted";
        WriteFile(dir.file(name + ".conf"),
                  "logoutput: " + dir.file(name + ".log") +
                      "\ninternal: 127.0.0.1 port = " + std::to_string(port) +
                      "\nexternal: 127.0.0.1\nclientmethod: none\nsocksmethod: " +
                      (with_login ? "username" : "none") +
                      "\nuser.privileged: root\nuser.unprivileged: nobody\n"
                      "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
                      "socks pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n");
        std::string command = "/usr/sbin/danted -N 1 -f " + dir.file(name + ".conf") + " -p " +
                              dir.file(name + ".pid");
        std::string mounts;
        if (with_login) {
            int status = -1;
            RunShell("cd " + dir.path() + " && cp /etc/passwd passwd && cp /etc/shadow shadow" +
                         " && echo '" + kDanteUser +
                         ":x:64999:65534::/nonexistent:/usr/sbin/nologin' >> passwd && echo \"" +
                         kDanteUser + ":$(openssl passwd -6 '" + kDantePassword +
                         "'):19000:0:99999:7:::\" >> shadow && chmod 600 shadow",
                     &status);
            EXPECT_EQ(status, 0);
            mounts = "mount --bind " + dir.file("passwd") + " /etc/passwd && mount --bind " +
                     dir.file("shadow") + " /etc/shadow && ";
        }
        EXPECT_GT(Spawn(WithOwnHosts(command, mounts)), 0);
        EXPECT_TRUE(Listens(port)) << ReadFile(dir.file(name + ".log"));
        return port;
    }

    // `command` in a mount namespace of its own, where the hosts file knows the origin's
    // name (after the other `mounts`, shell commands ending in "&& ").
    std::string WithOwnHosts(const std::string& command, const std::string& mounts = "") {
        return "/usr/bin/unshare --mount sh -c '" + mounts + "mount --bind " + dir.file("hosts") +
               " /etc/hosts && exec " + command + "'";
    }

    // sshd on a loopback port of its own, with a host key and a user key the test makes,
    // and `ssh -D` logged in to it: the SOCKS server is the ssh client.
    void StartSshTunnel() {
        const uint16_t sshd_port = UnusedLoopbackPort();
        ssh_ = UnusedLoopbackPort();
        int status = -1;
        RunShell("mkdir -p /run/sshd && cd " + dir.path() +
                     " && ssh-keygen -q -t ed25519 -N '' -f host_key && ssh-keygen -q -t ed25519"
                     " -N '' -f user_key && cp user_key.pub authorized_keys",
                 &status);
        ASSERT_EQ(status, 0);
        WriteFile(dir.file("sshd_config"),
                  "Port " + std::to_string(sshd_port) + "\nListenAddress 127.0.0.1\nHostKey " +
                      dir.file("host_key") + "\nAuthorizedKeysFile " + dir.file("authorized_keys") +
                      "\nPidFile none\nUsePAM no\nStrictModes no\n"
                      "PermitRootLogin prohibit-password\nPasswordAuthentication no\n"
                      "KbdInteractiveAuthentication no\nAllowTcpForwarding yes\n");
        ASSERT_GT(Spawn(WithOwnHosts("/usr/sbin/sshd -D -e -f " + dir.file("sshd_config"))), 0);
        ASSERT_TRUE(Listens(sshd_port));
        ASSERT_GT(Spawn("/usr/bin/ssh -N -D 127.0.0.1:" + std::to_string(ssh_) + " -i " +
                        dir.file("user_key") +
                        " -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null"
                        " -o BatchMode=yes -o ExitOnForwardFailure=yes -p " +
                        std::to_string(sshd_port) + " root@127.0.0.1"),
                  0);
        ASSERT_TRUE(Listens(ssh_));
    }

    uint16_t StartSquidWithLogin() {
        const uint16_t port = UnusedLoopbackPort();
        int status = -1;
        RunShell("cd " + dir.path() + " && printf '%s:%s\\n' " + kSquidUser +
                     " \"$(openssl passwd -apr1 '" + kSquidPassword +
                     "')\" > squid.passwd && chmod 644 squid.passwd",
                 &status);
        EXPECT_EQ(status, 0);
        WriteFile(dir.file("squid-login.conf"),
                  "http_port 127.0.0.1:" + std::to_string(port) +
                      "\nauth_param basic program /usr/lib/squid/basic_ncsa_auth " +
                      dir.file("squid.passwd") +
                      "\nauth_param basic realm kvtest\nacl users proxy_auth REQUIRED\n"
                      "http_access allow users\nhttp_access deny all\ncache deny all\n"
                      "cache_mem 0 MB\naccess_log none\ncache_store_log none\n"
                      "cache_log /dev/null\npid_filename none\nnetdb_filename none\n"
                      "logfile_rotate 0\nshutdown_lifetime 0 seconds\npinger_enable off\n"
                      "cache_effective_user proxy\ncoredump_dir " +
                      dir.path() + "\n");
        EXPECT_GT(Spawn(WithOwnHosts("/usr/sbin/squid -N -n kvlogin" + std::to_string(::getpid()) +
                                     " -f " + dir.file("squid-login.conf"))),
                  0);
        EXPECT_TRUE(Listens(port));
        return port;
    }

    // The proxy as a user enters it, registered and put in use as the proxy page does.
    void UseProxy(const std::string& typed) {
        ProxyUrl url;
        ASSERT_EQ(ParseProxyUrl(typed, url), ProxyUrlParse::kParsed) << typed;
        ASSERT_EQ(AddProxyUrlCommand(proxy.rt, url), 1);
        int last = 0;
        {
            Hold hold(proxy.rt.locks.settings);
            last = proxy.rt.settings.proxies.size() - 1;
        }
        int in_use = -1;
        ASSERT_EQ(FindProxyInUseCommand(proxy.rt, in_use), 1);
        if (in_use >= 0) {
            ASSERT_EQ(ReleaseProxyCommand(proxy.rt, in_use), 1);
        }
        ASSERT_EQ(UseProxyCommand(proxy.rt, last), 1);
    }

    std::string Socks(const char* scheme, uint16_t port, const std::string& login = "") {
        return std::string(scheme) + "://" + (login.empty() ? "" : login + "@") +
               "127.0.0.1:" + std::to_string(port);
    }

    // curl through the proxy; the body, then the answer's code.
    std::string Fetch(const std::string& url, const std::string& more = "") {
        return RunShell(
            "curl -s --noproxy '' --max-time 20 -x 127.0.0.1:" + std::to_string(proxy.port) + " " +
            more + " -w ' %{http_code}' '" + url + "' 2>>" + dir.file("curl.log"));
    }
    std::string Plain(const std::string& host = kOriginName) {
        return Fetch("http://" + host + ":" + std::to_string(plain_port_) + "/hello.html");
    }
    std::string Tunneled() {
        return Fetch(std::string("https://") + kOriginName + ":" + std::to_string(origin_port) +
                         "/hello.html",
                     "--cacert " + dir.file("ca.pem"));
    }
    std::string Inspected() {
        Change([&](Settings& s) {
            s.https_inspect = true;
            s.extra_ca_file = dir.file("ca.pem");
        });
        PrepareInspection(proxy.rt);
        std::string got = Fetch("https://localhost:" + std::to_string(origin_port) + "/hello.html",
                                "--cacert " + dir.file(kAuthorityCertificateFile));
        Change([](Settings& s) { s.https_inspect = false; });
        return got;
    }

    std::string SentHeaders() {
        FlushLog(proxy.rt, proxy.rt.logs.send_headers);
        FlushLog(proxy.rt, proxy.rt.logs.header_pairs);
        FlushLog(proxy.rt, proxy.rt.logs.access);
        return proxy.front.pane(Pane::kSendHeaders) + proxy.front.pane(Pane::kHeaderPairs) +
               proxy.front.pane(Pane::kAccess);
    }

    uint16_t plain_port_ = 0;
    uint16_t dante_ = 0;
    uint16_t dante_login_ = 0;
    uint16_t microsocks_ = 0;
    uint16_t ssh_ = 0;
    uint16_t squid_ = 0;
};

TEST_F(UpstreamKinds, EveryRoadGoesThroughEachKind) {
    const std::string dante_login = std::string(kDanteUser) + ":pa%20ss%3Aw0rd";
    const std::string microsocks_login = std::string(kMicrosocksUser) + ":" + kMicrosocksPassword;
    const std::string squid_login = std::string(kSquidUser) + ":sq%20pass";
    struct Case {
        const char* name;
        std::string typed;
    };
    const Case cases[] = {
        {"danted", Socks("socks5", dante_)},
        {"danted with a login", Socks("socks5h", dante_login_, dante_login)},
        {"microsocks with a login", Socks("socks5", microsocks_, microsocks_login)},
        {"ssh -D, SOCKS5", Socks("socks5", ssh_)},
        {"ssh -D, SOCKS4a", Socks("socks4a", ssh_)},
        {"squid with a login", "http://" + squid_login + "@127.0.0.1:" + std::to_string(squid_)},
    };
    // Straight, the name is not known here: nothing arrives.
    EXPECT_TRUE(Plain().ends_with(" 500"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UseProxy(c.typed);
        EXPECT_EQ(Plain(), Expected()) << ReadFile(dir.file("curl.log"));
        EXPECT_EQ(Tunneled(), Expected()) << ReadFile(dir.file("curl.log"));
        EXPECT_EQ(Inspected(), Expected()) << ReadFile(dir.file("curl.log"));
    }
    // Through SOCKS the origin got the request in origin form, as from a browser.
    EXPECT_NE(ReadFile(dir.file("plain.log")).find("GET /hello.html HTTP/1.1"), std::string::npos);
    // danted's SOCKS4 is plain SOCKS4: an address it takes (a name it does not, below).
    UseProxy(Socks("socks4", dante_));
    EXPECT_EQ(Plain("127.0.0.1"), Expected());
    // No header log and no access line shows a password.
    const std::string logs = SentHeaders();
    EXPECT_NE(logs.find("Proxy-Authorization: Basic ********"), std::string::npos);
    for (const char* secret : {kSquidPassword, "c3EgcGFzcw", "Y2Fyb2w6c3EgcGFzcw=="}) {
        EXPECT_EQ(logs.find(secret), std::string::npos) << secret;
    }
}

// What the user sees when a SOCKS proxy says no, or says nothing.
TEST_F(UpstreamKinds, RefusalsReachTheBrowserWithTheirReason) {
    // A port that takes connections and never answers: the greeting's answer times out.
    SocketRegistry registry;
    Socket silent = Socket::OpenTcp(registry);
    ASSERT_TRUE(silent.Bind({0x7F000001, 0}) && silent.Listen(4));
    Ipv4Endpoint silent_at;
    ASSERT_TRUE(silent.LocalEndpoint(silent_at));
    const uint16_t closed_port = UnusedLoopbackPort();
    struct Case {
        const char* name;
        std::string typed;
        std::string target;
        std::string reason;
    };
    const Case cases[] = {
        {"a wrong password", Socks("socks5", microsocks_, "alice:wrong"), "localhost",
         "ログインを拒否されました"},
        {"no login where one is needed", Socks("socks5", dante_login_), "localhost",
         "ログインが必要です"},
        {"a SOCKS4 server given a name", Socks("socks4a", dante_), "localhost",
         "拒否されたか、接続できませんでした"},
        {"a target that refuses", Socks("socks5", ssh_), "",
         "127.0.0.1:" + std::to_string(closed_port) + " に接続できません"},
        {"a proxy that is not there", Socks("socks5", closed_port), "localhost",
         "に接続できません"},
        {"a proxy that never answers", Socks("socks5", silent_at.port), "localhost",
         "SOCKSサーバの応答がありません"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UseProxy(c.typed);
        const std::string url =
            c.target.empty() ? "http://127.0.0.1:" + std::to_string(closed_port) + "/"
                             : "http://" + c.target + ":" + std::to_string(plain_port_) + "/";
        const std::string page = Fetch(url);
        EXPECT_TRUE(page.ends_with(" 500")) << page;
        EXPECT_NE(page.find(c.reason), std::string::npos) << page;
    }
}

}  // namespace
}  // namespace korvanel::testing
