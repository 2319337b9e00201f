#include "browser/firefox_profile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "browser/fake_browsers.h"

namespace korvanel {
namespace {

using testing::ScopedEnv;
using testing::TempDir;
using testing::WriteFile;

// profiles.ini as Firefox 153 writes it in a fresh home: a Default=1 profile it never opens,
// and the one its install opens.
constexpr const char kFreshIni[] =
    "[Profile1]\nName=default\nIsRelative=1\nPath=60q09dbw.default\nDefault=1\n\n"
    "[Profile0]\nName=default-esr\nIsRelative=1\nPath=8552c8o5.default-esr\n\n"
    "[General]\nStartWithLastProfile=1\nVersion=2\n\n"
    "[Install3B6073811A6ABF12]\nDefault=8552c8o5.default-esr\nLocked=1\n";

TEST(FirefoxProfile, TheProfilesFirefoxOpens) {
    struct Case {
        const char* name;
        std::string profiles;
        std::string installs;
        std::vector<ProfilePath> expected;
    };
    const Case cases[] = {
        {"the install's default, not Default=1", kFreshIni, "", {{"8552c8o5.default-esr", true}}},
        {"installs.ini when profiles.ini names none",
         "[Profile0]\nPath=a\nDefault=1\n[Profile1]\nPath=b\n",
         "[3B60]\nDefault=b\nLocked=1\n",
         {{"b", true}}},
        {"two installs, two profiles, once each",
         "[Profile0]\nPath=a\n[Profile1]\nIsRelative=0\nPath=/srv/b/\n"
         "[InstallX]\nDefault=a\n[InstallY]\nDefault=/srv/b\n[InstallZ]\nDefault=a\n",
         "",
         {{"a", true}, {"/srv/b", false}}},
        {"Default=1 without installs",
         "[Profile0]\nPath=a\n[Profile1]\nPath=b\nDefault=1\n",
         "",
         {{"b", true}}},
        {"else the first",
         "[Profile0]\r\nIsRelative=1\r\nPath=Profiles/abc.default\r\n"
         "[Profile1]\r\nPath=x\r\n",
         "",
         {{"Profiles/abc.default", true}}},
        {"relativity of its own section",
         "[Profile0]\nPath=a\nIsRelative=1\n"
         "[Profile1]\nIsRelative=0\nPath=/p\n",
         "",
         {{"a", true}}},
        {"lines before any section",
         "IsRelative=0\nPath=/srv/ff/p1\n",
         "",
         {{"/srv/ff/p1", false}}},
        {"trailing slashes and spaces", "[P]\nIsRelative=7\nPath=p2 /\\ \r\n", "", {{"p2", true}}},
        {"no profile", "[General]\nStartWithLastProfile=1\n", "", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProfilesInUse(c.profiles, c.installs), c.expected) << c.name;
    }
}

class FirefoxFolderTest : public ::testing::Test {
  protected:
    std::string Profile(const std::string& below, const std::string& ini,
                        const std::vector<std::string>& profiles) {
        std::string firefox = home.path() + "/" + below + "/";
        for (const std::string& profile : profiles) {
            std::filesystem::create_directories(firefox + profile);
        }
        WriteFile(firefox + "profiles.ini", ini);
        return firefox;
    }

    TempDir home;
    ScopedEnv home_env{"HOME", home.path()};
    ScopedEnv config_env{"XDG_CONFIG_HOME", ""};
};

TEST_F(FirefoxFolderTest, EveryPlaceFirefoxKeepsProfilesIsSearched) {
    std::string xdg =
        Profile(".config/mozilla/firefox", kFreshIni, {"60q09dbw.default", "8552c8o5.default-esr"});
    std::string old = Profile(".mozilla/firefox", "[P]\nPath=o.default\n", {"o.default"});
    std::string snap = Profile("snap/firefox/common/.mozilla/firefox", "[P]\nPath=s\n", {"s"});
    std::string flatpak =
        Profile(".var/app/org.mozilla.firefox/.mozilla/firefox", "[P]\nPath=f\n", {"f"});
    // A profile named but not there, and a folder without profiles.ini, give nothing.
    Profile("snap/firefox/common/.config/mozilla/firefox", "[P]\nPath=gone\n", {});
    std::filesystem::create_directories(home.path() + "/.var/app/org.mozilla.firefox/config");

    FirefoxProfiles found = FindFirefoxProfiles();
    EXPECT_EQ(found.folders,
              (std::vector<std::string>{xdg + "8552c8o5.default-esr/", old + "o.default/",
                                        snap + "s/", flatpak + "f/"}));
    EXPECT_EQ(found.looked_in.size(), 7u);
    EXPECT_EQ(found.looked_in[0], home.path() + "/.config/mozilla/firefox/");
}

TEST_F(FirefoxFolderTest, XdgConfigHomeAndLinkedFoldersCountOnce) {
    std::string config = home.path() + "/conf";
    ScopedEnv env("XDG_CONFIG_HOME", config);
    std::string own = Profile("conf/mozilla/firefox", "[P]\nPath=c\n", {"c"});
    // ~/.mozilla/firefox is a link to the same folder.
    std::filesystem::create_directories(home.path() + "/.mozilla");
    ASSERT_EQ(symlink(own.c_str(), (home.path() + "/.mozilla/firefox").c_str()), 0);

    FirefoxProfiles found = FindFirefoxProfiles();
    EXPECT_EQ(found.folders, std::vector<std::string>{own + "c/"});
    EXPECT_EQ(found.looked_in[0], config + "/mozilla/firefox/");
}

TEST_F(FirefoxFolderTest, NoneWithoutHomeOrWithATooLongFolder) {
    {
        ScopedEnv env("HOME", "");
        EXPECT_TRUE(FindFirefoxProfiles().folders.empty());
        EXPECT_TRUE(FindFirefoxProfiles().looked_in.empty());
    }
    std::string deep = std::string(250, 'p') + "/" + std::string(250, 'q');
    Profile(".mozilla/firefox", "[P]\nPath=" + deep + "\n", {deep});
    EXPECT_TRUE(FindFirefoxProfiles().folders.empty());
}

TEST_F(FirefoxFolderTest, TheLockNamesTheFirefoxThatOpenedTheProfile) {
    std::string profile = Profile(".mozilla/firefox", "[P]\nPath=p\n", {"p"}) + "p/";
    EXPECT_EQ(FirefoxLockHolder(profile), 0);
    std::string own = "127.0.0.1:+" + std::to_string(getpid());
    ASSERT_EQ(symlink(own.c_str(), (profile + "lock").c_str()), 0);
    EXPECT_EQ(FirefoxLockHolder(profile), getpid());
    // A lock left behind by a Firefox that has ended holds nothing.
    std::filesystem::remove(profile + "lock");
    ASSERT_EQ(symlink("127.0.0.1:+999999999", (profile + "lock").c_str()), 0);
    EXPECT_EQ(FirefoxLockHolder(profile), 0);
}

}  // namespace
}  // namespace korvanel
