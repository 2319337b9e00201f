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
    bool done = false;
    int result = 0;

    // The worker's result, or kWorkerTimedOut when it has not ended within `timeout_ms`.
    int WaitWithin(int timeout_ms) {
        std::unique_lock<std::mutex> hold(mutex);
        if (!ended.wait_for(hold, std::chrono::milliseconds(timeout_ms), [this] { return done; }))
            return kWorkerTimedOut;
        return result;
    }
};

}  // namespace

int RunWorkerCommandWithin(Runtime& rt, int timeout_ms, std::function<int()> body) {
    auto outcome = std::make_shared<WorkerOutcome>();
    std::thread worker;
    bool started = StartThread(worker, [outcome, body = std::move(body)] {
        int result = body();
        {
            std::lock_guard<std::mutex> hold(outcome->mutex);
            outcome->result = result;
            outcome->done = true;
        }
        outcome->ended.notify_all();
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
    if (!StartThread(waiter, [&] { result = outcome->WaitWithin(timeout_ms); })) {
        return outcome->WaitWithin(timeout_ms);
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
