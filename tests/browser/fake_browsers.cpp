#include "browser/fake_browsers.h"

#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <thread>

extern char** environ;

namespace korvanel::testing {

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
        had_value_ = true;
        old_value_ = old;
    }
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (had_value_) {
        setenv(name_.c_str(), old_value_.c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

namespace {

std::string MakeFolder(const std::string& path) {
    std::filesystem::create_directories(path);
    return path;
}

BrowserHost TestHost(const std::string& bin) {
    BrowserHost host;
    host.scope.exe_folder = bin;
    host.processor_width = 64;
    host.timing.firefox_close_wait = milliseconds(20);
    host.timing.kill_retry_wait = milliseconds(20);
    host.timing.firefox_start_poll = milliseconds(10);
    host.timing.firefox_settle = milliseconds(300);
    host.timing.opera_close_wait = milliseconds(20);
    host.timing.opera_close_poll = milliseconds(20);
    host.timing.opera_start_poll = milliseconds(10);
    return host;
}

}  // namespace

FakeBrowsers::FakeBrowsers()
    : home_(MakeFolder(dir_.file("home"))),
      bin_(MakeFolder(dir_.file("bin"))),
      log_(dir_.file("starts.log")),
      host_(TestHost(bin_)),
      home_env_("HOME", home_),
      path_env_("PATH", bin_),
      log_env_("FAKE_BROWSER_LOG", log_) {
    // Detached fakes are handed to the test process when their starter goes, so that the
    // test can reap them once they are ended.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
}

FakeBrowsers::~FakeBrowsers() {
    for (const auto& [name, pid] : Starts()) {
        StopProcess(host_.scope, pid, name, StopSignal::kKill);
    }
    std::this_thread::sleep_for(milliseconds(50));
    Reap();
}

void FakeBrowsers::Install(const std::string& name) {
    std::string target = bin_ + "/" + name;
    std::filesystem::copy_file(KORVANEL_BINARY_DIR "/fake_browser", target,
                               std::filesystem::copy_options::overwrite_existing);
    chmod(target.c_str(), 0755);
}

int FakeBrowsers::Start(const std::string& name, bool ignore_term) {
    std::unique_ptr<ScopedEnv> stubborn;
    if (ignore_term) stubborn = std::make_unique<ScopedEnv>("FAKE_BROWSER_IGNORE_TERM", "1");
    std::string path = bin_ + "/" + name;
    char* argv[] = {path.data(), nullptr};
    std::size_t before = Starts().size();
    pid_t pid = 0;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
    Starts(before + 1);
    return pid;
}

void FakeBrowsers::Watch(const std::string& path) {
    extra_env_.push_back(std::make_unique<ScopedEnv>("FAKE_BROWSER_WATCH", path));
}

std::vector<std::pair<std::string, int>> FakeBrowsers::Starts(std::size_t at_least) const {
    std::vector<std::pair<std::string, int>> starts;
    for (int attempt = 0; attempt < 200; ++attempt) {
        starts.clear();
        std::istringstream lines(ReadFile(log_));
        std::string name;
        int pid = 0;
        while (lines >> name >> pid) starts.emplace_back(name, pid);
        if (starts.size() >= at_least) break;
        std::this_thread::sleep_for(milliseconds(10));
    }
    return starts;
}

std::string FakeBrowsers::Seen() const {
    return ReadFile(log_ + ".seen");
}

bool FakeBrowsers::Running(const std::string& name, int pid) const {
    Reap();
    return IsProcessOf(host_.scope, pid, name);
}

void FakeBrowsers::Reap() const {
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
}

}  // namespace korvanel::testing
