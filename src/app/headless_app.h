// Start-up and shutdown of the program without a window: the same order as with one, but
// the server starts at once and SIGINT or SIGTERM asks for the orderly stop.
#pragma once

#include <thread>

#include "platform/thread.h"

namespace korvanel {

struct Runtime;

// Pause after the logger was told to stop, before the program ends.
inline constexpr int kShutdownPauseMs = 1000;

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitCannotStart = 1;
inline constexpr int kExitBadConfiguration = 1;

// Starts the logger and the server. On failure says so on standard error, naming the port,
// stops what was started and returns false.
bool StartHeadless(Runtime& rt, std::thread& logger);

// The orderly stop: save `data`, stop the checker, stop the server, stop the logger, then
// the pause. False when the thread of a step could not be started: its message has been
// shown and the later steps skipped, so that nothing waits for a thread that was never told
// to end; the caller then ends the program without them.
bool StopHeadless(Runtime& rt, std::thread& logger,
                  const ThreadStarter& starter = SystemThreadStarter());

// The whole program: blocks the termination signals, reads `data` (creating it when missing;
// a rejected file ends the program with the read-error message and status 1), starts, waits
// for SIGINT or SIGTERM, stops. Returns the exit status.
int RunHeadlessProgram();

}  // namespace korvanel
