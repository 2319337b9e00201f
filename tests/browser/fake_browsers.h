// A sandbox for the browser commands: a temporary HOME, a PATH holding only the fake
// browsers' folder, a process scope limited to that folder, and the fakes' start records.
// Everything is put back and every fake ended when the sandbox goes.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "browser/browser_host.h"
#include "support/temp_dir.h"

namespace korvanel::testing {

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    bool had_value_ = false;
    std::string old_value_;
};

class FakeBrowsers {
  public:
    FakeBrowsers();
    ~FakeBrowsers();

    const std::string& home() const { return home_; }
    const std::string& bin() const { return bin_; }
    // Scope narrowed to bin(), width 64, short waits.
    const BrowserHost& host() const { return host_; }

    // Puts the fake on PATH under `name` ("firefox", "opera").
    void Install(const std::string& name);
    // Starts an installed fake as a child of the test; returns its PID.
    int Start(const std::string& name, bool ignore_term = false);
    // Makes every fake started from now on copy `path` at its start (see Seen()).
    void Watch(const std::string& path);

    // The starts recorded so far: (name, pid), in order. Waits briefly for `at_least`.
    std::vector<std::pair<std::string, int>> Starts(std::size_t at_least = 0) const;
    // What the last watching fake found in the watched file.
    std::string Seen() const;
    bool Running(const std::string& name, int pid) const;
    // Reaps fakes that have ended, so that they leave the process table.
    void Reap() const;

  private:
    TempDir dir_;
    std::string home_;
    std::string bin_;
    std::string log_;
    BrowserHost host_;
    ScopedEnv home_env_;
    ScopedEnv path_env_;
    ScopedEnv log_env_;
    std::vector<std::unique_ptr<ScopedEnv>> extra_env_;
};

}  // namespace korvanel::testing
