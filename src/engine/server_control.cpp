#include "engine/server_control.h"

#include "runtime/runtime.h"

namespace korvanel {

int IsStopping(Runtime& rt) {
    return rt.server.run_flag.load(std::memory_order_acquire) == kStopRequested ? -1 : 1;
}

int CountConnection(Runtime& rt, std::string_view code) {
    Hold hold(rt.locks.counter);
    ConnectionCounters& c = rt.server.counters;
    std::string_view op = code.substr(0, 3);
    if (op == "++c") {
        ++c.active;
        ++c.served;
    } else if (op == "--c") {
        --c.active;
    } else if (op == "++k") {
        ++c.keep_alive_active;
        ++c.served;
    } else if (op == "--k") {
        --c.keep_alive_active;
    }
    return 1;
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
