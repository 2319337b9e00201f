#include "support/child_run.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace korvanel::testing {

namespace {

constexpr int kNotEntered = 3;

void WriteWhole(int fd, const std::string& text) {
    std::size_t at = 0;
    while (at < text.size()) {
        ssize_t put = ::write(fd, text.data() + at, text.size() - at);
        if (put <= 0) return;
        at += static_cast<std::size_t>(put);
    }
}

}  // namespace

std::optional<std::string> RunInChild(const std::function<bool()>& enter,
                                      const std::function<std::string()>& body) {
    int report[2];
    if (::pipe(report) != 0) return std::nullopt;
    std::fflush(nullptr);
    pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        if (!enter()) ::_exit(kNotEntered);
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
    if (WIFEXITED(status) && WEXITSTATUS(status) == kNotEntered) return std::nullopt;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return "the child failed with status " + std::to_string(status);
    }
    return got;
}

bool BecomeOrdinaryUser() {
    if (::geteuid() != 0) return true;
    return ::setgroups(0, nullptr) == 0 && ::setgid(kOrdinaryUser) == 0 &&
           ::setuid(kOrdinaryUser) == 0 && ::geteuid() == kOrdinaryUser;
}

void MakeFolderForOrdinaryUser(const std::string& parent, const std::string& folder) {
    ::chmod(parent.c_str(), 0755);
    std::filesystem::create_directories(folder);
    if (::geteuid() == 0) ::chown(folder.c_str(), kOrdinaryUser, kOrdinaryUser);
}

}  // namespace korvanel::testing
