// A checker run through real proxies (squid from Debian, which passes the client's address
// on, tinyproxy set up not to, and KORVANEL itself, which adds nothing), with the shipped
// checker CGI behind a small CGI web server. The proxies see the checker come from 10.77.0.1, an address on a veth pair of the
// test's own namespace, so that the address counts among the machine's own. Skipped when
// the proxies are not installed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "checker/check_run.h"
#include "checker/checker_fixture.h"
#include "checker/net_namespace.h"
#include "checker/scripted_server.h"
#include "platform/socket.h"
#include "settings/config_file.h"
#include "support/loopback.h"
#include "support/temp_dir.h"

namespace korvanel {
namespace {

constexpr const char kVethSetup[] =
    "ip link add kv0 type veth peer name kv1 && ip addr add 10.77.0.1/24 dev kv0 && "
    "ip link set kv0 up && ip link set kv1 up && ";
constexpr const char kSquid[] = "/usr/sbin/squid";
constexpr const char kTinyproxy[] = "/usr/bin/tinyproxy";

// Waits until something listens on 10.77.0.1:`port` (up to 15 s).
bool WaitForListener(int port) {
    SocketRegistry registry;
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < give_up) {
        Socket socket = Socket::OpenTcp(registry);
        Ipv4Endpoint target{0x0A4D0001, static_cast<uint16_t>(port)};
        if (socket.StartConnect(target) != Socket::ConnectStart::kFailed &&
            socket.WaitWritable(200) == PollResult::kReady && socket.ConnectError() == 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
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

    testing::TempDir dir_;
    std::vector<int> pids_;
};

TEST_F(RealProxies, SquidRevealsTinyproxyAndKorvanelDoNot) {
    if (access(kSquid, X_OK) != 0 || access(kTinyproxy, X_OK) != 0) {
        GTEST_SKIP() << "squid or tinyproxy is not installed";
    }
    KORVANEL_RUN_IN_NET_NAMESPACE_AFTER(kVethSetup);
    chmod(dir_.path().c_str(), 0777);  // squid works as its own user

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
    std::string cgi_port;
    ASSERT_GT(
        Spawn({"/usr/bin/python3", std::string(KORVANEL_SOURCE_DIR) + "/tests/checker/cgi_host.py",
               "127.0.0.1", std::string(KORVANEL_BINARY_DIR) + "/korvanel-checker"},
              &cgi_port),
        0);
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
    ASSERT_TRUE(WaitForListener(13128)) << testing::ReadFile(dir_.file("cache.log"));
    ASSERT_TRUE(WaitForListener(18888));
    ASSERT_TRUE(WaitForListener(18080));

    rt.settings.checkproxyaddress = "http://127.0.0.1:" + cgi_port + "/dizu8d.cgi";
    AddProxy("10.77.0.1:13128");
    AddProxy("10.77.0.1:18888");
    AddProxy("10.77.0.1:" + std::to_string(testing::UnusedLoopbackPort()));
    AddProxy("10.77.0.1:18080");
    rt.check_stopped = 1;
    CheckLimits real = kCheckLimits;
    real.upnp_delay_ms = 1000;  // no gateway here: the external address stays unknown
    std::thread driver;
    ASSERT_TRUE(StartProxyCheck(rt, driver, real));
    driver.join();

    EXPECT_EQ(front.check_line(3), "ﾁｪｯｸに使うCGIの属性を取得....KORVANEL専用CGI");
    std::vector<std::string> kinds;
    for (const ProxyEntry& entry : rt.settings.proxies.rows) kinds.push_back(entry.kind.str());
    EXPECT_EQ(kinds, (std::vector<std::string>{"6", "9", "3", "9"}));
    EXPECT_NE(rt.settings.proxies.at(0)->speed.view(), "0");
    EXPECT_NE(rt.settings.proxies.at(1)->speed.view(), "0");
    EXPECT_NE(rt.settings.proxies.at(3)->speed.view(), "0");
}

}  // namespace
}  // namespace korvanel
