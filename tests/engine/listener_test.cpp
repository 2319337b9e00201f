#include "engine/listener.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/listener_handler_table.h"
#include "engine/listener_test_support.h"
#include "engine/server_control.h"
#include "logging/logger.h"
#include "runtime/runtime.h"
#include "support/loopback.h"
#include "support/recording_front_end.h"
#include "support/temp_dir.h"

namespace korvanel {
namespace {

using testing::ClosedByPeer;
using testing::CountersOf;
using testing::PollUntil;

class Listener : public ::testing::Test {
  protected:
    Listener() : rt(front, dir.path()) {
        ApplyNewFileDefaults(rt.settings);
        port = testing::UnusedLoopbackPort();
        rt.settings.port = std::to_string(port);
    }
    ~Listener() override {
        if (rt.server.accept_thread.joinable()) StopServer(rt);
    }

    // Starts the server and waits until the accept thread has announced itself (it does so
    // after StartServer has returned).
    int Start(const ListenerLimits& limits = ListenerLimits{}) {
        int result = StartServer(rt, limits);
        if (result == 1) {
            EXPECT_TRUE(
                PollUntil([&] { return front.label(Label::kServerState) == "作動中"; }, 1000));
        }
        return result;
    }

    int State() {
        Hold hold(rt.locks.server);
        return rt.server.state;
    }

    // Opens `count` clients and waits until every one is held as an active connection.
    void HoldClients(int count) {
        int before = CountersOf(rt).active;
        for (int i = 0; i < count; ++i) {
            held.push_back(testing::Connect(clients, port));
            ASSERT_TRUE(held.back().valid());
        }
        ASSERT_TRUE(PollUntil([&] { return CountersOf(rt).active == before + count; }, 2000));
    }

