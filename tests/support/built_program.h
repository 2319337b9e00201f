// A program of the build run as a user runs it: in a directory of its own, its output in
// stdout.txt and stderr.txt there. Killed when the test leaves it running.
#pragma once

#include <sys/types.h>

#include <string>

#include "support/temp_dir.h"

namespace korvanel::testing {

class BuiltProgram {
  public:
    // Starts `name` (a program in the build folder) in `dir`.
    BuiltProgram(const TempDir& dir, const char* name);
    ~BuiltProgram();
    BuiltProgram(const BuiltProgram&) = delete;
    BuiltProgram& operator=(const BuiltProgram&) = delete;

    std::string out() const { return ReadFile(dir_.file("stdout.txt")); }
    std::string err() const { return ReadFile(dir_.file("stderr.txt")); }
    // The program's folder in /proc.
    std::string proc() const { return "/proc/" + std::to_string(pid_); }

    void Signal(int number);
    // Exit status, or -1 when the program has not ended within `timeout_ms`.
    int WaitExit(int timeout_ms);
    // True once `text` stands in the standard output, within `timeout_ms`.
    bool WaitOutput(const std::string& text, int timeout_ms);

  private:
    const TempDir& dir_;
    pid_t pid_ = -1;
    bool exited_ = false;
};

}  // namespace korvanel::testing
