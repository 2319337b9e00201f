// Saving must never leave `data` empty, partial or unreadable: not when the process is
// killed in the middle, and not when the disk refuses the write.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "runtime/runtime.h"
#include "settings/config_file.h"
#include "settings/config_test_support.h"
#include "support/recording_front_end.h"
#include "support/temp_dir.h"

namespace korvanel {
namespace {

using testing::ReadFile;
using testing::RecordingFrontEnd;
using testing::TempDir;

TEST(ConfigSaveCrashTest, KilledWhileSavingLeavesAnAcceptedFile) {
    TempDir dir;
    RecordingFrontEnd front;
    Runtime rt(front, dir.path());
    Settings small;
    ApplyNewFileDefaults(small);
    Settings full;
    testing::FillToCapacity(full);
    const std::string small_text = FormatConfiguration(small);
    const std::string full_text = FormatConfiguration(full);

    std::mt19937 random(12345);
    constexpr int kKills = 25;
    for (int round = 0; round < kKills; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Alternate two very different states, so a torn file could not pass for either.
            for (int i = 0;; ++i) {
                rt.settings = (i % 2) ? full : small;
                WriteConfiguration(rt);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));

        if (!testing::FileExists(dir.file("data"))) continue;  // killed before the first rename
        std::string text = ReadFile(dir.file("data"));
        ASSERT_TRUE(text == small_text || text == full_text) << "round " << round;
        RecordingFrontEnd reader_front;
        Runtime reader(reader_front, dir.path());
        ASSERT_EQ(ReadConfiguration(reader), 1) << "round " << round;
    }
}

TEST(ConfigSaveCrashTest, FullDiskLeavesThePreviousFileAndNoTemporary) {
    TempDir dir;
    RecordingFrontEnd front;
    Runtime rt(front, dir.path());
    ApplyNewFileDefaults(rt.settings);
    ASSERT_EQ(WriteConfiguration(rt), 1);
    const std::string before = ReadFile(dir.file("data"));

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Writes past 4 KB fail with EFBIG, as on a full disk.
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        testing::FillToCapacity(rt.settings);
        _exit(WriteConfiguration(rt) == -1 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(dir.file("data")), before);
    EXPECT_FALSE(testing::FileExists(dir.file("data.tmp")));
}

// A save that waits on the disk (here: its temporary file is a FIFO nobody reads yet) holds
// no lock a connection handler needs; what it writes is the snapshot of its start, and a
// save that comes after it still lands.
TEST(ConfigSaveCrashTest, ASaveWaitingOnTheDiskLeavesTheSettingsLockFree) {
    TempDir dir;
    RecordingFrontEnd front;
    Runtime rt(front, dir.path());
    ApplyNewFileDefaults(rt.settings);
    rt.settings.port = "8111";
    const std::string snapshot = FormatConfiguration(rt.settings);
    ASSERT_EQ(mkfifo(dir.file("data.tmp").c_str(), 0600), 0);

    std::atomic<bool> first_done{false};
    std::thread first([&] {
        WriteConfiguration(rt);
        first_done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::atomic<bool> second_done{false};
    std::thread second;
    {
        // As a handler starting a request: the lock must come at once.
        std::unique_lock<Lock> hold(rt.locks.settings, std::try_to_lock);
        ASSERT_TRUE(hold.owns_lock());
        EXPECT_FALSE(first_done);
        rt.settings.port = "8222";
        second = std::thread([&] {
            EXPECT_EQ(WriteConfiguration(rt), 1);
            second_done = true;
        });
    }
    // The second save waits for the first one's file work, not for the lock.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(second_done);
    {
        std::unique_lock<Lock> hold(rt.locks.settings, std::try_to_lock);
        EXPECT_TRUE(hold.owns_lock());
    }

    int fifo = ::open(dir.file("data.tmp").c_str(), O_RDONLY);
    ASSERT_GE(fifo, 0);
    std::string written;
    char piece[4096];
    for (ssize_t n; (n = ::read(fifo, piece, sizeof piece)) > 0;) written.append(piece, n);
    ::close(fifo);
    first.join();
    second.join();
    EXPECT_EQ(written, snapshot);
    EXPECT_NE(ReadFile(dir.file("data")).find(":KORV_PORT\r\n8222\r\n"), std::string::npos);
}

}  // namespace
}  // namespace korvanel
