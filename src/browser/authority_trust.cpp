#include "browser/authority_trust.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "logging/status_log.h"
#include "platform/child_process.h"
#include "platform/process_table.h"
#include "texts.h"

namespace korvanel {

namespace {

// More copies than this under the nickname are not removed one by one.
constexpr int kMostCopies = 16;

std::string CertutilPath(const BrowserHost& host) {
    return host.certutil.empty() ? FindOnPath("certutil") : host.certutil;
}

// "sql:" and the folder, without a trailing "/".
std::string DatabaseOf(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return "sql:" + folder;
}

bool HasDatabase(const std::string& folder) {
    std::error_code error;
    return std::filesystem::is_regular_file(folder + "/cert9.db", error);
}

// The first line certutil said, or what became of it when it said nothing.
std::string ReasonOf(const ChildRun& run) {
    if (run.end == ChildRun::End::kTimedOut) return text::kTrustTimedOut;
    if (run.end == ChildRun::End::kNotStarted) return text::kTrustNoCertutil;
    std::string line = run.output.substr(0, run.output.find('\n'));
    if (!line.empty()) return line;
    return "certutil: " + std::to_string(run.code);
}

class Certutil {
  public:
    Certutil(const BrowserHost& host, const std::string& folder)
        : path_(CertutilPath(host)),
          database_(DatabaseOf(folder)),
          limit_(host.timing.certutil_limit) {}

    bool Found() const { return !path_.empty(); }
    ChildRun Run(std::vector<std::string> args) const {
        args.insert(args.begin(), {"certutil"});
        args.insert(args.end(), {"-d", database_});
        return RunChild(path_, args, limit_);
    }
    bool Holds() const { return Run({"-L", "-n", kAuthorityNickname}).Succeeded(); }
    // Removes every copy; the number removed, or -1 with `failure` when a removal failed.
    int RemoveAll(ChildRun& failure) const {
        int removed = 0;
        while (removed < kMostCopies && Holds()) {
            failure = Run({"-D", "-n", kAuthorityNickname});
            if (!failure.Succeeded()) return -1;
            ++removed;
        }
        return removed;
    }

  private:
    std::string path_;
    std::string database_;
    milliseconds limit_;
};

// The authority's certificate in a file for certutil to read, in a new folder only the user
// may enter; both are gone when it goes. path() is empty when it could not be written.
class CertificateFile {
  public:
    explicit CertificateFile(std::string_view pem) {
        const char* root = std::getenv("TMPDIR");
        std::string folder =
            std::string(root != nullptr && *root != '\0' ? root : "/tmp") + "/korvanel-ca-XXXXXX";
        if (::mkdtemp(folder.data()) == nullptr) return;
        folder_ = folder;
        std::string path = folder_ + "/ca.pem";
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) return;
        path_ = path;
        bool written = ::write(fd, pem.data(), pem.size()) == static_cast<ssize_t>(pem.size());
        if (::close(fd) != 0 || !written) Remove();
    }
    ~CertificateFile() { Remove(); }
    CertificateFile(const CertificateFile&) = delete;
    CertificateFile& operator=(const CertificateFile&) = delete;

    const std::string& path() const { return path_; }

  private:
    void Remove() {
        if (!path_.empty()) ::unlink(path_.c_str());
        if (!folder_.empty()) ::rmdir(folder_.c_str());
        path_.clear();
        folder_.clear();
    }

    std::string folder_;
    std::string path_;
};

void Say(Runtime& rt, std::string_view browser, const char* what, std::string_view detail) {
    std::string line(browser);
    line += what;
    line += detail;
    PostStatus(rt, text::kTrustStatus, line);
}

}  // namespace

bool TrustAuthority(Runtime& rt, const BrowserHost& host, std::string_view browser,
                    const std::string& folder, std::string_view authority_pem) {
    std::error_code error;
    if (authority_pem.empty()) {
        Say(rt, browser, text::kTrustAddFailed, text::kTrustNoInspector);
        return false;
    }
    Certutil certutil(host, folder);
    if (!certutil.Found()) {
        Say(rt, browser, text::kTrustAddFailed, text::kTrustNoCertutil);
        return false;
    }
    ChildRun run;
    if (!HasDatabase(folder)) {
        std::filesystem::create_directories(folder, error);
        ::chmod(folder.c_str(), 0700);
        run = certutil.Run({"-N", "--empty-password"});
        if (!run.Succeeded()) {
            Say(rt, browser, text::kTrustAddFailed, ReasonOf(run));
            return false;
        }
    }
    if (certutil.RemoveAll(run) < 0) {
        Say(rt, browser, text::kTrustAddFailed, ReasonOf(run));
        return false;
    }
    CertificateFile certificate(authority_pem);
    if (certificate.path().empty()) {
        Say(rt, browser, text::kTrustAddFailed, std::strerror(errno));
        return false;
    }
    // Trusted to name web sites only: not for mail, not for code.
    run = certutil.Run({"-A", "-n", kAuthorityNickname, "-t", "C,,", "-i", certificate.path()});
    if (!run.Succeeded()) {
        Say(rt, browser, text::kTrustAddFailed, ReasonOf(run));
        return false;
    }
    Say(rt, browser, text::kTrustAdded, folder);
    return true;
}

void DistrustAuthority(Runtime& rt, const BrowserHost& host, std::string_view browser,
                       const std::string& folder, bool quiet_without_tool) {
    if (!HasDatabase(folder)) return;
    Certutil certutil(host, folder);
    if (!certutil.Found()) {
        if (!quiet_without_tool) Say(rt, browser, text::kTrustRemoveFailed, text::kTrustNoCertutil);
        return;
    }
    ChildRun failure;
    int removed = certutil.RemoveAll(failure);
    if (removed < 0) {
        Say(rt, browser, text::kTrustRemoveFailed, ReasonOf(failure));
    } else if (removed > 0) {
        Say(rt, browser, text::kTrustRemoved, folder);
    }
}

}  // namespace korvanel
