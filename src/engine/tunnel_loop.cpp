#include "engine/tunnel_loop.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>

#include "engine/server_control.h"
#include "logging/log_producers.h"
#include "platform/event_poll.h"
#include "platform/splice_pipe.h"
#include "platform/thread.h"
#include "runtime/runtime.h"

namespace korvanel {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Pipes start at the kernel's default size, which keeps hundreds of tunnels within the
// pipe memory an ordinary user may hold; a direction that fills its pipe, or has carried
// kStreamBytes, is carrying a stream, and its pipe grows to the relays' size so that each
// call moves more.
constexpr int kTunnelPipeBytes = 0;
constexpr long long kStreamBytes = 1 << 20;
// Bytes asked for in one splice from a socket into a pipe.
constexpr std::size_t kTunnelStep = 1 << 20;
// Fill-and-drain rounds one readiness event earns a tunnel before the others get their
// turn; a tunnel that had more to move is served again before the next wait.
constexpr int kRoundsPerTurn = 16;
constexpr int kEventsPerWait = 64;
// The idle limit is checked this often at most, and at least four times per limit.
constexpr int kLongestSweepMs = 1000;
constexpr int kShortestSweepMs = 10;
constexpr std::string_view kLineEnd = "\r\n";

// How a tunnel's pumping ended for now.
enum class Pumped { kOpen, kEnded, kFailed, kRevoked };

// What the last events and calls tell of one socket. Each flag is cleared by a call that
// would have blocked and set again by the socket's next event (edge-triggered), so that
// no call is made that is sure to block.
struct Readiness {
    bool readable = true;
    bool writable = true;
};

// One direction: bytes read from `from` wait in the pipe until `to` takes them.
struct Direction {
    std::unique_ptr<SplicePipe> pipe;
    bool source_ended = false;  // `from` ended its sending
    bool passed_on = false;     // ... and that end went on to `to`
    bool grown = false;         // the pipe was asked for kSplicePipeBytes
    long long bytes = 0;

    bool Done() const { return passed_on; }
};

Pumped FromStatus(IoStatus status) {
    return status == IoStatus::kRevoked ? Pumped::kRevoked : Pumped::kFailed;
}

// One fill and one drain; `moved` tells whether any byte or end went on.
Pumped MoveOnce(Runtime& rt, Direction& d, Socket& from, Readiness& source, Socket& to,
                Readiness& sink, bool upward, bool& moved) {
    if (!d.source_ended && source.readable) {
        IoResult got = d.pipe->Fill(from, kTunnelStep);
        if (got.status == IoStatus::kOk) {
            d.bytes += got.bytes;
            if (upward) {
                AddBytesSent(rt, got.bytes);
            } else {
                AddBytesReceived(rt, got.bytes);
            }
            moved = true;
            if (!d.grown && d.bytes >= kStreamBytes) {
                d.grown = true;
                d.pipe->Resize(kSplicePipeBytes);
            }
        } else if (got.status == IoStatus::kPeerClosed) {
            d.source_ended = true;
            moved = true;
        } else if (got.status != IoStatus::kWouldBlock) {
            return FromStatus(got.status);
        } else if (d.pipe->held() == 0) {
            // An empty pipe took nothing: the source is empty for now.
            source.readable = false;
        } else if (!d.grown) {
            // Full, or the source is empty for now: either way bytes are waiting.
            d.grown = true;
            d.pipe->Resize(kSplicePipeBytes);
        }
    }
    if (d.pipe->held() > 0 && sink.writable) {
        IoResult sent = d.pipe->Drain(to);
        if (sent.status == IoStatus::kOk && sent.bytes > 0) {
            moved = true;
        } else if (sent.status == IoStatus::kWouldBlock) {
            sink.writable = false;
        } else if (sent.status != IoStatus::kOk) {
            return FromStatus(sent.status);
        }
    }
    if (d.source_ended && !d.passed_on && d.pipe->held() == 0) {
        to.ShutdownSend();
        d.passed_on = true;
        moved = true;
    }
    return Pumped::kOpen;
}

int SweepEveryMs(int idle_ms) {
    return std::clamp(idle_ms / 4, kShortestSweepMs, kLongestSweepMs);
}

}  // namespace

struct TunnelLoop::Tunnel {
    explicit Tunnel(TunnelHandOff handed)
        : client(std::move(handed.client)),
          upstream(std::move(handed.upstream)),
          log(std::move(handed.log)) {
        up.bytes = log.up_bytes;
        down.bytes = log.down_bytes;
    }

    Socket client;
    Socket upstream;
    TunnelLogFacts log;
    Direction up;    // client to upstream
    Direction down;  // upstream to client
    Readiness client_ready;
    Readiness upstream_ready;
    SteadyClock::time_point last_moved = SteadyClock::now();
};

TunnelLoop::TunnelLoop(Runtime& rt) : rt_(rt) {}

TunnelLoop::~TunnelLoop() {
    Stop();
}

bool TunnelLoop::Add(TunnelHandOff tunnel) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (stopping_) return false;
    if (!started_) {
        poll_ = std::make_unique<EventPoll>();
        if (!poll_->valid() || !StartThread(thread_, [this] { Run(); })) {
            poll_.reset();
            return false;
        }
        started_ = true;
    }
    handed_.push_back(std::move(tunnel));
    rt_.server.open_tunnels.fetch_add(1);
    poll_->Wake();
    return true;
}

void TunnelLoop::Stop() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        stopping_ = true;
        if (!started_) return;
    }
    stop_requested_.store(true);
    poll_->Wake();
    if (thread_.joinable()) thread_.join();
}

