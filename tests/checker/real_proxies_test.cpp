// A checker run through real proxies: squid from Debian, which passes the client's address
// on, tinyproxy set up not to, and KORVANEL itself, which adds nothing. squid and tinyproxy
// write "Host:" anew from the request's URL; KORVANEL passes the request's own "Host:" on.
//
// The shipped checker CGI runs under lighttpd's mod_cgi as a name-based virtual host,
// kvcheck.test, on port 80 and on another port. Only this test's hosts file knows the name,
// and lighttpd sends a request for any other name to an empty site and refuses a "Host:"
// that differs from the request line's URL.
//
// The proxies see the checker come from 10.77.0.1, an address on a veth pair of the test's
// own namespace, so that the address counts among the machine's own. Skipped when the
// servers are not installed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "checker/cgi_attributes.h"
#include "checker/check_run.h"
#include "checker/checker_fixture.h"
#include "checker/net_namespace.h"
#include "platform/socket.h"
#include "settings/config_file.h"
#include "support/loopback.h"
#include "support/temp_dir.h"

namespace korvanel {
namespace {

constexpr const char kVethSetup[] =
    "ip link add kv0 type veth peer name kv1 && ip addr add 10.77.0.1/24 dev kv0 && "
    "ip link set kv0 up && ip link set kv1 up && ";
constexpr uint32_t kLoopback = 0x7F000001;     // 127.0.0.1
constexpr uint32_t kVethAddress = 0x0A4D0001;  // 10.77.0.1
constexpr const char kSquid[] = "/usr/sbin/squid";
constexpr const char kTinyproxy[] = "/usr/bin/tinyproxy";
constexpr const char kLighttpd[] = "/usr/sbin/lighttpd";
constexpr const char kSiteName[] = "kvcheck.test";
constexpr int kSitePort = 18081;  // the site also listens on port 80
constexpr const char kCgiPath[] = "/cgi-bin/kvcheck.cgi";
constexpr int kListenerWaitSeconds = 15;

// Waits until something listens on `address`:`port`.
bool WaitForListener(uint32_t address, int port) {
    SocketRegistry registry;
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(kListenerWaitSeconds);
    while (std::chrono::steady_clock::now() < give_up) {
        Socket socket = Socket::OpenTcp(registry);
        Ipv4Endpoint target{address, static_cast<uint16_t>(port)};
        if (socket.StartConnect(target) != Socket::ConnectStart::kFailed &&
            socket.WaitWritable(200) == PollResult::kReady && socket.ConnectError() == 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

// The checker's site answers only to its own name (with or without the port); any other
// name gets the empty document root.
std::string LighttpdConfig(const testing::TempDir& dir) {
    std::string port = std::to_string(kSitePort);
    return "server.modules = ( \"mod_cgi\" )\n"
           "server.bind = \"127.0.0.1\"\n"
           "server.port = " +
           port +
           "\n"
           "$SERVER[\"socket\"] == \"127.0.0.1:80\" { }\n"
           "server.errorlog = \"" +
           dir.file("lighttpd.log") +
           "\"\n"
           "server.document-root = \"" +
           dir.file("elsewhere") +
           "\"\n"
           "$HTTP[\"host\"] =~ \"^kvcheck\\.test(:" +
           port +
           ")?$\" {\n"
           "    server.document-root = \"" +
           dir.file("site") +
           "\"\n"
           "    cgi.assign = ( \".cgi\" => \"\" )\n"
           "}\n";
}

class RealProxies : public testing::CheckerTest {
  protected:
    ~RealProxies() override {
        for (int pid : pids_) testing::StopProcess(pid);
    }
    int Spawn(const std::vector<std::string>& argv, std::string* first_line = nullptr) {
        int pid = testing::StartHelper(argv, first_line);
        if (pid > 0) pids_.push_back(pid);
        return pid;
    }
    // Helpers that print nothing: started through a shell that announces them first.
    int SpawnQuiet(const std::string& command) {
        return Spawn({"/bin/sh", "-c", "echo started; exec " + command + " >/dev/null 2>&1"});
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_.file(name)) << text;
    }
    void AddProxy(const std::string& address) {
        ProxyEntry entry;
        entry.address = address;
        rt.settings.proxies.rows.push_back(entry);
    }
    // The shipped CGI under lighttpd, in the foreground; true once both ports listen.
    bool StartCheckerSite() {
        namespace fs = std::filesystem;
        fs::create_directories(dir_.file("site/cgi-bin"));
        fs::create_directories(dir_.file("elsewhere"));
        fs::path cgi = dir_.file("site") + kCgiPath;
        fs::copy_file(std::string(KORVANEL_BINARY_DIR) + "/korvanel-checker", cgi);
        fs::permissions(cgi, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
        Write("lighttpd.conf", LighttpdConfig(dir_));
        return SpawnQuiet(std::string(kLighttpd) + " -D -f " + dir_.file("lighttpd.conf")) > 0 &&
               WaitForListener(kLoopback, kSitePort) && WaitForListener(kLoopback, 80);
    }
    CgiAttributeResult QueryDirectly(const std::string& address) {
        CheckTarget target;
        EXPECT_EQ(ParseCheckAddress(address, target), 1);
        CheckRequest request;
        EXPECT_EQ(BuildCheckRequest(target.host, target.port, target.path, request), 1);
        return QueryCgiAttributes(context, target, request);
    }

    testing::TempDir dir_;
    std::vector<int> pids_;
};

TEST_F(RealProxies, SquidRevealsTinyproxyAndKorvanelDoNot) {
    for (const char* program : {kSquid, kTinyproxy, kLighttpd}) {
        if (access(program, X_OK) != 0) GTEST_SKIP() << program << " is not installed";
    }
    KORVANEL_RUN_IN_NET_NAMESPACE_AFTER(kVethSetup);
    chmod(dir_.path().c_str(), 0777);  // squid works as its own user
    Write("hosts", testing::ReadFile("/etc/hosts") + "\n127.0.0.1 " + kSiteName + "\n");
    ASSERT_TRUE(testing::UseHostsFile(dir_.file("hosts")));
    // A gateway that answers at once, so that the runs need not wait out the discovery.
    ASSERT_GT(
        Spawn({"/usr/bin/python3",
               std::string(KORVANEL_SOURCE_DIR) + "/tests/checker/fake_gateway.py", "203.0.113.5"}),
        0);
    ASSERT_TRUE(StartCheckerSite()) << testing::ReadFile(dir_.file("lighttpd.log"));

    Write("squid.conf",
          "http_port 10.77.0.1:13128\nhttp_access allow all\ncache deny all\n"
          "forwarded_for on\npid_filename " +
              dir_.file("squid.pid") + "\naccess_log none\ncache_log " + dir_.file("cache.log") +
              "\ncache_store_log none\ncoredump_dir " + dir_.path() +
              "\ncache_effective_user proxy\nshutdown_lifetime 0 seconds\n");
    Write("tinyproxy.conf",
          "Port 18888\nListen 10.77.0.1\nTimeout 30\nMaxClients 20\n"
          "Allow 10.77.0.0/24\nXTinyproxy No\nDisableViaHeader Yes\n"
          "LogLevel Critical\n");
    // A service name of its own keeps squid's shared memory apart from any other squid.
    std::string name = "kvchk" + std::to_string(getpid());
    ASSERT_GT(SpawnQuiet(std::string(kSquid) + " -N -n " + name + " -f " + dir_.file("squid.conf")),
              0);
    ASSERT_GT(SpawnQuiet(std::string(kTinyproxy) + " -d -c " + dir_.file("tinyproxy.conf")), 0);
    // The program itself, admitting the checker's address on every local address.
    std::string data = DefaultConfigurationText();
    data.replace(data.find(":KORV_PORT\r\n8080"), 16, ":KORV_PORT\r\n18080");
    data.insert(data.find(":HTTP_VERSION"),
                ":LOCAL_OR_PASSIVE\r\npassive\r\n:ALLOW_USER\r\n10.77.0.1to10.77.0.1\r\n");
    Write("data", data);
    ASSERT_GT(SpawnQuiet("env -C " + dir_.path() + " " + KORVANEL_BINARY_DIR + "/korvanel"), 0);
    ASSERT_TRUE(WaitForListener(kVethAddress, 13128)) << testing::ReadFile(dir_.file("cache.log"));
    ASSERT_TRUE(WaitForListener(kVethAddress, 18888));
    ASSERT_TRUE(WaitForListener(kVethAddress, 18080));

    // The site is really name-based: by its address it is not found.
    CheckLimits real = kCheckLimits;
    real.upnp_delay_ms = 1000;
    limits = real;
    EXPECT_EQ(QueryDirectly("http://127.0.0.1:" + std::to_string(kSitePort) + kCgiPath),
              CgiAttributeResult::kNotSuccess);

    AddProxy("10.77.0.1:13128");
    AddProxy("10.77.0.1:18888");
    AddProxy("10.77.0.1:" + std::to_string(testing::UnusedLoopbackPort()));
    AddProxy("10.77.0.1:18080");
    for (std::string authority :
         {std::string(kSiteName) + ":" + std::to_string(kSitePort), std::string(kSiteName)}) {
        SCOPED_TRACE(authority);
        for (ProxyEntry& entry : rt.settings.proxies.rows) {
            entry.kind = "5";
            entry.speed = "55";
        }
        rt.settings.checkproxyaddress = "http://" + authority + kCgiPath;
        front.SetCheckLine(3, "");
        rt.check_stopped = 1;
        std::thread driver;
        ASSERT_TRUE(StartProxyCheck(rt, driver, real));
        driver.join();

        EXPECT_EQ(front.check_line(3), "ﾁｪｯｸに使うCGIの属性を取得....KORVANEL専用CGI");
        std::vector<std::string> kinds;
        for (const ProxyEntry& entry : rt.settings.proxies.rows) kinds.push_back(entry.kind.str());
        EXPECT_EQ(kinds, (std::vector<std::string>{"6", "9", "3", "9"}));
        for (int row : {0, 1, 3}) EXPECT_NE(rt.settings.proxies.at(row)->speed.view(), "0");
        EXPECT_EQ(rt.settings.proxies.at(2)->speed.view(), "0");
    }
}

}  // namespace
}  // namespace korvanel
