#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <future>
#include <optional>
#include <string>

#include "app/headless_app.h"
#include "engine/listener.h"
#include "lifecycle/program_life.h"
#include "logging/logger.h"
#include "runtime/runtime.h"
#include "settings/config_file.h"
#include "support/child_run.h"
#include "support/loopback.h"
#include "support/recording_front_end.h"
#include "support/temp_dir.h"
#include "texts.h"

namespace korvanel {
namespace {

using testing::RecordingFrontEnd;
using testing::TempDir;

// Longer than any stop takes; a shutdown still running then waits for a thread that was
// never told to end.
constexpr auto kHangLimit = std::chrono::seconds(10);

// Starts threads as the system does, except the one numbered `failing` (from 0).
ThreadStarter FailingAt(int failing, int& started) {
    return [failing, &started](std::thread& thread, std::function<void()> fn) {
        if (started++ == failing) return false;
        return SystemThreadStarter()(thread, std::move(fn));
    };
}

// The program's runtime as the headless start leaves it: logger and server running.
struct Running {
    Running() : rt(front, dir.path()) {
        ApplyNewFileDefaults(rt.settings);
        rt.settings.port = std::to_string(testing::UnusedLoopbackPort());
    }
    // The steps a shutdown skipped.
    ~Running() {
        if (rt.server.accept_thread.joinable()) StopServer(rt);
        if (rt.logger.joinable()) {
            StopLogger(rt);
            rt.logger.join();
        }
    }

    TempDir dir;
    RecordingFrontEnd front;
    Runtime rt;
};

// The stop command's two workers report "thread error..", the logger stop "thread error";
// each failure ends the shutdown at once instead of waiting for what was never stopped.
TEST(HeadlessShutdownTest, AThreadThatCannotStartEndsTheShutdownWithItsMessage) {
    struct Case {
        const char* name;
        int failing;  // the stop worker, the state worker, the logger stop
        const char* title;
        RunFlag run_flag;
        int state;
    };
    const Case cases[] = {
        {"stop worker", 0, "thread error..", RunFlag::kRunning, kServerListening},
        {"state worker", 1, "thread error..", RunFlag::kStopRequested, kServerListening},
        {"logger stop", 2, "thread error", RunFlag::kStopRequested, kServerStopped},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Running run;
        ASSERT_TRUE(StartHeadless(run.rt));
        int started = 0;
        ThreadStarter starter = FailingAt(c.failing, started);
        auto stopped =
            std::async(std::launch::async, [&] { return ShutDownProgram(run.rt, starter); });
        if (stopped.wait_for(kHangLimit) != std::future_status::ready) {
            ADD_FAILURE() << "the shutdown hangs";
            Hold hold(run.rt.locks.server);
            run.rt.server.logger_stop_flag = 1;  // lets it end
        }
        EXPECT_FALSE(stopped.get());
        auto messages = run.front.messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].first, c.title);
        EXPECT_EQ(messages[0].second, "error");
        Hold hold(run.rt.locks.server);
        EXPECT_EQ(run.rt.server.run_flag.load(), c.run_flag);
        EXPECT_EQ(run.rt.server.state, c.state);
        EXPECT_EQ(run.rt.server.logger_stop_flag, 0);
    }
}

// A save that fails is no thread that failed to start: the shutdown goes on, and the stop's
// status line follows the save's failure in the command log. A read-only `data` binds an
// ordinary user only, so the program runs as one, in a child process.
TEST(HeadlessShutdownTest, ASaveThatFailsStillStopsTheServerWithItsStatusLine) {
    std::optional<std::string> got = testing::RunInChild(testing::BecomeOrdinaryUser, [] {
        Running run;
        const std::string data = run.rt.PathOf(kConfigFileName);
        testing::WriteFile(data, FormatConfiguration(run.rt.settings));
        ::chmod(data.c_str(), 0444);
        if (!StartHeadless(run.rt)) return std::string("not started");
        bool stopped = ShutDownProgram(run.rt);
        return std::string(stopped ? "stopped|" : "cut short|") + run.front.pane(Pane::kStatus);
    });
    ASSERT_TRUE(got.has_value()) << "could not run as an ordinary user";
    EXPECT_TRUE(got->starts_with("stopped|")) << *got;
    std::size_t failed = got->find(text::kSaveFailedStatus);
    std::size_t stop = got->find(std::string(text::kServerStopped) + ":.\r\n");
    ASSERT_NE(failed, std::string::npos) << *got;
    ASSERT_NE(stop, std::string::npos) << *got;
    EXPECT_LT(failed, stop) << *got;
}

}  // namespace
}  // namespace korvanel
