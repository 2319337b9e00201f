// Saving a user's file where and as the user keeps it. File modes bind an ordinary user
// only, so the cases run as one, in a child process.
#include "settings/safe_save.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/child_run.h"
#include "support/small_disk.h"
#include "support/temp_dir.h"

namespace korvanel {
namespace {

using testing::FileExists;
using testing::ReadFile;
using testing::WriteFile;

constexpr const char kOld[] = "the old text, longer than the new one\r\n";
constexpr const char kNew[] = "new\r\n";

// `data` in folder h, links into folder d. `arrange` is run in the case's folder by sh.
struct SaveCase {
    const char* arrange;
    int result;
    int error;
    const char* file;  // must hold `content` with mode `mode`; "" for none
    const char* content;
    int mode;
    const char* link;  // must still be a link; "" for none
} const kCases[] = {
    {"printf X > h/data; chmod 640 h/data", 1, 0, "h/data", kNew, 0640, ""},
    {":", 1, 0, "h/data", kNew, 0644, ""},
    {"echo X > d/data; chmod 600 d/data; ln -s $PWD/d/data h/data", 1, 0, "d/data", kNew, 0600,
     "h/data"},
    {"echo X > d/real; chmod 620 d/real; ln -s real d/mid; ln -s ../d/mid h/data", 1, 0, "d/real",
     kNew, 0620, "d/mid"},
    {"ln -s ../d/gone h/data", -1, ENOENT, "", "", 0, "h/data"},
    {"printf \"$OLD\" > h/data; chmod 444 h/data", -1, EACCES, "h/data", kOld, 0444, ""},
    {"printf \"$OLD\" > d/data; chmod 444 d/data; ln -s ../d/data h/data", -1, EACCES, "d/data",
     kOld, 0444, "h/data"},
    {"printf \"$OLD\" > h/data; chmod 604 h/data; chmod 555 h", 1, 0, "h/data", kNew, 0604, ""},
    {"printf \"$OLD\" > h/data; chmod 444 h/data; chmod 555 h", -1, EACCES, "h/data", kOld, 0444,
     ""},
    {"chmod 555 h", -1, EACCES, "", "", 0, ""},
};

int ModeOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

// What differs from the case's expectation, or "".
std::string RunCase(const SaveCase& c, const std::string& folder) {
    std::filesystem::create_directories(folder + "/h");
    std::filesystem::create_directories(folder + "/d");
    const std::string script = "cd " + folder + " && OLD='" + kOld + "' && " + c.arrange;
    if (std::system(script.c_str()) != 0) return std::string(c.arrange) + ": not arranged\n";
    SaveOutcome got = SaveFileSafely(folder + "/h/data", ".tmp", kNew);
    std::string file = folder + "/" + c.file;
    bool ok = got.result == c.result && got.error == c.error &&
              (!*c.file || (ReadFile(file) == c.content && ModeOf(file) == c.mode)) &&
              (!*c.link || std::filesystem::is_symlink(folder + "/" + c.link)) &&
              !FileExists(folder + "/h/data.tmp") && !FileExists(file + ".tmp");
    ::chmod((folder + "/h").c_str(), 0755);
    return ok ? ""
              : std::string(c.arrange) + ": " + std::to_string(got.result) + " " +
                    std::to_string(got.error) + " " + ReadFile(file) + "\n";
}

TEST(SafeSave, EachCaseAsAnOrdinaryUser) {
    testing::TempDir dir;
    const std::string root = dir.file("user");
    testing::MakeFolderForOrdinaryUser(dir.path(), root);
    auto wrong = testing::RunInChild(testing::BecomeOrdinaryUser, [&] {
        ::umask(022);
        std::string all;
        for (std::size_t i = 0; i < std::size(kCases); ++i) {
            all += RunCase(kCases[i], root + "/" + std::to_string(i));
        }
        return all;
    });
    if (!wrong) GTEST_SKIP() << "this machine cannot run a child as an ordinary user";
    EXPECT_EQ(*wrong, "");
}

// Root saving a user's file leaves it the user's.
TEST(SafeSave, KeepsTheOwner) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
    testing::TempDir dir;
    const std::string file = dir.file("data");
    WriteFile(file, kOld);
    ASSERT_EQ(::chown(file.c_str(), testing::kOrdinaryUser, testing::kOrdinaryUser), 0);
    ASSERT_EQ(SaveFileSafely(file, ".tmp", kNew).result, 1);
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, testing::kOrdinaryUser);
    EXPECT_EQ(info.st_gid, testing::kOrdinaryUser);
}

// No room for the new text: the old file stays whole, whether the save goes through a new
// file or, in a read-only folder, in place.
TEST(SafeSave, AFullDiskLeavesTheFileWhole) {
    testing::TempDir dir;
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::string disk = dir.file("disk");
    std::filesystem::create_directories(disk);
    ::chmod(dir.path().c_str(), 0755);
    const std::string old_text(page, 'o');
    auto wrong = testing::RunOnSmallDisk(disk, 4 * page, [&] {
        std::string all = testing::BecomeOrdinaryUser() ? "" : "no ordinary user; ";
        for (const char* name : {"/open", "/pinned"}) {
            const std::string folder = disk + name;
            std::filesystem::create_directories(folder);
            WriteFile(folder + "/data", old_text);
            WriteFile(folder + "/filler", std::string(2 * page, 'f'));
            if (name == std::string("/pinned")) ::chmod(folder.c_str(), 0555);
            SaveOutcome got = SaveFileSafely(folder + "/data", ".tmp", std::string(3 * page, 'n'));
            if (got.result != -1 || got.error != ENOSPC || ReadFile(folder + "/data") != old_text ||
                FileExists(folder + "/data.tmp")) {
                all += folder + ": " + std::to_string(got.error) + "; ";
            }
            ::chmod(folder.c_str(), 0755);
            std::filesystem::remove(folder + "/filler");
        }
        return all;
    });
    if (!wrong) GTEST_SKIP() << "no private mount namespace for a small disk here";
    EXPECT_EQ(*wrong, "");
}

}  // namespace
}  // namespace korvanel
