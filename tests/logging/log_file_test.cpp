#include "logging/log_file.h"

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "logging/log_fixture.h"
#include "logging/log_producers.h"
#include "logging/logger.h"
#include "texts.h"

namespace korvanel::testing {
namespace {

TEST_F(LogTest, AFileIsRotatedOnlyWhenAWriteTakesItPastOneMebibyte) {
    std::string path = dir.file("access_log");
    std::string rotated = path + ".2026_1_2_3_4_5";
    WriteFile(path, std::string(kLogFileRotateBytes - 10, 'a'));
    ASSERT_EQ(AppendToLogFile(path, std::string(10, 'b'), rt.clock), LogWrite::kWritten);
    EXPECT_EQ(std::filesystem::file_size(path), 1048576u);
    EXPECT_FALSE(FileExists(rotated));

    ASSERT_EQ(AppendToLogFile(path, "c", rt.clock), LogWrite::kWritten);
    EXPECT_FALSE(FileExists(path)) << "the plain name is free until the next write";
    ASSERT_TRUE(FileExists(rotated));
    EXPECT_EQ(std::filesystem::file_size(rotated), 1048577u);

    ASSERT_EQ(AppendToLogFile(path, "next", rt.clock), LogWrite::kWritten);
    EXPECT_EQ(ReadFile(path), "next");
}

// The header logs may hold decrypted cookies: a new log file is the user's alone, and a
// link in a log file's place is not written through.
TEST_F(LogTest, ANewFileIsTheUsersAloneAndALinkIsNotFollowed) {
    const mode_t old_mask = ::umask(022);
    std::string path = dir.file("send_log");
    ASSERT_EQ(AppendToLogFile(path, "line\r\n", rt.clock), LogWrite::kWritten);
    ::umask(old_mask);
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    std::string target = dir.file("elsewhere");
    WriteFile(target, "kept");
    std::string linked = dir.file("recv_log");
    std::filesystem::create_symlink(target, linked);
    EXPECT_EQ(AppendToLogFile(linked, "secret\r\n", rt.clock), LogWrite::kLinkRefused);
    EXPECT_EQ(ReadFile(target), "kept");

    // A file from before that others could read is closed to them at the next write.
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    ASSERT_EQ(AppendToLogFile(path, "more\r\n", rt.clock), LogWrite::kWritten);
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    // The flusher says the link once in the command log, however often it meets it.
    std::filesystem::create_symlink(target, dir.file("ip_log"));
    for (int i = 0; i < 3; ++i) {
        LogIp(rt, "10.0.0.7", "を許可");
        EXPECT_EQ(FlushLog(rt, rt.logs.ip), -1);
    }
    const std::string said = front.pane(Pane::kStatus);
    EXPECT_NE(said.find(text::kLogFileLink), std::string::npos) << said;
    EXPECT_EQ(said.find(text::kLogFileLink), said.rfind(text::kLogFileLink)) << said;
    EXPECT_EQ(ReadFile(target), "kept");
}

TEST_F(LogTest, TwoRotationsInTheSameSecondKeepBothFiles) {
    std::string path = dir.file("recv_log");
    std::string first(kLogFileRotateBytes + 1, '1');
    std::string second(kLogFileRotateBytes + 1, '2');
    ASSERT_EQ(AppendToLogFile(path, first, rt.clock), LogWrite::kWritten);
    ASSERT_EQ(AppendToLogFile(path, second, rt.clock), LogWrite::kWritten);
    EXPECT_EQ(ReadFile(path + ".2026_1_2_3_4_5"), first);
    EXPECT_EQ(ReadFile(path + ".2026_1_2_3_4_5_1"), second);
    EXPECT_FALSE(FileExists(path));

    // With every rotated name taken, the full file stays where it is.
    for (int attempt = 2; attempt < kRotatedNameAttempts; ++attempt) {
        WriteFile(RotatedLogName(path, kFixedTime, attempt), "taken");
    }
    ASSERT_EQ(AppendToLogFile(path, second, rt.clock), LogWrite::kWritten);
    EXPECT_EQ(ReadFile(path), second);
    EXPECT_EQ(ReadFile(path + ".2026_1_2_3_4_5"), first);
}

TEST(LogFlush, AFileThatCannotBeOpenedKeepsTheTextWithoutShowingItTwice) {
    TempDir dir;
    RecordingFrontEnd front;
    Runtime rt(front, dir.file("not-yet"));  // the directory is missing
    rt.settings.access_log = "2";
    LogAccess(rt, "c", "h", "n", "80", "first", "s", "\r\n\r\n");
    EXPECT_EQ(FlushLog(rt, rt.logs.access), -1);
    std::string kept(rt.logs.access.view());
    EXPECT_EQ(front.pane(Pane::kAccess), kept) << "the pane part is done";

    LogAccess(rt, "c", "h", "n", "80", "second", "s", "\r\n\r\n");
    std::string all(rt.logs.access.view());
    EXPECT_EQ(all.substr(0, kept.size()), kept);
    EXPECT_EQ(FlushLog(rt, rt.logs.access), -1);

    std::filesystem::create_directory(rt.dir);
    EXPECT_EQ(FlushLog(rt, rt.logs.access), 1);
    EXPECT_EQ(ReadFile(rt.PathOf("access_log")), all);
    EXPECT_EQ(front.pane(Pane::kAccess), all) << "each entry shown once";
    EXPECT_EQ(rt.logs.access.length, 0u);
}

}  // namespace
}  // namespace korvanel::testing
