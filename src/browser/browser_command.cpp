#include "browser/browser_command.h"

#include <thread>

#include "browser/firefox_proxy.h"
#include "browser/opera_proxy.h"
#include "platform/thread.h"
#include "runtime/runtime.h"
#include "texts.h"

namespace korvanel {
namespace {

void RunCommand(Runtime& rt, BrowserCommand command, int edition, const BrowserHost& host) {
    switch (command) {
        case BrowserCommand::kSetFirefox:
            SetFirefoxProxy(rt, host);
            break;
        case BrowserCommand::kResetFirefox:
            ResetFirefoxProxy(rt, host);
            break;
        case BrowserCommand::kSetOpera:
            SetOperaProxy(rt, host, edition);
            break;
        case BrowserCommand::kResetOpera:
            ResetOperaProxy(rt, host, edition);
            break;
    }
}

}  // namespace

int RunBrowserCommand(Runtime& rt, BrowserCommand command, int edition, const BrowserHost& host) {
    BrowserHost stoppable = host;
    if (!stoppable.stop) stoppable.stop = &rt.closing;
    // A command asked for once the close has begun would only hold the close up.
    if (stoppable.stop->Requested()) return 1;
    std::thread worker;
    bool started = StartThread(worker, [&rt, command, edition, stoppable] {
        RunCommand(rt, command, edition, stoppable);
    });
    if (!started) {
        rt.front.ShowMessage(text::kThreadErrorTitle, text::kThreadErrorText);
        return -1;
    }
    rt.front.WaitFor(worker);
    return 1;
}

int RunBrowserCommand(Runtime& rt, BrowserCommand command, int edition) {
    return RunBrowserCommand(rt, command, edition, SystemBrowserHost());
}

}  // namespace korvanel
