#include "browser/browser_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "browser/fake_browsers.h"
#include "browser/opera_prefs.h"
#include "runtime/runtime.h"
#include "support/recording_front_end.h"
#include "support/small_disk.h"
#include "texts.h"

namespace korvanel {
namespace {

using testing::FakeBrowsers;
using testing::FileExists;
using testing::ReadFile;
using testing::RecordingFrontEnd;
using testing::WriteFile;

constexpr const char kPrefs[] =
    "user_pref(\"network.cookie.prefs\", 1);\r\n"
    "user_pref(\"zzz.next\", true);\r\n";
constexpr const char kProxyLines[] =
    "user_pref(\"network.proxy.http\", \"127.0.0.1\");\r\n"
    "user_pref(\"network.proxy.http_port\",8123);\r\n"
    "user_pref(\"network.proxy.type\",1);\r\n";

// True when another thread can take the lock, i.e. no command still holds it.
bool LockIsFree(Lock& lock) {
    bool free = false;
    std::thread probe([&] {
        free = lock.try_lock();
        if (free) lock.unlock();
    });
    probe.join();
    return free;
}

class BrowserCommandTest : public ::testing::Test {
  protected:
    BrowserCommandTest() : rt(front, fakes.home()) {
        Hold hold(rt.locks.settings);
        rt.settings.port = "8123";
    }

    // $HOME/.mozilla/firefox/Profiles/p.default/ with prefs.js.
    std::string MakeFirefoxProfile() {
        std::string firefox = fakes.home() + "/.mozilla/firefox/";
        std::string profile = firefox + "Profiles/p.default/";
        std::filesystem::create_directories(profile);
        WriteFile(firefox + "profiles.ini",
                  "[Profile0]\nName=default\nIsRelative=1\n"
                  "Path=Profiles/p.default\n");
        WriteFile(profile + "prefs.js", kPrefs);
        return profile;
    }

    std::string MakeOperaFolder(const char* below, const std::string& prefs) {
        std::string folder = fakes.home() + "/" + below + "/";
        std::filesystem::create_directories(folder);
        WriteFile(folder + "opera6.ini", prefs);
        return folder;
    }

    int Run(BrowserCommand command, int edition = 32) {
        return RunBrowserCommand(rt, command, edition, fakes.host());
    }

