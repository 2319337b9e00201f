// Waiting on the GUI thread for a worker without stopping the window: the event loop keeps
// turning (painting, queued calls from core threads, a message dialog a worker opened),
// while user input to the window is held back until the worker has ended.
#pragma once

#include <chrono>
#include <thread>

namespace korvanel::ui {

// Joins `thread`, turning the event loop meanwhile. A thread that was not joinable returns
// at once.
void WaitTurningEvents(std::thread& thread);

// Lets `duration` pass with the event loop turning (the pause at the end of the close).
void PauseTurningEvents(std::chrono::milliseconds duration);

// Whether the GUI thread is inside one of these waits (what runs now runs nested in it).
bool WaitingTurningEvents();

// While one lives, the outermost wait lets user input through: a command that may wait for
// long keeps the window answering, and the title bar's close or the menu's exit reach it.
class InputDuringWait {
  public:
    InputDuringWait();
    ~InputDuringWait();
    InputDuringWait(const InputDuringWait&) = delete;
    InputDuringWait& operator=(const InputDuringWait&) = delete;
};

}  // namespace korvanel::ui
