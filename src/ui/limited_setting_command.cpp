#include "ui/limited_setting_command.h"

#include <QtCore/QCoreApplication>

#include "platform/thread.h"
#include "runtime/message_dialog.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel::ui {

namespace {

// How long the GUI thread sleeps between two turns of its events while it waits.
constexpr std::chrono::milliseconds kEventTurn{5};

}  // namespace

LimitedSettingCommand::~LimitedSettingCommand() {
    if (worker_.joinable()) worker_.join();
}

LimitedSettingCommand::Outcome LimitedSettingCommand::run(const SettingCommand& command,
                                                          std::chrono::milliseconds limit) {
    busy_ = true;
    finishLast();
    auto state = std::make_shared<State>();
    Runtime& rt = rt_;
    bool started = StartThread(worker_, [&rt, command, state] {
        {
            // Decide under the settings lock, so that the change and the decision cannot
            // be parted by a wait running out between them.
            Hold hold(rt.locks.settings);
            std::unique_lock<std::mutex> lock(state->mutex);
            if (!state->abandoned) {
                state->storing = true;
                lock.unlock();
                ApplySettingNow(rt, command);
            }
        }
        std::lock_guard<std::mutex> lock(state->mutex);
        state->done = true;
        state->changed.notify_all();
    });
    if (!started) {
        busy_ = false;
        ShowMessageDialog(rt_, text::kThreadErrorTitle, text::kThreadErrorText);
        return Outcome::kNotStarted;
    }
    state_ = state;
    bool done = waitUntil(*state, std::chrono::steady_clock::now() + limit);
    if (!done) {
        std::unique_lock<std::mutex> lock(state->mutex);
        if (!state->storing) {
            state->abandoned = true;
            busy_ = false;
            return Outcome::kTimedOut;
        }
    }
    // Done, or storing right now: that takes a moment.
    finishLast();
    busy_ = false;
    return Outcome::kDone;
}

void LimitedSettingCommand::finishLast() {
    if (state_) waitUntil(*state_, std::chrono::steady_clock::time_point::max());
    if (worker_.joinable()) worker_.join();
    state_.reset();
}

bool LimitedSettingCommand::waitUntil(State& state,
                                      std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(state.mutex);
    while (!state.done) {
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        lock.unlock();
        // Painting and queued calls go on; clicks wait until the change has ended.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        lock.lock();
        auto turn = deadline - now < kEventTurn ? deadline - now
                                                : std::chrono::steady_clock::duration(kEventTurn);
        state.changed.wait_for(lock, turn, [&state] { return state.done; });
    }
    return true;
}

}  // namespace korvanel::ui
