#include "platform/process_table.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "browser/browser_processes.h"
#include "browser/fake_browsers.h"

namespace korvanel {
namespace {

using testing::FakeBrowsers;
using testing::TempDir;
using testing::WriteFile;

TEST(ElfClass, ReadFromTheHeader) {
    struct Case {
        const char* name;
        std::string bytes;
        int expected;
    };
    const Case cases[] = {
        {"32-bit",
         std::string("\x7f"
                     "ELF\x01\x01\x01",
                     7),
         32},
        {"64-bit",
         std::string("\x7f"
                     "ELF\x02\x01\x01",
                     7),
         64},
        {"bad class",
         std::string("\x7f"
                     "ELF\x03",
                     5),
         0},
        {"not ELF", "#!/bin/sh\n", 0},
        {"too short",
         std::string("\x7f"
                     "EL",
                     3),
         0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        WriteFile(dir.file("exe"), c.bytes);
        EXPECT_EQ(ElfClassOfFile(dir.file("exe")), c.expected) << c.name;
    }
    EXPECT_EQ(ElfClassOfFile(dir.file("missing")), 0);
    EXPECT_EQ(ElfClassOfProcess(static_cast<int>(getpid())), static_cast<int>(sizeof(void*) * 8));
}

TEST(OperaEdition, ByProcessorWidthAndExecutableClass) {
    EXPECT_EQ(OperaEditionOf(32, 64), 32);
    EXPECT_EQ(OperaEditionOf(32, 0), 32);
    EXPECT_EQ(OperaEditionOf(64, 32), 32);
    EXPECT_EQ(OperaEditionOf(64, 64), 64);
    EXPECT_EQ(OperaEditionOf(64, 0), 0);
    EXPECT_EQ(OperaEditionOf(16, 32), 0);
    int width = ProcessorWidth();
    EXPECT_TRUE(width == 32 || width == 64);
}

TEST(ProcessTable, SeesOnlyTheNamedProgramInItsScope) {
    FakeBrowsers fakes;
    fakes.Install("opera");
    int pid = fakes.Start("opera");
    ASSERT_GT(pid, 0);
    const ProcessScope& scope = fakes.host().scope;
    EXPECT_EQ(FindProcesses(scope, "opera"), std::vector<int>{pid});
    EXPECT_TRUE(FindProcesses(scope, "firefox").empty());
    EXPECT_TRUE(FindProcesses(ProcessScope{fakes.home()}, "opera").empty());

    // Outside the scope nothing is signalled.
    EXPECT_FALSE(StopProcess(ProcessScope{fakes.home()}, pid, "opera", StopSignal::kKill));
    EXPECT_FALSE(StopProcess(scope, pid, "firefox", StopSignal::kKill));
    EXPECT_TRUE(fakes.Running("opera", pid));
    EXPECT_FALSE(IsProcessOf(scope, static_cast<int>(getpid()), "test_browser"));

    // A program whose file was removed while it runs is still found.
    std::remove((fakes.bin() + "/opera").c_str());
    EXPECT_EQ(FindProcesses(scope, "opera"), std::vector<int>{pid});
    EXPECT_TRUE(StopProcess(scope, pid, "opera", StopSignal::kTerminate));
    for (int i = 0; i < 100 && fakes.Running("opera", pid); ++i) usleep(10000);
    EXPECT_FALSE(fakes.Running("opera", pid));
}

TEST(ProcessTable, StartsFromPathDetached) {
    FakeBrowsers fakes;
    EXPECT_EQ(StartDetached("firefox"), -1) << "not on PATH";
    WriteFile(fakes.bin() + "/firefox", "#!/bin/sh\n");
    EXPECT_EQ(FindOnPath("firefox"), "") << "not executable";
    EXPECT_EQ(StartDetached("firefox"), -1);

    fakes.Install("firefox");
    EXPECT_EQ(FindOnPath("firefox"), fakes.bin() + "/firefox");
    ASSERT_EQ(StartDetached("firefox"), 1);
    auto starts = fakes.Starts(1);
    ASSERT_EQ(starts.size(), 1u);
    int pid = starts[0].second;
    EXPECT_NE(getsid(pid), getsid(0)) << "a session of its own";
}

}  // namespace
}  // namespace korvanel
