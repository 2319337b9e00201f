// Flushing and the logger thread.
#pragma once

#include <thread>

#include "platform/thread.h"
#include "runtime/log_queue.h"

namespace korvanel {

struct Runtime;

inline constexpr int kLoggerCycleMs = 250;

// Empties one buffer into its pane and, by its mode, its file (rotating it when full).
// Returns 1, or -1 when the file could not be opened or written: the buffer keeps its
// text for the next flush, and text already shown in the pane is not shown again.
int FlushLog(Runtime& rt, LogBuffer& buffer);

// Starts the logger thread and returns once it has signalled its start. False when the
// thread could not be started. The caller joins `logger` after StopLogger; the thread
// flushes every buffer once more when it sees the stop.
bool StartLogger(Runtime& rt, std::thread& logger);

// The logger stop: a short thread that sets the stop flag under the server lock; the
// caller waits for it through the front end. False when it could not be started, after the
// message "thread error" / "error": the logger was not told to stop, so the caller must not
// wait for it to end.
bool StopLogger(Runtime& rt, const ThreadStarter& starter = SystemThreadStarter());

}  // namespace korvanel
