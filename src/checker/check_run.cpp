#include "checker/check_run.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "checker/cgi_attributes.h"
#include "checker/check_io.h"
#include "checker/check_request.h"
#include "checker/local_identity.h"
#include "checker/proxy_check.h"
#include "platform/thread.h"
#include "runtime/message_dialog.h"
#include "runtime/runtime.h"
#include "settings/worker_thread.h"
#include "texts.h"

namespace korvanel {

namespace {

// Dialog lines 1 and 2 are cut to 99 bytes, never inside a character.
std::string CutLine(std::string line) {
    if (line.size() < kCheckLineCapacity) return line;
    std::size_t end = kCheckLineCapacity - 1;
    while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) --end;
    line.resize(end);
    return line;
}

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SetStopped(Runtime& rt) {
    Hold settings(rt.locks.settings);
    Hold checker(rt.locks.checker);
    rt.check_stopped = 1;
}

// The eight worker slots and the signal a worker gives when it ends.
struct WorkerPool {
    std::array<std::thread, kMaxCheckWorkers> threads;
    std::array<bool, kMaxCheckWorkers> done{};  // under mutex
    int started = 0;
    std::mutex mutex;
    std::condition_variable ended;
    ThreadStarter starter;

    explicit WorkerPool(ThreadStarter start_thread) : starter(std::move(start_thread)) {}

    bool Start(int slot, std::unique_ptr<CheckJob> job) {
        {
            std::lock_guard<std::mutex> hold(mutex);
            done[slot] = false;
        }
        auto shared_job = std::make_shared<std::unique_ptr<CheckJob>>(std::move(job));
        bool running = starter(threads[slot], [this, slot, shared_job] {
            CheckOneProxy(std::move(*shared_job));
            {
                std::lock_guard<std::mutex> hold(mutex);
                done[slot] = true;
            }
            ended.notify_all();
        });
        // A slot whose worker never started is free again at once; otherwise every failed
        // start would lose a slot, and after eight the run would wait for ever.
        if (!running) {
            std::lock_guard<std::mutex> hold(mutex);
            done[slot] = true;
        }
        return running;
    }

    // A free slot (its worker ended and joined, or never started), or -1 after
    // `timeout_ms` without one.
    int WaitAny(int timeout_ms) {
        std::unique_lock<std::mutex> hold(mutex);
        int slot = -1;
        auto any_done = [&] {
            for (int i = 0; i < kMaxCheckWorkers; ++i) {
                if (done[i]) {
                    slot = i;
                    return true;
                }
            }
            return false;
        };
        if (!ended.wait_for(hold, std::chrono::milliseconds(timeout_ms), any_done)) return -1;
        done[slot] = false;
        hold.unlock();
        if (threads[slot].joinable()) threads[slot].join();
        return slot;
    }

    void JoinAll() {
        for (std::thread& thread : threads) {
            if (thread.joinable()) thread.join();
        }
    }
};

// What a run shares with all its jobs.
struct RunShared {
    RunShared(Runtime& runtime, const CheckLimits& run_limits) : rt(runtime), limits(run_limits) {}

