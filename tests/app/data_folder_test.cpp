#include "app/data_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace korvanel {
namespace {

using testing::TempDir;
using testing::WriteFile;

using Variables = std::map<std::string, std::string>;

// A fake environment: only the variables of the table row are set.
EnvironmentLookup FakeEnvironment(const Variables& variables) {
    return [variables](const char* name) -> const char* {
        auto found = variables.find(name);
        return found == variables.end() ? nullptr : found->second.c_str();
    };
}

struct Arguments {
    explicit Arguments(std::vector<std::string> words) : words_(std::move(words)) {
        pointers_.push_back("korvanel");
        for (const std::string& word : words_) pointers_.push_back(word.c_str());
    }
    int argc() const { return static_cast<int>(pointers_.size()); }
    const char* const* argv() const { return pointers_.data(); }

  private:
    std::vector<std::string> words_;
    std::vector<const char*> pointers_;
};

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

TEST(CommandLineTest, OnlyNothingOrTheLauncherOptionIsAccepted) {
    struct Case {
        const char* name;
        std::vector<std::string> words;
        bool accepted;
        Workplace place;
        const char* named;  // the argument the message names
    };
    const Case cases[] = {
        {"no argument", {}, true, Workplace::kCurrentDirectory, ""},
        {"launcher option", {"--desktop"}, true, Workplace::kDataFolder, ""},
        {"other option", {"--help"}, false, {}, "'--help'"},
        {"single dash", {"-desktop"}, false, {}, "'-desktop'"},
        {"option with a value", {"--desktop=1"}, false, {}, "'--desktop=1'"},
        {"a file name", {"data"}, false, {}, "'data'"},
        {"empty argument", {""}, false, {}, "''"},
        {"option twice", {"--desktop", "--desktop"}, false, {}, "'--desktop'"},
        {"option then more", {"--desktop", "x"}, false, {}, "'x'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Arguments args(c.words);
        Workplace place = Workplace::kCurrentDirectory;
        std::string error;
        ASSERT_EQ(ParseCommandLine(args.argc(), args.argv(), place, error), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(place, c.place);
            EXPECT_EQ(error, "");
        } else {
            EXPECT_NE(error.find(c.named), std::string::npos) << error;
            EXPECT_NE(error.find("usage: korvanel [--desktop]"), std::string::npos) << error;
        }
    }
}

TEST(DataFolderPathTest, DataHomeWhenAbsoluteElseBelowHome) {
    struct Case {
        const char* name;
        Variables variables;
        std::string folder;
    };
    const Case cases[] = {
        {"data home", {{"XDG_DATA_HOME", "/d/share"}, {"HOME", "/h"}}, "/d/share/korvanel"},
        {"data home with slash", {{"XDG_DATA_HOME", "/d/share//"}}, "/d/share/korvanel"},
        {"empty data home", {{"XDG_DATA_HOME", ""}, {"HOME", "/h"}}, "/h/.local/share/korvanel"},
        {"relative data home",
         {{"XDG_DATA_HOME", "share"}, {"HOME", "/h"}},
         "/h/.local/share/korvanel"},
        {"home only", {{"HOME", "/home/u"}}, "/home/u/.local/share/korvanel"},
        {"home with slash", {{"HOME", "/home/u/"}}, "/home/u/.local/share/korvanel"},
        {"root as home", {{"HOME", "/"}}, "/.local/share/korvanel"},
        {"relative home", {{"HOME", "u"}}, ""},
        {"empty home", {{"HOME", ""}}, ""},
        {"nothing set", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DataFolderPath(FakeEnvironment(c.variables)), c.folder);
    }
}

// Each test starts and ends in the directory it found, so that a test that enters a folder
// leaves nothing to the next.
class DataFolderTest : public ::testing::Test {
  protected:
    void SetUp() override { start_ = std::filesystem::current_path(); }
    void TearDown() override { std::filesystem::current_path(start_); }

    TempDir dir_;
    std::filesystem::path start_;
};

TEST_F(DataFolderTest, MakesEveryMissingFolderWithTheModeDespiteTheUmask) {
    mode_t old_mask = ::umask(0277);  // would leave a new folder unreadable to its owner
    const std::string deep = dir_.file("a//b/c/");
    int result = MakeFolders(deep);
    ::umask(old_mask);
    ASSERT_EQ(result, 0);
    for (const char* part : {"a", "a/b", "a/b/c"}) {
        EXPECT_EQ(ModeOf(dir_.file(part)), kDataFolderMode) << part;
    }
}

TEST_F(DataFolderTest, LeavesExistingFoldersAsTheyAre) {
    ASSERT_EQ(::mkdir(dir_.file("shared").c_str(), 0755), 0);
    ASSERT_EQ(MakeFolders(dir_.file("shared/korvanel")), 0);
    EXPECT_EQ(ModeOf(dir_.file("shared")), 0755u);
    EXPECT_EQ(ModeOf(dir_.file("shared/korvanel")), kDataFolderMode);
    EXPECT_EQ(MakeFolders(dir_.file("shared/korvanel")), 0);  // the second start
}

TEST_F(DataFolderTest, AFileInThePathIsNotAFolder) {
    WriteFile(dir_.file("plain"), "x");
    EXPECT_EQ(MakeFolders(dir_.file("plain")), ENOTDIR);
    EXPECT_EQ(MakeFolders(dir_.file("plain/korvanel")), ENOTDIR);
    EXPECT_EQ(MakeFolders("relative/korvanel"), EINVAL);
}

TEST_F(DataFolderTest, StartsThatGoNoFurtherSayWhyAndStayPut) {
    WriteFile(dir_.file("plain"), "x");
    struct Case {
        const char* name;
        std::vector<std::string> words;
        Variables variables;
        int status;
        std::string says;
        bool to_stdout = false;
    };
    const Case cases[] = {
        {"no home", {"--desktop"}, {}, kExitNoDataFolder, "neither XDG_DATA_HOME nor HOME"},
        {"help", {"--help"}, {}, 0, "usage: korvanel [--desktop]", true},
        {"version", {"--version"}, {}, 0, "korvanel 1.", true},
        {"help with more", {"--help", "x"}, {}, kExitUsage, "unknown option '--help'"},
        {"folder under a file",
         {"--desktop"},
         {{"XDG_DATA_HOME", dir_.file("plain")}},
         kExitNoDataFolder,
         dir_.file("plain") + "/korvanel could not be made: Not a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Arguments args(c.words);
        StartDecision start =
            EnterWorkplace(args.argc(), args.argv(), FakeEnvironment(c.variables));
        EXPECT_FALSE(start.go_on);
        EXPECT_EQ(start.exit_status, c.status);
        EXPECT_EQ(start.to_stdout, c.to_stdout);
        EXPECT_NE(start.message.find(c.says), std::string::npos) << start.message;
        EXPECT_EQ(start.message.back(), '\n');
        EXPECT_EQ(std::filesystem::current_path(), start_);
    }
}

}  // namespace
}  // namespace korvanel
