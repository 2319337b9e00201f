// The reader's rules, one file variant per row: each names the change made to a valid file
// and whether the result must be accepted.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/runtime.h"
#include "settings/config_file.h"
#include "support/recording_front_end.h"
#include "support/temp_dir.h"

namespace korvanel {
namespace {

using testing::RecordingFrontEnd;
using testing::TempDir;
using testing::WriteFile;

// A valid file in the writer's own form, one row in each list.
std::string BaseText() {
    std::string tags;
    for (int i = 0; i < kTagSwitchCount; ++i) tags += i == 5 ? "1:" : "0:";
    return ":TUG_JOB\r\n" + tags +
           "\r\n:LOCAL_OR_PASSIVE\r\npassive\r\n:ALLOW_USER\r\n10.0.0.1to10.0.0.9\r\n"
           ":HTTP_VERSION\r\n1.0\r\n:ACCESS_LOG\r\n2\r\n:SEND_HEADER_LOG\r\n3\r\n"
           ":RECV_HEADER_LOG\r\n1\r\n:SEND_RECV_HEADER_LOG\r\n0\r\n:KORV_PORT\r\n8081\r\n"
           ":PROXY_SERVER\r\np.example:3128\r\n:COOKIE\r\n1\r\n:SET_COOKIE\r\n0\r\n"
           ":USER_AGENT\r\nUA/1\r\n:USER_AGENT_LIST\r\nUA/1:1\r\n:PROXY_LIST\r\n"
           "15:6:1:p.example:3128\r\n:SEND_HEADER_LIST\r\n1:2:x-a:b:c\r\n"
           ":RECV_HEADER_LIST\r\n0:1:Set-Cookie:x\r\n:AUTO_START\r\n2\r\n"
           ":KORVANEL_COLOR\r\nBLUE\r\n:CHECK_PROXY_ADDRESS\r\nhttp://c.example/x.cgi\r\n"
           ":WINDOW_INFO\r\n800:600:200:5:6\r\n:END\r\n";
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    std::size_t at = text.find(from);
    if (at == std::string::npos)
        ADD_FAILURE() << "not in base text: " << from;
    else
        text.replace(at, from.size(), to);
    return text;
}

struct Case {
    const char* name;
    std::function<std::string(const std::string&)> edit;
    int expected;
    std::function<void(const Settings&)> check = nullptr;
};

std::function<std::string(const std::string&)> Swap(std::string from, std::string to) {
    return [from, to](const std::string& text) { return Replace(text, from, to); };
}

std::string Tags(int count, const char* value = "0") {
    std::string tags;
    for (int i = 0; i < count; ++i) tags += std::string(value) + ":";
    return tags;
}

const std::string kBaseTags = Tags(5) + "1:" + Tags(50);

const Case kCases[] = {
    {"base file", Swap("", ""), 1,
     [](const Settings& s) {
         EXPECT_EQ(s.tag_switches[5].value.view(), "1");
         EXPECT_EQ(s.tag_filter_active, 1);
         EXPECT_EQ(s.localorpassive.view(), "passive");
         EXPECT_EQ(s.allow_user.view(), "10.0.0.1to10.0.0.9");
         EXPECT_EQ(s.access_log.view(), "2");
         EXPECT_EQ(s.proxy.view(), "p.example:3128");
         EXPECT_EQ(s.agent.view(), "UA/1");
         EXPECT_EQ(s.proxies.at(0)->in_use, 1);
         EXPECT_EQ(s.send_headers.at(0)->value.view(), "b:c");
         EXPECT_EQ(s.send_headers.at(0)->name.view(), "X-a");
         EXPECT_EQ(s.send_headers.enabled_count, 2);
         EXPECT_EQ(s.recv_headers.at(0)->name_capitalised.view(), "Set-Cookie");
         EXPECT_EQ(s.window_y, 6);
     }},
    {"no bind sections",
     Swap(":LOCAL_OR_PASSIVE\r\npassive\r\n:ALLOW_USER\r\n10.0.0.1to10.0.0.9\r\n", ""), 1,
     [](const Settings& s) {
         EXPECT_EQ(s.localorpassive.view(), "local");
         EXPECT_EQ(s.allow_user.view(), "127.0.0.1to127.0.0.1");
     }},
    {"bind without range", Swap(":ALLOW_USER\r\n10.0.0.1to10.0.0.9\r\n", ""), -1},
    {"bind mode other than local or passive", Swap("\r\npassive\r\n", "\r\npublic\r\n"), -1},
    {"range without to", Swap("10.0.0.1to10.0.0.9", "10.0.0.1-10.0.0.9"), -1},
    {"range end above 255", Swap("to10.0.0.9", "to10.0.0.256"), -1},
    {"range start of 36 characters", Swap("10.0.0.1to", "10.0.0.1" + std::string(28, 'x') + "to"),
     -1},
    {"range with text after the fourth number", Swap("to10.0.0.9", "to10.0.0.9x"), 1},
    // The register button's test reads a number as "%d" does, blanks and sign first: what it
    // accepts must read back.
    {"range end after a blank", Swap("to10.0.0.9", "to 10.0.0.9"), 1,
     [](const Settings& s) { EXPECT_EQ(s.allow_user.view(), "10.0.0.1to 10.0.0.9"); }},
    {"range with signed numbers", Swap("10.0.0.1to", "+10.0.0.1to"), 1},
    {"range with a negative number", Swap("to10.0.0.9", "to10.0.-1.9"), -1},
    {"no http and log sections",
     Swap(":HTTP_VERSION\r\n1.0\r\n:ACCESS_LOG\r\n2\r\n:SEND_HEADER_LOG\r\n3\r\n:RECV_HEADER_"
          "LOG\r\n1\r\n"
          ":SEND_RECV_HEADER_LOG\r\n0\r\n",
          ""),
     1,
     [](const Settings& s) {
         EXPECT_EQ(s.http_version.view(), "1.1");
         EXPECT_EQ(s.access_log.view(), "1");
         EXPECT_EQ(s.send_recv_header_log.view(), "1");
     }},
    {"only one log section missing", Swap(":SEND_HEADER_LOG\r\n3\r\n", ""), -1},
    {"http version 1.2", Swap("\r\n1.0\r\n", "\r\n1.2\r\n"), -1},
    {"log mode 4", Swap(":ACCESS_LOG\r\n2", ":ACCESS_LOG\r\n4"), -1},
    {"48 tag values", Swap(kBaseTags, Tags(48, "1")), 1,
     [](const Settings& s) {
         EXPECT_EQ(s.tag_switches[47].value.view(), "1");
         for (int i = 48; i < kTagSwitchCount; ++i) EXPECT_EQ(s.tag_switches[i].value.view(), "0");
     }},
    {"tag line without trailing colon and with a double colon",
     Swap(kBaseTags + "\r\n", Tags(54) + ":0:0\r\n"), 1},
    {"55 tag values", Swap(kBaseTags, Tags(55)), -1},
    {"57 tag values", Swap(kBaseTags, Tags(57)), -1},
    {"port 1024", Swap("\r\n8081\r\n", "\r\n1024\r\n"), -1},
    {"port 65536", Swap("\r\n8081\r\n", "\r\n65536\r\n"), -1},
    {"port 1025", Swap("\r\n8081\r\n", "\r\n1025\r\n"), 1},
    {"port 65535", Swap("\r\n8081\r\n", "\r\n65535\r\n"), 1},
    {"port with a letter", Swap("\r\n8081\r\n", "\r\n80a1\r\n"), -1},
    {"proxy 0 means none", Swap("SERVER\r\np.example:3128", "SERVER\r\n0"), 1,
     [](const Settings& s) { EXPECT_TRUE(s.proxy.empty()); }},
    {"user agent 0 means none", Swap(":USER_AGENT\r\nUA/1\r\n", ":USER_AGENT\r\n0\r\n"), 1,
     [](const Settings& s) { EXPECT_TRUE(s.agent.empty()); }},
    {"user agent 0a is kept", Swap(":USER_AGENT\r\nUA/1\r\n", ":USER_AGENT\r\n0a\r\n"), 1,
     [](const Settings& s) { EXPECT_EQ(s.agent.view(), "0a"); }},
    {"user agent row 0", Swap("UA/1:1", "0:0"), -1},
    {"user agent row in-use 2", Swap("UA/1:1", "UA/1:2"), -1},
    {"blank line in a list", Swap(":PROXY_LIST\r\n", ":PROXY_LIST\r\n\r\n"), -1},
    {"proxy row without port", Swap("15:6:1:p.example:3128", "15:6:1:p.example"), -1},
    {"proxy row with a second colon", Swap("15:6:1:p.example:3128", "15:6:1:p.example:3128:"), -1},
    {"proxy row with runs of colons", Swap("15:6:1:p.example:3128", "15::6:1:p.example:3128"), 1},
    {"header rule without value", Swap("1:2:x-a:b:c", "1:2:x-a:"), -1},
    {"header rule with value starting with a colon", Swap("1:2:x-a:b:c", "1:2:x-a::b"), 1,
     [](const Settings& s) { EXPECT_EQ(s.send_headers.at(0)->value.view(), ":b"); }},
    {"two auto start lines, the last wins",
     Swap(":AUTO_START\r\n2\r\n", ":AUTO_START\r\n2\r\n0\r\n"), 1,
     [](const Settings& s) { EXPECT_EQ(s.auto_start.view(), "0"); }},
    // An empty section leaves the field empty, and is written back without a value line.
    {"auto start without a value line", Swap(":AUTO_START\r\n2\r\n", ":AUTO_START\r\n"), 1,
     [](const Settings& s) { EXPECT_TRUE(s.auto_start.empty()); }},
    {"theme and check address without value lines",
     [](std::string t) {
         t = Swap("\r\nBLUE\r\n", "\r\n")(t);
         return Swap("\r\nhttp://c.example/x.cgi\r\n", "\r\n")(t);
     },
     1,
     [](const Settings& s) {
         EXPECT_TRUE(s.color.empty());
         EXPECT_TRUE(s.checkproxyaddress.empty());
     }},
    // Values are cut to their fields, as every copy is; only structural damage rejects.
    {"theme name too long for its field",
     Swap("\r\nBLUE\r\n", "\r\n" + std::string(16, 'B') + "\r\n"), 1,
     [](const Settings& s) { EXPECT_EQ(s.color.view(), std::string(15, 'B')); }},
    {"user agent too long for its field",
     Swap(":USER_AGENT\r\nUA/1\r\n", ":USER_AGENT\r\n" + std::string(300, 'u') + "\r\n"), 1,
     [](const Settings& s) { EXPECT_EQ(s.agent.view(), std::string(254, 'u')); }},
    {"range too long for its field", Swap("to10.0.0.9", "to10.0.0.9" + std::string(40, 'x')), 1,
     [](const Settings& s) {
         EXPECT_EQ(s.allow_user.view(), "10.0.0.1to10.0.0.9" + std::string(29, 'x'));
     }},
    // Blanks inside an end read as they stand, but the cut would leave "10.\t...": refused
    // rather than kept in a form the next start refuses.
    {"range whose end the cut spoils",
     Swap("to10.0.0.9", "to10." + std::string(40, '\t') + "0.0.9"), -1},
    {"tag values other than 0 and 1 are kept",
     Swap(kBaseTags, "2:" + Tags(4) + "1:x:12345:" + Tags(48)), 1,
     [](const Settings& s) {
         EXPECT_EQ(s.tag_switches[0].value.view(), "2");
         EXPECT_EQ(s.tag_switches[6].value.view(), "x");
         EXPECT_EQ(s.tag_switches[7].value.view(), "123");
         EXPECT_EQ(s.tag_filter_active, 1);
     }},
    {"negative window numbers", Swap("800:600:200:5:6", "-1:-2:-3:-4:-5"), 1,
     [](const Settings& s) {
         EXPECT_EQ(s.window_width, 920);
         EXPECT_EQ(s.window_height, 700);
         EXPECT_EQ(s.split_pos, 300);
         EXPECT_EQ(s.window_x, 10);
         EXPECT_EQ(s.window_y, 10);
     }},
    {"no window line", Swap("800:600:200:5:6\r\n", ""), 1,
     [](const Settings& s) {
         EXPECT_EQ(s.window_width, 0);
         EXPECT_EQ(s.split_pos, 300);
         EXPECT_EQ(s.window_y, 0);
     }},
    {"two window lines, the last wins", Swap("800:600:200:5:6\r\n", "1:2:3:4:5\r\n6:7:8:9:10\r\n"),
     1, [](const Settings& s) { EXPECT_EQ(s.window_y, 10); }},
    {"short window line", Swap("800:600:200:5:6", "800:600:200:5"), -1},
    {"window line with text", Swap("800:600:200:5:6", "800:600:200:5:6x"), -1},
    {"file ends before END", Swap(":END\r\n", ""), -1},
    {"lines ended by LF alone",
     [](const std::string& t) {
         std::string out;
         for (char c : t)
             if (c != '\r') out += c;
         return out;
     },
     1},
    {"a line longer than 257 bytes",
     Swap("http://c.example/x.cgi", "http://c.example/" + std::string(240, 'x')), 1,
     [](const Settings& s) { EXPECT_EQ(s.checkproxyaddress.size(), 255u); }},
    {"a NUL byte in a line", Swap("BLUE", std::string("BL\0E", 4)), -1},
    {"missing list header", Swap(":PROXY_LIST\r\n", ""), -1},
    {"first line not TUG_JOB", Swap(":TUG_JOB", ":TAG_JOB"), -1},
    {"header compared on its length", Swap(":KORVANEL_COLOR", ":KORVANEL_COLOUR"), 1},
    // Sections after :END: read when known, written only when not their default.
    {"tunnel sections after END",
     Swap(":END\r\n", ":END\r\n:HTTPS_TUNNEL\r\n1\r\n:TUNNEL_PORTS\r\n443,8443\r\n"), 1,
     [](const Settings& s) {
         EXPECT_TRUE(s.https_tunnel);
         EXPECT_TRUE(s.tunnel_ports.Contains(8443));
         EXPECT_TRUE(
             FormatConfiguration(s).ends_with(":END\r\n:HTTPS_TUNNEL\r\n1\r\n"
                                              ":TUNNEL_PORTS\r\n443,8443\r\n"));
     }},
    {"tunnel sections at their defaults are not written",
     Swap(":END\r\n", ":END\r\n:HTTPS_TUNNEL\r\n0\r\n:TUNNEL_PORTS\r\n443\r\n"), 1,
     [](const Settings& s) { EXPECT_TRUE(FormatConfiguration(s).ends_with("\r\n:END\r\n")); }},
    {"tunnel switch neither 0 nor 1", Swap(":END\r\n", ":END\r\n:HTTPS_TUNNEL\r\n2\r\n"), -1},
    {"tunnel port 0", Swap(":END\r\n", ":END\r\n:TUNNEL_PORTS\r\n443,0\r\n"), -1},
    {"an unknown section after END is left alone",
     Swap(":END\r\n", ":END\r\n:LATER_SETTING\r\nx\r\n"), 1},
    {"inspection sections, a list between two known ones and an unknown one",
     Swap(":END\r\n",
          ":END\r\n:HTTPS_INSPECT\r\n1\r\n:INSPECT_EXCEPT\r\n*.bank.example\r\n"
          "update.example.org\r\n:LATER_SETTING\r\nx\r\n:EXTRA_CA_FILE\r\n/etc/a b.pem\r\n"),
     1,
     [](const Settings& s) {
         EXPECT_TRUE(s.https_inspect);
         EXPECT_EQ(s.inspect_except,
                   (std::vector<std::string>{"*.bank.example", "update.example.org"}));
         EXPECT_EQ(s.extra_ca_file, "/etc/a b.pem");
         EXPECT_TRUE(FormatConfiguration(s).ends_with(
             ":END\r\n:HTTPS_INSPECT\r\n1\r\n:INSPECT_EXCEPT\r\n*.bank.example\r\n"
             "update.example.org\r\n:EXTRA_CA_FILE\r\n/etc/a b.pem\r\n"));
     }},
    {"inspection sections at their defaults are not written",
     Swap(":END\r\n", ":END\r\n:HTTPS_INSPECT\r\n0\r\n:INSPECT_EXCEPT\r\n:EXTRA_CA_FILE\r\n\r\n"),
     1, [](const Settings& s) { EXPECT_TRUE(FormatConfiguration(s).ends_with("\r\n:END\r\n")); }},
    {"a line that is no host pattern", Swap(":END\r\n", ":END\r\n:INSPECT_EXCEPT\r\nbank/x\r\n"),
     -1},
    {"the kind of the proxy in use; a line for an address no row names is dropped",
     Swap(":END\r\n",
          ":END\r\n:PROXY_KINDS\r\np.example:3128 socks5\r\ngone.example:1 socks4a\r\n"),
     1,
     [](const Settings& s) {
         EXPECT_EQ(s.proxy_kind, UpstreamKind::kSocks5);
         EXPECT_EQ(s.proxies.at(0)->upstream, UpstreamKind::kSocks5);
         EXPECT_TRUE(
             FormatConfiguration(s).ends_with(":END\r\n:PROXY_KINDS\r\np.example:3128 socks5\r\n"));
     }},
    {"HTTP kinds are not written",
     Swap(":END\r\n", ":END\r\n:PROXY_KINDS\r\np.example:3128 http\r\n"), 1,
     [](const Settings& s) { EXPECT_TRUE(FormatConfiguration(s).ends_with("\r\n:END\r\n")); }},
    {"an unknown kind", Swap(":END\r\n", ":END\r\n:PROXY_KINDS\r\np.example:3128 socks6\r\n"), -1},
    {"a kind line without an address", Swap(":END\r\n", ":END\r\n:PROXY_KINDS\r\nsocks5\r\n"), -1},
};

TEST(ConfigReaderCasesTest, EachVariantIsAcceptedOrRejected) {
    for (const Case& c : kCases) {
        TempDir dir;
        RecordingFrontEnd front;
        Runtime rt(front, dir.path());
        std::string text = c.edit(BaseText());
        WriteFile(dir.file("data"), text);
        ASSERT_EQ(ReadConfiguration(rt), c.expected) << c.name;
        if (c.check) {
            SCOPED_TRACE(c.name);
            c.check(rt.settings);
        }
        if (c.expected == 1) {
            // Every accepted state is written back in a form that reads the same.
            ASSERT_EQ(WriteConfiguration(rt), 1) << c.name;
            std::string written = testing::ReadFile(dir.file("data"));
            RecordingFrontEnd front2;
            Runtime again(front2, dir.path());
            ASSERT_EQ(ReadConfiguration(again), 1) << c.name;
            EXPECT_EQ(FormatConfiguration(again.settings), written) << c.name;
        }
    }
}

// A refused file is named with the line and the reason, so that the user can mend it.
TEST(ConfigReaderCasesTest, ARefusalSaysWhereAndWhy) {
    std::string proxies;
    for (int i = 0; i < 200; ++i) proxies += "15:6:0:q.example:3128\r\n";
    const struct {
        const char* name;
        std::function<std::string(const std::string&)> edit;
        std::string problem;
    } kRefusals[] = {
        {"port out of range", Swap("8081", "1024"),
         ":18: :KORV_PORT is not a port from 1025 to 65535"},
        {"201 proxies", Swap("15:6:1:p.example:3128\r\n", "15:6:1:p.example:3128\r\n" + proxies),
         ":230: :PROXY_LIST holds more than 200 rows"},
        {"missing header", Swap(":COOKIE", ":CAKE"), ":21: :COOKIE was expected here"},
        {"NUL byte", Swap("BLUE", std::string("BL\0E", 4)), ": holds a NUL byte"},
        {"no END", Swap(":END\r\n", ""), ": the file ends before :END"},
    };
    for (const auto& c : kRefusals) {
        TempDir dir;
        RecordingFrontEnd front;
        Runtime rt(front, dir.path());
        WriteFile(dir.file("data"), c.edit(BaseText()));
        std::string problem;
        ASSERT_EQ(ReadConfiguration(rt, &problem), -1) << c.name;
        EXPECT_TRUE(problem.starts_with(dir.file("data") + ":")) << problem;
        EXPECT_TRUE(problem.ends_with(c.problem)) << c.name << ": " << problem;
    }
}

}  // namespace
}  // namespace korvanel
