// The real listener and connection handlers in the test process, on a free loopback port,
// with the long waits shortened so that fault tests end quickly; and the process's
// descriptor and thread counts, to show that a test leaves nothing behind.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "runtime/runtime.h"
#include "support/loopback.h"
#include "support/recording_front_end.h"
#include "support/temp_dir.h"

namespace korvanel::testing {

// Shortened waits of a harness proxy.
inline constexpr int kHarnessHeadTimeoutMs = 1500;
inline constexpr int kHarnessSendStepMs = 20;
inline constexpr int kHarnessSendSteps = 10;

class ProxyHarness {
  public:
    ProxyHarness();
    ~ProxyHarness();

    // StartServer on a free port; true when it listens.
    bool Start();
    // StopServer; true when it returned (every handler and the accept thread ended).
    bool Stop();

    // The active first-request and keep-alive counts, under the counter lock.
    int Active();
    int KeptActive();
    int Served();
    // Waits until no connection is counted as active.
    bool WaitIdle(int timeout_ms);

    uint16_t port = 0;
    TempDir dir;
    RecordingFrontEnd front;
    Runtime rt;
};

// What the process holds: open descriptors and threads.
struct ProcessCounts {
    int descriptors = 0;
    int threads = 0;
    bool operator==(const ProcessCounts&) const = default;
};
ProcessCounts CountsOf(const std::string& proc_dir = "/proc/self");
// This process's counts to compare with after a test: taken once a thread has been
// started and joined, so that helper threads a runtime starts with the first thread
// (a sanitizer's) are in them.
ProcessCounts BaselineCounts();
// Waits until the counts equal `baseline` (descriptors of closing sockets and ending
// threads take a moment to go). Returns the last counts seen.
ProcessCounts WaitForCounts(const ProcessCounts& baseline, int timeout_ms,
                            const std::string& proc_dir = "/proc/self");

// The text of a new `data` file, with `port` for the proxy's port.
std::string DefaultDataWithPort(uint16_t port);

}  // namespace korvanel::testing
