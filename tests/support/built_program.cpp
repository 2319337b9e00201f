#include "support/built_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/loopback.h"

namespace korvanel::testing {

BuiltProgram::BuiltProgram(const TempDir& dir, const char* name) : dir_(dir) {
    const std::string path = std::string(KORVANEL_BINARY_DIR) + "/" + name;
    const std::string out = dir.file("stdout.txt");
    const std::string err = dir.file("stderr.txt");
    pid_ = fork();
    if (pid_ == 0) {
        // Only calls that are safe between fork and exec in a threaded process.
        int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out_fd < 0 || err_fd < 0 || chdir(dir.path().c_str()) != 0) _exit(127);
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        close(out_fd);
        close(err_fd);
        execl(path.c_str(), name, static_cast<char*>(nullptr));
        _exit(127);
    }
}

BuiltProgram::~BuiltProgram() {
    if (pid_ > 0 && !exited_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

void BuiltProgram::Signal(int number) {
    kill(pid_, number);
}

int BuiltProgram::WaitExit(int timeout_ms) {
    int status = 0;
    if (!PollUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, timeout_ms)) {
        return -1;
    }
    exited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool BuiltProgram::WaitOutput(const std::string& text, int timeout_ms) {
    return PollUntil([&] { return out().find(text) != std::string::npos; }, timeout_ms);
}

}  // namespace korvanel::testing
