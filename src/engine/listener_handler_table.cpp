#include "engine/listener_handler_table.h"

#include <chrono>
#include <utility>

#include "engine/connection_handler.h"
#include "platform/thread.h"
#include "runtime/runtime.h"

namespace korvanel {

bool HandlerTable::Start(Runtime& rt, int index, ClientSlot slot) {
    bool kept = false;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        ended_[index] = false;
        handed_[index] = std::move(slot);
        has_client_[index] = true;
        kept = threads_[index].joinable() && !exited_[index];
        exited_[index] = false;
        if (!kept) ++alive_;
    }
    if (kept) {
        client_signal_[index].notify_one();
        return true;
    }
    // A thread that ended for want of clients has returned, or is about to.
    if (threads_[index].joinable()) threads_[index].join();
    if (StartThread(threads_[index], [this, &rt, index] { Serve(rt, index); })) return true;
    // No thread to take the client: it is closed without an answer, the entry stays free.
    ClientSlot dropped;
    std::lock_guard<std::mutex> hold(mutex_);
    dropped = std::move(handed_[index]);
    has_client_[index] = false;
    --alive_;
    return false;
}

void HandlerTable::Serve(Runtime& rt, int index) {
    for (;;) {
        ClientSlot slot;
        {
            std::unique_lock<std::mutex> hold(mutex_);
            auto woken = [&] { return has_client_[index] || closing_; };
            while (!client_signal_[index].wait_for(
                hold, std::chrono::milliseconds(kKeptHandlerIdleMs), woken)) {
                // Idle for long: the thread ends, unless it is the last one or the accept
                // thread has just reserved this entry for its next client.
                if (ended_[index] && alive_ > 1) {
                    --alive_;
                    ended_[index] = false;
                    exited_[index] = true;
                    return;
                }
            }
            // A client handed on before the table closed is still served (a stop has
            // revoked its socket by then, so that is quick).
            if (!has_client_[index]) return;
            slot = std::move(handed_[index]);
            has_client_[index] = false;
        }
        RunConnectionHandler(rt, std::move(slot));
        {
            std::lock_guard<std::mutex> hold(mutex_);
            ended_[index] = true;
        }
        ended_signal_.notify_one();
    }
}

int HandlerTable::WaitAny(int timeout_ms) {
    int found = -1;
    std::unique_lock<std::mutex> hold(mutex_);
    auto any_ended = [&] {
        // Kept threads first: a new thread only when none of them is free.
        for (int i = 0; i < kHandlerTableSize; ++i) {
            if (ended_[i]) {
                found = i;
                return true;
            }
        }
        // An entry never used, or whose thread could not be started, is free as well.
        for (int i = 0; i < kHandlerTableSize; ++i) {
            if ((!threads_[i].joinable() || exited_[i]) && !has_client_[i]) {
                found = i;
                return true;
            }
        }
        return false;
    };
    ended_signal_.wait_for(hold, std::chrono::milliseconds(timeout_ms), any_ended);
    if (found >= 0) ended_[found] = false;
    return found;
}

void HandlerTable::JoinAll() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        closing_ = true;
    }
    for (std::condition_variable& signal : client_signal_) signal.notify_one();
    for (std::thread& thread : threads_) {
        if (thread.joinable()) thread.join();
    }
}

}  // namespace korvanel
