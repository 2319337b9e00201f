// The start-up and shutdown that every front end runs, in one order: the window and the
// headless program differ only in how they wait (a window keeps its events turning), which
// the front end port decides.
#pragma once

#include "platform/thread.h"

namespace korvanel {

struct Runtime;

// Pause after the logger was told to stop, so that it finishes its last cycle.
inline constexpr int kShutdownPauseMs = 1000;

// Starts the logger thread (held by the runtime) and returns once it runs. False after the
// "thread error" message when it could not be started; the program goes on without it.
bool StartProgram(Runtime& rt);

// The orderly stop: save `data`, stop the checker, stop the server, stop the logger, then
// the pause. False when the thread of a step could not be started: its message has been
// shown and the later steps skipped, so that nothing waits for a thread that was never told
// to end; the caller then ends the program at once. `starter` starts the server's and the
// logger's stop workers (tests make them fail).
bool ShutDownProgram(Runtime& rt, const ThreadStarter& starter = SystemThreadStarter());

}  // namespace korvanel
