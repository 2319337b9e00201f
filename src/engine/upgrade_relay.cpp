#include "engine/upgrade_relay.h"

#include <algorithm>

#include "engine/server_control.h"
#include "engine/socket_io.h"
#include "runtime/runtime.h"

namespace korvanel {

namespace {

// Between stop tests.
constexpr int kStepMs = 250;

enum class Moved { kBytes, kNothing, kEnded, kFailed, kRevoked };

// Passes on what `from` has now. At its end, `to` learns it with a half-close.
Moved MoveOnce(Runtime& rt, Socket& from, Socket& to, char* buffer, long capacity, bool upward) {
    IoResult got = from.Receive(buffer, static_cast<std::size_t>(capacity));
    switch (got.status) {
        case IoStatus::kOk:
            break;
        case IoStatus::kWouldBlock:
            return Moved::kNothing;
        case IoStatus::kPeerClosed:
            to.ShutdownSend();
            return Moved::kEnded;
        case IoStatus::kRevoked:
            return Moved::kRevoked;
        case IoStatus::kError:
            return Moved::kFailed;
    }
    IoEnd sent = SendAll(rt, to, buffer, got.bytes);
    if (sent == IoEnd::kNotSocket) return Moved::kRevoked;
    if (sent != IoEnd::kDone) return Moved::kFailed;
    if (upward) {
        AddBytesSent(rt, got.bytes);
    } else {
        AddBytesReceived(rt, got.bytes);
    }
    return Moved::kBytes;
}

}  // namespace

Ending RelayUpgraded(Runtime& rt, Socket& client, Socket& upstream, RequestState& r) {
    if (!r.head_body.empty()) {
        IoEnd sent = SendAll(rt, client, r.head_body.data(), static_cast<long>(r.head_body.size()));
        if (sent == IoEnd::kNotSocket) return Ending::kQuiet;
        if (sent != IoEnd::kDone) return Ending::kError;
    }
    Socket* const sides[2] = {&client, &upstream};
    bool open[2] = {true, true};
    int idle_ms = 0;
    while (open[0] || open[1]) {
        if (IsStopping(rt)) return Ending::kQuiet;
        Socket* const watched[2] = {open[0] ? sides[0] : nullptr, open[1] ? sides[1] : nullptr};
        bool ready[2] = {false, false};
        const int limit = rt.limits.relay_idle_ms;
        const int wait_ms = limit < 0 ? kStepMs : std::min(kStepMs, limit - idle_ms);
        PollResult waited = WaitEitherReadable(watched, ready, wait_ms);
        if (waited == PollResult::kError) return Ending::kError;
        if (waited == PollResult::kTimeout) {
            idle_ms += wait_ms;
            // Quiet for the whole idle limit: the relay is given up.
            if (limit >= 0 && idle_ms >= limit) return Ending::kNormal;
            continue;
        }
        idle_ms = 0;
        for (int i = 0; i < 2; ++i) {
            if (!ready[i] || !open[i]) continue;
            Socket& from = *sides[i];
            Socket& to = *sides[1 - i];
            switch (MoveOnce(rt, from, to, r.head, kHeadBufferSize, i == 0)) {
                case Moved::kBytes:
                case Moved::kNothing:
                    break;
                case Moved::kEnded:
                    open[i] = false;
                    break;
                case Moved::kRevoked:
                    return Ending::kQuiet;
                case Moved::kFailed:
                    return Ending::kError;
            }
        }
    }
    return Ending::kNormal;
}

}  // namespace korvanel
