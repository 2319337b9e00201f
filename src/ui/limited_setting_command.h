// One ApplySetting whose wait is limited: the worker runs on its own thread while the GUI
// thread keeps its events turning, for at most the given time. A change whose wait ran out
// is dropped before it is stored, so that a switch reported as failed has changed nothing.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "settings/apply_setting.h"

namespace korvanel {
struct Runtime;
}

namespace korvanel::ui {

class LimitedSettingCommand {
  public:
    enum class Outcome { kDone, kTimedOut, kNotStarted };

    explicit LimitedSettingCommand(Runtime& rt) : rt_(rt) {}
    // Waits for a worker that outlived its wait (it only needs the settings lock to end).
    ~LimitedSettingCommand();
    LimitedSettingCommand(const LimitedSettingCommand&) = delete;
    LimitedSettingCommand& operator=(const LimitedSettingCommand&) = delete;

    // Shows the "thread error" dialog when the worker cannot be started.
    Outcome run(const SettingCommand& command, std::chrono::milliseconds limit);
    // True while run() waits (its events may deliver another click meanwhile).
    bool busy() const { return busy_; }

  private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool storing = false;    // the worker holds the settings lock and will store
        bool abandoned = false;  // the wait ran out first: the worker stores nothing
        bool done = false;
    };
    // Waits for the last worker to end, without a limit, and joins it.
    void finishLast();
    // Keeps the events turning until `state` is done or `deadline`; true when done.
    bool waitUntil(State& state, std::chrono::steady_clock::time_point deadline);

    Runtime& rt_;
    std::thread worker_;
    std::shared_ptr<State> state_;
    bool busy_ = false;
};

}  // namespace korvanel::ui
