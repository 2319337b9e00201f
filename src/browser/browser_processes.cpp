#include "browser/browser_processes.h"

#include <thread>

namespace korvanel {
namespace {

void Pause(milliseconds wait) {
    std::this_thread::sleep_for(wait);
}

int SignalAll(const BrowserHost& host, const std::vector<int>& pids, std::string_view exe_name,
              StopSignal signal) {
    int sent = 0;
    for (int pid : pids) sent += StopProcess(host.scope, pid, exe_name, signal) ? 1 : 0;
    return sent;
}

// SIGKILL to what is left, until none is left or the retries run out.
void KillRemaining(const BrowserHost& host, std::vector<int> pids, std::string_view exe_name) {
    for (int attempt = 0; attempt < kKillTries && !pids.empty(); ++attempt) {
        SignalAll(host, pids, exe_name, StopSignal::kKill);
        Pause(host.timing.kill_retry_wait);
        std::vector<int> left;
        for (int pid : pids) {
            if (IsProcessOf(host.scope, pid, exe_name)) left.push_back(pid);
        }
        pids = std::move(left);
    }
}

}  // namespace

void CloseBrowserWindows(const BrowserHost& host, std::string_view exe_name) {
    std::vector<int> pids = FindProcesses(host.scope, exe_name);
    for (int round = 0; round < kFirefoxCloseTries && !pids.empty(); ++round) {
        SignalAll(host, pids, exe_name, StopSignal::kTerminate);
        Pause(host.timing.firefox_close_wait);
        pids = FindProcesses(host.scope, exe_name);
        if (pids.empty()) break;
        SignalAll(host, pids, exe_name, StopSignal::kTerminate);
        Pause(host.timing.firefox_close_wait);
        pids = FindProcesses(host.scope, exe_name);
    }
    KillRemaining(host, pids, exe_name);
}

bool WaitForProcess(const BrowserHost& host, std::string_view exe_name, int polls,
                    milliseconds poll) {
    for (int attempt = 0; attempt < polls; ++attempt) {
        if (!FindProcesses(host.scope, exe_name).empty()) return true;
        Pause(poll);
    }
    return !FindProcesses(host.scope, exe_name).empty();
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

void CloseOpera(const BrowserHost& host, int edition) {
    std::vector<int> pids = FindOperaProcesses(host, edition);
    if (pids.empty()) return;
    SignalAll(host, pids, kOperaProgram, StopSignal::kTerminate);
    Pause(host.timing.opera_close_wait);
    for (int attempt = 0; attempt < kOperaClosePolls; ++attempt) {
        pids = FindOperaProcesses(host, edition);
        if (pids.empty()) return;
        Pause(host.timing.opera_close_poll);
    }
    KillRemaining(host, FindOperaProcesses(host, edition), kOperaProgram);
}

bool WaitForOpera(const BrowserHost& host, int edition) {
    for (int attempt = 0; attempt < kOperaStartPolls; ++attempt) {
        if (!FindOperaProcesses(host, edition).empty()) return true;
        Pause(host.timing.opera_start_poll);
    }
    return false;
}

}  // namespace korvanel
