// A checker run: every proxy of the list checked through the check CGI, at most eight at
// a time, driving the proxy-check dialog through the front end. Also the dialog's own
// three actions (opening, OK, close), shared by every front end.
#pragma once

#include <thread>

#include "checker/check_limits.h"
#include "settings/worker_thread.h"

namespace korvanel {

struct Runtime;

// The driver's thread body. Started with check_stopped 0 (see StartProxyCheck). Ends in
// one of four ways; check_stopped is 1 afterwards in every case.
enum class CheckRunEnd {
    // No proxy, or a bad check address: OK enabled again, the reason on the progress line,
    // the dialog stays open.
    kNothingToCheck,
    // The check CGI's attribute check failed or was stopped; no worker ran: the dialog is
    // closed.
    kAttributeCheckEnded,
    // Every proxy handed out (or a worker could not be started): all workers waited for,
    // "finished" on the progress line, the dialog is closed.
    kAllHandedOut,
    // A stop was noticed while handing out: all workers waited for, the dialog is closed.
    kStopped,
};
CheckRunEnd RunProxyCheck(Runtime& rt, const CheckLimits& limits = kCheckLimits);
// The same, starting the workers through `starter` (tests make starts fail).
CheckRunEnd RunProxyCheck(Runtime& rt, const CheckLimits& limits, const ThreadStarter& starter);

// The stop request's thread body: sets check_stopped to 1 under both locks.
void RequestCheckStop(Runtime& rt);

// The dialog opens: the progress bar's range and the first two lines, which name the
// check address.
void OpenCheckDialog(Runtime& rt, int proxy_rows);

// OK: marks a run active, disables OK and starts RunProxyCheck on `driver`. False (after
// the thread-error message) when the thread cannot be started; no run is active then.
// `end`, when given, receives how the run ended (it must outlive the driver thread).
bool StartProxyCheck(Runtime& rt, std::thread& driver, const CheckLimits& limits = kCheckLimits,
                     CheckRunEnd* end = nullptr);

// Close: with a run active, asks it to stop and waits for the request (the run closes the
// dialog once its workers have ended) and gives false; idle, gives true: close at once.
bool CloseCheckDialogRequested(Runtime& rt);

}  // namespace korvanel
