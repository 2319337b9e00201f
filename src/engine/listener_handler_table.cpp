#include "engine/listener_handler_table.h"

#include <chrono>

#include "runtime/runtime.h"
#include "engine/connection_handler.h"
#include "platform/thread.h"

namespace korvanel {

bool HandlerTable::Start(Runtime& rt, int index, ClientSlot slot) {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        ended_[index] = false;
    }
    // The slot lives in the closure until the thread runs; if the thread cannot start, the
    // closure (and with it the socket) is destroyed here.
    return StartThread(threads_[index], [this, &rt, index, owned = std::move(slot)]() mutable {
        RunConnectionHandler(rt, std::move(owned));
        {
            std::lock_guard<std::mutex> hold(mutex_);
            ended_[index] = true;
        }
        ended_signal_.notify_one();
    });
}

int HandlerTable::WaitAny(int timeout_ms) {
    int found = -1;
    {
        std::unique_lock<std::mutex> hold(mutex_);
        auto any_ended = [&] {
            for (int i = 0; i < kHandlerTableSize; ++i) {
                // An entry whose thread could not be started is free as well.
                if (ended_[i] || !threads_[i].joinable()) {
                    found = i;
                    return true;
                }
            }
            return false;
        };
        ended_signal_.wait_for(hold, std::chrono::milliseconds(timeout_ms), any_ended);
        if (found >= 0) ended_[found] = false;
    }
    if (found >= 0 && threads_[found].joinable()) threads_[found].join();
    return found;
}

void HandlerTable::JoinAll() {
    for (std::thread& thread : threads_) {
        if (thread.joinable()) thread.join();
    }
}

}  // namespace korvanel
