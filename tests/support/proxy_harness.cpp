#include "support/proxy_harness.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/listener.h"
#include "settings/config_file.h"

namespace korvanel::testing {

ProxyHarness::ProxyHarness() : rt(front, dir.path()) {
    ApplyNewFileDefaults(rt.settings);
    rt.settings.access_log = "0";
    rt.limits.first_request_head_timeout_ms = kHarnessHeadTimeoutMs;
    rt.limits.kept_request_head_timeout_ms = kHarnessHeadTimeoutMs;
    rt.limits.answer_head_timeout_ms = kHarnessHeadTimeoutMs;
    rt.limits.send_step_ms = kHarnessSendStepMs;
    rt.limits.send_patient_steps = kHarnessSendSteps;
    rt.limits.connect_step_ms = 20;
    rt.limits.connect_steps = 25;
}

ProxyHarness::~ProxyHarness() {
    if (rt.server.accept_thread.joinable()) StopServer(rt);
}

bool ProxyHarness::Start() {
    port = UnusedLoopbackPort();
    rt.settings.port = std::to_string(port);
    return StartServer(rt) == 1;
}

bool ProxyHarness::Stop() {
    return StopServer(rt) == 1 && !rt.server.accept_thread.joinable();
}

int ProxyHarness::Active() {
    Hold hold(rt.locks.counter);
    return rt.server.counters.active;
}

int ProxyHarness::KeptActive() {
    Hold hold(rt.locks.counter);
    return rt.server.counters.keep_alive_active;
}

int ProxyHarness::Served() {
    Hold hold(rt.locks.counter);
    return rt.server.counters.served;
}

bool ProxyHarness::WaitIdle(int timeout_ms) {
    return PollUntil([this] { return Active() == 0 && KeptActive() == 0; }, timeout_ms);
}

namespace {
int EntriesIn(const std::string& path) {
    int count = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(path, error), end; !error && it != end;
         it.increment(error)) {
        ++count;
    }
    return count;
}
}  // namespace

ProcessCounts CountsOf(const std::string& proc_dir) {
    // The iterator's own descriptor is counted in both cases, so comparisons hold.
    return ProcessCounts{EntriesIn(proc_dir + "/fd"), EntriesIn(proc_dir + "/task")};
}

ProcessCounts BaselineCounts() {
    std::thread([] {}).join();
    return CountsOf();
}

ProcessCounts WaitForCounts(const ProcessCounts& baseline, int timeout_ms,
                            const std::string& proc_dir) {
    ProcessCounts now;
    PollUntil(
        [&] {
            now = CountsOf(proc_dir);
            return now == baseline;
        },
        timeout_ms);
    return now;
}

std::string DefaultDataWithPort(uint16_t port) {
    std::string data = DefaultConfigurationText();
    const std::string from = ":KORV_PORT\r\n8080\r\n";
    data.replace(data.find(from), from.size(), ":KORV_PORT\r\n" + std::to_string(port) + "\r\n");
    return data;
}

}  // namespace korvanel::testing
