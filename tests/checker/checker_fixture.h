// What the checker tests share: a runtime with a run marked active, a front end that also
// records the check dialog's steps and closing, and short wait limits.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "checker/check_io.h"
#include "checker/check_limits.h"
#include "runtime/runtime.h"
#include "support/recording_front_end.h"

namespace korvanel::testing {

class CheckFrontEnd : public RecordingFrontEnd {
  public:
    void SetCheckLine(int line, std::string_view text) override {
        RecordingFrontEnd::SetCheckLine(line, text);
        std::lock_guard<std::mutex> hold(history_mutex_);
        if (line == kCheckProgressLine) progress_line_history_.emplace_back(text);
    }
    void StepCheckProgress() override { ++steps; }
    void CloseCheckDialog(int result) override { closed_with = result; }

    std::vector<std::string> progress_line_history() const {
        std::lock_guard<std::mutex> hold(history_mutex_);
        return progress_line_history_;
    }

    std::atomic<int> steps{0};
    std::atomic<int> closed_with{0};

  private:
    mutable std::mutex history_mutex_;
    std::vector<std::string> progress_line_history_;
};

inline CheckLimits FastLimits() {
    CheckLimits limits;
    limits.slice_ms = 20;
    limits.connect_cycles = 10;
    limits.send_slices = 10;
    limits.receive_slices = 10;
    limits.worker_stagger_ms = 20;
    limits.upnp_delay_ms = 1000;
    return limits;
}

class CheckerTest : public ::testing::Test {
  protected:
    CheckerTest() { rt.check_stopped = 0; }
    void RequestStop() {
        Hold settings(rt.locks.settings);
        Hold checker(rt.locks.checker);
        rt.check_stopped = 1;
    }

    CheckFrontEnd front;
    Runtime rt{front};
    SocketRegistry sockets;
    CheckLimits limits = FastLimits();
    CheckContext context{rt, sockets, limits};
};

}  // namespace korvanel::testing
