// build/korvanel-check as a user runs it: in a directory with a `data`, inside a network
// namespace with a fake gateway, against a scripted check CGI and scripted proxies.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "checker/check_answer.h"
#include "checker/net_namespace.h"
#include "checker/scripted_server.h"
#include "runtime/runtime.h"
#include "settings/config_file.h"
#include "support/loopback.h"
#include "support/recording_front_end.h"
#include "support/temp_dir.h"

namespace korvanel {
namespace {

using testing::Answer;
using testing::Page;
using testing::ScriptedServer;

const std::string kBanner(kCheckerBanner);

class CheckProgram : public ::testing::Test {
  protected:
    ~CheckProgram() override { testing::StopProcess(gateway_); }

    void WriteData(const std::string& check_address, const std::vector<std::string>& proxies) {
        Runtime rt(front_, dir_.path());
        ApplyNewFileDefaults(rt.settings);
        rt.settings.checkproxyaddress = check_address;
        for (const std::string& address : proxies) {
            ProxyEntry entry;
            entry.address = address;
            entry.kind = "5";
            entry.speed = "55";
            rt.settings.proxies.rows.push_back(entry);
        }
        ASSERT_EQ(WriteConfiguration(rt), 1);
    }
    // Starts the program in the directory with its output in a file (standard error in a
    // second one, when `errors` names it); gives its pid.
    pid_t Start(const char* option = nullptr, const char* errors = nullptr) {
        pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir_.path().c_str()) != 0) _exit(126);
            int out = open("output", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(errors ? open(errors, O_WRONLY | O_CREAT | O_TRUNC, 0644) : out, 2);
            std::string program = std::string(KORVANEL_BINARY_DIR) + "/korvanel-check";
            execl(program.c_str(), "korvanel-check", option, static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid;
    }
    int Wait(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::vector<std::string> KindsInData() {
        Runtime rt(front_, dir_.path());
        EXPECT_EQ(ReadConfiguration(rt), 1);
        std::vector<std::string> kinds;
        for (const ProxyEntry& entry : rt.settings.proxies.rows) kinds.push_back(entry.kind.str());
        return kinds;
    }
    std::string Output() { return testing::ReadFile(dir_.file("output")); }

    testing::RecordingFrontEnd front_;
    testing::TempDir dir_;
    int gateway_ = -1;
};

TEST_F(CheckProgram, WritesTheVerdictsIntoData) {
    KORVANEL_RUN_IN_NET_NAMESPACE();
    gateway_ = testing::StartFakeGateway("203.0.113.5");
    ASSERT_GT(gateway_, 0);
    ScriptedServer cgi(Answer(Page("HTTP/1.0 200 OK", "checker_type: korvanel\r\n", kBanner, 100)));
    ScriptedServer anonymous(Answer(Page("HTTP/1.0 200 OK", "", kBanner, 100)));
    ScriptedServer revealing(Answer(Page("HTTP/1.0 200 OK", "", kBanner + " 203.0.113.5", 100)));
    WriteData("http://" + cgi.address() + "/dizu8d.cgi",
              {anonymous.address(), revealing.address(),
               "127.0.0.1:" + std::to_string(testing::UnusedLoopbackPort())});

    EXPECT_EQ(Wait(Start()), 0) << Output();
    EXPECT_EQ(KindsInData(), (std::vector<std::string>{"9", "6", "3"}));
    std::string output = Output();
    EXPECT_NE(output.find("2: uPnPデバイスにアクセスしIPアドレスを取得....203.0.113.5"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("5: 3 / 3 処理中"), std::string::npos) << output;
    EXPECT_NE(output.find("5: Proxyのﾁｪｯｸを終了しました"), std::string::npos) << output;
}

TEST_F(CheckProgram, NothingToCheckExitsWithOne) {
    KORVANEL_RUN_IN_NET_NAMESPACE();
    gateway_ = testing::StartFakeGateway("203.0.113.5");
    ASSERT_GT(gateway_, 0);
    // A new user's directory: `data` is made, and there is no proxy to check.
    EXPECT_EQ(Wait(Start()), 1);
    EXPECT_NE(Output().find("5: Proxyが登録されていません"), std::string::npos) << Output();
    EXPECT_TRUE(testing::FileExists(dir_.file("data")));
}

TEST_F(CheckProgram, SigintStopsTheRunAndKeepsWhatWasFound) {
    KORVANEL_RUN_IN_NET_NAMESPACE();
    gateway_ = testing::StartFakeGateway("203.0.113.5");
    ASSERT_GT(gateway_, 0);
    ScriptedServer cgi(Answer(Page("HTTP/1.0 200 OK", "checker_type: korvanel\r\n", kBanner, 100)));
    ScriptedServer slow(testing::HoldUntilClosed(20000));
    WriteData("http://" + cgi.address() + "/dizu8d.cgi",
              std::vector<std::string>(12, slow.address()));

    pid_t pid = Start();
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (slow.connections() < 2 && std::chrono::steady_clock::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGINT);
    EXPECT_EQ(Wait(pid), 0) << Output();
    std::vector<std::string> kinds = KindsInData();
    int untouched = 0;
    for (const std::string& kind : kinds) {
        if (kind == "5")
            ++untouched;
        else
            EXPECT_TRUE(kind == "0" || kind == "3") << kind;
    }
    EXPECT_GE(untouched, 4);
    EXPECT_LT(untouched, 12);
}

// The options answer on standard output without touching the directory; an unknown one is
// a usage error on standard error.
TEST_F(CheckProgram, OptionsAnswerAndLeaveDataAlone) {
    const struct {
        const char* option;
        int status;
        const char* on_stdout;
        const char* on_stderr;
    } cases[] = {
        {"--help", 0, "usage: korvanel-check\n", ""},
        {"--version", 0, "korvanel-check ", ""},
        {"--bogus", 2, "", "korvanel-check: unknown option '--bogus'\nusage: korvanel-check\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Wait(Start(c.option, "errors")), c.status) << c.option;
        std::string out = Output(), err = testing::ReadFile(dir_.file("errors"));
        EXPECT_EQ(out.rfind(c.on_stdout, 0), 0u) << c.option << ": " << out;
        EXPECT_EQ(err.rfind(c.on_stderr, 0), 0u) << c.option << ": " << err;
        EXPECT_EQ(out.empty(), *c.on_stdout == '\0') << c.option;
        EXPECT_FALSE(testing::FileExists(dir_.file("data"))) << c.option;
    }
}

}  // namespace
}  // namespace korvanel
