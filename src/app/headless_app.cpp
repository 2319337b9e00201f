#include "app/headless_app.h"

#include <chrono>
#include <cstdio>

#include "app/headless_front_end.h"
#include "app/runtime.h"
#include "engine/listener.h"
#include "logging/logger.h"
#include "platform/termination_signals.h"
#include "settings/settings.h"
#include "texts.h"

namespace korvanel {

namespace {

void StopLogging(Runtime& rt, std::thread& logger) {
    StopLogger(rt);
    std::this_thread::sleep_for(std::chrono::milliseconds(kShutdownPauseMs));
    if (logger.joinable()) rt.front.WaitFor(logger);
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
    StopLogging(rt, logger);
    return false;
}

void StopHeadless(Runtime& rt, std::thread& logger) {
    StopServer(rt);
    StopLogging(rt, logger);
}

int RunHeadlessProgram() {
    // Before any thread starts, so that only the waiting thread below takes the signals.
    BlockTerminationSignals();

    HeadlessFrontEnd front;
    Runtime rt(front, ".");
    ApplyNewFileDefaults(rt.settings);

    std::thread logger;
    if (!StartHeadless(rt, logger)) return kExitCannotStart;
    WaitForTerminationSignal();
    StopHeadless(rt, logger);
    return kExitOk;
}

}  // namespace korvanel
