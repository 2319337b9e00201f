// Reading the files trust rests on (the authority's key and certificate, the user's extra
// anchors) so that nobody else can slip another file in: never through a symbolic link,
// never blocking on a pipe put in a file's place, only a regular file of the user's own, and
// the bytes of a key wiped whatever happens. A file's identity on disk tells when it was
// replaced or rewritten.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <ctime>
#include <string>

namespace korvanel {

// Who may own a file that is read.
enum class TrustFileOwner {
    kUser,        // the user alone (the authority's files)
    kUserOrRoot,  // also the system's administrator (a CA file installed for the system)
};

enum class TrustFileRead { kRead, kUnreadable, kLink, kNotRegular, kNotOwned, kTooLarge };

// The file's bytes into `content`, and its permission bits into `mode`, both as the
// descriptor that read them saw. On any failure `content` is wiped and emptied.
TrustFileRead ReadTrustFile(const std::string& path, TrustFileOwner owner, std::size_t limit,
                            std::string& content, mode_t& mode);

// Why `path` was not read, for the command log: `prefix` (what the file is), the path and
// the reason. Right after ReadTrustFile (it reads errno).
std::string TrustFileProblem(TrustFileRead read, const char* prefix, const std::string& path);

// Where a file stands on disk and what it holds, as far as its metadata tells. Two reads
// that differ mean the file was replaced, rewritten, made or removed in between.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const FileIdentity& other) const;
};

// The identity of the file at `path` itself (a link is not followed); empty `path`: none.
FileIdentity IdentityOf(const std::string& path);

}  // namespace korvanel
