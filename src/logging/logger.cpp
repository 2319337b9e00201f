// The logger thread: four times a second it refreshes the counter labels and empties the
// five log buffers, until the stop flag is set.
#include "logging/logger.h"

#include <chrono>
#include <cstdio>
#include <memory>

#include "platform/auto_reset_event.h"
#include "platform/thread.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

namespace {

// What the labels show, so that only changed values are set again.
struct ShownCounters {
    ConnectionCounters counters{-1, -1, -1, -1};  // nothing shown yet: the first cycle sets all
    uint64_t bytes_received = 0;                  // shown as "0 Byte" at start
    uint64_t bytes_sent = 0;
};

void SetCounterLabel(Runtime& rt, Label label, int32_t value, int32_t& shown) {
    if (value == shown) return;
    char text[32];
    std::snprintf(text, sizeof text, text::kCounterLabelFormat, static_cast<int>(value));
    rt.front.SetLabel(label, text);
    shown = value;
}

void SetByteLabel(Runtime& rt, Label label, uint64_t value, uint64_t& shown) {
    if (value == shown) return;
    char text[48];
    std::snprintf(text, sizeof text, text::kByteTotalLabelFormat, static_cast<long long>(value));
    rt.front.SetLabel(label, text);
    shown = value;
}

// The counters under their lock, then the two byte totals.
void RefreshCounters(Runtime& rt, ShownCounters& shown) {
    ConnectionCounters counters;
    uint64_t sent = 0;
    uint64_t received = 0;
    {
        Hold hold(rt.locks.counter);
        counters = rt.server.counters;
    }
    sent = rt.server.bytes_sent.load(std::memory_order_relaxed);
    received = rt.server.bytes_received.load(std::memory_order_relaxed);
    SetCounterLabel(rt, Label::kActiveConnections, counters.active, shown.counters.active);
    SetCounterLabel(rt, Label::kKeepAliveConnections, counters.keep_alive_active,
                    shown.counters.keep_alive_active);
    SetCounterLabel(rt, Label::kServedConnections, counters.served, shown.counters.served);
    SetCounterLabel(rt, Label::kBlockedClients, counters.blocked, shown.counters.blocked);
    SetByteLabel(rt, Label::kBytesReceived, received, shown.bytes_received);
    SetByteLabel(rt, Label::kBytesSent, sent, shown.bytes_sent);
}

void FlushAll(Runtime& rt) {
    FlushLog(rt, rt.logs.ip);
    FlushLog(rt, rt.logs.access);
    FlushLog(rt, rt.logs.recv_headers);
    FlushLog(rt, rt.logs.send_headers);
    FlushLog(rt, rt.logs.header_pairs);
}

bool StopRequested(Runtime& rt) {
    Hold hold(rt.locks.server);
    return rt.server.logger_stop_flag == 1;
}

void RunLogger(Runtime& rt, const std::shared_ptr<AutoResetEvent>& started) {
    started->Set();
    rt.front.SetLabel(Label::kBytesReceived, text::kZeroBytes);
    rt.front.SetLabel(Label::kBytesSent, text::kZeroBytes);
    ShownCounters shown;
    for (;;) {
        RefreshCounters(rt, shown);
        FlushAll(rt);
        if (StopRequested(rt)) {
            // Entries made between this cycle's flush and the stop would otherwise be lost.
            FlushAll(rt);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kLoggerCycleMs));
    }
}

}  // namespace

bool StartLogger(Runtime& rt, std::thread& logger) {
    // Shared, so the event outlives this call even if the thread is still inside Set().
    auto started = std::make_shared<AutoResetEvent>();
    if (!StartThread(logger, [&rt, started] { RunLogger(rt, started); })) return false;
    started->Wait();
    return true;
}

bool StopLogger(Runtime& rt, const ThreadStarter& starter) {
    std::thread stopper;
    bool begun = starter(stopper, [&rt] {
        Hold hold(rt.locks.server);
        rt.server.logger_stop_flag = 1;
    });
    if (!begun) {
        rt.front.ShowMessage(text::kThreadErrorTitle, text::kThreadErrorText);
        return false;
    }
    rt.front.WaitFor(stopper);
    return true;
}

}  // namespace korvanel
