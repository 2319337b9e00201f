#include "settings/safe_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "settings/atomic_replace.h"

namespace korvanel {

namespace {

// As the kernel's own limit on links followed in one path.
constexpr int kMaxLinks = 40;

struct Resolved {
    std::string file;
    bool exists = false;
    struct stat info {};
    int error = 0;
};

std::string LinkText(const std::string& link) {
    std::string text(256, '\0');
    for (;;) {
        ssize_t got = ::readlink(link.c_str(), text.data(), text.size());
        if (got < 0) return {};
        if (static_cast<std::size_t>(got) < text.size()) {
            text.resize(static_cast<std::size_t>(got));
            return text;
        }
        text.resize(text.size() * 2);
    }
}

// A relative link names a file beside the link.
std::string Beside(const std::string& link, const std::string& target) {
    if (target.starts_with('/')) return target;
    std::size_t slash = link.rfind('/');
    return slash == std::string::npos ? target : link.substr(0, slash + 1) + target;
}

// The file at the end of `path`'s links. Not there at all: a new file (no error); a link
// to nothing: ENOENT (or what else the last step met).
Resolved ResolveLinks(const std::string& path) {
    Resolved resolved;
    resolved.file = path;
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        if (::lstat(resolved.file.c_str(), &resolved.info) != 0) {
            if (hop > 0 || errno != ENOENT) resolved.error = errno;
            return resolved;
        }
        if (!S_ISLNK(resolved.info.st_mode)) {
            resolved.exists = true;
            return resolved;
        }
        std::string target = LinkText(resolved.file);
        if (target.empty()) {
            resolved.error = errno != 0 ? errno : ENOENT;
            return resolved;
        }
        resolved.file = Beside(resolved.file, target);
    }
    resolved.error = ELOOP;
    return resolved;
}

// Rewrites the file itself: its room is claimed before a byte of it changes, so a full disk
// leaves it as it was. 0, or the errno of the failed step.
int WriteInPlace(const std::string& file, std::string_view content) {
    int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return errno;
    int error = 0;
    if (!content.empty() && ::fallocate(fd, 0, 0, static_cast<off_t>(content.size())) != 0 &&
        errno != EOPNOTSUPP) {
        error = errno;
    }
    if (error == 0 && !WriteAll(fd, content)) error = errno;
    if (error == 0 && ::ftruncate(fd, static_cast<off_t>(content.size())) != 0) error = errno;
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    return error;
}

}  // namespace

SaveOutcome SaveFileSafely(const std::string& path, std::string_view temp_suffix,
                           std::string_view content, bool private_file) {
    Resolved resolved = ResolveLinks(path);
    SaveOutcome outcome;
    outcome.file = resolved.file;
    auto failed = [&outcome](int error) {
        outcome.result = -1;
        outcome.error = error;
        return outcome;
    };
    if (resolved.error != 0) return failed(resolved.error);

    KeptAttributes keep;
    if (resolved.exists) {
        if (S_ISDIR(resolved.info.st_mode)) return failed(EISDIR);
        // A rename would replace even a file its owner made read-only to pin it.
        if (::faccessat(AT_FDCWD, resolved.file.c_str(), W_OK, AT_EACCESS) != 0) {
            return failed(errno);
        }
        keep.mode = static_cast<int>(resolved.info.st_mode & 07777);
        keep.uid = static_cast<int>(resolved.info.st_uid);
        keep.gid = static_cast<int>(resolved.info.st_gid);
        if (private_file) keep.mode &= 07700;
    } else if (private_file) {
        keep.mode = 0600;
    }
    const std::string temporary = resolved.file + std::string(temp_suffix);
    ReplaceOutcome replaced = ReplaceFile(resolved.file, temporary, content, keep);
    if (replaced.result == 1) return outcome;
    bool folder_refused =
        !replaced.temporary_made && (replaced.error == EACCES || replaced.error == EPERM);
    if (!resolved.exists || !folder_refused) return failed(replaced.error);
    int error = WriteInPlace(resolved.file, content);
    return error == 0 ? outcome : failed(error);
}

}  // namespace korvanel
