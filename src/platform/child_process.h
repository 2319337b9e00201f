// Running a helper program to its end, with a time limit: started directly (never through
// a shell), its input /dev/null, its output and errors collected, nothing of this process
// but those three descriptors handed to it. A helper that outlasts its limit is killed.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace korvanel {

struct ChildRun {
    enum class End {
        kExited,      // `code` holds its exit status
        kNotStarted,  // no such program, or no process for it
        kTimedOut,    // killed at the limit
        kSignalled,   // ended by a signal of its own
    };
    End end = End::kNotStarted;
    int code = -1;
    // What it wrote to standard output and error, at most the limit given.
    std::string output;

    bool Succeeded() const { return end == End::kExited && code == 0; }
};

inline constexpr std::size_t kChildOutputLimit = 4096;

// Runs the program at `path` with `args` (args[0] is its name) and waits at most `limit`.
ChildRun RunChild(const std::string& path, const std::vector<std::string>& args,
                  std::chrono::milliseconds limit, std::size_t output_limit = kChildOutputLimit);

}  // namespace korvanel
