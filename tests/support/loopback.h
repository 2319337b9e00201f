// Loopback sockets for engine tests: connected pairs, a scripted origin server that runs
// one script per accepted connection on its own thread, and blocking helpers with time
// limits so that a faulty engine fails a test instead of hanging it.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"

namespace korvanel::testing {

// Polls `condition` every few milliseconds until it holds or `timeout_ms` has passed.
bool PollUntil(const std::function<bool()>& condition, int timeout_ms = 5000);

long long MillisecondsSince(std::chrono::steady_clock::time_point start);

// A port on 127.0.0.1 nothing is bound to right now, for a listener that a test starts
// later. Picked below the kernel's ephemeral ports, so that no connect or bind to port 0
// in the meantime (this test's or another's) can be handed it. 0 when none was found.
uint16_t UnusedLoopbackPort();

// A listening socket on 127.0.0.1 with a kernel-chosen port.
Socket ListenLoopback(SocketRegistry& registry, uint16_t& port);

// Connects to 127.0.0.1:port (blocking up to 5 s).
Socket ConnectLoopback(SocketRegistry& registry, uint16_t port);

// Accepts one connection (waits up to 5 s).
Socket AcceptOne(Socket& listener);

struct SocketPair {
    Socket near;  // the engine's end
    Socket far;   // the test's end
};
SocketPair MakePair(SocketRegistry& registry);

// Sends everything (waits up to 5 s for room).
bool WriteAll(Socket& socket, std::string_view data);
// Reads until `marker` has arrived (included) or the peer closed or 5 s passed.
std::string ReadUntil(Socket& socket, std::string_view marker, int timeout_ms = 5000);
// Reads exactly `count` bytes unless the peer closes or the time runs out.
std::string ReadCount(Socket& socket, std::size_t count, int timeout_ms = 5000);
// Reads until the peer closes (or the time runs out; then `closed` is false).
std::string ReadToClose(Socket& socket, bool* closed = nullptr, int timeout_ms = 10000);

// Bytes 0..255 in a repeating pattern, long enough to tell lost or swapped pieces apart.
std::string PatternBytes(std::size_t count, unsigned seed = 1);

// An origin server on 127.0.0.1 that runs `script` for each accepted connection, each on
// its own thread. The scripts own their sockets; the destructor stops accepting and waits.
// Threads whose script has ended are joined as new connections come, so that a long run
// of connections does not pile up ended threads.
class ScriptedOrigin {
  public:
    using Script = std::function<void(Socket& connection, int index)>;
    explicit ScriptedOrigin(Script script);
    ~ScriptedOrigin();

    uint16_t port() const { return port_; }
    int accepted() const { return accepted_.load(); }

  private:
    void AcceptLoop();

    SocketRegistry registry_;
    Socket listener_;
    uint16_t port_ = 0;
    Script script_;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::thread acceptor_;
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void JoinEndedWorkers();

    std::mutex mutex_;
    std::vector<Worker> workers_;
};

}  // namespace korvanel::testing
