// Start-up and close of the program with its window.
#pragma once

namespace korvanel {

// The whole program with its window: reads `data` (a rejected file shows the read-error
// dialog and ends with status 1), creates the window and its runtime, starts the logger and,
// when `auto_start` asks for it, the server, and runs the event loop until the window has
// closed in order. SIGINT and SIGTERM close the window like its close button. Returns the
// exit status.
int RunWindowProgram(int argc, char** argv);

}  // namespace korvanel
