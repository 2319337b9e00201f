#include "engine/listener.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "engine/listener_accept.h"
#include "platform/descriptor_limit.h"
#include "platform/thread.h"
#include "runtime/engine_limits.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

namespace {

void ReportThreadError(Runtime& rt) {
    rt.front.ShowMessage(text::kThreadErrorTitle, text::kThreadErrorText);
}

bool AlreadyListening(Runtime& rt) {
    { Hold touch(rt.locks.server); }
    Hold hold(rt.locks.server);
    return rt.server.state == kServerListening;
}

void SetState(Runtime& rt, int state) {
    Hold hold(rt.locks.server);
    rt.server.state = state;
}

// Copies the bind mode and port under the settings lock, on a short worker the front end
// waits for. False when the worker could not be started.
bool CopyListenSettings(Runtime& rt, StartRecord& record) {
    std::thread worker;
    bool started = StartThread(worker, [&rt, &record] {
        Hold hold(rt.locks.settings);
        record.bind_mode = rt.settings.localorpassive;
        record.port = rt.settings.port;
    });
    if (!started) return false;
    rt.front.WaitFor(worker);
    return true;
}

// Resolves, binds and listens. Invalid socket on failure.
Socket OpenListeningSocket(Runtime& rt, const StartRecord& record) {
    bool passive = StartsWithN(record.bind_mode, "passive", 7);
    Ipv4Endpoint local;
    if (!ResolveIpv4(nullptr, record.port.c_str(), passive, local)) return Socket();
    Socket listening = Socket::OpenTcp(rt.sockets);
    if (!listening.valid()) return Socket();
    if (!listening.SetReuseAddress() || !listening.Bind(local)) return Socket();
    // Accepted sockets inherit both from the listening socket: set once here, not per client.
    listening.SetNoDelay();
    listening.SetKeepAlive(kKeepAliveIdleS, kKeepAliveIntervalS, kKeepAliveProbes);
    if (!listening.Listen(kListenBacklog)) return Socket();
    return listening;
}

// The first stop worker: raise the run flag, give running operations a moment to notice,
// then wake the accept thread by revoking the listening socket it owns.
void RequestStop(Runtime& rt) {
    {
        Hold hold(rt.locks.server);
        rt.server.run_flag = RunFlag::kStopRequested;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kStopGraceMs));
    Hold hold(rt.locks.server);
    if (rt.server.listening_fd >= 0) rt.sockets.Revoke(rt.server.listening_fd);
}

// The second stop worker.
void MarkStopped(Runtime& rt) {
    Hold hold(rt.locks.server);
    if (rt.server.state == kServerListening) rt.server.state = kServerStopped;
}

bool RunWorker(Runtime& rt, const ThreadStarter& starter, std::function<void()> fn) {
    std::thread worker;
    if (!starter(worker, std::move(fn))) return false;
    rt.front.WaitFor(worker);
    return true;
}

}  // namespace

int StartServer(Runtime& rt) {
    return StartServer(rt, ListenerLimits{});
}

int StartServer(Runtime& rt, const ListenerLimits& limits) {
    if (AlreadyListening(rt)) {
        rt.front.ShowMessage(text::kAlreadyStartedTitle, text::kAlreadyStartedText);
        return 1;
    }
    // An accept thread of an earlier run that was told to stop ends on its own; wait for it
    // before the socket registry leaves its cleaned-up state.
    if (rt.server.accept_thread.joinable()) rt.front.WaitFor(rt.server.accept_thread);
    rt.sockets.Reset();

    // Many tunnels need many descriptors: the soft limit goes up to the hard one, and the
    // tunnels stay below it.
    rt.server.tunnel_cap =
        std::min(TunnelCapFor(RaiseDescriptorLimit()), rt.limits.max_open_tunnels);

    StartRecord record;
    record.limits = limits;
    if (!CopyListenSettings(rt, record)) {
        ReportThreadError(rt);
        return -1;
    }
    record.listening = OpenListeningSocket(rt, record);
    // The state says listening only once the socket really listens.
    if (!record.listening.valid()) return -1;
    SetState(rt, kServerListening);

    auto started = std::make_shared<AutoResetEvent>();
    record.started = started;
    bool running = StartThread(rt.server.accept_thread, [&rt, owned = std::move(record)]() mutable {
        RunAcceptThread(rt, std::move(owned));
    });
    if (!running) {
        SetState(rt, kServerStopped);
        ReportThreadError(rt);
        return -1;
    }
    started->Wait();
    return 1;
}

int StopServer(Runtime& rt) {
    return StopServer(rt, SystemThreadStarter());
}

int StopServer(Runtime& rt, const ThreadStarter& starter) {
    if (!RunWorker(rt, starter, [&rt] { RequestStop(rt); }) ||
        !RunWorker(rt, starter, [&rt] { MarkStopped(rt); })) {
        rt.front.ShowMessage(text::kThreadErrorTitleDots, text::kThreadErrorText);
        return -1;
    }
    if (rt.server.accept_thread.joinable()) rt.front.WaitFor(rt.server.accept_thread);
    return 1;
}

}  // namespace korvanel
