#include "browser/desktop_proxy.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "browser/browser_command.h"
#include "browser/fake_browsers.h"
#include "browser/kde_proxy.h"
#include "runtime/runtime.h"
#include "support/recording_front_end.h"
#include "texts.h"

namespace korvanel {
namespace {

using testing::FakeBrowsers;
using testing::FileExists;
using testing::ReadFile;
using testing::RecordingFrontEnd;
using testing::ScopedEnv;
using testing::WriteFile;

TEST(DesktopProxy, TheDesktopByXdgCurrentDesktop) {
    const std::pair<const char*, Desktop> cases[] = {
        {"GNOME", Desktop::kGnome},      {"ubuntu:GNOME", Desktop::kGnome},
        {"X-Cinnamon", Desktop::kGnome}, {"Budgie:GNOME", Desktop::kGnome},
        {"Pantheon", Desktop::kGnome},   {"MATE", Desktop::kGnome},
        {"KDE", Desktop::kKde},          {"kde", Desktop::kKde},
        {"XFCE", Desktop::kNone},        {"", Desktop::kNone},
        {"GNOMEISH", Desktop::kNone},
    };
    for (const auto& [name, desktop] : cases) EXPECT_EQ(DesktopOf(name), desktop) << name;
}

TEST(KdeProxyFile, KeysAreSetInTheirGroupAndEveryOtherByteStays) {
    using E = IniEntry;
    const std::vector<E> set = {
        {"ProxyType", "1"}, {"httpProxy", "http://127.0.0.1 8080"}, {"httpsProxy", std::nullopt}};
    struct Case {
        const char* name;
        std::string before;
        std::string after;
    };
    const Case cases[] = {
        {"no file", "", "[Proxy Settings]\nProxyType=1\nhttpProxy=http://127.0.0.1 8080\n"},
        {"other groups only, no final line end", "[Cache]\nMaxSize=5",
         "[Cache]\nMaxSize=5\n\n[Proxy Settings]\nProxyType=1\nhttpProxy=http://127.0.0.1 8080\n"},
        {"in place, removed, added after the group's last key",
         "[Proxy Settings][$i]\nNoProxyFor=localhost\nProxyType=0\nhttpsProxy=x "
         "1\n\n[Other]\na=b\n",
         "[Proxy Settings][$i]\nNoProxyFor=localhost\nProxyType=1\n"
         "httpProxy=http://127.0.0.1 8080\n\n[Other]\na=b\n"},
        {"CR LF lines and blanks around keys", "[Proxy Settings]\r\nProxyType = 4\r\n",
         "[Proxy Settings]\r\nProxyType=1\r\nhttpProxy=http://127.0.0.1 8080\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WriteIniEntries(c.before, kde_proxy::kGroup, set), c.after) << c.name;
    }
    EXPECT_EQ(ReadIniEntries("[Proxy Settings]\nProxyType=1\n[X]\nhttpProxy=y\n", kde_proxy::kGroup,
                             {"ProxyType", "httpProxy"}),
              (std::vector<E>{{"ProxyType", "1"}, {"httpProxy", std::nullopt}}));
}

class DesktopCommandTest : public ::testing::Test {
  protected:
    DesktopCommandTest() : rt(front, fakes.home()) {
        Hold hold(rt.locks.settings);
        rt.settings.port = "8123";
        rt.settings.https_tunnel = true;
    }
    int Run(BrowserCommand command) { return RunBrowserCommand(rt, command, 0, fakes.host()); }
    std::string StatusLog() const { return front.pane(Pane::kStatus); }

    FakeBrowsers fakes;
    RecordingFrontEnd front;
    Runtime rt;
    ScopedEnv config{"XDG_CONFIG_HOME", ""};
};

TEST_F(DesktopCommandTest, KdeIsPointedAtTheProxyAndResetGivesTheFileBackByteForByte) {
    ScopedEnv desktop("XDG_CURRENT_DESKTOP", "KDE");
    const std::string file = fakes.home() + "/.config/kioslaverc";
    const std::string before =
        "[Proxy Settings]\nNoProxyFor=localhost,127.0.0.1\nProxyType=2\n"
        "Proxy Config Script=http://wpad/wpad.dat\n\n[$Version]\nupdate_info=x\n";
    std::filesystem::create_directories(fakes.home() + "/.config");
    WriteFile(file, before);

    Run(BrowserCommand::kSetDesktop);
    EXPECT_EQ(ReadFile(file),
              "[Proxy Settings]\nNoProxyFor=localhost,127.0.0.1\nProxyType=1\n"
              "Proxy Config Script=http://wpad/wpad.dat\nhttpProxy=http://127.0.0.1 8123\n"
              "httpsProxy=http://127.0.0.1 8123\n\n[$Version]\nupdate_info=x\n");
    EXPECT_NE(StatusLog().find(std::string(text::kDesktopSettings) + text::kDesktopKde +
                               text::kDesktopSet + "127.0.0.1:8123"),
              std::string::npos)
        << StatusLog();
    // A second set keeps what was there first.
    Run(BrowserCommand::kSetDesktop);

    Run(BrowserCommand::kResetDesktop);
    EXPECT_EQ(ReadFile(file), before);
    EXPECT_FALSE(FileExists(fakes.home() + "/" + kDesktopKeptFile));
    EXPECT_TRUE(front.messages().empty());

    // Reset with nothing kept leaves a setting that is not this machine's proxy alone.
    Run(BrowserCommand::kResetDesktop);
    EXPECT_EQ(ReadFile(file), before);
}

TEST_F(DesktopCommandTest, WithoutADesktopNothingChangesAndTheMessageSaysHowToStartABrowser) {
    ScopedEnv desktop("XDG_CURRENT_DESKTOP", "XFCE");
    Run(BrowserCommand::kSetDesktop);
    ASSERT_EQ(front.messages().size(), 1u);
    EXPECT_NE(front.messages()[0].second.find("--proxy-server=127.0.0.1:8123"), std::string::npos);
    EXPECT_FALSE(FileExists(fakes.home() + "/.config/kioslaverc"));
    EXPECT_FALSE(FileExists(fakes.home() + "/" + kDesktopKeptFile));
}

// GLib's real gsettings with a backend that keeps nothing: the set must not say it worked.
TEST_F(DesktopCommandTest, AGnomeSettingThatIsNotKeptIsAFailure) {
    const char* gsettings = "/usr/bin/gsettings";
    if (!FileExists(gsettings)) GTEST_SKIP() << "no gsettings";
    ScopedEnv desktop("XDG_CURRENT_DESKTOP", "GNOME");
    ScopedEnv backend("GSETTINGS_BACKEND", "memory");
    BrowserHost host = fakes.host();
    host.gsettings = gsettings;
    RunBrowserCommand(rt, BrowserCommand::kSetDesktop, 0, host);
    EXPECT_NE(StatusLog().find(std::string(text::kDesktopGnome) + text::kDesktopFailed +
                               text::kDesktopNotKept),
              std::string::npos)
        << StatusLog();
    EXPECT_FALSE(FileExists(fakes.home() + "/" + kDesktopKeptFile));
}

}  // namespace
}  // namespace korvanel
