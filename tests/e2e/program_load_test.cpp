// The built program under load: fifty clients, twenty thousand requests through `build/korvanel`
// started in a fresh directory, then a stop by signal; the program holds no more descriptors or
// threads after the load than before it.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <thread>

#include "support/built_program.h"
#include "support/http_client.h"
#include "support/load_driver.h"
#include "support/load_origin.h"
#include "support/proxy_harness.h"
#include "support/temp_dir.h"

namespace korvanel::testing {
namespace {

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
    BuiltProgram program(dir, "korvanel");
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
