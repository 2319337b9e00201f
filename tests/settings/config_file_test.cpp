#include "settings/config_file.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/runtime.h"
#include "settings/config_test_support.h"
#include "settings/row_makers.h"
#include "support/recording_front_end.h"
#include "support/temp_dir.h"

namespace korvanel {
namespace {

using testing::FillToCapacity;
using testing::ReadFile;
using testing::RecordingFrontEnd;
using testing::SameSavedState;
using testing::TempDir;
using testing::WriteFile;

class ConfigFileTest : public ::testing::Test {
  protected:
    std::string DataPath() const { return dir.file("data"); }
    int ReadText(const std::string& text) {
        WriteFile(DataPath(), text);
        return ReadConfiguration(rt);
    }

    TempDir dir;
    RecordingFrontEnd front;
    Runtime rt{front, dir.path()};
};

TEST_F(ConfigFileTest, MissingFileIsCreatedWithTheDefaultTextAndRead) {
    ASSERT_EQ(ReadConfiguration(rt), 1);
    std::string text = ReadFile(DataPath());
    EXPECT_EQ(text, DefaultConfigurationText());
    EXPECT_EQ(text.substr(0, 19), ":TUG_JOB\r\n0:0:0:0:0");
    EXPECT_NE(text.find("0:0\r\n:HTTP_VERSION\r\n1.1\r\n"), std::string::npos);
    EXPECT_EQ(text.find(":LOCAL_OR_PASSIVE"), std::string::npos);
    EXPECT_NE(text.find(":RECV_HEADER_LIST\r\n:AUTO_START\r\n0\r\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with(":WINDOW_INFO\r\n920:700:300:10:10\r\n:END\r\n"));

    const Settings& s = rt.settings;
    EXPECT_EQ(s.localorpassive.view(), "local");
    EXPECT_EQ(s.allow_user.view(), "127.0.0.1to127.0.0.1");
    EXPECT_EQ(s.http_version.view(), "1.1");
    for (const LogMode* mode :
         {&s.access_log, &s.send_header_log, &s.recv_header_log, &s.send_recv_header_log}) {
        EXPECT_EQ(mode->view(), "0");
    }
    EXPECT_EQ(s.port.view(), "8080");
    EXPECT_TRUE(s.proxy.empty());
    EXPECT_TRUE(s.agent.empty());
    EXPECT_TRUE(s.user_agents.empty() && s.proxies.empty());
    EXPECT_TRUE(s.send_headers.empty() && s.recv_headers.empty());
    EXPECT_EQ(s.color.view(), "DEFAULT");
    EXPECT_EQ(s.checkproxyaddress.view(), kDefaultCheckAddress);
    EXPECT_EQ(s.window_width, 920);
    EXPECT_EQ(s.window_height, 700);
    EXPECT_EQ(s.split_pos, 300);
    EXPECT_EQ(s.window_x, 10);
    EXPECT_EQ(s.window_y, 10);

    Settings defaults;
    ApplyNewFileDefaults(defaults);
    EXPECT_TRUE(SameSavedState(s, defaults));
}

TEST_F(ConfigFileTest, WriterKeepsSectionOrderAndCrLf) {
    ApplyNewFileDefaults(rt.settings);
    AppendUserAgentRow(rt.settings, "UA/1", 1);
    AppendProxyRow(rt.settings, "120", "6", 0, "p.example:3128");
    AppendHeaderRule(rt.settings.send_headers, 1, 2, "x-a", "b:c");
    AppendHeaderRule(rt.settings.recv_headers, 0, 1, "Set-Cookie", "x");
    rt.settings.tag_switches[55].value = "1";
    ASSERT_EQ(WriteConfiguration(rt), 1);
    std::string tags;
    for (int i = 0; i < 55; ++i) tags += "0:";
    std::string expected =
        ":TUG_JOB\r\n" + tags + "1:\r\n" +
        ":LOCAL_OR_PASSIVE\r\nlocal\r\n:ALLOW_USER\r\n127.0.0.1to127.0.0.1\r\n"
        ":HTTP_VERSION\r\n1.1\r\n:ACCESS_LOG\r\n0\r\n:SEND_HEADER_LOG\r\n0\r\n"
        ":RECV_HEADER_LOG\r\n0\r\n:SEND_RECV_HEADER_LOG\r\n0\r\n"
        ":KORV_PORT\r\n8080\r\n:PROXY_SERVER\r\n\r\n:COOKIE\r\n0\r\n"
        ":SET_COOKIE\r\n0\r\n:USER_AGENT\r\n\r\n"
        ":USER_AGENT_LIST\r\nUA/1:1\r\n:PROXY_LIST\r\n120:6:0:p.example:3128\r\n"
        ":SEND_HEADER_LIST\r\n1:2:X-a:b:c\r\n:RECV_HEADER_LIST\r\n0:1:Set-cookie:x\r\n"
        ":AUTO_START\r\n0\r\n:KORVANEL_COLOR\r\nDEFAULT\r\n"
        ":CHECK_PROXY_ADDRESS\r\n" +
        std::string(kDefaultCheckAddress) + "\r\n:WINDOW_INFO\r\n920:700:300:10:10\r\n:END\r\n";
    EXPECT_EQ(ReadFile(DataPath()), expected);
    EXPECT_FALSE(testing::FileExists(dir.file("data.tmp")));
}

TEST_F(ConfigFileTest, FullListsSurviveWriteAndRead) {
    FillToCapacity(rt.settings);
    rt.settings.tag_filter_active = ComputeTagFilterActive(rt.settings);
    ASSERT_EQ(rt.settings.send_headers.enabled_count, 16);
    ASSERT_EQ(WriteConfiguration(rt), 1);

    RecordingFrontEnd other_front;
    Runtime other{other_front, dir.path()};
    ASSERT_EQ(ReadConfiguration(other), 1);
    std::string difference;
    EXPECT_TRUE(SameSavedState(rt.settings, other.settings, &difference)) << difference;
    EXPECT_EQ(other.settings.proxies.size(), kProxyCapacity);
    EXPECT_EQ(other.settings.user_agents.size(), kUserAgentCapacity);
    EXPECT_EQ(other.settings.recv_headers.size(), kHeaderRuleCapacity);

    // Written again, the file is the same byte for byte.
    std::string first = ReadFile(DataPath());
    ASSERT_EQ(WriteConfiguration(other), 1);
    EXPECT_EQ(ReadFile(DataPath()), first);
}

TEST_F(ConfigFileTest, OneRowBeyondAFullListRejectsTheFile) {
    FillToCapacity(rt.settings);
    std::string full = FormatConfiguration(rt.settings);
    struct Case {
        const char* name;
        const char* before;
        const char* row;
    } cases[] = {
        {"201st proxy", ":SEND_HEADER_LIST", "0:0:0:extra.example:8080"},
        {"201st user agent", ":PROXY_LIST", "Extra/1.0:0"},
        {"101st send rule", ":RECV_HEADER_LIST", "0:0:X-extra:1"},
        {"101st receive rule", ":AUTO_START", "0:0:X-extra:1"},
    };
    for (const Case& c : cases) {
        std::string text = full;
        text.insert(text.find(std::string(c.before) + "\r\n"), std::string(c.row) + "\r\n");
        EXPECT_EQ(ReadText(text), -1) << c.name;
    }
    EXPECT_EQ(ReadText(full), 1);
}

TEST_F(ConfigFileTest, RejectedFileAndSettingsStayAsTheyWere) {
    ApplyNewFileDefaults(rt.settings);
    rt.settings.color = "MARKER";
    std::string damaged = DefaultConfigurationText();
    damaged.replace(damaged.find("8080"), 4, "1024");
    WriteFile(DataPath(), damaged);
    EXPECT_EQ(ReadConfiguration(rt), -1);
    EXPECT_EQ(ReadFile(DataPath()), damaged);
    EXPECT_EQ(rt.settings.color.view(), "MARKER");
}

TEST_F(ConfigFileTest, SixteenthEnabledRuleIsLoadedDisabled) {
    std::string text = DefaultConfigurationText();
    std::string rows;
    for (int i = 0; i < 16; ++i) rows += "1:0:X-" + std::to_string(i) + ":v\r\n";
    text.insert(text.find(":RECV_HEADER_LIST"), rows);
    ASSERT_EQ(ReadText(text), 1);
    EXPECT_EQ(rt.settings.send_headers.enabled_count, 16);
    EXPECT_EQ(rt.settings.send_headers.at(14)->enabled, 1);
    EXPECT_EQ(rt.settings.send_headers.at(15)->enabled, 0);
}

TEST_F(ConfigFileTest, WriteFailureLeavesThePreviousFile) {
    ApplyNewFileDefaults(rt.settings);
    ASSERT_EQ(WriteConfiguration(rt), 1);
    std::string before = ReadFile(DataPath());
    // The temporary file cannot be created when a directory stands in its place.
    std::filesystem::create_directory(dir.file("data.tmp"));
    FillToCapacity(rt.settings);
    EXPECT_EQ(WriteConfiguration(rt), -1);
    EXPECT_EQ(ReadFile(DataPath()), before);
}

TEST_F(ConfigFileTest, SaveCommandWritesOnAWorkerThread) {
    ApplyNewFileDefaults(rt.settings);
    rt.settings.port = "9090";
    ASSERT_EQ(SaveConfiguration(rt), 1);
    EXPECT_NE(ReadFile(DataPath()).find(":KORV_PORT\r\n9090\r\n"), std::string::npos);
}

TEST_F(ConfigFileTest, DataThatCannotBeReadIsNotReplacedByTheDefault) {
    // A directory named data opens but cannot be read: it is not a missing file.
    std::filesystem::create_directory(DataPath());
    EXPECT_EQ(ReadConfiguration(rt), -1);
    EXPECT_TRUE(std::filesystem::is_directory(DataPath()));

    RecordingFrontEnd other_front;
    Runtime nowhere{other_front, dir.file("no-such-directory")};
    EXPECT_EQ(ReadConfiguration(nowhere), -1);
}

}  // namespace
}  // namespace korvanel
