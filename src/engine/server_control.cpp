#include "engine/server_control.h"

#include "runtime/runtime.h"

namespace korvanel {

int IsStopping(Runtime& rt) {
    Hold hold(rt.locks.server);
    return rt.server.run_flag == kStopRequested ? -1 : 1;
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
    Hold hold(rt.locks.sent_bytes);
    rt.server.bytes_sent += static_cast<uint64_t>(count);
}

void AddBytesReceived(Runtime& rt, long long count) {
    if (count <= 0) return;
    Hold hold(rt.locks.received_bytes);
    rt.server.bytes_received += static_cast<uint64_t>(count);
}

}  // namespace korvanel
