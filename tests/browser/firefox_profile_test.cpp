#include "browser/firefox_profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "browser/fake_browsers.h"

namespace korvanel {
namespace {

using testing::ScopedEnv;
using testing::TempDir;
using testing::WriteFile;

TEST(FirefoxProfile, FoundByTheFirstPathLine) {
    struct Case {
        const char* name;
        std::string ini;
        std::string expected;  // below $HOME/.mozilla/firefox/ unless it starts with "/"
    };
    const Case cases[] = {
        {"relative", "[Profile0]\r\nIsRelative=1\r\nPath=Profiles/abc.default\r\n",
         "Profiles/abc.default/"},
        {"path before IsRelative", "[Profile0]\nPath=abc.default\nIsRelative=0\n", "abc.default/"},
        {"absolute", "IsRelative=0\nPath=/srv/ff/p1\n", "/srv/ff/p1/"},
        {"first path wins", "Path=one\nPath=two\n", "one/"},
        {"trailing slashes and spaces", "IsRelative=7\nPath=p2 /\\ \r\n", "p2/"},
        {"install section first", "[Install1]\nDefault=x\n\n[Profile0]\nPath=y.default\n",
         "y.default/"},
        {"no path", "[General]\nStartWithLastProfile=1\n", ""},
        {"empty path", "Path=/ \n", ""},
    };
    for (const Case& c : cases) {
        TempDir home;
        ScopedEnv env("HOME", home.path());
        std::string firefox = home.path() + "/.mozilla/firefox/";
        std::filesystem::create_directories(firefox);
        WriteFile(firefox + "profiles.ini", c.ini);
        std::string expected = c.expected;
        if (!expected.empty() && expected[0] != '/') expected = firefox + expected;
        EXPECT_EQ(FindFirefoxProfile(), expected) << c.name;
    }
}

TEST(FirefoxProfile, NoneWithoutHomeOrProfilesIni) {
    TempDir home;
    {
        ScopedEnv env("HOME", home.path());
        EXPECT_EQ(FindFirefoxProfile(), "");
    }
    {
        ScopedEnv env("HOME", "");
        EXPECT_EQ(FindFirefoxProfile(), "");
    }
    // A HOME too long to keep is not cut down to some other folder.
    std::string long_home = home.path() + "/" + std::string(130, 'h') + "/" + std::string(130, 'h');
    std::filesystem::create_directories(long_home + "/.mozilla/firefox");
    WriteFile(long_home + "/.mozilla/firefox/profiles.ini", "Path=p\n");
    ScopedEnv env("HOME", long_home);
    EXPECT_EQ(FindFirefoxProfile(), "");
}

}  // namespace
}  // namespace korvanel
