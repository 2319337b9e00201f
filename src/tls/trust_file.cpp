#include "tls/trust_file.h"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "texts.h"

namespace korvanel {

namespace {

void Wipe(std::string& content) {
    OPENSSL_cleanse(content.data(), content.size());
    content.clear();
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

TrustFileRead ReadTrustFile(const std::string& path, TrustFileOwner owner, std::size_t limit,
                            std::string& content, mode_t& mode) {
    Wipe(content);
    // O_NONBLOCK: a pipe in the file's place must not hold the caller (and its locks) up.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return errno == ELOOP ? TrustFileRead::kLink : TrustFileRead::kUnreadable;
    struct stat status {};
    TrustFileRead result = TrustFileRead::kRead;
    if (::fstat(fd, &status) != 0) {
        result = TrustFileRead::kUnreadable;
    } else if (!S_ISREG(status.st_mode)) {
        result = TrustFileRead::kNotRegular;
    } else if (status.st_uid != ::geteuid() &&
               !(owner == TrustFileOwner::kUserOrRoot && status.st_uid == 0)) {
        result = TrustFileRead::kNotOwned;
    } else if (static_cast<unsigned long long>(status.st_size) > limit) {
        result = TrustFileRead::kTooLarge;
    }
    if (result != TrustFileRead::kRead) {
        ::close(fd);
        return result;
    }
    mode = status.st_mode & 07777;
    content.resize(static_cast<std::size_t>(status.st_size));
    std::size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::read(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result = TrustFileRead::kUnreadable;
            break;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    const int read_error = errno;
    ::close(fd);
    if (result != TrustFileRead::kRead) {
        Wipe(content);
        errno = read_error;  // for TrustFileProblem
        return result;
    }
    // A file cut while it was read holds less; what was read is all there is.
    content.resize(done);
    return result;
}

std::string TrustFileProblem(TrustFileRead read, const char* prefix, const std::string& path) {
    std::string problem = std::string(prefix) + path + ": ";
    switch (read) {
        case TrustFileRead::kRead:
            break;
        case TrustFileRead::kUnreadable:
            problem += std::strerror(errno);
            break;
        case TrustFileRead::kLink:
            problem += text::kTrustFileLink;
            break;
        case TrustFileRead::kNotRegular:
            problem += text::kTrustFileNotRegular;
            break;
        case TrustFileRead::kNotOwned:
            problem += text::kTrustFileNotOwned;
            break;
        case TrustFileRead::kTooLarge:
            problem += text::kTrustFileTooLarge;
            break;
    }
    return problem;
}

bool FileIdentity::operator==(const FileIdentity& other) const {
    if (exists != other.exists) return false;
    if (!exists) return true;
    return device == other.device && inode == other.inode && size == other.size &&
           SameTime(modified, other.modified) && SameTime(changed, other.changed);
}

FileIdentity IdentityOf(const std::string& path) {
    FileIdentity identity;
    struct stat status {};
    if (path.empty() || ::lstat(path.c_str(), &status) != 0) return identity;
    identity.exists = true;
    identity.device = status.st_dev;
    identity.inode = status.st_ino;
    identity.size = status.st_size;
    identity.modified = status.st_mtim;
    identity.changed = status.st_ctim;
    return identity;
}

}  // namespace korvanel
