#include "browser/small_disk.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string_view>

namespace korvanel::testing {

namespace {

constexpr int kNoNamespace = 3;

bool WriteProcFile(const char* path, std::string_view text) {
    int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return written;
}

// A mount namespace of the child's own: directly as root, else inside a user namespace in
// which the caller is root.
bool EnterPrivateMounts() {
    if (::unshare(CLONE_NEWNS) != 0) {
        const std::string uid = "0 " + std::to_string(::getuid()) + " 1";
        const std::string gid = "0 " + std::to_string(::getgid()) + " 1";
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 ||
            !WriteProcFile("/proc/self/uid_map", uid) ||
            !WriteProcFile("/proc/self/setgroups", "deny") ||
            !WriteProcFile("/proc/self/gid_map", gid)) {
            return false;
        }
    }
    // Nothing mounted here may reach the caller's namespace.
    return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

void WriteWhole(int fd, const std::string& text) {
    std::size_t at = 0;
    while (at < text.size()) {
        ssize_t put = ::write(fd, text.data() + at, text.size() - at);
        if (put <= 0) return;
        at += static_cast<std::size_t>(put);
    }
}

}  // namespace

std::optional<std::string> RunOnSmallDisk(const std::string& folder, std::size_t bytes,
                                          const std::function<std::string()>& body) {
    int report[2];
    if (::pipe(report) != 0) return std::nullopt;
    std::fflush(nullptr);
    pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        const std::string options = "size=" + std::to_string(bytes);
        if (!EnterPrivateMounts() ||
            ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) {
            ::_exit(kNoNamespace);
        }
        WriteWhole(report[1], body());
        ::_exit(0);
    }
    ::close(report[1]);
    std::string got;
    char buffer[4096];
    ssize_t read = 0;
    while (child > 0 && (read = ::read(report[0], buffer, sizeof buffer)) > 0) {
        got.append(buffer, static_cast<std::size_t>(read));
    }
    ::close(report[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return std::nullopt;
    if (WIFEXITED(status) && WEXITSTATUS(status) == kNoNamespace) return std::nullopt;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return "the child failed with status " + std::to_string(status);
    }
    return got;
}

}  // namespace korvanel::testing
