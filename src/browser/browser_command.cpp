#include "browser/browser_command.h"

#include <thread>

#include "browser/desktop_proxy.h"
#include "browser/firefox_proxy.h"
#include "browser/opera_proxy.h"
#include "logging/status_log.h"
#include "platform/thread.h"
#include "runtime/runtime.h"
#include "settings/https_settings.h"
#include "texts.h"

namespace korvanel {
namespace {

bool IsSet(BrowserCommand command) {
    return command == BrowserCommand::kSetFirefox || command == BrowserCommand::kSetOpera ||
           command == BrowserCommand::kSetDesktop;
}

// A browser set while the tunnels are off sends its https:// pages straight to the sites,
// around the proxy and the upstream proxy chosen for anonymity: said in the command log, and
// asked whether the tunnels should go on (then the browser gets the HTTPS proxy too).
void OfferTunnels(Runtime& rt) {
    {
        Hold settings(rt.locks.settings);
        if (rt.settings.https_tunnel) return;
    }
    PostStatus(rt, text::kBrowserStatus, text::kHttpsAroundStatus);
    if (!rt.front.AskYesNo(text::kHttpsAroundTitle, text::kHttpsAroundAsk)) return;
    HttpsChange change;
    change.field = HttpsChange::Field::kTunnel;
    change.on = true;
    ApplyHttpsChangeNow(rt, change);
    PostStatus(rt, text::kBrowserStatus, text::kHttpsAroundTunnelOn);
}

void RunCommand(Runtime& rt, BrowserCommand command, int edition, const BrowserHost& host) {
    if (IsSet(command)) OfferTunnels(rt);
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
        case BrowserCommand::kSetDesktop:
            SetDesktopProxy(rt, host);
            break;
        case BrowserCommand::kResetDesktop:
            ResetDesktopProxy(rt, host);
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
