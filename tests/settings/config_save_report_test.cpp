// A save of `data` that fails is told once per run of failures, naming the file and the
// reason; a link `data` stays a link through saves, and one that leads nowhere is kept.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "runtime/runtime.h"
#include "settings/config_file.h"
#include "support/recording_front_end.h"
#include "support/temp_dir.h"
#include "texts.h"

namespace korvanel {
namespace {

using testing::FileExists;
using testing::ReadFile;
using testing::RecordingFrontEnd;
using testing::TempDir;

TEST(ConfigSaveReport, ARunOfFailuresIsToldOnceAndTheLinkIsKept) {
    TempDir dir;
    RecordingFrontEnd front;
    Runtime rt(front, dir.path());
    ApplyNewFileDefaults(rt.settings);
    const std::string data = dir.file("data");
    const std::string target = dir.file("dotfiles/data");
    ASSERT_EQ(::symlink(target.c_str(), data.c_str()), 0);
    const std::string detail = data + " -> " + target + ": " + std::strerror(ENOENT);
    const std::string line = std::string(text::kSaveFailedStatus) + ":" + detail + "\r\n";

    // The link leads nowhere: nothing is written, and the first failure alone is told.
    EXPECT_EQ(WriteConfiguration(rt), -1);
    EXPECT_EQ(WriteConfiguration(rt), -1);
    EXPECT_EQ(front.pane(Pane::kStatus), line);
    ASSERT_EQ(front.messages().size(), 1u);
    EXPECT_EQ(front.messages()[0].first, text::kSaveErrorTitle);
    EXPECT_EQ(front.messages()[0].second, text::kSaveErrorText + detail);
    EXPECT_EQ(front.saves(), 0) << "the failure's line must not ask for another save";
    EXPECT_TRUE(std::filesystem::is_symlink(data));

    // Mended: the save goes through the link, silently.
    std::filesystem::create_directories(dir.file("dotfiles"));
    testing::WriteFile(target, "");
    EXPECT_EQ(WriteConfiguration(rt), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(data));
    EXPECT_EQ(ReadFile(target), FormatConfiguration(rt.settings));
    EXPECT_FALSE(FileExists(dir.file("data.tmp")) || FileExists(target + ".tmp"));

    // Broken again: a new run of failures, told again.
    std::filesystem::remove(target);
    EXPECT_EQ(WriteConfiguration(rt), -1);
    EXPECT_EQ(front.pane(Pane::kStatus), line + line);
    EXPECT_EQ(front.messages().size(), 2u);

    // At start-up the missing file behind the link is not made in the link's place either.
    RecordingFrontEnd reader_front;
    Runtime reader(reader_front, dir.path());
    EXPECT_EQ(ReadConfiguration(reader), -1);
    EXPECT_TRUE(std::filesystem::is_symlink(data));
}

}  // namespace
}  // namespace korvanel
