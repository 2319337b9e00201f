// A request to stop that stays set once made: long waits sleep on it, so that a close asked
// for meanwhile ends them at once rather than when their time runs out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace korvanel {

class StopRequest {
  public:
    // Wakes every sleeper; every later sleep returns at once.
    void Request() {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            requested_ = true;
        }
        cv_.notify_all();
    }

    bool Requested() const {
        std::lock_guard<std::mutex> hold(mutex_);
        return requested_;
    }

    // Sleeps `duration`; false when a stop was asked for before it or meanwhile.
    bool SleepFor(std::chrono::milliseconds duration) {
        std::unique_lock<std::mutex> hold(mutex_);
        return !cv_.wait_for(hold, duration, [this] { return requested_; });
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool requested_ = false;
};

}  // namespace korvanel
