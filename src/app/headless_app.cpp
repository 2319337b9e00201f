#include "app/headless_app.h"

#include <cstdio>
#include <cstdlib>

#include "app/headless_front_end.h"
#include "engine/listener.h"
#include "lifecycle/program_life.h"
#include "logging/logger.h"
#include "platform/termination_signals.h"
#include "runtime/message_dialog.h"
#include "runtime/runtime.h"
#include "settings/config_file.h"
#include "texts.h"

namespace korvanel {

namespace {

// After a thread failure some threads still run and use the runtime: the process ends
// without destroying what they use.
[[noreturn]] void EndAtOnce(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace

bool StartHeadless(Runtime& rt) {
    if (!StartProgram(rt)) return false;
    if (StartServer(rt) == 1) return true;

    FixedText<8> port;
    {
        Hold hold(rt.locks.settings);
        port = rt.settings.port;
    }
    std::fprintf(stderr, text::kHeadlessCannotStart, port.c_str());
    if (StopLogger(rt)) rt.front.WaitFor(rt.logger);
    return false;
}

int RunHeadlessProgram() {
    // Before any thread starts, so that only the waiting thread below takes the signals.
    BlockTerminationSignals();
    IgnoreBrokenPipe();

    HeadlessFrontEnd front;
    Runtime rt(front, ".");
    if (!LoadConfigurationAtStart(rt)) return kExitBadConfiguration;
    // Every status line saves `data`; without a window the save runs on the caller's thread.
    front.SetSaveHandler([&rt] { WriteConfiguration(rt); });

    if (!StartHeadless(rt)) {
        if (rt.logger.joinable()) EndAtOnce(kExitCannotStart);
        return kExitCannotStart;
    }
    WaitForTerminationSignal();
    if (!ShutDownProgram(rt)) EndAtOnce(kExitOk);
    return kExitOk;
}

}  // namespace korvanel
