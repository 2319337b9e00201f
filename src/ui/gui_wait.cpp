#include "ui/gui_wait.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QTimer>
#include <atomic>
#include <memory>

#include "platform/thread.h"

namespace korvanel::ui {

namespace {

constexpr QEventLoop::ProcessEventsFlags kWaitFlags =
    QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents;

// Posted by the joiner so that a loop asleep in WaitForMoreEvents looks at `done` again.
void WakeGuiThread() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(
            app, [] {}, Qt::QueuedConnection);
    }
}

// How deep the GUI thread is in waits (only the GUI thread waits here).
int wait_depth = 0;

// How many InputDuringWait live (GUI thread only).
int input_admitted = 0;

QEventLoop::ProcessEventsFlags FlagsForThisWait() {
    if (input_admitted > 0 && wait_depth == 1) return QEventLoop::WaitForMoreEvents;
    return kWaitFlags;
}

struct InWait {
    InWait() { ++wait_depth; }
    ~InWait() { --wait_depth; }
};

}  // namespace

bool WaitingTurningEvents() {
    return wait_depth > 0;
}

InputDuringWait::InputDuringWait() {
    ++input_admitted;
}
InputDuringWait::~InputDuringWait() {
    --input_admitted;
}

void WaitTurningEvents(std::thread& thread) {
    if (!thread.joinable()) return;
    InWait in_wait;
    // A helper thread does the join, so the GUI thread never blocks in it.
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread joiner;
    bool started = StartThread(joiner, [&thread, done] {
        thread.join();
        done->store(true);
        WakeGuiThread();
    });
    if (!started) {
        // Not even a small thread can start: deliver what is pending, then join outright.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        thread.join();
        return;
    }
    const QEventLoop::ProcessEventsFlags flags = FlagsForThisWait();
    while (!done->load()) QCoreApplication::processEvents(flags);
    joiner.join();
}

void PauseTurningEvents(std::chrono::milliseconds duration) {
    InWait in_wait;
    QDeadlineTimer deadline(duration.count());
    QTimer wake;
    wake.start(20);  // WaitForMoreEvents returns at least this often
    while (!deadline.hasExpired()) QCoreApplication::processEvents(kWaitFlags);
}

}  // namespace korvanel::ui
