// A runtime of its own per test, in a fresh directory, with a recording front end and a
// fixed local time.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "app/runtime.h"
#include "support/recording_front_end.h"
#include "support/temp_dir.h"

namespace korvanel::testing {

inline constexpr LocalTime kFixedTime{2026, 1, 2, 3, 4, 5};

class LogTest : public ::testing::Test {
  protected:
    LogTest() {
        rt.clock.local_now = [] { return kFixedTime; };
    }

    void SetAllModes(std::string_view mode) {
        Hold hold(rt.locks.settings);
        rt.settings.access_log = mode;
        rt.settings.send_header_log = mode;
        rt.settings.recv_header_log = mode;
        rt.settings.send_recv_header_log = mode;
    }

    std::string Buffered(LogBuffer& buffer) {
        Hold hold(buffer.lock);
        return std::string(buffer.view());
    }

    TempDir dir;
    RecordingFrontEnd front;
    Runtime rt{front, dir.path()};
};

// Polls `done` until it holds or five seconds have passed.
inline bool WaitUntil(const std::function<bool()>& done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace korvanel::testing
