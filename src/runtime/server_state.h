// The listener's process-wide state: the run flag, the server state, the published
// listening socket, the connection counters and the byte totals, each under its lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace korvanel {

enum class RunFlag : char { kRunning, kStopRequested };

// ServerState values.
inline constexpr int kServerStopped = 0;
inline constexpr int kServerListening = 2;

inline constexpr int kHandlerTableSize = 60;
inline constexpr int kMaxActiveFirstRequests = 60;
inline constexpr int kListenBacklog = 32;

struct ConnectionCounters {
    int32_t served = 0;             // connections served (total)
    int32_t active = 0;             // active first-request connections
    int32_t keep_alive_active = 0;  // active keep-alive connections
    int32_t blocked = 0;            // blocked clients
};

struct ServerControl {
    // Written under the server lock; read without it by every handler at each step (a
    // lock taken that often made the handlers queue behind one another).
    std::atomic<RunFlag> run_flag{RunFlag::kRunning};

    // Under the server lock.
    int state = kServerStopped;
    int listening_fd = -1;     // published by the accept thread; -1 when none
    int logger_stop_flag = 0;  // set once, never reset

    // Under the settings lock: the two ends of the allowed range, host byte order.
    uint32_t allowed_low = 0;
    uint32_t allowed_high = 0;

    // Under the counter lock.
    ConnectionCounters counters;

    // Tunnels handed to the tunnel relay and not yet ended, and how many may be (set at
    // each start from the descriptor limit).
    std::atomic<int> open_tunnels{0};
    std::atomic<int> tunnel_cap{0};

    // Added to by every relay step; only totals for the labels, so no ordering is needed.
    std::atomic<uint64_t> bytes_sent{0};
    std::atomic<uint64_t> bytes_received{0};

    // The running accept thread; only the start and stop paths touch it.
    std::thread accept_thread;
};

}  // namespace korvanel
