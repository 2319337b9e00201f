// A probe for the benchmark's click timing, present only when the environment variable
// KORVANEL_TAB_TRACE names a file. Into that file it writes, one line each and flushed:
//   "tab INDEX X Y"  the screen position of each tab of `tabs` (a second after start, so
//                    that a window manager has framed and placed the window);
//   "shown INDEX NS" when a newly chosen tab has been answered: the first event-loop turn
//                    after the change, with the monotonic clock in nanoseconds.
#pragma once

class QTabWidget;

namespace korvanel::ui {

void InstallTabTrace(QTabWidget* tabs);

}  // namespace korvanel::ui