    FakeBrowsers fakes;
    RecordingFrontEnd front;
    Runtime rt;
};

TEST_F(BrowserCommandTest, FirefoxSetClosesEditsThroughUserJsAndRestarts) {
    std::string profile = MakeFirefoxProfile();
    WriteFile(profile + "user.js", "// the user's own\n");
    fakes.Install("firefox");
    fakes.Watch(profile + "user.js");
    int old_pid = fakes.Start("firefox", /*ignore_term=*/true);

    EXPECT_EQ(Run(BrowserCommand::kSetFirefox), 1);

    EXPECT_FALSE(fakes.Running("firefox", old_pid)) << "closed, with SIGKILL at last";
    auto starts = fakes.Starts(2);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_TRUE(fakes.Running("firefox", starts[1].second));
    // The new Firefox found the edited preferences as user.js.
    EXPECT_EQ(fakes.Seen(), std::string("user_pref(\"network.cookie.prefs\", 1);\r\n") +
                                kProxyLines + "user_pref(\"zzz.next\", true);\r\n");
    EXPECT_EQ(ReadFile(profile + "prefs.js"), kPrefs) << "never written";
    EXPECT_EQ(ReadFile(profile + "user.js"), "// the user's own\n");
    EXPECT_FALSE(FileExists(profile + "backup_prefs.jp"));
    EXPECT_FALSE(FileExists(profile + "user.js.korvanel-kept"));
    EXPECT_TRUE(LockIsFree(rt.locks.browser));
    EXPECT_TRUE(front.messages().empty());
}

TEST_F(BrowserCommandTest, FirefoxResetSwitchesToDirectAndStartsWithoutARunningOne) {
    std::string profile = MakeFirefoxProfile();
    WriteFile(profile + "prefs.js", std::string(kPrefs) + kProxyLines + "user_pref(\"z\", 1);\r\n");
    fakes.Install("firefox");
    fakes.Watch(profile + "user.js");

    Run(BrowserCommand::kResetFirefox);

    ASSERT_EQ(fakes.Starts(1).size(), 1u);
    EXPECT_EQ(fakes.Seen(), std::string(kPrefs) + "user_pref(\"network.proxy.http\", \"\");\r\n" +
                                "user_pref(\"network.proxy.http_port\",0);\r\n" +
                                "user_pref(\"network.proxy.type\",0);\r\n" +
                                "user_pref(\"z\", 1);\r\n");
    EXPECT_FALSE(FileExists(profile + "user.js"));
    EXPECT_FALSE(FileExists(profile + "backup_prefs.jp"));
}

TEST_F(BrowserCommandTest, FirefoxEsrIsClosedAndStartedWhenItIsTheOneInstalled) {
    std::string profile = MakeFirefoxProfile();
    fakes.Install("firefox-esr");
    fakes.Watch(profile + "user.js");
    int old_pid = fakes.Start("firefox-esr");

    EXPECT_EQ(Run(BrowserCommand::kSetFirefox), 1);

    EXPECT_FALSE(fakes.Running("firefox-esr", old_pid));
    auto starts = fakes.Starts(2);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[1].first, "firefox-esr");
    EXPECT_TRUE(fakes.Running("firefox-esr", starts[1].second));
    EXPECT_NE(fakes.Seen().find(kProxyLines), std::string::npos) << fakes.Seen();
    EXPECT_FALSE(FileExists(profile + "user.js"));
}

TEST_F(BrowserCommandTest, NoProfileIsSaidAndAProfileWithoutPrefsGetsTheLinesAlone) {
    fakes.Install("firefox");
    fakes.Install("opera");
    int firefox = fakes.Start("firefox");
    int opera = fakes.Start("opera");

    Run(BrowserCommand::kSetFirefox);
    Run(BrowserCommand::kResetOpera, 64);
    EXPECT_TRUE(fakes.Running("firefox", firefox)) << "nothing to set: left running";
    EXPECT_TRUE(fakes.Running("opera", opera));
    std::string log = front.pane(Pane::kStatus);
    EXPECT_NE(log.find(std::string("Firefox") + text::kFirefoxNoProfile + fakes.home() +
                       "/.config/mozilla/firefox/, " + fakes.home() + "/.mozilla/firefox/"),
              std::string::npos)
        << log;

    // A profile Firefox has not written prefs.js to yet.
    std::string profile = MakeFirefoxProfile();
    std::filesystem::remove(profile + "prefs.js");
    WriteFile(profile + "user.js", "own");
    fakes.Watch(profile + "user.js");
    Run(BrowserCommand::kSetFirefox);

    EXPECT_FALSE(fakes.Running("firefox", firefox));
    EXPECT_EQ(fakes.Seen(), kProxyLines);
    EXPECT_EQ(ReadFile(profile + "user.js"), "own");
    EXPECT_NE(front.pane(Pane::kStatus).find(std::string("Firefox") + text::kFirefoxSet + profile),
              std::string::npos);
    EXPECT_TRUE(LockIsFree(rt.locks.browser));
    EXPECT_TRUE(front.messages().empty());
}

// Firefox 153 in a fresh home: profiles under ~/.config, the one its install opens named by
// [Install…]; the Firefox started by the command is followed by its profile lock, and a
// second install's profile gets a Firefox of its own.
TEST_F(BrowserCommandTest, EveryProfileInUseIsSetAndNamedInTheLog) {
    std::string firefox = fakes.home() + "/.config/mozilla/firefox/";
    for (const char* name : {"a.default", "b.default-esr", "c.default-release"}) {
        std::filesystem::create_directories(firefox + name);
        WriteFile(firefox + name + "/prefs.js", kPrefs);
    }
    WriteFile(firefox + "profiles.ini",
              "[Profile2]\nPath=a.default\nDefault=1\n[Profile1]\nPath=b.default-esr\n"
              "[Profile0]\nPath=c.default-release\n[InstallE]\nDefault=b.default-esr\n"
              "[InstallR]\nDefault=c.default-release\n");
    fakes.Install("firefox");
    fakes.Watch(firefox + "b.default-esr/user.js");

    Run(BrowserCommand::kSetFirefox);

    auto starts = fakes.Starts(2);
    ASSERT_EQ(starts.size(), 2u) << "the user's Firefox, then one for the other install";
    std::string log = front.pane(Pane::kStatus);
    for (const char* name : {"b.default-esr/", "c.default-release/"}) {
        EXPECT_NE(log.find(std::string(text::kFirefoxSet) + firefox + name), std::string::npos)
            << log;
        EXPECT_FALSE(FileExists(firefox + name + "user.js"));
    }
    EXPECT_EQ(log.find(firefox + "a.default/"), std::string::npos) << "never opened";
    EXPECT_NE(fakes.Seen().find(kProxyLines), std::string::npos);
}

TEST_F(BrowserCommandTest, OperaSetEditsTheFileOfItsEditionAndRestarts) {
    std::string folder = MakeOperaFolder(".opera-x64", "[Proxy]\r\nHTTP server\r\nX=1\r\n");
    WriteFile(folder + "Operaprefs.ini", "untouched");
    MakeOperaFolder(".opera", "[Proxy]\r\nHTTP server\r\n");
    fakes.Install("opera");
    int old_pid = fakes.Start("opera");

    Run(BrowserCommand::kSetOpera, 64);

    EXPECT_FALSE(fakes.Running("opera", old_pid));
    auto starts = fakes.Starts(2);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_TRUE(fakes.Running("opera", starts[1].second));
    EXPECT_EQ(ReadFile(folder + "opera6.ini"),
              "[Proxy]\r\nHTTP server=127.0.0.1:8123\r\nUse HTTP=1\r\nX=1\r\n");
    EXPECT_EQ(ReadFile(folder + "Operaprefs.ini"), "untouched");
    EXPECT_EQ(ReadFile(fakes.home() + "/.opera/opera6.ini"), "[Proxy]\r\nHTTP server\r\n");
    EXPECT_FALSE(FileExists(folder + "backup_opera6.ini"));
    EXPECT_TRUE(LockIsFree(rt.locks.browser));
}

TEST_F(BrowserCommandTest, OperaClosesOnlyTheProcessesOfItsEdition) {
    std::string folder =
        MakeOperaFolder(".opera", "[Proxy]\r\nHTTP server=127.0.0.1:8123\r\nUse HTTP=1\r\n");
    fakes.Install("opera");
    int sixty_four = fakes.Start("opera");

    // On a 64-bit machine the 32-bit edition leaves a 64-bit Opera alone.
    Run(BrowserCommand::kResetOpera, 32);
    EXPECT_TRUE(fakes.Running("opera", sixty_four));
    EXPECT_EQ(ReadFile(folder + "opera6.ini"), "[Proxy]\r\nHTTP server\r\nUse HTTP=0\r\n");

    // On a 32-bit machine every Opera is the 32-bit edition.
    for (const auto& [name, pid] : fakes.Starts(2)) EXPECT_TRUE(fakes.Running(name, pid));
    BrowserHost narrow = fakes.host();
    narrow.processor_width = 32;
    RunBrowserCommand(rt, BrowserCommand::kSetOpera, 32, narrow);
    EXPECT_FALSE(fakes.Running("opera", sixty_four));
    EXPECT_EQ(fakes.Starts(3).size(), 3u);
}

TEST_F(BrowserCommandTest, ACommandWaitsForTheBrowserLock) {
    std::string folder = MakeOperaFolder(".opera", "[Proxy]\r\nHTTP server\r\n");
    std::thread command;
    {
        Hold held(rt.locks.browser);
        command = std::thread([&] { Run(BrowserCommand::kSetOpera, 32); });
        std::this_thread::sleep_for(milliseconds(200));
        EXPECT_EQ(ReadFile(folder + "opera6.ini"), "[Proxy]\r\nHTTP server\r\n");
    }
    command.join();
    EXPECT_EQ(ReadFile(folder + "opera6.ini"),
              "[Proxy]\r\nHTTP server=127.0.0.1:8123\r\nUse HTTP=1\r\n");
}

// A disk that fills while the edited file is written leaves the user's preferences whole,
// and the edited text in the working copy beside them.
TEST_F(BrowserCommandTest, AFullDiskLeavesTheOperaFileWhole) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    // Two pages, and three once the set edit has added the proxy's address: the disk holds
    // the file, its working copy and the edited working copy, but no edited file besides.
    std::string prefs = "[Proxy]\r\nHTTP server\r\nUse HTTP=0\r\nX=";
    prefs += std::string(2 * page - 7 - prefs.size() - 2, 'x') + "\r\n";
    EditBuffer edit(prefs, prefs.size());
    ApplyOperaSetEdits(edit, "8123");
    ASSERT_GT(edit.text().size(), 2 * page);
    std::string folder = fakes.home() + "/.opera/";
    std::filesystem::create_directories(folder);
    std::optional<std::string> seen = testing::RunOnSmallDisk(folder, 5 * page, [&] {
        WriteFile(folder + "opera6.ini", prefs);
        Run(BrowserCommand::kSetOpera, 32);
        return ReadFile(folder + "opera6.ini") + "|" + ReadFile(folder + "backup_opera6.ini") +
               "|" + std::to_string(FileExists(folder + "opera6.ini.new"));
    });
    if (!seen) GTEST_SKIP() << "no mount namespace for a small disk here";
    std::size_t first = seen->find('|');
    std::size_t second = seen->find('|', first + 1);
    ASSERT_NE(second, std::string::npos) << *seen;
    EXPECT_TRUE(seen->substr(0, first) == prefs)
        << "the file holds " << first << " of " << prefs.size() << " bytes";
    EXPECT_TRUE(seen->substr(first + 1, second - first - 1) == edit.text())
        << "the working copy holds " << second - first - 1 << " bytes";
    EXPECT_EQ(seen->substr(second + 1), "0") << "the new file is left behind";
}

