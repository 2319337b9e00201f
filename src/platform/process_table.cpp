#include "platform/process_table.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace korvanel {
namespace {

constexpr std::string_view kDeletedSuffix = " (deleted)";
// Descriptors above this are closed one by one when close_range is not available.
constexpr int kCloseFallbackLimit = 4096;

// The executable path of `pid`, "" when it cannot be read (ended, zombie, not ours).
std::string ExePathOf(int pid) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/%d/exe", pid);
    char target[4096];
    ssize_t length = readlink(link, target, sizeof target - 1);
    if (length <= 0) return {};
    std::string path(target, static_cast<std::size_t>(length));
    if (path.ends_with(kDeletedSuffix)) path.resize(path.size() - kDeletedSuffix.size());
    return path;
}

bool PathMatches(const ProcessScope& scope, std::string_view path, std::string_view exe_name) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return false;
    if (path.substr(slash + 1) != exe_name) return false;
    if (scope.exe_folder.empty()) return true;
    std::string_view folder = scope.exe_folder;
    while (folder.size() > 1 && folder.ends_with('/')) folder.remove_suffix(1);
    return path.substr(0, slash) == folder;
}

int ParsePid(const char* name) {
    if (*name == '\0') return 0;
    long value = 0;
    for (const char* p = name; *p; ++p) {
        if (*p < '0' || *p > '9') return 0;
        value = value * 10 + (*p - '0');
        if (value > 1 << 30) return 0;
    }
    return static_cast<int>(value);
}

int OpenProcessHandle(int pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

bool SendThroughHandle(int handle, int signal_number) {
#ifdef SYS_pidfd_send_signal
    return syscall(SYS_pidfd_send_signal, handle, signal_number, nullptr, 0) == 0;
#else
    (void)handle;
    (void)signal_number;
    return false;
#endif
}

// In the detached child: default dispositions and an empty mask, whatever the starting
// thread had blocked or ignored (the browser must answer SIGTERM later).
void ResetSignals() {
    for (int number = 1; number < NSIG; ++number) {
        if (number == SIGKILL || number == SIGSTOP) continue;
        signal(number, SIG_DFL);
    }
    sigset_t empty;
    sigemptyset(&empty);
    sigprocmask(SIG_SETMASK, &empty, nullptr);
}

void CloseDescriptorsExcept(int keep) {
    if (close_range(3, keep - 1, 0) == 0 && close_range(keep + 1, ~0U, 0) == 0) return;
    for (int fd = 3; fd < kCloseFallbackLimit; ++fd) {
        if (fd != keep) close(fd);
    }
}

// Runs in the grandchild; only async-signal-safe calls. Never returns.
[[noreturn]] void ExecDetached(const char* path, char* const argv[], int report_fd) {
    ResetSignals();
    // The report end must survive the redirection of descriptors 0 to 2.
    if (report_fd < 3) {
        int moved = fcntl(report_fd, F_DUPFD_CLOEXEC, 3);
        if (moved < 0) {
            int error = errno;
            ssize_t ignored = write(report_fd, &error, sizeof error);
            (void)ignored;
            _exit(127);
        }
        report_fd = moved;
    }
    int null_fd = open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
        dup2(null_fd, 0);
        dup2(null_fd, 1);
        dup2(null_fd, 2);
    }
    CloseDescriptorsExcept(report_fd);
    execv(path, argv);
    int error = errno;
    ssize_t ignored = write(report_fd, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

}  // namespace

std::vector<int> FindProcesses(const ProcessScope& scope, std::string_view exe_name) {
    std::vector<int> found;
    DIR* proc = opendir("/proc");
    if (!proc) return found;
    int self = static_cast<int>(getpid());
    while (dirent* entry = readdir(proc)) {
        int pid = ParsePid(entry->d_name);
        if (pid <= 0 || pid == self) continue;
        if (PathMatches(scope, ExePathOf(pid), exe_name)) found.push_back(pid);
    }
    closedir(proc);
    return found;
}

bool IsProcessOf(const ProcessScope& scope, int pid, std::string_view exe_name) {
    if (pid <= 0 || pid == static_cast<int>(getpid())) return false;
    return PathMatches(scope, ExePathOf(pid), exe_name);
}

bool StopProcess(const ProcessScope& scope, int pid, std::string_view exe_name, StopSignal signal) {
    int number = signal == StopSignal::kKill ? SIGKILL : SIGTERM;
    int handle = OpenProcessHandle(pid);
    if (handle < 0) {
        if (errno != ENOSYS) return false;
        // Older kernels: the check and the signal are not one step, but the check still
        // keeps every other program out.
        return IsProcessOf(scope, pid, exe_name) && kill(pid, number) == 0;
    }
    // With the handle open, the PID cannot name another process until it is closed.
    bool sent = IsProcessOf(scope, pid, exe_name) && SendThroughHandle(handle, number);
    close(handle);
    return sent;
}

int ElfClassOfFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    unsigned char ident[5] = {};
    ssize_t got = read(fd, ident, sizeof ident);
    close(fd);
    if (got != static_cast<ssize_t>(sizeof ident)) return 0;
    if (ident[0] != 0x7f || ident[1] != 'E' || ident[2] != 'L' || ident[3] != 'F') return 0;
    if (ident[4] == 1) return 32;
    if (ident[4] == 2) return 64;
    return 0;
}

