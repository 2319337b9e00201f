#include "browser/browser_processes.h"

namespace korvanel {
namespace {

int SignalAll(const BrowserHost& host, const std::vector<int>& pids, std::string_view exe_name,
              StopSignal signal) {
    int sent = 0;
    for (int pid : pids) sent += StopProcess(host.scope, pid, exe_name, signal) ? 1 : 0;
    return sent;
}

// SIGKILL to what is left, until none is left or the retries run out.
bool KillRemaining(const BrowserHost& host, std::vector<int> pids, std::string_view exe_name) {
    for (int attempt = 0; attempt < kKillTries && !pids.empty(); ++attempt) {
        SignalAll(host, pids, exe_name, StopSignal::kKill);
        if (!PauseUnlessStopped(host, host.timing.kill_retry_wait)) return false;
        std::vector<int> left;
        for (int pid : pids) {
            if (IsProcessOf(host.scope, pid, exe_name)) left.push_back(pid);
        }
        pids = std::move(left);
    }
    return true;
}

}  // namespace

bool CloseBrowserWindows(const BrowserHost& host, std::string_view exe_name) {
    std::vector<int> pids = FindProcesses(host.scope, exe_name);
    for (int round = 0; round < kFirefoxCloseTries && !pids.empty(); ++round) {
        SignalAll(host, pids, exe_name, StopSignal::kTerminate);
        if (!PauseUnlessStopped(host, host.timing.firefox_close_wait)) return false;
        pids = FindProcesses(host.scope, exe_name);
        if (pids.empty()) break;
        SignalAll(host, pids, exe_name, StopSignal::kTerminate);
        if (!PauseUnlessStopped(host, host.timing.firefox_close_wait)) return false;
        pids = FindProcesses(host.scope, exe_name);
    }
    return KillRemaining(host, pids, exe_name);
}

int OperaEditionOf(int processor_width, int elf_class) {
    if (processor_width == 32) return 32;
    if (processor_width != 64) return 0;
    if (elf_class == 32) return 32;
    if (elf_class == 64) return 64;
    return 0;
}

std::vector<int> FindOperaProcesses(const BrowserHost& host, int edition) {
    std::vector<int> found;
    for (int pid : FindProcesses(host.scope, kOperaProgram)) {
        if (OperaEditionOf(host.processor_width, ElfClassOfProcess(pid)) == edition) {
            found.push_back(pid);
        }
    }
    return found;
}

bool CloseOpera(const BrowserHost& host, int edition) {
    std::vector<int> pids = FindOperaProcesses(host, edition);
    if (pids.empty()) return true;
    SignalAll(host, pids, kOperaProgram, StopSignal::kTerminate);
    if (!PauseUnlessStopped(host, host.timing.opera_close_wait)) return false;
    for (int attempt = 0; attempt < kOperaClosePolls; ++attempt) {
        pids = FindOperaProcesses(host, edition);
        if (pids.empty()) return true;
        if (!PauseUnlessStopped(host, host.timing.opera_close_poll)) return false;
    }
    return KillRemaining(host, FindOperaProcesses(host, edition), kOperaProgram);
}

bool WaitForOpera(const BrowserHost& host, int edition) {
    for (int attempt = 0; attempt < kOperaStartPolls; ++attempt) {
        if (!FindOperaProcesses(host, edition).empty()) return true;
        if (!PauseUnlessStopped(host, host.timing.opera_start_poll)) return false;
    }
    return false;
}

}  // namespace korvanel
