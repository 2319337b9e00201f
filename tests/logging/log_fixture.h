// A runtime of its own per test, in a fresh directory, with a recording front end and a
// fixed local time.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "runtime/runtime.h"
#include "support/loopback.h"
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

}  // namespace korvanel::testing
