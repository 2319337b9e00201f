// The built program under load: fifty clients, twenty thousand requests through `build/korvanel`
// started in a fresh directory, then a stop by signal; the program holds no more descriptors or
// threads after the load than before it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "support/http_client.h"
#include "support/load_driver.h"
#include "support/load_origin.h"
#include "support/proxy_harness.h"
#include "support/temp_dir.h"

namespace korvanel::testing {
namespace {

// The program running in `dir`, its output in stdout.txt and stderr.txt there.
class RunningProgram {
  public:
    explicit RunningProgram(const TempDir& dir) {
        pid_ = fork();
        if (pid_ == 0) {
            // Only calls that are safe between fork and exec in a threaded process.
            int out =
                open((dir.path() + "/stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int err =
                open((dir.path() + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0 || err < 0 || chdir(dir.path().c_str()) != 0) _exit(127);
            dup2(out, 1);
            dup2(err, 2);
            close(out);
            close(err);
            execl(KORVANEL_BINARY_DIR "/korvanel", "korvanel", static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~RunningProgram() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    std::string proc() const { return "/proc/" + std::to_string(pid_); }
    void Signal(int number) { kill(pid_, number); }

    // Exit status, or -1 when the program has not ended within `timeout_ms`.
    int WaitExit(int timeout_ms) {
        int status = 0;
        bool ended = PollUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, timeout_ms);
        if (!ended) return -1;
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

  private:
    pid_t pid_ = -1;
    bool exited_ = false;
};

// A sanitized build is many times slower: it takes a tenth of the requests.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kRequestsPerClient = 40;
#else
constexpr int kRequestsPerClient = 400;
#endif

TEST(ProgramLoad, FiftyClientsTwentyThousandRequestsThroughTheBuiltProgram) {
    TempDir dir;
    const uint16_t port = UnusedLoopbackPort();
    ASSERT_NE(port, 0);
    WriteFile(dir.file("data"), DefaultDataWithPort(port));
    LoadOrigin origin;
    RunningProgram program(dir);
    const std::string started = "PORT::" + std::to_string(port);
    ASSERT_TRUE(PollUntil(
        [&] { return ReadFile(dir.file("stdout.txt")).find(started) != std::string::npos; }, 5000))
        << ReadFile(dir.file("stderr.txt"));

    // One request first, so that whatever the first request opens for good (log files)
    // is in the baseline.
    {
        SocketRegistry registry;
        HttpClient warm(registry, port);
        HttpAnswer answer = warm.Get(origin.Url("len", 1000, 1));
        ASSERT_EQ(answer.status, 200) << answer.head;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const ProcessCounts before = WaitForCounts(CountsOf(program.proc()), 0, program.proc());

    LoadResult result = RunLoad(port, origin, LoadPlan{50, kRequestsPerClient});
    EXPECT_EQ(result.failed, 0) << result.first_failure;
    EXPECT_EQ(result.succeeded, 50 * kRequestsPerClient);
    EXPECT_EQ(WaitForCounts(before, 5000, program.proc()), before);

    program.Signal(SIGTERM);
    EXPECT_EQ(program.WaitExit(5000), 0) << ReadFile(dir.file("stderr.txt"));
}

}  // namespace
}  // namespace korvanel::testing
