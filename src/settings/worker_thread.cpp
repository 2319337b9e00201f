#include "settings/worker_thread.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/thread.h"
#include "runtime/message_dialog.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {

int RunWorkerCommand(Runtime& rt, std::function<int()> body) {
    return RunWorkerCommand(rt, std::move(body), SystemThreadStarter());
}

int RunWorkerCommand(Runtime& rt, std::function<int()> body, const ThreadStarter& starter) {
    int result = 0;
    std::thread worker;
    if (!starter(worker, [&result, &body] { result = body(); })) {
        ShowMessageDialog(rt, text::kThreadErrorTitle, text::kThreadErrorText);
        return kThreadNotStarted;
    }
    rt.front.WaitFor(worker);
    return result;
}

namespace {

// What a limited wait shares with a worker that may outlive it.
struct WorkerOutcome {
    std::mutex mutex;
    std::condition_variable ended;
    bool storing = false;    // the worker holds the settings lock and runs the body
    bool abandoned = false;  // the wait ran out first: a dropped change is not run
    bool done = false;
    int result = 0;

    // The worker's result, or kWorkerTimedOut when it has not ended within `timeout_ms`.
    // A change that may be dropped is waited for to its end once it has begun to store.
    int WaitWithin(int timeout_ms, LateChange late) {
        std::unique_lock<std::mutex> hold(mutex);
        if (ended.wait_for(hold, std::chrono::milliseconds(timeout_ms), [this] { return done; }))
            return result;
        if (late == LateChange::kStoredLater || !storing) {
            abandoned = true;
            return kWorkerTimedOut;
        }
        ended.wait(hold, [this] { return done; });
        return result;
    }

    void Finish(int value) {
        {
            std::lock_guard<std::mutex> hold(mutex);
            result = value;
            done = true;
        }
        ended.notify_all();
    }
};

// The body, or nothing when the wait ran out before the worker got the settings lock:
// the decision is taken under that lock, so a wait cannot run out between it and the change.
int RunUnlessAbandoned(Runtime& rt, WorkerOutcome& outcome, const std::function<int()>& body) {
    Hold hold(rt.locks.settings);
    {
        std::lock_guard<std::mutex> lock(outcome.mutex);
        if (outcome.abandoned) return kWorkerTimedOut;
        outcome.storing = true;
    }
    return body();
}

}  // namespace

int RunWorkerCommandWithin(Runtime& rt, int timeout_ms, std::function<int()> body,
                           LateChange late) {
    auto outcome = std::make_shared<WorkerOutcome>();
    std::thread worker;
    bool started = StartThread(worker, [&rt, outcome, late, body = std::move(body)] {
        outcome->Finish(late == LateChange::kDropped ? RunUnlessAbandoned(rt, *outcome, body)
                                                     : body());
    });
    if (!started) {
        ShowMessageDialog(rt, text::kThreadErrorTitle, text::kThreadErrorText);
        return kThreadNotStarted;
    }
    worker.detach();
    // The limited wait runs on a thread of its own so that the front end keeps the window
    // turning meanwhile, as for every other command.
    int result = kWorkerTimedOut;
    std::thread waiter;
    if (!StartThread(waiter, [&] { result = outcome->WaitWithin(timeout_ms, late); })) {
        return outcome->WaitWithin(timeout_ms, late);
    }
    rt.front.WaitFor(waiter);
    return result;
}

void ExitForOutOfMemory(Runtime& rt) {
    ShowMessageDialog(rt, text::kOutOfMemoryTitle, text::kOutOfMemoryText);
    std::fflush(nullptr);
    // Other threads may still run: end without running static destructors under them.
    std::_Exit(0);
}

}  // namespace korvanel
