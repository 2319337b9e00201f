// The window lives in a program of its own, korvanel-window: only that program loads Qt, so
// the proxy without a display stays as small as the core. With a display, `korvanel` hands
// itself over to it (exec: same process, same arguments, same working directory).
#pragma once

#include <string>
#include <string_view>

namespace korvanel {

inline constexpr const char kWindowProgramName[] = "korvanel-window";

// Whether a display is there to open a window on (DISPLAY or WAYLAND_DISPLAY set).
bool DisplayAvailable();

// Where the window program is for a `korvanel` in `program_dir`: beside it (the build), or
// in lib/korvanel/ beside its bin/ (an installation). Empty when neither is executable.
std::string WindowProgramPath(std::string_view program_dir);

// Replaces this process with the window program, passing `argv` on. Returns only when that
// failed, with the reason for standard error in `error`.
void ExecWindowProgram(char** argv, std::string& error);

}  // namespace korvanel
