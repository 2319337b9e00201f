// The listener: the listening socket, the accept thread that hands every client to a
// connection handler thread of its own, and the stop command.
//
// Lifecycle: StartServer binds and starts one accept thread; the stop command sets the run
// flag, revokes the listening socket (which wakes the accept thread), and marks the server
// stopped. The accept thread then cleans up every engine socket, so that blocked handlers
// wake, waits for all its handlers, writes the stop line and zeroes the counters.
#pragma once

#include "platform/thread.h"

namespace korvanel {

struct Runtime;

// Time the first stop worker leaves between raising the run flag and revoking the
// listening socket.
inline constexpr int kStopGraceMs = 500;
// A connection that finds all handler entries busy waits in steps of this length...
inline constexpr int kHandlerWaitMs = 200;
// ...at most this many times (15 s), and is then closed without an answer.
inline constexpr int kHandlerWaitCount = 75;
// Each log box of the main window holds at most this many characters.
inline constexpr int kLogPaneCharacters = 65536;
// The accept thread looks at the run flag at least this often even when no client comes.
inline constexpr int kAcceptPollMs = 500;
// Pause after an accept that failed for want of descriptors or memory, so that the
// accept thread does not spin while the shortage lasts.
inline constexpr int kAcceptErrorPauseMs = 50;

// The waits of the accept thread when the handler table is full; tests shorten them.
struct ListenerLimits {
    int handler_wait_ms = kHandlerWaitMs;
    int handler_wait_count = kHandlerWaitCount;
};

// Binds the configured port ("local": loopback only; "passive": every local address),
// starts the accept thread and returns once it runs. 1 = started or already running (the
// latter shows a message), -1 = the socket could not be resolved, bound or put to listen.
int StartServer(Runtime& rt);
int StartServer(Runtime& rt, const ListenerLimits& limits);

// The stop command: runs the two stop workers one after the other through the front end,
// then waits for the accept thread (and so for every handler) to end. 1, or -1 when a
// worker could not be started: the message "thread error.." / "error" has been shown and
// nothing after that worker was done (a stop that was never requested is not waited for).
int StopServer(Runtime& rt);
int StopServer(Runtime& rt, const ThreadStarter& starter);

}  // namespace korvanel