    testing::TempDir dir;
    testing::RecordingFrontEnd front;
    Runtime rt;
    uint16_t port = 0;
    SocketRegistry clients;
    std::vector<Socket> held;
};

TEST_F(Listener, StartsServesAndStops) {
    ASSERT_EQ(Start(), 1);
    EXPECT_EQ(State(), kServerListening);
    std::string started = "サーバを開始しました PORT::" + std::to_string(port) + "\r\n";
    EXPECT_NE(front.pane(Pane::kStatus).find(started), std::string::npos);
    EXPECT_EQ(front.label(Label::kBindMode), "ローカル");
    EXPECT_EQ(front.label(Label::kServerState), "作動中");

    HoldClients(1);
    EXPECT_EQ(CountersOf(rt).served, 1);
    EXPECT_NE(testing::IpLogOf(rt).find("127.0.0.1を許可"), std::string::npos);
    AddBytesSent(rt, 10);
    AddBytesReceived(rt, 20);

    ASSERT_EQ(StopServer(rt), 1);
    EXPECT_EQ(State(), kServerStopped);
    EXPECT_FALSE(rt.server.accept_thread.joinable());
    EXPECT_TRUE(ClosedByPeer(held[0], 1000));
    EXPECT_NE(front.pane(Pane::kStatus).find("サーバを停止しました:."), std::string::npos);
    EXPECT_EQ(front.label(Label::kServerState), "停止中");
    ConnectionCounters zero = CountersOf(rt);
    EXPECT_EQ(zero.served + zero.active + zero.keep_alive_active + zero.blocked, 0);
    EXPECT_EQ(rt.server.bytes_sent + rt.server.bytes_received, 0u);
    EXPECT_TRUE(front.messages().empty());
}

TEST_F(Listener, AdmittedClientReachesTheIpLogFileWithinASecond) {
    std::thread logger;
    ASSERT_TRUE(StartLogger(rt, logger));
    ASSERT_EQ(Start(), 1);
    HoldClients(1);
    EXPECT_TRUE(PollUntil(
        [&] {
            return testing::ReadFile(rt.PathOf("ip_log")).find("127.0.0.1を許可\r\n") !=
                   std::string::npos;
        },
        1000));
    StopServer(rt);
    StopLogger(rt);
    logger.join();
}

TEST_F(Listener, StartWhileListeningOnlyShowsTheMessage) {
    ASSERT_EQ(Start(), 1);
    ASSERT_EQ(Start(), 1);
    auto messages = front.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, "サーバーは既に開始しています");
    EXPECT_EQ(State(), kServerListening);
    HoldClients(1);
}

TEST_F(Listener, PortInUseFailsAndStateStaysStopped) {
    Socket taken = Socket::OpenTcp(clients);
    ASSERT_TRUE(taken.Bind(Ipv4Endpoint{testing::kLoopback, port}));
    ASSERT_TRUE(taken.Listen(1));
    EXPECT_EQ(StartServer(rt), -1);
    EXPECT_EQ(State(), kServerStopped);
    EXPECT_FALSE(rt.server.accept_thread.joinable());
    EXPECT_TRUE(front.messages().empty());
}

TEST_F(Listener, StartsAgainAfterAStop) {
    ASSERT_EQ(Start(), 1);
    HoldClients(1);
    ASSERT_EQ(StopServer(rt), 1);
    held.clear();
    // The clean-up of the first run must not reach the sockets of the second.
    ASSERT_EQ(Start(), 1);
    HoldClients(2);
    EXPECT_EQ(CountersOf(rt).served, 2);
}

TEST_F(Listener, PassiveModeBlocksClientsOutsideTheRange) {
    rt.settings.localorpassive = "passive";
    ASSERT_EQ(Start(), 1);
    EXPECT_EQ(front.label(Label::kBindMode), "パブリック");

    Socket outsider = testing::ConnectFrom(clients, testing::kLoopback2, port);
    ASSERT_TRUE(outsider.valid());
    EXPECT_TRUE(ClosedByPeer(outsider, 1000));
    EXPECT_TRUE(PollUntil([&] { return CountersOf(rt).blocked == 1; }, 1000));
    EXPECT_NE(testing::IpLogOf(rt).find("127.0.0.2をブロックし切断"), std::string::npos);
    EXPECT_EQ(CountersOf(rt).active, 0);

    HoldClients(1);  // 127.0.0.1 is still admitted
}

TEST_F(Listener, AtMostSixtyActiveConnections) {
    ASSERT_EQ(Start(), 1);
    HoldClients(60);

    Socket extra = testing::Connect(clients, port);
    ASSERT_TRUE(extra.valid());
    EXPECT_TRUE(ClosedByPeer(extra, 500));
    EXPECT_EQ(CountersOf(rt).served, 60);

    held[7].Close();
    ASSERT_TRUE(PollUntil([&] { return CountersOf(rt).active == 59; }, 1000));
    HoldClients(1);
    EXPECT_EQ(CountersOf(rt).served, 61);
}

// Handler threads are kept for the next client: connections one after the other are all
// served by the thread of the first (give or take one still ending when the next comes).
TEST_F(Listener, ClientsOneAfterAnotherReuseTheHandlerThreads) {
    ASSERT_EQ(Start(), 1);
    const int threads_before = testing::ThreadCount();
    const std::set<int> before = testing::ThreadIds();
    std::set<int> handlers;
    for (int i = 0; i < 20; ++i) {
        HoldClients(1);
        for (int id : testing::ThreadIds()) {
            if (!before.contains(id)) handlers.insert(id);
        }
        held.back().Close();
        ASSERT_TRUE(PollUntil([&] { return CountersOf(rt).active == 0; }, 1000));
    }
    EXPECT_EQ(CountersOf(rt).served, 20);
    EXPECT_LE(handlers.size(), 2u);

    // A stop still ends every kept thread.
    ASSERT_EQ(StopServer(rt), 1);
    EXPECT_TRUE(PollUntil([&] { return testing::ThreadCount() < threads_before; }, 1000));
}

// Threads kept for a burst of clients end once idle, but for one kept for the next client.
TEST_F(Listener, KeptThreadsEndWhenIdleButOne) {
    ASSERT_EQ(Start(), 1);
    const int threads_before = testing::ThreadCount();
    HoldClients(10);
    EXPECT_EQ(testing::ThreadCount(), threads_before + 10);
    for (Socket& client : held) client.Close();
    held.clear();
    EXPECT_TRUE(PollUntil([&] { return testing::ThreadCount() == threads_before + 1; },
                          kKeptHandlerIdleMs + 2000));
    HoldClients(1);  // the one kept still serves
}

TEST_F(Listener, StopWithSixtyClientsReleasesEverything) {
    int descriptors_before = testing::OpenDescriptorCount();
    ASSERT_EQ(Start(), 1);
    HoldClients(60);

    auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(StopServer(rt), 1);
    auto took = std::chrono::steady_clock::now() - begin;
    // The stop waits kStopGraceMs before it wakes the accept thread; every handler has
    // ended when StopServer returns.
    EXPECT_LT(took, std::chrono::milliseconds(kStopGraceMs + 1000));
    for (Socket& client : held) EXPECT_TRUE(ClosedByPeer(client, 100));
    held.clear();
    EXPECT_EQ(rt.sockets.Count(), 0u);
    EXPECT_EQ(testing::OpenDescriptorCount(), descriptors_before);
}

TEST_F(Listener, FullHandlerTableWaitsThenGivesUp) {
    EXPECT_EQ(ListenerLimits{}.handler_wait_ms, 200);  // 75 waits of 200 ms: 15 s
    EXPECT_EQ(ListenerLimits{}.handler_wait_count, 75);

    ListenerLimits shortened{50, 6};
    ASSERT_EQ(Start(shortened), 1);
    HoldClients(60);
    // As though the 60 had become keep-alive connections: the active limit lets the next
    // client through, but every handler entry is in use.
    {
        Hold hold(rt.locks.counter);
        rt.server.counters.active = 0;
    }
    Socket waiting = testing::Connect(clients, port);
    ASSERT_TRUE(waiting.valid());
    auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(ClosedByPeer(waiting, 2000));
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(250));

    // A handler that ends frees its entry for the next client.
    Socket next = testing::Connect(clients, port);
    ASSERT_TRUE(next.valid());
    held[0].Close();
    EXPECT_TRUE(PollUntil([&] { return CountersOf(rt).served == 61; }, 1000));
    EXPECT_FALSE(ClosedByPeer(next, 100));
}

TEST_F(Listener, StopWhileAClientWaitsForAnEntry) {
    ASSERT_EQ(StartServer(rt), 1);  // the real 15 s wait
    HoldClients(60);
    {
        Hold hold(rt.locks.counter);
        rt.server.counters.active = 0;
    }
    Socket waiting = testing::Connect(clients, port);
    ASSERT_TRUE(waiting.valid());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(StopServer(rt), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - begin,
              std::chrono::milliseconds(kStopGraceMs + 1000));
    EXPECT_TRUE(ClosedByPeer(waiting, 100));
}

}  // namespace
}  // namespace korvanel