// A symlinked preferences file (a dotfiles folder, say) stays a link: the file it names
// gets the edit, keeping its mode. Firefox's prefs.js is only read, and a user.js link is
// put back as it was.
TEST_F(BrowserCommandTest, LinkedPreferencesStayLinks) {
    const std::string dots = fakes.home() + "/dotfiles/";
    std::filesystem::create_directories(dots);
    std::string opera = fakes.home() + "/.opera-x64/";
    std::filesystem::create_directories(opera);
    WriteFile(dots + "opera6.ini", "[Proxy]\r\nHTTP server\r\n");
    std::filesystem::permissions(dots + "opera6.ini", std::filesystem::perms(0600));
    std::filesystem::create_symlink("../dotfiles/opera6.ini", opera + "opera6.ini");
    std::string profile = MakeFirefoxProfile();
    WriteFile(dots + "prefs.js", kPrefs);
    WriteFile(dots + "user.js", "// the user's own\n");
    std::filesystem::remove(profile + "prefs.js");
    std::filesystem::create_symlink(dots + "prefs.js", profile + "prefs.js");
    std::filesystem::create_symlink(dots + "user.js", profile + "user.js");
    fakes.Install("opera");
    fakes.Install("firefox");

    Run(BrowserCommand::kSetOpera, 64);
    Run(BrowserCommand::kSetFirefox);

    EXPECT_TRUE(std::filesystem::is_symlink(opera + "opera6.ini"));
    EXPECT_EQ(ReadFile(dots + "opera6.ini"),
              "[Proxy]\r\nHTTP server=127.0.0.1:8123\r\nUse HTTP=1\r\n");
    EXPECT_EQ(std::filesystem::status(dots + "opera6.ini").permissions(),
              std::filesystem::perms(0600));
    for (const char* name : {"prefs.js", "user.js"}) {
        EXPECT_TRUE(std::filesystem::is_symlink(profile + name)) << name;
    }
    EXPECT_EQ(ReadFile(dots + "prefs.js"), kPrefs);
    EXPECT_EQ(ReadFile(dots + "user.js"), "// the user's own\n");
    std::vector<std::string> left;
    for (const auto& folder : {dots, opera}) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            left.push_back(entry.path().filename().string());
        }
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"opera6.ini", "opera6.ini", "prefs.js", "user.js"}));
}

