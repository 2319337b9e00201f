#include "settings/atomic_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace korvanel {

namespace {

std::string DirectoryOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The rename is already done; a failure here only weakens durability on power loss.
void SyncDirectory(const std::string& path) {
    int fd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// The owner first: a change of owner clears set-id bits that the mode then puts back. An
// owner the process may not give (an ordinary user's file of someone else's) is no failure.
bool ApplyAttributes(int fd, const KeptAttributes& keep) {
    if (keep.uid >= 0 || keep.gid >= 0) {
        if (::fchown(fd, static_cast<uid_t>(keep.uid), static_cast<gid_t>(keep.gid)) != 0 &&
            keep.gid >= 0) {
            ::fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(keep.gid));
        }
    }
    return keep.mode < 0 || ::fchmod(fd, static_cast<mode_t>(keep.mode)) == 0;
}

}  // namespace

bool WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

ReplaceOutcome ReplaceFile(const std::string& path, const std::string& temporary,
                           std::string_view content, const KeptAttributes& keep) {
    ReplaceOutcome outcome;
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        return {-1, errno, false};
    }
    bool written = ApplyAttributes(fd, keep) && WriteAll(fd, content) && ::fsync(fd) == 0;
    int error = written ? 0 : (errno != 0 ? errno : EIO);
    bool closed = ::close(fd) == 0;
    if (written && !closed) error = errno;
    if (written && closed && std::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        outcome.result = -1;
        outcome.error = error;
        return outcome;
    }
    SyncDirectory(path);
    return outcome;
}

int ReplaceFileAtomically(const std::string& path, const std::string& temporary,
                          std::string_view content, int mode) {
    KeptAttributes keep;
    keep.mode = mode;
    return ReplaceFile(path, temporary, content, keep).result;
}

}  // namespace korvanel
