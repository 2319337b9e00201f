#include "engine/listener_test_support.h"

#include <filesystem>
#include <thread>

namespace korvanel::testing {

Socket ConnectFrom(SocketRegistry& registry, uint32_t source, uint16_t port) {
    Socket client = Socket::OpenTcp(registry);
    if (!client.valid()) return Socket();
    if (source != 0 && !client.Bind(Ipv4Endpoint{source, 0})) return Socket();
    Socket::ConnectStart start = client.StartConnect(Ipv4Endpoint{kLoopback, port});
    if (start == Socket::ConnectStart::kFailed) return Socket();
    if (start == Socket::ConnectStart::kInProgress) {
        if (client.WaitWritable(3000) != PollResult::kReady || client.ConnectError() != 0) {
            return Socket();
        }
    }
    return client;
}

Socket Connect(SocketRegistry& registry, uint16_t port) {
    return ConnectFrom(registry, 0, port);
}

bool ClosedByPeer(Socket& client, int timeout_ms) {
    if (client.WaitReadable(timeout_ms) != PollResult::kReady) return false;
    char byte;
    IoResult got = client.Receive(&byte, 1);
    return got.status == IoStatus::kPeerClosed || got.status == IoStatus::kError;
}

ConnectionCounters CountersOf(Runtime& rt) {
    Hold hold(rt.locks.counter);
    return rt.server.counters;
}

std::string IpLogOf(Runtime& rt) {
    Hold hold(rt.locks.ip_log);
    return std::string(rt.logs.ip.view());
}

int OpenDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

std::set<int> ThreadIds() {
    std::set<int> ids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        ids.insert(std::stoi(entry.path().filename().string()));
    }
    return ids;
}

int ThreadCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

}  // namespace korvanel::testing