    Runtime& rt;
    const CheckLimits& limits;
    SocketRegistry sockets;
    LocalIdentityList identity;
    ExternalAddress external;
    CheckRequest request;
    int progress = 0;
};

CheckRunEnd EndNothingToCheck(Runtime& rt, const char* text) {
    {
        Hold checker(rt.locks.checker);
        rt.check_stopped = 1;
    }
    rt.front.SetCheckButtons(true, true);
    rt.front.SetCheckLine(kCheckProgressLine, text);
    return CheckRunEnd::kNothingToCheck;
}

CheckRunEnd EndAfterAttributeCheck(Runtime& rt) {
    SleepMs(1);
    SetStopped(rt);
    rt.front.CloseCheckDialog(1);
    return CheckRunEnd::kAttributeCheckEnded;
}

CheckRunEnd EndAllHandedOut(Runtime& rt, WorkerPool& pool) {
    pool.JoinAll();
    SleepMs(1);
    SetStopped(rt);
    rt.front.SetCheckLine(kCheckProgressLine, text::kCheckFinished);
    rt.front.CloseCheckDialog(1);
    return CheckRunEnd::kAllHandedOut;
}

CheckRunEnd EndStopped(Runtime& rt, WorkerPool& pool) {
    pool.JoinAll();
    SleepMs(1);
    SetStopped(rt);  // already 1: the stop was requested
    rt.front.CloseCheckDialog(1);
    return CheckRunEnd::kStopped;
}

void FindOwnAddresses(RunShared& run) {
    Runtime& rt = run.rt;
    rt.front.SetCheckLine(1, text::kCheckGettingIdentity);
    rt.front.SetCheckLine(2, "");
    CollectLocalIdentity(run.identity);
    rt.front.SetCheckLine(1, CutLine(std::string(text::kCheckGettingIdentity) + text::kCheckDone));
    rt.front.SetCheckLine(2, text::kCheckAskingGateway);
    run.external = DiscoverExternalAddress(run.limits.upnp_delay_ms);
    std::string line2 = text::kCheckAskingGateway;
    line2 += run.external.empty() ? text::kCheckNoData : run.external.c_str();
    rt.front.SetCheckLine(2, CutLine(line2));
}

// Lines 3 and 4 for the attribute check's result; true when the run goes on.
bool ReportAttributes(Runtime& rt, CgiAttributeResult result) {
    const char* detail = nullptr;
    switch (result) {
        case CgiAttributeResult::kDedicated:
            detail = text::kCheckCgiDedicated;
            break;
        case CgiAttributeResult::kConnectFailed:
            detail = text::kCheckCgiConnectFailed;
            break;
        case CgiAttributeResult::kExchangeFailed:
            detail = text::kCheckCgiExchangeFailed;
            break;
        case CgiAttributeResult::kUnsupportedAnswer:
            detail = text::kCheckCgiUnsupported;
            break;
        case CgiAttributeResult::kNotSuccess:
            detail = text::kCheckCgiNotSuccess;
            break;
        case CgiAttributeResult::kNotDedicated:
            detail = text::kCheckCgiNotDedicated;
            break;
        case CgiAttributeResult::kStopped:
            return false;
    }
    bool go_on = result == CgiAttributeResult::kDedicated;
    rt.front.SetCheckLine(3, std::string(text::kCheckAttributes) + detail);
    rt.front.SetCheckLine(4, go_on ? text::kCheckStarting : text::kCheckEnding);
    return go_on;
}

// Makes the job for `row` (the caller holds both locks). Null when out of memory.
std::unique_ptr<CheckJob> MakeJob(RunShared& run, ProxyEntry* row) {
    std::unique_ptr<CheckJob> job(new (std::nothrow) CheckJob(run.rt, run.sockets, run.limits));
    if (!job) return job;
    job->total = run.rt.settings.proxies.size();
    job->progress = &run.progress;
    job->request = run.request;
    SplitProxyAddress(row->address.view(), *job);
    job->external_address = run.external;
    job->local_identity = &run.identity;
    job->entry = row;
    return job;
}

enum class Handed { kStarted, kDropped, kStopped, kStartFailed };

// Hands `job` to a worker: one of the first eight slots after the stagger, or the slot of
// the first worker that ends.
Handed HandOut(RunShared& run, WorkerPool& pool, std::unique_ptr<CheckJob> job) {
    Runtime& rt = run.rt;
    if (pool.started < kMaxCheckWorkers) {
        SleepMs(run.limits.worker_stagger_ms);
        if (!pool.Start(pool.started, std::move(job))) return Handed::kStartFailed;
        ++pool.started;
        return Handed::kStarted;
    }
    int slot = -1;
    while (slot < 0) {
        if (CheckStopRequested(rt)) return Handed::kStopped;
        slot = pool.WaitAny(run.limits.slice_ms);
        if (slot < 0) YieldProcessor();
    }
    if (CheckStopRequested(rt)) return Handed::kStopped;
    if (!pool.Start(slot, std::move(job))) {
        ShowMessageDialog(rt, text::kThreadErrorTitle, text::kThreadErrorText);
        return Handed::kDropped;
    }
    return Handed::kStarted;
}

// Hands out the rows in list order. The next row is found by its position each time, not
// kept as an iterator: the list may be edited (from the settings dialog) while the run
// waits for a worker, and a removed row must not leave the driver holding a dangling one.
CheckRunEnd Dispatch(RunShared& run, const ThreadStarter& starter) {
    Runtime& rt = run.rt;
    WorkerPool pool(starter);
    for (int position = 0;; ++position) {
        std::unique_ptr<CheckJob> job;
        bool stopped = false;
        {
            Hold settings(rt.locks.settings);
            Hold checker(rt.locks.checker);
            ProxyEntry* row = rt.settings.proxies.at(position);
            if (row == nullptr) break;
            job = MakeJob(run, row);
            stopped = rt.check_stopped == 1;
        }
        // A job that cannot be made ends the run like the end of the list does.
        if (!job) return EndAllHandedOut(rt, pool);
        if (stopped) return EndStopped(rt, pool);
        YieldProcessor();
        Handed handed = HandOut(run, pool, std::move(job));
        if (handed == Handed::kStopped) return EndStopped(rt, pool);
        if (handed == Handed::kStartFailed) {
            ShowMessageDialog(rt, text::kThreadErrorTitle, text::kThreadErrorText);
            return EndAllHandedOut(rt, pool);
        }
    }
    return EndAllHandedOut(rt, pool);
}

}  // namespace