// A close asked for while a command waits for the browser ends the command at once, with
// the browser's files as they were or completely edited.
struct CloseDuringWait {
    const char* name;
    BrowserCommand command;
    int edition;
    const char* running;  // a browser that ignores SIGTERM, or ""
    bool edited;          // the preferences hold the edit afterwards
};

class CloseDuringBrowserWait : public BrowserCommandTest,
                               public ::testing::WithParamInterface<CloseDuringWait> {};

TEST_P(CloseDuringBrowserWait, EndsTheCommandAtOnceWithWholeFiles) {
    const CloseDuringWait& c = GetParam();
    const std::string opera_text = "[Proxy]\r\nHTTP server\r\n";
    std::string opera = MakeOperaFolder(".opera", opera_text);
    std::string profile = MakeFirefoxProfile();
    WriteFile(profile + "user.js", "// the user's own\n");
    fakes.Install("opera");
    fakes.Install("firefox");
    if (*c.running) fakes.Start(c.running, /*ignore_term=*/true);
    // The waits as long as the program's: 15 s for Opera to close or start, 4 s for Firefox
    // to close, 5 s after its start.
    BrowserHost host = fakes.host();
    host.timing = BrowserTiming{};

    std::thread command([&] { RunBrowserCommand(rt, c.command, c.edition, host); });
    std::this_thread::sleep_for(milliseconds(500));
    auto asked = std::chrono::steady_clock::now();
    rt.closing.Request();
    command.join();
    auto took = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - asked);

    EXPECT_LT(took.count(), 1000);
    if (c.command == BrowserCommand::kSetOpera) {
        EXPECT_EQ(
            ReadFile(opera + "opera6.ini"),
            c.edited ? "[Proxy]\r\nHTTP server=127.0.0.1:8123\r\nUse HTTP=1\r\n" : opera_text);
        EXPECT_FALSE(FileExists(opera + "backup_opera6.ini"));
    } else {
        EXPECT_EQ(ReadFile(profile + "prefs.js"), kPrefs);
        EXPECT_EQ(ReadFile(profile + "user.js"), "// the user's own\n");
        EXPECT_FALSE(FileExists(profile + "backup_prefs.jp"));
        EXPECT_FALSE(FileExists(profile + "user.js.korvanel-kept"));
    }
    EXPECT_TRUE(LockIsFree(rt.locks.browser));
    // Once the close has begun a command does not start at all.
    auto before = fakes.Starts().size();
    RunBrowserCommand(rt, BrowserCommand::kSetFirefox, 32, host);
    EXPECT_EQ(fakes.Starts().size(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Waits, CloseDuringBrowserWait,
    ::testing::Values(
        CloseDuringWait{"OperaClosing", BrowserCommand::kSetOpera, 64, "opera", false},
        // On a 64-bit machine the 64-bit fake never counts as the 32-bit edition started.
        CloseDuringWait{"OperaStarting", BrowserCommand::kSetOpera, 32, "", true},
        CloseDuringWait{"FirefoxClosing", BrowserCommand::kSetFirefox, 32, "firefox", false},
        CloseDuringWait{"FirefoxStarting", BrowserCommand::kSetFirefox, 32, "", false}),
    [](const ::testing::TestParamInfo<CloseDuringWait>& row) { return row.param.name; });

TEST(BrowserHost, TheSystemUsesTheNamedWaits) {
    BrowserHost host = SystemBrowserHost();
    EXPECT_TRUE(host.scope.exe_folder.empty());
    EXPECT_EQ(host.processor_width, ProcessorWidth());
    EXPECT_EQ(host.timing.firefox_close_wait, kFirefoxCloseWait);
    EXPECT_EQ(host.timing.kill_retry_wait, kKillRetryWait);
    EXPECT_EQ(host.timing.firefox_start_poll, kFirefoxStartPoll);
    EXPECT_EQ(host.timing.firefox_settle, kFirefoxSettle);
    EXPECT_EQ(host.timing.opera_close_wait, kOperaCloseWait);
    EXPECT_EQ(host.timing.opera_close_poll, kOperaClosePoll);
    EXPECT_EQ(host.timing.opera_start_poll, kOperaStartPoll);
}

}  // namespace
}  // namespace korvanel