void TunnelLoop::Run() {
    // A splice into a socket whose peer is gone raises SIGPIPE: held back for the thread's
    // whole life, so that no pipe's own mask handling can let one through.
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);

    EventPoll::Event events[kEventsPerWait];
    auto next_sweep = SteadyClock::now();
    while (!stop_requested_.load()) {
        const int sweep_ms = SweepEveryMs(rt_.limits.relay_idle_ms);
        const int timeout = unfinished_.empty() ? sweep_ms : 0;
        int count = poll_->Wait(events, kEventsPerWait, timeout);
        std::vector<uint64_t> again;
        again.swap(unfinished_);
        for (int i = 0; i < count; ++i) {
            if (events[i].key == EventPoll::kWakeKey) {
                Adopt();
            } else {
                Note(events[i]);
                Serve(events[i].key / 2);
            }
        }
        for (uint64_t id : again) Serve(id);
        if (SteadyClock::now() >= next_sweep) {
            SweepIdle();
            next_sweep = SteadyClock::now() + std::chrono::milliseconds(sweep_ms);
        }
    }
    Adopt();
    std::vector<uint64_t> left;
    for (const auto& entry : tunnels_) left.push_back(entry.first);
    for (uint64_t id : left) Finish(id, "e");
}

void TunnelLoop::Adopt() {
    std::vector<TunnelHandOff> taken;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        taken.swap(handed_);
    }
    for (TunnelHandOff& handed : taken) {
        const uint64_t id = next_id_++;
        auto tunnel = std::make_unique<Tunnel>(std::move(handed));
        tunnel->up.pipe = std::make_unique<SplicePipe>(kTunnelPipeBytes);
        tunnel->down.pipe = std::make_unique<SplicePipe>(kTunnelPipeBytes);
        const bool ready = tunnel->up.pipe->valid() && tunnel->down.pipe->valid() &&
                           poll_->Watch(tunnel->client.fd(), id * 2) &&
                           poll_->Watch(tunnel->upstream.fd(), id * 2 + 1);
        tunnels_.emplace(id, std::move(tunnel));
        if (!ready) {
            Finish(id, "E");
            continue;
        }
        // Bytes may have come before the sockets were watched: no edge would report them.
        Serve(id);
    }
}

void TunnelLoop::Note(const EventPoll::Event& event) {
    auto found = tunnels_.find(event.key / 2);
    if (found == tunnels_.end()) return;
    Tunnel& t = *found->second;
    Readiness& ready = event.key % 2 == 0 ? t.client_ready : t.upstream_ready;
    // An end or a failure is found by the next call, whichever way it goes.
    if (event.readable || event.hang_up) ready.readable = true;
    if (event.writable || event.hang_up) ready.writable = true;
}

void TunnelLoop::Serve(uint64_t id) {
    auto found = tunnels_.find(id);
    if (found == tunnels_.end()) return;  // ended earlier in this round
    Tunnel& t = *found->second;
    Pumped result = Pumped::kOpen;
    bool moved_any = false;
    for (int round = 0; round < kRoundsPerTurn; ++round) {
        bool moved = false;
        result = MoveOnce(rt_, t.up, t.client, t.client_ready, t.upstream, t.upstream_ready, true,
                          moved);
        if (result == Pumped::kOpen) {
            result = MoveOnce(rt_, t.down, t.upstream, t.upstream_ready, t.client, t.client_ready,
                              false, moved);
        }
        if (result != Pumped::kOpen || !moved) break;
        moved_any = true;
        if (round + 1 == kRoundsPerTurn) unfinished_.push_back(id);
    }
    if (moved_any) t.last_moved = SteadyClock::now();
    if (result == Pumped::kOpen && t.up.Done() && t.down.Done()) {
        Finish(id, "");
    } else if (result == Pumped::kFailed) {
        Finish(id, "E");
    } else if (result == Pumped::kRevoked) {
        Finish(id, "e");
    }
}

void TunnelLoop::SweepIdle() {
    const auto limit = std::chrono::milliseconds(rt_.limits.relay_idle_ms);
    const auto now = SteadyClock::now();
    std::vector<uint64_t> idle;
    for (const auto& [id, tunnel] : tunnels_) {
        if (now - tunnel->last_moved >= limit) idle.push_back(id);
    }
    for (uint64_t id : idle) Finish(id, "E");
}

void TunnelLoop::Finish(uint64_t id, const char* mark) {
    auto found = tunnels_.find(id);
    if (found == tunnels_.end()) return;
    std::unique_ptr<Tunnel> owned = std::move(found->second);
    tunnels_.erase(found);
    Tunnel& t = *owned;
    poll_->Forget(t.client.fd());
    poll_->Forget(t.upstream.fd());
    // A tunnel cut short is cut for both ends: a reset, where an orderly close would pass
    // a cut stream off as complete.
    if (mark[0] == 'E') {
        t.client.Abort();
        t.upstream.Abort();
    } else {
        t.client.Close();
        t.upstream.Close();
    }
    // The status field carries the tunnel's byte counts behind the answer's status line.
    std::string_view status_line = t.log.status_line;
    if (status_line.ends_with(kLineEnd)) status_line.remove_suffix(kLineEnd.size());
    char status[160];
    std::snprintf(status, sizeof status, "%.*s (%lld up, %lld down)\r\n",
                  static_cast<int>(std::min<std::size_t>(status_line.size(), 100)),
                  status_line.data(), t.up.bytes, t.down.bytes);
    std::string client = mark + t.log.client;
    LogAccess(rt_, client, t.log.host, t.log.numeric_address, t.log.port, t.log.request_line,
              status, "\r\n\r\n");
    rt_.server.open_tunnels.fetch_sub(1);
}

}  // namespace korvanel