int ElfClassOfProcess(int pid) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/%d/exe", pid);
    return ElfClassOfFile(link);
}

int ProcessorWidth() {
    utsname name{};
    if (uname(&name) == 0) {
        std::string_view machine = name.machine;
        if (machine.find("64") != std::string_view::npos || machine == "s390x") return 64;
        if (!machine.empty()) return 32;
    }
    return static_cast<int>(sizeof(void*) * 8);
}

std::string FindOnPath(std::string_view program) {
    if (program.empty() || program.find('/') != std::string_view::npos) return {};
    const char* path = std::getenv("PATH");
    std::string_view folders = path ? path : "";
    while (true) {
        std::size_t colon = folders.find(':');
        std::string_view folder = folders.substr(0, colon);
        std::string candidate(folder.empty() ? "." : folder);
        candidate += '/';
        candidate += program;
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        if (colon == std::string_view::npos) return {};
        folders.remove_prefix(colon + 1);
    }
}

bool ProcessIsRunning(int pid) {
    return pid > 0 && !ExePathOf(pid).empty();
}

int StartDetached(std::string_view program, const std::vector<std::string>& args, int* pid) {
    std::string path = FindOnPath(program);
    if (path.empty()) return -1;
    std::string name(program);
    // Made before the fork: the child may only make async-signal-safe calls.
    std::vector<char*> argv{name.data()};
    std::vector<std::string> arguments = args;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return -1;
    // The middle process says which PID the program got.
    int started[2];
    if (pipe2(started, O_CLOEXEC) != 0) {
        close(report[0]);
        close(report[1]);
        return -1;
    }
    pid_t child = fork();
    if (child < 0) {
        for (int fd : {report[0], report[1], started[0], started[1]}) close(fd);
        return -1;
    }
    if (child == 0) {
        close(report[0]);
        close(started[0]);
        setsid();
        pid_t grandchild = fork();
        if (grandchild != 0) {
            ssize_t ignored = write(started[1], &grandchild, sizeof grandchild);
            (void)ignored;
            _exit(grandchild < 0 ? 1 : 0);
        }
        ExecDetached(path.c_str(), argv.data(), report[1]);
    }
    close(report[1]);
    close(started[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    pid_t grandchild = -1;
    while (read(started[0], &grandchild, sizeof grandchild) < 0 && errno == EINTR) {
    }
    close(started[0]);
    // The report end closes on a successful exec; an error number arrives otherwise.
    int error = 0;
    ssize_t got;
    do {
        got = read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    bool forked = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!forked || got != 0) return -1;
    if (pid) *pid = grandchild;
    return 1;
}

}  // namespace korvanel
