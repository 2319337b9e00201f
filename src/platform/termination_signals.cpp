#include "platform/termination_signals.h"

#include <pthread.h>
#include <signal.h>

namespace korvanel {

namespace {
sigset_t TerminationSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}
}  // namespace

void BlockTerminationSignals() {
    sigset_t set = TerminationSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void IgnoreBrokenPipe() {
    signal(SIGPIPE, SIG_IGN);
}

int WaitForTerminationSignal() {
    sigset_t set = TerminationSet();
    int number = 0;
    while (sigwait(&set, &number) != 0) {
    }
    return number;
}

}  // namespace korvanel
