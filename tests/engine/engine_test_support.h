// A Runtime for engine tests, with the long waits shortened.
#pragma once

#include <chrono>
#include <memory>

#include "runtime/runtime.h"
#include "support/loopback.h"
#include "support/recording_front_end.h"
#include "support/temp_dir.h"

namespace korvanel::testing {

struct EngineFixture {
    EngineFixture() : rt(front, dir.path()) {
        rt.limits.send_step_ms = 20;
        rt.limits.send_patient_steps = 10;
        rt.limits.connect_step_ms = 20;
        rt.limits.connect_steps = 25;
    }
    TempDir dir;
    RecordingFrontEnd front;
    Runtime rt;
};

}  // namespace korvanel::testing
