#include "engine/listener_accept.h"

#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

#include "engine/access_control.h"
#include "engine/client_slot.h"
#include "engine/listener_handler_table.h"
#include "engine/server_control.h"
#include "engine/tunnel_loop.h"
#include "logging/status_log.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

namespace {

constexpr Pane kLogPanes[] = {Pane::kAccess, Pane::kSendHeaders, Pane::kRecvHeaders,
                              Pane::kHeaderPairs};

// WaitForFreeEntry results besides an entry index.
constexpr int kNoEntryFree = -1;
constexpr int kStopWhileWaiting = -2;

void AnnounceStart(Runtime& rt, const StartRecord& record) {
    PostStatus(rt, text::kServerStarted, record.port);
    bool local = StartsWithN(record.bind_mode, "local", 5);
    rt.front.SetLabel(Label::kBindMode, local ? text::kBindLocal : text::kBindPublic);
    rt.front.SetLabel(Label::kServerState, text::kStateRunning);
    {
        Hold hold(rt.locks.settings);
        rt.settings.tag_filter_active = AnyTagFilterOn(rt);
    }
    for (Pane pane : kLogPanes) rt.front.LimitPane(pane, kLogPaneCharacters);
    LoadAllowedRange(rt);
}

void PublishListeningSocket(Runtime& rt, int fd) {
    Hold hold(rt.locks.server);
    rt.server.listening_fd = fd;
}

// Failures that last until descriptors or memory are freed; a retry at once would spin.
bool IsResourceShortage(int error) {
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

bool TooManyActive(Runtime& rt) {
    Hold hold(rt.locks.counter);
    return rt.server.counters.active >= kMaxActiveFirstRequests;
}

// All entries are in use: waits for a handler to end, checking for a stop before each wait.
int WaitForFreeEntry(Runtime& rt, HandlerTable& table, const ListenerLimits& limits) {
    for (int wait = 0; wait < limits.handler_wait_count; ++wait) {
        if (IsStopping(rt)) return kStopWhileWaiting;
        int index = table.WaitAny(limits.handler_wait_ms);
        if (index >= 0) return index;
    }
    return kNoEntryFree;
}

// Accepts until a stop. Clients that cannot be handed on are closed without an answer
// (their ClientSlot goes out of scope).
void AcceptLoop(Runtime& rt, Socket& listening, HandlerTable& table, TunnelLoop& tunnels,
                const ListenerLimits& limits) {
    int last_accept_error = 0;
    for (;;) {
        if (IsStopping(rt)) return;
        PollResult ready = listening.WaitReadable(kAcceptPollMs);
        if (ready == PollResult::kTimeout) continue;
        if (ready == PollResult::kError) return;

        ClientSlot slot;
        IoResult accepted = listening.Accept(slot.socket, slot.peer_family);
        if (accepted.status == IoStatus::kWouldBlock) continue;
        if (accepted.status == IoStatus::kRevoked) return;
        if (accepted.status == IoStatus::kError) {
            last_accept_error = accepted.error;
            if (IsResourceShortage(accepted.error)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(kAcceptErrorPauseMs));
            }
            continue;
        }
        if (slot.peer_family == Ipv6Family()) continue;
        if (IsStopping(rt)) return;
        if (TooManyActive(rt)) continue;

        slot.last_accept_error = last_accept_error;
        slot.tunnels = &tunnels;
        // A kept thread that is free serves the client; a new one starts only while no
        // thread is free and the table has room.
        int index = table.WaitAny(0);
        if (index < 0) {
            index = WaitForFreeEntry(rt, table, limits);
            if (index == kStopWhileWaiting) return;
            if (index == kNoEntryFree) continue;
        }
        table.Start(rt, index, std::move(slot));
    }
}

void ReportStop(Runtime& rt) {
    rt.front.SetLabel(Label::kServerState, text::kStateStopped);
    PostStatus(rt, text::kServerStopped, ".");
    {
        Hold hold(rt.locks.counter);
        rt.server.counters = ConnectionCounters{};
    }
    rt.server.bytes_received = 0;
    rt.server.bytes_sent = 0;
}

}  // namespace

void RunAcceptThread(Runtime& rt, StartRecord record) {
    StartRecord own = std::move(record);
    {
        Hold hold(rt.locks.server);
        rt.server.run_flag = RunFlag::kRunning;
    }
    own.started->Set();
    own.started.reset();

    AnnounceStart(rt, own);
    {
        // Declared first: its handlers may hand tunnels to it until they have all ended.
        TunnelLoop tunnels(rt);
        HandlerTable table;
        PublishListeningSocket(rt, own.listening.fd());
        AcceptLoop(rt, own.listening, table, tunnels, own.limits);
        PublishListeningSocket(rt, -1);
        own.listening.Close();
        // Wakes every handler blocked on a socket, so that the wait below ends.
        rt.sockets.CleanUp();
        table.JoinAll();
        tunnels.Stop();
    }
    ReportStop(rt);
}

}  // namespace korvanel
