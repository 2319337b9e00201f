#include "lifecycle/program_life.h"

#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "checker/check_run.h"
#include "engine/listener.h"
#include "logging/logger.h"
#include "logging/status_log.h"
#include "runtime/message_dialog.h"
#include "runtime/runtime.h"
#include "settings/config_file.h"
#include "settings/worker_thread.h"
#include "texts.h"
#include "tls/inspector_holder.h"

namespace korvanel {

namespace {

// Runs `step` on a thread of its own and waits for it through the front end. False after
// the "thread error" message when the thread could not be started.
template <typename Step>
bool RunWaited(Runtime& rt, Step step) {
    std::thread worker;
    if (!StartThread(worker, step)) {
        ShowMessageDialog(rt, text::kThreadErrorTitle, text::kThreadErrorText);
        return false;
    }
    rt.front.WaitFor(worker);
    return true;
}

// The logger's last cycle; a window keeps turning meanwhile.
void PauseForLogger(Runtime& rt) {
    auto pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(kShutdownPauseMs)); };
    std::thread sleeper;
    if (StartThread(sleeper, pause)) {
        rt.front.WaitFor(sleeper);
    } else {
        pause();
    }
}

}  // namespace

bool StartProgram(Runtime& rt) {
    if (StartLogger(rt, rt.logger)) {
        // With inspection on, the user's authority is there (made now, and said in the
        // command log) before the first visit needs it.
        PrepareInspection(rt);
        // A logins file that was not used is said once, with how to mend it.
        std::string logins_problem;
        {
            std::lock_guard<std::mutex> writing(rt.config_save.writing);
            logins_problem = rt.config_save.logins_problem;
        }
        if (!logins_problem.empty()) PostStatus(rt, text::kLoginsStatus, logins_problem);
        return true;
    }
    ShowMessageDialog(rt, text::kThreadErrorTitle, text::kThreadErrorText);
    return false;
}

bool ShutDownProgram(Runtime& rt, const ThreadStarter& starter) {
    rt.closing.Request();  // a browser command's waits end early
    if (SaveConfiguration(rt) == kThreadNotStarted) return false;
    if (!RunWaited(rt, [&rt] { RequestCheckStop(rt); })) return false;
    if (StopServer(rt, starter) == -1) return false;  // reported by the stop command
    if (!rt.logger.joinable()) return true;
    if (!StopLogger(rt, starter)) return false;  // reported by the logger stop
    PauseForLogger(rt);
    rt.front.WaitFor(rt.logger);
    return true;
}

}  // namespace korvanel
