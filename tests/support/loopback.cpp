#include "support/loopback.h"

#include <chrono>
#include <random>

namespace korvanel::testing {

namespace {
constexpr uint32_t kLoopback = 0x7f000001;
using SteadyClock = std::chrono::steady_clock;

int LeftMs(SteadyClock::time_point deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}
}  // namespace

Socket ListenLoopback(SocketRegistry& registry, uint16_t& port) {
    Socket listener = Socket::OpenTcp(registry);
    listener.SetReuseAddress();
    if (!listener.Bind({kLoopback, 0}) || !listener.Listen(64)) return Socket();
    Ipv4Endpoint local;
    listener.LocalEndpoint(local);
    port = local.port;
    return listener;
}

Socket ConnectLoopback(SocketRegistry& registry, uint16_t port) {
    Socket socket = Socket::OpenTcp(registry);
    auto start = socket.StartConnect({kLoopback, port});
    if (start == Socket::ConnectStart::kFailed) return Socket();
    if (start == Socket::ConnectStart::kInProgress) {
        if (socket.WaitWritable(5000) != PollResult::kReady || socket.ConnectError() != 0) {
            return Socket();
        }
    }
    socket.SetNoDelay();
    return socket;
}

Socket AcceptOne(Socket& listener) {
    Socket client;
    int family = 0;
    auto deadline = SteadyClock::now() + std::chrono::seconds(5);
    while (LeftMs(deadline) > 0) {
        IoResult got = listener.Accept(client, family);
        if (got.status == IoStatus::kOk) return client;
        if (got.status != IoStatus::kWouldBlock) break;
        listener.WaitReadable(LeftMs(deadline));
    }
    return Socket();
}

bool PollUntil(const std::function<bool()>& condition, int timeout_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

long long MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

uint16_t UnusedLoopbackPort() {
    constexpr int kFirst = 20000;
    constexpr int kCount = 12000;  // up to 31999; the ephemeral ports start at 32768
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto port = static_cast<uint16_t>(kFirst + random() % kCount);
        SocketRegistry registry;
        Socket probe = Socket::OpenTcp(registry);
        if (probe.Bind(Ipv4Endpoint{kLoopback, port})) return port;
    }
    return 0;
}

SocketPair MakePair(SocketRegistry& registry) {
    uint16_t port = 0;
    Socket listener = ListenLoopback(registry, port);
    SocketPair pair;
    pair.near = ConnectLoopback(registry, port);
    pair.far = AcceptOne(listener);
    return pair;
}

bool WriteAll(Socket& socket, std::string_view data) {
    auto deadline = SteadyClock::now() + std::chrono::seconds(5);
    std::size_t sent = 0;
    while (sent < data.size()) {
        IoResult put = socket.Send(data.data() + sent, data.size() - sent);
        if (put.status == IoStatus::kOk) {
            sent += static_cast<std::size_t>(put.bytes);
        } else if (put.status == IoStatus::kWouldBlock && LeftMs(deadline) > 0) {
            socket.WaitWritable(LeftMs(deadline));
        } else {
            return false;
        }
    }
    return true;
}

namespace {
// Reads whatever comes until `done` says so, the peer closes, or the time runs out.
template <typename Done>
std::string ReadWhile(Socket& socket, int timeout_ms, bool* closed, Done done) {
    std::string out;
    char piece[16384];
    auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeout_ms);
    if (closed) *closed = false;
    while (!done(out)) {
        IoResult got = socket.Receive(piece, sizeof piece);
        if (got.status == IoStatus::kOk) {
            out.append(piece, static_cast<std::size_t>(got.bytes));
        } else if (got.status == IoStatus::kWouldBlock && LeftMs(deadline) > 0) {
            socket.WaitReadable(LeftMs(deadline));
        } else {
            if (closed && got.status != IoStatus::kWouldBlock) *closed = true;
            break;
        }
    }
    return out;
}
}  // namespace

std::string ReadUntil(Socket& socket, std::string_view marker, int timeout_ms) {
    return ReadWhile(socket, timeout_ms, nullptr, [marker](const std::string& s) {
        return s.find(marker) != std::string::npos;
    });
}

std::string ReadCount(Socket& socket, std::size_t count, int timeout_ms) {
    // Reads in pieces no larger than what is still wanted, so nothing past `count` is taken.
    std::string out;
    char piece[16384];
    auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeout_ms);
    while (out.size() < count) {
        std::size_t want = std::min(sizeof piece, count - out.size());
        IoResult got = socket.Receive(piece, want);
        if (got.status == IoStatus::kOk) {
            out.append(piece, static_cast<std::size_t>(got.bytes));
        } else if (got.status == IoStatus::kWouldBlock && LeftMs(deadline) > 0) {
            socket.WaitReadable(LeftMs(deadline));
        } else {
            break;
        }
    }
    return out;
}

std::string ReadToClose(Socket& socket, bool* closed, int timeout_ms) {
    return ReadWhile(socket, timeout_ms, closed, [](const std::string&) { return false; });
}

std::string PatternBytes(std::size_t count, unsigned seed) {
    std::string out(count, '\0');
    unsigned state = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u;
        out[i] = static_cast<char>((state >> 16) & 0xff);
    }
    return out;
}

ScriptedOrigin::ScriptedOrigin(Script script) : script_(std::move(script)) {
    listener_ = ListenLoopback(registry_, port_);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

ScriptedOrigin::~ScriptedOrigin() {
    stop_ = true;
    acceptor_.join();
    std::lock_guard<std::mutex> hold(mutex_);
    for (Worker& worker : workers_) worker.thread.join();
}

void ScriptedOrigin::JoinEndedWorkers() {
    for (Worker& worker : workers_) {
        if (worker.done->load()) worker.thread.join();
    }
    std::erase_if(workers_, [](const Worker& worker) { return !worker.thread.joinable(); });
}

void ScriptedOrigin::AcceptLoop() {
    while (!stop_) {
        if (listener_.WaitReadable(50) != PollResult::kReady) continue;
        Socket connection;
        int family = 0;
        if (listener_.Accept(connection, family).status != IoStatus::kOk) continue;
        int index = accepted_++;
        std::lock_guard<std::mutex> hold(mutex_);
        JoinEndedWorkers();
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([this, index, done, c = std::move(connection)]() mutable {
            c.SetNoDelay();
            script_(c, index);
            c.Close();
            done->store(true);
        });
        workers_.push_back(Worker{std::move(thread), std::move(done)});
    }
}

}  // namespace korvanel::testing
