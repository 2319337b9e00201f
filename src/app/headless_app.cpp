#include "app/headless_app.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/headless_front_end.h"
#include "runtime/message_dialog.h"
#include "runtime/runtime.h"
#include "checker/check_run.h"
#include "engine/listener.h"
#include "logging/logger.h"
#include "platform/termination_signals.h"
#include "settings/config_file.h"
#include "texts.h"

namespace korvanel {

namespace {

// False when the logger could not be told to stop: then it is not waited for.
bool StopLogging(Runtime& rt, std::thread& logger, const ThreadStarter& starter) {
    if (!StopLogger(rt, starter)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kShutdownPauseMs));
    if (logger.joinable()) rt.front.WaitFor(logger);
    return true;
}

// After a thread failure some threads still run and use the runtime: the process ends
// without destroying what they use.
[[noreturn]] void EndAtOnce(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace

bool StartHeadless(Runtime& rt, std::thread& logger) {
    if (!StartLogger(rt, logger)) {
        rt.front.ShowMessage(text::kThreadErrorTitle, text::kThreadErrorText);
        return false;
    }
    if (StartServer(rt) == 1) return true;

    FixedText<8> port;
    {
        Hold hold(rt.locks.settings);
        port = rt.settings.port;
    }
    std::fprintf(stderr, text::kHeadlessCannotStart, port.c_str());
    StopLogging(rt, logger, SystemThreadStarter());
    return false;
}

bool StopHeadless(Runtime& rt, std::thread& logger, const ThreadStarter& starter) {
    rt.closing.Request();
    SaveConfiguration(rt);
    RequestCheckStop(rt);
    return StopServer(rt, starter) == 1 && StopLogging(rt, logger, starter);
}

int RunHeadlessProgram() {
    // Before any thread starts, so that only the waiting thread below takes the signals.
    BlockTerminationSignals();
    IgnoreBrokenPipe();

    HeadlessFrontEnd front;
    Runtime rt(front, ".");
    if (ReadConfiguration(rt) != 1) {
        ShowMessageDialog(rt, text::kReadErrorTitle, text::kReadErrorText);
        return kExitBadConfiguration;
    }
    // Every status line saves `data`; without a window the save runs on the caller's thread.
    front.SetSaveHandler([&rt] { WriteConfiguration(rt); });

    std::thread logger;
    if (!StartHeadless(rt, logger)) {
        if (logger.joinable()) EndAtOnce(kExitCannotStart);
        return kExitCannotStart;
    }
    WaitForTerminationSignal();
    if (!StopHeadless(rt, logger)) EndAtOnce(kExitOk);
    return kExitOk;
}

}  // namespace korvanel
