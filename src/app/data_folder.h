// Where the program keeps `data` and its five logs. Started from a terminal it works in
// the current directory, as it always has; the desktop launcher starts it with the option
// --desktop, and then it works in a folder of its own under the user's data home,
// made on first start. Either way the program then refers to its files by relative names.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>

namespace korvanel {

// The launcher's option, the folder's name under the data home, and the mode of every
// folder the program makes on the way there (the data home's own rule).
inline constexpr std::string_view kDesktopOption = "--desktop";
// Print the usage or the version on standard output and exit 0.
inline constexpr std::string_view kHelpOption = "--help";
inline constexpr std::string_view kVersionOption = "--version";
inline constexpr const char kDataFolderName[] = "korvanel";
inline constexpr mode_t kDataFolderMode = 0700;

// Exit statuses of a start that goes no further.
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoDataFolder = 1;

enum class Workplace { kCurrentDirectory, kDataFolder };

// An environment variable's value, or nullptr when it is not set (std::getenv).
using EnvironmentLookup = std::function<const char*(const char*)>;

// No argument: the current directory; the launcher's option alone: the data folder.
// Anything else is false, with the message for standard error in `error`.
bool ParseCommandLine(int argc, const char* const argv[], Workplace& place, std::string& error);

// $XDG_DATA_HOME/korvanel when XDG_DATA_HOME is an absolute path, else
// $HOME/.local/share/korvanel. Empty when that needs HOME and HOME is not absolute.
// A relative XDG_DATA_HOME is ignored, as the data home's rule asks.
std::string DataFolderPath(const EnvironmentLookup& env);

// Makes `path` (absolute) and every missing folder above it, each with exactly
// kDataFolderMode; folders that exist are left as they are. 0 on success, else the errno
// of the failing step (ENOTDIR when a part of the path is not a folder).
int MakeFolders(const std::string& path);

// What start-up does next: go on (in the current directory, which may just have changed),
// or end with `exit_status` after printing `message` on standard error (on standard output
// when `to_stdout`: the answer to --help or --version).
struct StartDecision {
    bool go_on = true;
    int exit_status = 0;
    std::string message;
    bool to_stdout = false;
};

// Prints a decision's message where it belongs; the exit status to end with.
int ReportStop(const StartDecision& decision);

// Reads the command line and, for the launcher's option, finds, makes and enters the data
// folder. Runs before anything else, so that every relative name means the new folder.
StartDecision EnterWorkplace(int argc, const char* const argv[], const EnvironmentLookup& env);

}  // namespace korvanel