CheckRunEnd RunProxyCheck(Runtime& rt, const CheckLimits& limits) {
    return RunProxyCheck(rt, limits, [](std::thread& thread, std::function<void()> fn) {
        return StartThread(thread, std::move(fn));
    });
}

CheckRunEnd RunProxyCheck(Runtime& rt, const CheckLimits& limits, const ThreadStarter& starter) {
    auto run = std::make_unique<RunShared>(rt, limits);
    FindOwnAddresses(*run);

    std::string address;
    bool no_proxy;
    {
        Hold settings(rt.locks.settings);
        no_proxy = rt.settings.proxies.empty();
        address = rt.settings.checkproxyaddress.str();
    }
    // The dialog is told only once the lock is released: its thread may be waiting for a
    // stop request, which needs the lock.
    if (no_proxy) return EndNothingToCheck(rt, text::kCheckNoProxy);
    CheckTarget target;
    if (ParseCheckAddress(address, target) != 1) {
        return EndNothingToCheck(rt, text::kCheckBadAddress);
    }
    if (BuildCheckRequest(target.host, target.port, target.path, run->request) != 1) {
        return EndNothingToCheck(rt, text::kCheckNoProxy);
    }
    CheckContext context{rt, run->sockets, limits};
    if (!ReportAttributes(rt, QueryCgiAttributes(context, target, run->request))) {
        return EndAfterAttributeCheck(rt);
    }
    return Dispatch(*run, starter);
}

void RequestCheckStop(Runtime& rt) {
    SetStopped(rt);
}

void OpenCheckDialog(Runtime& rt, int proxy_rows) {
    std::string address;
    {
        Hold settings(rt.locks.settings);
        address = rt.settings.checkproxyaddress.str();
    }
    char line1[kOpeningLineCapacity];
    const char* line2 = text::kCheckDialogLine2;
    if (address == kDefaultCheckAddress) {
        std::snprintf(line1, sizeof line1, text::kCheckDialogDefaultLine1, address.c_str());
        line2 = text::kCheckDialogDefaultLine2;
    } else {
        std::snprintf(line1, sizeof line1, text::kCheckDialogLine1, address.c_str());
    }
    rt.front.SetCheckProgress(0, proxy_rows);
    rt.front.SetCheckLine(1, line1);
    rt.front.SetCheckLine(2, line2);
    for (int line = 3; line <= kCheckProgressLine; ++line) rt.front.SetCheckLine(line, "");
    rt.front.SetCheckButtons(true, true);
}

bool StartProxyCheck(Runtime& rt, std::thread& driver, const CheckLimits& limits,
                     CheckRunEnd* end) {
    {
        Hold checker(rt.locks.checker);
        rt.check_stopped = 0;
    }
    rt.front.SetCheckButtons(false, true);
    if (StartThread(driver, [&rt, limits, end] {
            CheckRunEnd how = RunProxyCheck(rt, limits);
            if (end != nullptr) *end = how;
        }))
        return true;
    // No run is active after all: leave the flag idle so that close and the listener's
    // automatic restart behave as without a run.
    {
        Hold checker(rt.locks.checker);
        rt.check_stopped = 1;
    }
    rt.front.SetCheckButtons(true, true);
    ShowMessageDialog(rt, text::kThreadErrorTitle, text::kThreadErrorText);
    return false;
}

bool CloseCheckDialogRequested(Runtime& rt) {
    int stopped;
    {
        Hold checker(rt.locks.checker);
        stopped = rt.check_stopped;
    }
    if (stopped == 1) return true;
    std::thread stopper;
    if (!StartThread(stopper, [&rt] { RequestCheckStop(rt); })) {
        ShowMessageDialog(rt, text::kThreadErrorTitle, text::kThreadErrorText);
        return false;
    }
    rt.front.WaitFor(stopper);
    return false;
}

}  // namespace korvanel
