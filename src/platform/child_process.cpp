#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <thread>

namespace korvanel {

namespace {

using Clock = std::chrono::steady_clock;

// Runs in the child; only async-signal-safe calls. Never returns.
[[noreturn]] void ExecChild(const char* path, char* const* argv, int null_fd, int out_fd) {
    for (int number = 1; number < NSIG; ++number) {
        if (number != SIGKILL && number != SIGSTOP) signal(number, SIG_DFL);
    }
    sigset_t empty;
    sigemptyset(&empty);
    sigprocmask(SIG_SETMASK, &empty, nullptr);
    if (dup2(null_fd, 0) < 0 || dup2(out_fd, 1) < 0 || dup2(out_fd, 2) < 0) _exit(127);
    if (close_range(3, ~0U, 0) != 0) {
        for (int fd = 3; fd < 4096; ++fd) close(fd);
    }
    execv(path, argv);
    _exit(127);
}

int MillisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Reads what the child writes until it closes its end or the deadline; false at the deadline.
bool CollectOutput(int fd, Clock::time_point deadline, std::size_t limit, std::string& output) {
    char buffer[1024];
    while (true) {
        pollfd watched{fd, POLLIN, 0};
        int ready = poll(&watched, 1, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return true;
        std::size_t room = limit - std::min(limit, output.size());
        output.append(buffer, std::min(room, static_cast<std::size_t>(got)));
    }
}

// The child's end, waited for until the deadline; false when it has not ended by then.
bool WaitUntil(pid_t pid, Clock::time_point deadline, int& status) {
    while (true) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return true;
        if (done < 0 && errno != EINTR) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace

ChildRun RunChild(const std::string& path, const std::vector<std::string>& args,
                  std::chrono::milliseconds limit, std::size_t output_limit) {
    ChildRun run;
    if (path.empty() || args.empty() || access(path.c_str(), X_OK) != 0) return run;
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    int null_fd = open("/dev/null", O_RDWR | O_CLOEXEC);
    int out[2];
    if (null_fd < 0) return run;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(null_fd);
        return run;
    }
    const Clock::time_point deadline = Clock::now() + limit;
    pid_t pid = fork();
    if (pid == 0) ExecChild(path.c_str(), argv.data(), null_fd, out[1]);
    close(null_fd);
    close(out[1]);
    if (pid < 0) {
        close(out[0]);
        return run;
    }
    bool closed = CollectOutput(out[0], deadline, output_limit, run.output);
    close(out[0]);
    int status = 0;
    if (!closed || !WaitUntil(pid, deadline, status)) {
        kill(pid, SIGKILL);
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        run.end = ChildRun::End::kTimedOut;
        return run;
    }
    if (WIFEXITED(status)) {
        run.code = WEXITSTATUS(status);
        // 127 with nothing said: the exec itself failed.
        run.end = run.code == 127 && run.output.empty() ? ChildRun::End::kNotStarted
                                                        : ChildRun::End::kExited;
    } else {
        run.end = ChildRun::End::kSignalled;
    }
    return run;
}

}  // namespace korvanel
