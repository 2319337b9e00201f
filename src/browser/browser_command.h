// Starting a browser command on its own thread and waiting for it through the front end.
#pragma once

#include "browser/browser_host.h"

namespace korvanel {

struct Runtime;

enum class BrowserCommand {
    kSetFirefox,
    kResetFirefox,
    kSetOpera,
    kResetOpera,
    kSetDesktop,
    kResetDesktop,
};

// Runs the command (`edition` 32 or 64 for Opera) on a thread of its own and returns when
// it has ended. Its waits end early once rt.closing is set (or the host's own stop): the
// browser's files are then left as they were or completely edited. 1 when it ran; -1 when its
// thread could not be started, which is shown as "thread error" / "error".
int RunBrowserCommand(Runtime& rt, BrowserCommand command, int edition, const BrowserHost& host);
// The same on the real machine.
int RunBrowserCommand(Runtime& rt, BrowserCommand command, int edition = 32);

}  // namespace korvanel
