#include "settings/worker_thread.h"

#include <cstdio>
#include <cstdlib>

#include "runtime/message_dialog.h"
#include "runtime/runtime.h"
#include "platform/thread.h"
#include "texts.h"

namespace korvanel {

int RunWorkerCommand(Runtime& rt, std::function<int()> body) {
    return RunWorkerCommand(rt, std::move(body), SystemThreadStarter());
}

int RunWorkerCommand(Runtime& rt, std::function<int()> body, const ThreadStarter& starter) {
    int result = 0;
    std::thread worker;
    if (!starter(worker, [&result, &body] { result = body(); })) {
        ShowMessageDialog(rt, text::kThreadErrorTitle, text::kThreadErrorText);
        return kThreadNotStarted;
    }
    rt.front.WaitFor(worker);
    return result;
}

void ExitForOutOfMemory(Runtime& rt) {
    ShowMessageDialog(rt, text::kOutOfMemoryTitle, text::kOutOfMemoryText);
    std::fflush(nullptr);
    // Other threads may still run: end without running static destructors under them.
    std::_Exit(0);
}

}  // namespace korvanel
