#include "platform/child_process.h"

#include <gtest/gtest.h>

#include <chrono>

namespace korvanel {
namespace {

using namespace std::chrono_literals;
using End = ChildRun::End;

TEST(ChildProcess, EndsAreToldApart) {
    struct Case {
        const char* name;
        std::string path;
        std::vector<std::string> args;
        End end;
        int code;
        std::string output;
    };
    const Case cases[] = {
        {"exit 0, both outputs",
         "/bin/sh",
         {"sh", "-c", "echo out; echo err >&2"},
         End::kExited,
         0,
         "out\nerr\n"},
        {"exit 3", "/bin/sh", {"sh", "-c", "exit 3"}, End::kExited, 3, ""},
        {"input is empty", "/bin/sh", {"sh", "-c", "cat; echo end"}, End::kExited, 0, "end\n"},
        {"no such program", "/nonexistent/program", {"program"}, End::kNotStarted, -1, ""},
        {"killed by a signal", "/bin/sh", {"sh", "-c", "kill -9 $$"}, End::kSignalled, -1, ""},
        {"output cut",
         "/bin/sh",
         {"sh", "-c", "head -c 10000 /dev/zero | tr '\\0' x"},
         End::kExited,
         0,
         std::string(kChildOutputLimit, 'x')},
    };
    for (const Case& c : cases) {
        ChildRun run = RunChild(c.path, c.args, 10s);
        EXPECT_EQ(run.end, c.end) << c.name;
        EXPECT_EQ(run.code, c.code) << c.name;
        EXPECT_EQ(run.output, c.output) << c.name;
    }
}

TEST(ChildProcess, AHelperPastItsLimitIsKilled) {
    for (const char* script : {"sleep 30", "exec >&-; exec 2>&-; sleep 30"}) {
        auto start = std::chrono::steady_clock::now();
        ChildRun run = RunChild("/bin/sh", {"sh", "-c", script}, 200ms);
        EXPECT_EQ(run.end, End::kTimedOut) << script;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << script;
    }
}

}  // namespace
}  // namespace korvanel
