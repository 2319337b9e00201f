// korvanel-check: one checker run over the proxy list of the `data` in the current
// directory, without a window. The proxy-check dialog's lines go to standard output as
// "N: text"; the verdicts and speeds are written back into `data`. SIGINT or SIGTERM stops
// the run the way the dialog's close button does.
//
// Exit status: 0 when the run ended (finished, or stopped by a signal), 1 when it ended
// with a failure text (nothing to check, or the check CGI failed) or `data` could not be
// read or written, 2 for an unknown option. --help and --version print on standard output
// and exit 0. Run it only while korvanel itself is not running in this directory.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string_view>
#include <thread>

#include "app/headless_front_end.h"
#include "checker/check_run.h"
#include "runtime/message_dialog.h"
#include "runtime/runtime.h"
#include "settings/config_file.h"
#include "texts.h"

namespace korvanel {
namespace {

// The dialog on a terminal: every change of a line is printed as "N: text"; messages and
// the rest behave as in the headless program.
class ConsoleCheckFrontEnd : public HeadlessFrontEnd {
  public:
    void SetCheckLine(int line, std::string_view text) override {
        if (text.empty()) return;
        std::lock_guard<std::mutex> hold(mutex_);
        std::printf(text::kCheckProgramLine, line, std::string(text).c_str());
        std::fflush(stdout);
    }

  private:
    std::mutex mutex_;
};

// Waits for SIGINT or SIGTERM (blocked in every thread) until `done`; the first one asks
// the run to stop, as the dialog's close button does.
void WatchSignals(Runtime& rt, const sigset_t& signals, const std::atomic<bool>& done) {
    bool asked = false;
    while (!done) {
        timespec slice{0, 200 * 1000 * 1000};
        if (sigtimedwait(&signals, nullptr, &slice) > 0 && !asked) {
            asked = true;
            std::fputs(text::kCheckProgramStopping, stderr);
            CloseCheckDialogRequested(rt);
        }
    }
}

constexpr int kExitUsage = 2;

// The options: none runs the check; --help and --version answer and end the program.
// -1 when the check is to run, else the exit status.
int AnswerCommandLine(int argc, char** argv) {
    if (argc < 2) return -1;
    const std::string_view option = argv[1];
    if (argc == 2 && option == "--help") {
        std::fputs(text::kCheckProgramUsage, stdout);
        return 0;
    }
    if (argc == 2 && option == "--version") {
        std::fputs("korvanel-check " KORVANEL_VERSION "\n", stdout);
        return 0;
    }
    std::fprintf(stderr, text::kCheckProgramUnknownArgument, argv[1]);
    std::fputs(text::kCheckProgramUsage, stderr);
    return kExitUsage;
}

int RunCheckProgram() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    ConsoleCheckFrontEnd front;
    Runtime rt(front, ".");
    if (!LoadConfigurationAtStart(rt)) {
        std::fputs(text::kCheckProgramReadFailed, stderr);
        return 1;
    }
    int rows;
    {
        Hold settings(rt.locks.settings);
        rows = rt.settings.proxies.size();
    }
    OpenCheckDialog(rt, rows);

    std::atomic<bool> done{false};
    std::thread watcher([&] { WatchSignals(rt, signals, done); });
    std::thread driver;
    CheckRunEnd end = CheckRunEnd::kNothingToCheck;
    bool started = StartProxyCheck(rt, driver, kCheckLimits, &end);
    if (started) driver.join();
    done = true;
    watcher.join();
    if (!started) return 1;

    if (WriteConfiguration(rt) != 1) {
        std::fputs(text::kCheckProgramWriteFailed, stderr);
        return 1;
    }
    return end == CheckRunEnd::kNothingToCheck || end == CheckRunEnd::kAttributeCheckEnded ? 1 : 0;
}

}  // namespace
}  // namespace korvanel

int main(int argc, char** argv) {
    int answered = korvanel::AnswerCommandLine(argc, argv);
    return answered >= 0 ? answered : korvanel::RunCheckProgram();
}
