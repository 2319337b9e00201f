#include "settings/proxy_logins_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "settings/config_lines.h"
#include "settings/proxy_url.h"
#include "texts.h"

namespace korvanel {

namespace {

// Far above any list of 200 logins.
constexpr std::size_t kMaxLoginsFileBytes = 256 * 1024;

}  // namespace

LoginsRead ParseLoginsText(std::string_view text, std::vector<ProxyLogin>& logins,
                           std::string& problem) {
    logins.clear();
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty() || line.starts_with('#')) continue;
        ProxyLogin login;
        if (!ParseLoginLine(line, login)) {
            problem = ":" + std::to_string(number) + text::kLoginsBadLine;
            logins.clear();
            return LoginsRead::kRefused;
        }
        logins.push_back(std::move(login));
    }
    return LoginsRead::kRead;
}

std::string FormatLoginsText(const std::vector<ProxyLogin>& logins) {
    std::string out;
    for (const ProxyLogin& login : logins) AppendConfigLine(out, FormatLoginLine(login));
    return out;
}

LoginsRead ReadLoginsFile(const std::string& path, std::vector<ProxyLogin>& logins,
                          std::string& problem) {
    logins.clear();
    // Judged by the file opened, so that the mode tested is the mode of what is read: never
    // through a link, never waiting on a pipe, and only a file of the user's own.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return LoginsRead::kMissing;
        problem = text::kLoginsUnreadable + path + ": " +
                  (errno == ELOOP ? text::kTrustFileLink : std::strerror(errno));
        return LoginsRead::kRefused;
    }
    struct stat info {};
    std::string text;
    LoginsRead result = LoginsRead::kRead;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        problem = text::kLoginsUnreadable + path + ": " + text::kTrustFileNotRegular;
        result = LoginsRead::kRefused;
    } else if (info.st_uid != ::geteuid()) {
        problem = text::kLoginsUnreadable + path + ": " + text::kTrustFileNotOwned;
        result = LoginsRead::kRefused;
    } else if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        problem = text::kLoginsReadableByOthers + path;
        result = LoginsRead::kRefused;
    } else {
        char buffer[8192];
        for (;;) {
            ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0 || text.size() + static_cast<std::size_t>(got) > kMaxLoginsFileBytes) {
                if (got != 0) {
                    problem = text::kLoginsUnreadable + path;
                    result = LoginsRead::kRefused;
                }
                break;
            }
            text.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    if (result != LoginsRead::kRead) return result;
    result = ParseLoginsText(text, logins, problem);
    if (result == LoginsRead::kRefused) problem = text::kLoginsUnreadable + path + problem;
    return result;
}

}  // namespace korvanel
