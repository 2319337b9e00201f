// The calling pattern of every settings change: the caller starts a short worker thread,
// waits for it through the front end (which keeps a window responsive meanwhile) and reads
// its result. A thread that cannot be started is shown as "thread error" / "error" and the
// command is given up.
#pragma once

#include <functional>
#include <thread>

#include "platform/thread.h"

namespace korvanel {

struct Runtime;

// The outcomes of a command that did not run to its end. Neither is a result a command
// gives (1 done, -1 failed: a save that failed, a row that is gone), so that a command that
// ran and failed is never taken for one that never ran.
// The worker thread could not be started.
inline constexpr int kThreadNotStarted = -2;
// A limited wait ended before the worker did.
inline constexpr int kWorkerTimedOut = -3;

// Runs `body` on a worker thread and waits for it. Returns what `body` returned, or
// kThreadNotStarted after the dialog.
int RunWorkerCommand(Runtime& rt, std::function<int()> body);
int RunWorkerCommand(Runtime& rt, std::function<int()> body, const ThreadStarter& starter);

// What becomes of a change whose limited wait ran out before the worker began to store it.
enum class LateChange {
    kStoredLater,  // the worker runs on and stores it when it gets the settings lock
    kDropped,      // nothing is stored: a change reported as failed has changed nothing
};

// As RunWorkerCommand, but waits at most `timeout_ms`: kWorkerTimedOut after that. A worker
// that outlasts the wait runs on to its end unwatched, so `body` must own what it uses
// (capture by value) apart from the runtime. With LateChange::kDropped, `body` runs under
// the settings lock only if the wait has not run out by the time the worker holds it; a
// wait that runs out while `body` runs waits on for it.
int RunWorkerCommandWithin(Runtime& rt, int timeout_ms, std::function<int()> body,
                           LateChange late = LateChange::kStoredLater);

// A list row could not be allocated: shows the out-of-memory dialog and ends the program
// with exit code 0.
[[noreturn]] void ExitForOutOfMemory(Runtime& rt);

}  // namespace korvanel
