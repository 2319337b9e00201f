// The process table (/proc): finding the processes of a program by the name of their
// executable, stopping them, telling a 32-bit executable from a 64-bit one, the processor
// width, and starting a program from PATH so that it outlives its starter.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvanel {

// Which processes a scan may see and a stop may signal. The program sees every process it
// may read; a test names the folder its own executables live in, so that nothing else on
// the machine can ever be found, let alone signalled.
struct ProcessScope {
    // When not empty, only processes whose executable lies directly in this folder.
    std::string exe_folder;
};

enum class StopSignal { kTerminate, kKill };

// The PIDs of the processes in `scope` whose executable's file name is `exe_name`. An
// executable replaced or deleted while it runs still counts under its old name. The
// calling process and processes that have ended (zombies included) never appear.
std::vector<int> FindProcesses(const ProcessScope& scope, std::string_view exe_name);

// True while `pid` is a process of `scope` named `exe_name`.
bool IsProcessOf(const ProcessScope& scope, int pid, std::string_view exe_name);

// Sends the signal to `pid` when it still is a process of `scope` named `exe_name` (checked
// through a process handle, so a PID reused meanwhile is never hit). True when sent.
bool StopProcess(const ProcessScope& scope, int pid, std::string_view exe_name, StopSignal signal);

// True while `pid` is a process that has not ended (a zombie has).
bool ProcessIsRunning(int pid);
// 32 or 64 by the ELF class of the file; 0 when it is no ELF file or cannot be read.
int ElfClassOfFile(const std::string& path);
// The ELF class of a running process's executable (0 when it cannot be asked).
int ElfClassOfProcess(int pid);

// 32 or 64: the width of the machine the program runs on (uname); never 0 on Linux.
int ProcessorWidth();

// The first executable file named `program` in the folders of PATH, or "" when none.
std::string FindOnPath(std::string_view program);

// Starts `program`, found on PATH, detached: in a session of its own, with no descriptor of
// this process but /dev/null for input and output, with default signal handling, and not a
// child of this process (nothing to reap). 1 when it was executed, -1 when it was not found
// or could not be started.
// `args` follow the program's name; `pid`, when given, receives the started program's PID.
int StartDetached(std::string_view program, const std::vector<std::string>& args = {},
                  int* pid = nullptr);

}  // namespace korvanel
