// An auto-reset event: Set() lets exactly one waiter through (or the next one to wait),
// after which the event is unsignalled again.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace korvanel {

class AutoResetEvent {
  public:
    void Set() {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            signalled_ = true;
        }
        cv_.notify_one();
    }

    void Wait() {
        std::unique_lock<std::mutex> hold(mutex_);
        cv_.wait(hold, [this] { return signalled_; });
        signalled_ = false;
    }

    // Returns false when the time ran out before the event was set.
    bool WaitFor(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> hold(mutex_);
        if (!cv_.wait_for(hold, timeout, [this] { return signalled_; })) return false;
        signalled_ = false;
        return true;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_ = false;
};

}  // namespace korvanel
