#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/socket.h"

namespace korvanel {
namespace {

constexpr uint32_t kLoopback = 0x7F000001;

// A listening socket on a free loopback port.
Socket Listening(SocketRegistry& registry, uint16_t& port) {
    Socket listening = Socket::OpenTcp(registry);
    Ipv4Endpoint local{kLoopback, 0};
    EXPECT_TRUE(listening.Bind(local));
    EXPECT_TRUE(listening.Listen(4));
    EXPECT_TRUE(listening.LocalEndpoint(local));
    port = local.port;
    return listening;
}

// A connected pair: `client` in `client_registry`, the accepted end in `server_registry`.
void ConnectPair(SocketRegistry& server_registry, SocketRegistry& client_registry, Socket& client,
                 Socket& accepted) {
    uint16_t port = 0;
    Socket listening = Listening(server_registry, port);
    client = Socket::OpenTcp(client_registry);
    if (client.StartConnect(Ipv4Endpoint{kLoopback, port}) == Socket::ConnectStart::kInProgress) {
        ASSERT_EQ(client.WaitWritable(1000), PollResult::kReady);
    }
    ASSERT_EQ(listening.WaitReadable(1000), PollResult::kReady);
    int family = 0;
    ASSERT_EQ(listening.Accept(accepted, family).status, IoStatus::kOk);
    EXPECT_EQ(family, Ipv4Family());
}

// Runs `wait` on another thread and returns how long it blocked; `wake` runs after 100 ms.
template <typename Wait, typename Wake>
std::chrono::milliseconds BlockedFor(Wait wait, Wake wake) {
    auto begin = std::chrono::steady_clock::now();
    std::thread waiter(wait);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    wake();
    waiter.join();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 begin);
}

TEST(SocketRegistry, CleanUpWakesABlockedReader) {
    SocketRegistry engine;
    SocketRegistry others;
    Socket client;
    Socket accepted;
    ConnectPair(engine, others, client, accepted);
    ASSERT_EQ(engine.Count(), 1u);  // the listening socket is closed; the accepted one stays

    IoResult got;
    auto took = BlockedFor(
        [&] {
            EXPECT_EQ(accepted.WaitReadable(5000), PollResult::kReady);
            char byte;
            got = accepted.Receive(&byte, 1);
        },
        [&] { engine.CleanUp(); });
    EXPECT_LT(took, std::chrono::milliseconds(2000));
    EXPECT_EQ(got.status, IoStatus::kRevoked);
    EXPECT_TRUE(accepted.Revoked());
    EXPECT_FALSE(client.Revoked());  // another registry is not touched
    accepted.Close();
    EXPECT_EQ(engine.Count(), 0u);
}

TEST(SocketRegistry, SocketsAddedAfterCleanUpAreRevokedUntilReset) {
    SocketRegistry engine;
    engine.CleanUp();
    Socket late = Socket::OpenTcp(engine);
    ASSERT_TRUE(late.valid());
    EXPECT_TRUE(late.Revoked());

    engine.Reset();
    Socket fresh = Socket::OpenTcp(engine);
    EXPECT_FALSE(fresh.Revoked());
    EXPECT_TRUE(late.Revoked());  // a reset does not bring a revoked socket back
}

TEST(SocketRegistry, RevokeWakesAcceptOnAListeningSocket) {
    SocketRegistry engine;
    uint16_t port = 0;
    Socket listening = Listening(engine, port);
    IoResult accepted_result;
    auto took = BlockedFor(
        [&] {
            EXPECT_EQ(listening.WaitReadable(5000), PollResult::kReady);
            Socket client;
            int family = 0;
            accepted_result = listening.Accept(client, family);
        },
        [&] { EXPECT_TRUE(engine.Revoke(listening.fd())); });
    EXPECT_LT(took, std::chrono::milliseconds(2000));
    EXPECT_EQ(accepted_result.status, IoStatus::kRevoked);
}

TEST(SocketRegistry, RevokeLeavesUnregisteredDescriptorsAlone) {
    SocketRegistry engine;
    SocketRegistry others;
    Socket foreign = Socket::OpenTcp(others);
    EXPECT_FALSE(engine.Revoke(foreign.fd()));
    EXPECT_FALSE(foreign.Revoked());
}

TEST(SocketRegistry, ClosedSocketLeavesTheRegistry) {
    SocketRegistry engine;
    Socket a = Socket::OpenTcp(engine);
    Socket b = Socket::OpenTcp(engine);
    Socket moved = std::move(a);
    EXPECT_EQ(engine.Count(), 2u);
    moved.Close();
    moved.Close();  // closes once
    EXPECT_EQ(engine.Count(), 1u);
    EXPECT_EQ(moved.Receive(nullptr, 0).status, IoStatus::kRevoked);
}

}  // namespace
}  // namespace korvanel
