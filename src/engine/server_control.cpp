#include "engine/server_control.h"

#include "runtime/runtime.h"

namespace korvanel {

bool IsStopping(Runtime& rt) {
    return rt.server.run_flag.load(std::memory_order_acquire) == RunFlag::kStopRequested;
}

void CountConnection(Runtime& rt, CounterChange change) {
    Hold hold(rt.locks.counter);
    ConnectionCounters& c = rt.server.counters;
    switch (change) {
        case CounterChange::kFirstStarts:
            ++c.active;
            ++c.served;
            break;
        case CounterChange::kFirstEnds:
            --c.active;
            break;
        case CounterChange::kKeptStarts:
            ++c.keep_alive_active;
            ++c.served;
            break;
        case CounterChange::kKeptEnds:
            --c.keep_alive_active;
            break;
    }
}

void AddBytesSent(Runtime& rt, long long count) {
    if (count <= 0) return;
    rt.server.bytes_sent.fetch_add(static_cast<uint64_t>(count), std::memory_order_relaxed);
}

void AddBytesReceived(Runtime& rt, long long count) {
    if (count <= 0) return;
    rt.server.bytes_received.fetch_add(static_cast<uint64_t>(count), std::memory_order_relaxed);
}

}  // namespace korvanel
