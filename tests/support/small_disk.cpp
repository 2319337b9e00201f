#include "support/small_disk.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <string_view>

#include "support/child_run.h"

namespace korvanel::testing {

namespace {

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

}  // namespace

std::optional<std::string> RunOnSmallDisk(const std::string& folder, std::size_t bytes,
                                          const std::function<std::string()>& body) {
    const std::string options = "size=" + std::to_string(bytes);
    auto enter = [&folder, &options] {
        return EnterPrivateMounts() &&
               ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
    };
    return RunInChild(enter, body);
}

}  // namespace korvanel::testing
