// The built program, run headless in a fresh directory.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/socket.h"
#include "support/built_program.h"
#include "support/loopback.h"
#include "support/proxy_harness.h"
#include "support/temp_dir.h"
#include "texts.h"

namespace korvanel {
namespace {

using testing::BuiltProgram;
using testing::DefaultDataWithPort;
using testing::ReadFile;
using testing::TempDir;
using testing::UnusedLoopbackPort;
using testing::WriteFile;

constexpr uint32_t kLoopback = 0x7F000001;

// The program stops within two seconds of SIGINT or SIGTERM; a sanitizer build is allowed
// more, since it runs several times slower.
#ifdef KORVANEL_SANITIZED
constexpr int kStopLimitMs = 6000;
#else
constexpr int kStopLimitMs = 2000;
#endif
constexpr uint16_t kDefaultPort = 8080;

// True when nothing listens on 127.0.0.1:8080.
bool DefaultPortFree() {
    SocketRegistry registry;
    Socket probe = Socket::OpenTcp(registry);
    probe.SetReuseAddress();
    return probe.Bind(Ipv4Endpoint{kLoopback, kDefaultPort});
}

TEST(HeadlessProgram, ServesOnTheDefaultPortAndStopsOnSigint) {
    if (!DefaultPortFree()) GTEST_SKIP() << "127.0.0.1:8080 is in use";
    TempDir dir;
    BuiltProgram program(dir, "korvanel");
    ASSERT_TRUE(program.WaitOutput("サーバを開始しました PORT::8080", 3000)) << program.err();

    SocketRegistry registry;
    Socket client = Socket::OpenTcp(registry);
    if (client.StartConnect(Ipv4Endpoint{kLoopback, kDefaultPort}) ==
        Socket::ConnectStart::kInProgress) {
        ASSERT_EQ(client.WaitWritable(1000), PollResult::kReady);
    }
    ASSERT_EQ(client.ConnectError(), 0);
    auto begin = std::chrono::steady_clock::now();
    while (ReadFile(dir.file("ip_log")).find("127.0.0.1を許可") == std::string::npos) {
        ASSERT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    program.Signal(SIGINT);
    EXPECT_EQ(program.WaitExit(kStopLimitMs), 0);
    EXPECT_NE(program.out().find("サーバを停止しました:."), std::string::npos);
    // The missing `data` was created, and the stop saved it in the writer's form.
    std::string data = ReadFile(dir.file("data"));
    EXPECT_EQ(data.rfind(":TUG_JOB\r\n", 0), 0u);
    EXPECT_NE(data.find(":LOCAL_OR_PASSIVE\r\nlocal\r\n"), std::string::npos);
    EXPECT_NE(data.find(":KORV_PORT\r\n8080\r\n"), std::string::npos);
}

TEST(HeadlessProgram, ListensOnThePortOfData) {
    TempDir dir;
    uint16_t port = UnusedLoopbackPort();
    ASSERT_NE(port, 0);
    WriteFile(dir.file("data"), DefaultDataWithPort(port));
    BuiltProgram program(dir, "korvanel");
    ASSERT_TRUE(program.WaitOutput("PORT::" + std::to_string(port), 3000)) << program.err();
    program.Signal(SIGTERM);
    EXPECT_EQ(program.WaitExit(3000), 0);
    EXPECT_NE(ReadFile(dir.file("data")).find(":KORV_PORT\r\n" + std::to_string(port) + "\r\n"),
              std::string::npos);
}

// Started with inspection on and no authority, the program makes one and says so; the key
// is the user's alone, and `data` keeps its sections after :END.
TEST(HeadlessProgram, InspectionOnMakesTheAuthorityAtStart) {
    TempDir dir;
    uint16_t port = UnusedLoopbackPort();
    const std::string after_end = ":HTTPS_TUNNEL\r\n1\r\n:HTTPS_INSPECT\r\n1\r\n";
    WriteFile(dir.file("data"), DefaultDataWithPort(port) + after_end);
    BuiltProgram program(dir, "korvanel");
    ASSERT_TRUE(program.WaitOutput("CA証明書を作成しました: ./korvanel-ca.pem", 3000))
        << program.err();
    program.Signal(SIGTERM);
    EXPECT_EQ(program.WaitExit(3000), 0);
    namespace fs = std::filesystem;
    EXPECT_EQ(fs::status(dir.file("korvanel-ca.key")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(ReadFile(dir.file("data")).ends_with(":END\r\n" + after_end));
}

TEST(HeadlessProgram, RejectedDataEndsWithTheReadErrorAndIsLeftAlone) {
    TempDir dir;
    std::string damaged = DefaultDataWithPort(1024);  // below the lowest port
    WriteFile(dir.file("data"), damaged);
    BuiltProgram program(dir, "korvanel");
    EXPECT_EQ(program.WaitExit(3000), 1);
    EXPECT_NE(program.err().find(text::kReadErrorTitle), std::string::npos) << program.err();
    EXPECT_NE(program.err().find("dataの読み込みに失敗しました"), std::string::npos);
    EXPECT_EQ(ReadFile(dir.file("data")), damaged);
}

// The tests below keep off the default port: only the first test uses it, so that tests
// running side by side do not take it from each other.
TEST(HeadlessProgram, SigtermStopsToo) {
    TempDir dir;
    uint16_t port = UnusedLoopbackPort();
    ASSERT_NE(port, 0);
    WriteFile(dir.file("data"), DefaultDataWithPort(port));
    BuiltProgram program(dir, "korvanel");
    ASSERT_TRUE(program.WaitOutput("PORT::" + std::to_string(port), 3000)) << program.err();
    program.Signal(SIGTERM);
    EXPECT_EQ(program.WaitExit(kStopLimitMs), 0);
}

// A `data` linked into another folder stays a link; a save that finds the link leading
// nowhere says so on standard error and leaves the link alone.
TEST(HeadlessProgram, LinkedDataStaysALinkAndAFailedSaveIsSaid) {
    TempDir dir;
    uint16_t port = UnusedLoopbackPort();
    ASSERT_NE(port, 0);
    std::filesystem::create_directories(dir.file("dotfiles"));
    const std::string target = dir.file("dotfiles/data");
    WriteFile(target, DefaultDataWithPort(port));
    std::filesystem::create_symlink("dotfiles/data", dir.file("data"));
    BuiltProgram program(dir, "korvanel");
    ASSERT_TRUE(program.WaitOutput("PORT::" + std::to_string(port), 3000)) << program.err();
    // The start's status line saves `data`, through the link.
    EXPECT_TRUE(testing::PollUntil(
        [&] { return ReadFile(target).find(":LOCAL_OR_PASSIVE\r\n") != std::string::npos; }, 3000));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("data")));

    std::filesystem::remove(target);
    program.Signal(SIGTERM);
    EXPECT_EQ(program.WaitExit(kStopLimitMs), 0);
    EXPECT_NE(program.err().find(std::string(text::kSaveErrorTitle) + ": " + text::kSaveErrorText +
                                 "./data -> ./dotfiles/data: "),
              std::string::npos)
        << program.err();
    EXPECT_NE(program.out().find(text::kSaveFailedStatus), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("data")));
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST(HeadlessProgram, PortInUseExitsOneNamingThePort) {
    SocketRegistry registry;
    Socket taken = Socket::OpenTcp(registry);
    Ipv4Endpoint bound;
    ASSERT_TRUE(taken.Bind(Ipv4Endpoint{kLoopback, 0}) && taken.Listen(1) &&
                taken.LocalEndpoint(bound));
    TempDir dir;
    WriteFile(dir.file("data"), DefaultDataWithPort(bound.port));
    BuiltProgram program(dir, "korvanel");
    EXPECT_EQ(program.WaitExit(3000), 1);
    EXPECT_NE(program.err().find(std::to_string(bound.port)), std::string::npos) << program.err();
}

}  // namespace
}  // namespace korvanel
