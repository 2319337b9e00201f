// SIGINT and SIGTERM as an orderly request to end the program: blocked in every thread
// (block them before the first thread starts, so that all threads inherit the mask) and
// taken by one thread that waits for them.
#pragma once

namespace korvanel {

// Blocks SIGINT and SIGTERM in the calling thread and every thread it starts later.
void BlockTerminationSignals();

// A write to a closed pipe (standard output read by a program that has ended) fails with
// an error instead of ending the process.
void IgnoreBrokenPipe();

// Waits until SIGINT or SIGTERM arrives; returns its number.
int WaitForTerminationSignal();

}  // namespace korvanel
