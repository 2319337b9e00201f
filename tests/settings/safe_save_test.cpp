// Saving a user's file where and as the user keeps it: through links, with its mode, never
// over a file the user pinned read-only, in place when only the folder refuses, and never
// cut short by a full disk. The file modes bind an ordinary user only, so the cases run as
// one, in a child process.
#include "settings/safe_save.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/child_run.h"
#include "support/small_disk.h"
#include "support/temp_dir.h"

namespace korvanel {
namespace {

using testing::FileExists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr const char kOld[] = "the old text, longer than the new one\r\n";
constexpr const char kNew[] = "new\r\n";

int ModeOf(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

bool IsLink(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_symlink(path, error);
}

void MakeFile(const std::string& path, int mode) {
    WriteFile(path, kOld);
    ::chmod(path.c_str(), static_cast<mode_t>(mode));
}

// Folders `home` (where the saved name is) and `dots` (where links lead), both the user's.
struct SaveCase {
    const char* name;
    std::function<void(const std::string& home, const std::string& dots)> arrange;
    int result;
    int error;
    const char* file;     // below the case's folder: the file that must hold `content`
    const char* content;  // kOld or kNew
    int mode;             // of `file` afterwards
    const char* links;    // below the case's folder, "" or names that must still be links
};

const std::vector<SaveCase>& Cases() {
    static const std::vector<SaveCase> cases = {
        {"plain file keeps its mode",
         [](const std::string& home, const std::string&) { MakeFile(home + "/data", 0640); }, 1, 0,
         "home/data", kNew, 0640, ""},
        {"new file is made", [](const std::string&, const std::string&) {}, 1, 0, "home/data", kNew,
         0644, ""},
        {"link is written through in the target's folder",
         [](const std::string& home, const std::string& dots) {
             MakeFile(dots + "/data", 0600);
             ::symlink((dots + "/data").c_str(), (home + "/data").c_str());
         },
         1, 0, "dots/data", kNew, 0600, "home/data"},
        {"chain of relative links",
         [](const std::string& home, const std::string& dots) {
             MakeFile(dots + "/real", 0620);
             ::symlink("real", (dots + "/middle").c_str());
             ::symlink("../dots/middle", (home + "/data").c_str());
         },
         1, 0, "dots/real", kNew, 0620, "home/data dots/middle"},
        {"dangling link is refused",
         [](const std::string& home, const std::string& dots) {
             ::symlink((dots + "/gone").c_str(), (home + "/data").c_str());
         },
         -1, ENOENT, "", "", 0, "home/data"},
        {"read-only file is left as it is",
         [](const std::string& home, const std::string&) { MakeFile(home + "/data", 0444); }, -1,
         EACCES, "home/data", kOld, 0444, ""},
        {"read-only file behind a link is left as it is",
         [](const std::string& home, const std::string& dots) {
             MakeFile(dots + "/data", 0444);
             ::symlink((dots + "/data").c_str(), (home + "/data").c_str());
         },
         -1, EACCES, "dots/data", kOld, 0444, "home/data"},
        {"read-only folder: the file is written in place",
         [](const std::string& home, const std::string&) {
             MakeFile(home + "/data", 0604);
             ::chmod(home.c_str(), 0555);
         },
         1, 0, "home/data", kNew, 0604, ""},
        {"read-only folder and file",
         [](const std::string& home, const std::string&) {
             MakeFile(home + "/data", 0444);
             ::chmod(home.c_str(), 0555);
         },
         -1, EACCES, "home/data", kOld, 0444, ""},
        {"read-only folder without the file",
         [](const std::string& home, const std::string&) { ::chmod(home.c_str(), 0555); }, -1,
         EACCES, "", "", 0, ""},
    };
    return cases;
}

// Runs the case in `root`/case-N and says what differs from what it expects ("" if nothing).
std::string RunCase(const SaveCase& c, const std::string& folder) {
    const std::string home = folder + "/home";
    const std::string dots = folder + "/dots";
    std::filesystem::create_directories(home);
    std::filesystem::create_directories(dots);
    ::umask(022);
    c.arrange(home, dots);
    SaveOutcome outcome = SaveFileSafely(home + "/data", ".tmp", kNew);
    std::string wrong;
    auto expect = [&wrong](bool ok, const std::string& what) {
        if (!ok) wrong += " " + what + ";";
    };
    expect(outcome.result == c.result, "result " + std::to_string(outcome.result));
    expect(outcome.error == c.error, std::string("error ") + std::strerror(outcome.error));
    if (*c.file) {
        const std::string file = folder + "/" + c.file;
        expect(ReadFile(file) == c.content, "content " + ReadFile(file));
        expect(ModeOf(file) == c.mode, "mode " + std::to_string(ModeOf(file)));
    }
    for (const std::string& link : {std::string("home/data"), std::string("dots/middle")}) {
        if (std::string(c.links).find(link) != std::string::npos) {
            expect(IsLink(folder + "/" + link), link + " is no link any more");
        }
    }
    expect(!FileExists(home + "/data.tmp") && !FileExists(dots + "/data.tmp") &&
               !FileExists(dots + "/real.tmp"),
           "a temporary file is left");
    ::chmod(home.c_str(), 0755);
    return wrong.empty() ? "" : std::string(c.name) + ":" + wrong + "\n";
}

TEST(SafeSave, EachCaseAsAnOrdinaryUser) {
    TempDir dir;
    const std::string root = dir.file("user");
    testing::MakeFolderForOrdinaryUser(dir.path(), root);
    auto report = testing::RunAsOrdinaryUser([&] {
        std::string wrong;
        for (std::size_t i = 0; i < Cases().size(); ++i) {
            wrong += RunCase(Cases()[i], root + "/case-" + std::to_string(i));
        }
        return wrong;
    });
    if (!report) GTEST_SKIP() << "this machine cannot run a child as an ordinary user";
    EXPECT_EQ(*report, "");
}

// A disk with no room for the new file leaves the old one whole, whether the save goes
// through a new file or, in a read-only folder, in place.
TEST(SafeSave, AFullDiskLeavesTheFileWhole) {
    TempDir dir;
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::string disk = dir.file("disk");
    std::filesystem::create_directories(disk);
    ::chmod(dir.path().c_str(), 0755);
    const std::string old_text(page, 'o');
    const std::string new_text(3 * page, 'n');
    auto report = testing::RunOnSmallDisk(disk, 4 * page, [&] {
        if (!testing::BecomeOrdinaryUser()) return std::string("no ordinary user");
        std::string wrong;
        for (bool read_only_folder : {false, true}) {
            const std::string folder = disk + (read_only_folder ? "/pinned" : "/open");
            std::filesystem::create_directories(folder);
            WriteFile(folder + "/data", old_text);
            // What is left of the disk is too small for the new text.
            WriteFile(folder + "/filler", std::string(2 * page, 'f'));
            if (read_only_folder) ::chmod(folder.c_str(), 0555);
            SaveOutcome outcome = SaveFileSafely(folder + "/data", ".tmp", new_text);
            if (outcome.result != -1 || outcome.error != ENOSPC) {
                wrong += folder + ": " + std::strerror(outcome.error) + "; ";
            }
            if (ReadFile(folder + "/data") != old_text) wrong += folder + ": data changed; ";
            if (FileExists(folder + "/data.tmp")) wrong += folder + ": temporary left; ";
            ::chmod(folder.c_str(), 0755);
            std::filesystem::remove(folder + "/filler");
        }
        return wrong;
    });
    if (!report) GTEST_SKIP() << "no private mount namespace for a small disk here";
    EXPECT_EQ(*report, "");
}

}  // namespace
}  // namespace korvanel
