// Start-up and shutdown of the program without a window: the same order as with one, but
// the server starts at once and SIGINT or SIGTERM asks for the orderly stop.
#pragma once

namespace korvanel {

struct Runtime;

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitCannotStart = 1;
inline constexpr int kExitBadConfiguration = 1;

// Starts the logger and the server. On failure says so on standard error, naming the port,
// stops what was started and returns false.
bool StartHeadless(Runtime& rt);

// The whole program: blocks the termination signals, reads `data` (creating it when missing;
// a rejected file ends the program with the read-error message and status 1), starts, waits
// for SIGINT or SIGTERM, shuts down in the program's order. Returns the exit status.
int RunHeadlessProgram();

}  // namespace korvanel
