// The browser commands with the proxy's HTTPS settings on: the HTTPS proxy lines pointed at
// the proxy and given back, and the user's CA added to and removed from real NSS databases
// with Debian's certutil (a throw-away HOME, profile and CA).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <mutex>
#include <string>

#include "browser/authority_trust.h"
#include "browser/browser_command.h"
#include "browser/fake_browsers.h"
#include "platform/child_process.h"
#include "runtime/runtime.h"
#include "runtime/tls_files.h"
#include "support/recording_front_end.h"
#include "texts.h"

namespace korvanel {
namespace {

using namespace std::chrono_literals;
using testing::FakeBrowsers;
using testing::FileExists;
using testing::ReadFile;
using testing::RecordingFrontEnd;
using testing::WriteFile;

constexpr const char kCertutil[] = "/usr/bin/certutil";
constexpr const char kPrefs[] =
    "user_pref(\"network.cookie.prefs\", 1);\r\n"
    "user_pref(\"network.proxy.ssl\", \"10.0.0.2\");\r\n"
    "user_pref(\"network.proxy.ssl_port\", 3129);\r\n"
    "user_pref(\"zzz.next\", true);\r\n";

class HttpsBrowserTest : public ::testing::Test {
  protected:
    HttpsBrowserTest() : rt(front, fakes.home()) {
        host = fakes.host();
        host.certutil = kCertutil;
        fakes.Install("firefox");
        fakes.Install("opera");
        Hold hold(rt.locks.settings);
        rt.settings.port = "8123";
        rt.settings.https_tunnel = true;
        rt.settings.https_inspect = true;
    }

    void MakeAuthority() {
        ChildRun made = RunChild("/usr/bin/openssl",
                                 {"openssl",
                                  "req",
                                  "-x509",
                                  "-newkey",
                                  "ec",
                                  "-pkeyopt",
                                  "ec_paramgen_curve:P-256",
                                  "-nodes",
                                  "-keyout",
                                  rt.PathOf(kAuthorityKeyFile),
                                  "-out",
                                  rt.PathOf(kAuthorityCertificateFile),
                                  "-days",
                                  "30",
                                  "-subj",
                                  "/CN=Test CA",
                                  "-addext",
                                  "basicConstraints=critical,CA:TRUE",
                                  "-addext",
                                  "keyUsage=critical,keyCertSign,cRLSign"},
                                 20s);
        ASSERT_TRUE(made.Succeeded()) << made.output;
        // As the open inspector offers its authority to the browser commands.
        std::lock_guard<std::mutex> hold(rt.tls.mutex);
        rt.authority_pem = ReadFile(rt.PathOf(kAuthorityCertificateFile));
    }

    std::string MakeFirefoxProfile() {
        std::string firefox = fakes.home() + "/.mozilla/firefox/";
        std::string profile = firefox + "p.default/";
        std::filesystem::create_directories(profile);
        WriteFile(firefox + "profiles.ini", "[Profile0]\nIsRelative=1\nPath=p.default\n");
        WriteFile(profile + "prefs.js", kPrefs);
        return profile;
    }

    // True when the database in `folder` holds the CA, trusted for web sites.
    bool Trusts(const std::string& folder) {
        ChildRun listed = RunChild(kCertutil, {"certutil", "-L", "-d", "sql:" + folder}, 10s);
        return listed.Succeeded() && listed.output.find("KORVANEL CA") != std::string::npos &&
               listed.output.find("C,,") != std::string::npos;
    }

    std::string StatusLog() const { return front.pane(Pane::kStatus); }

    // The base64 lines of a PEM certificate, without the line ends either tool writes.
    static std::string Pem(const std::string& text) {
        std::string lines;
        for (char c : text) {
            if (c != '\r' && c != '\n') lines += c;
        }
        return lines.substr(lines.find("-----BEGIN"));
    }

    void Run(BrowserCommand command, int edition = 32) {
        RunBrowserCommand(rt, command, edition, host);
    }

    FakeBrowsers fakes;
    RecordingFrontEnd front;
    Runtime rt;
    BrowserHost host;
};

TEST_F(HttpsBrowserTest, FirefoxGetsTheHttpsProxyAndTheCaAndResetTakesBothBack) {
    MakeAuthority();
    std::string profile = MakeFirefoxProfile();
    fakes.Watch(profile + "user.js");

    Run(BrowserCommand::kSetFirefox);
    std::string seen = fakes.Seen();
    EXPECT_NE(seen.find("user_pref(\"network.proxy.ssl\", \"127.0.0.1\");\r\n"
                        "user_pref(\"network.proxy.ssl_port\",8123);\r\n"),
              std::string::npos)
        << seen;
    EXPECT_EQ(ReadFile(profile + "prefs.js.korvanel-https"),
              "user_pref(\"network.proxy.ssl\", \"10.0.0.2\");\r\n"
              "user_pref(\"network.proxy.ssl_port\", 3129);\r\n");
    EXPECT_TRUE(Trusts(profile));
    EXPECT_NE(StatusLog().find(std::string("Firefox") + text::kTrustAdded), std::string::npos)
        << StatusLog();

    // A second set (the CA made anew meanwhile) keeps the user's lines and one CA only: the
    // one the inspector holds, whatever lies in the file now.
    MakeAuthority();
    WriteFile(rt.PathOf(kAuthorityCertificateFile), "planted");
    WriteFile(profile + "prefs.js", seen);
    Run(BrowserCommand::kSetFirefox);
    EXPECT_NE(ReadFile(profile + "prefs.js.korvanel-https").find("10.0.0.2"), std::string::npos);
    ChildRun one = RunChild(
        kCertutil, {"certutil", "-L", "-d", "sql:" + profile, "-n", "KORVANEL CA", "-a"}, 10s);
    EXPECT_EQ(one.output.find("BEGIN CERTIFICATE"), one.output.rfind("BEGIN CERTIFICATE"));
    EXPECT_EQ(Pem(one.output), Pem(rt.authority_pem));

    // Inspection switched off since: reset still takes the CA out and gives the lines back.
    rt.settings.https_inspect = false;
    WriteFile(profile + "prefs.js", fakes.Seen());
    Run(BrowserCommand::kResetFirefox);
    EXPECT_NE(fakes.Seen().find("user_pref(\"network.proxy.ssl\", \"10.0.0.2\");\r\n"
                                "user_pref(\"network.proxy.ssl_port\", 3129);\r\n"),
              std::string::npos)
        << fakes.Seen();
    EXPECT_FALSE(FileExists(profile + "prefs.js.korvanel-https"));
    EXPECT_FALSE(Trusts(profile));
    EXPECT_NE(StatusLog().find(std::string("Firefox") + text::kTrustRemoved), std::string::npos);
}

TEST_F(HttpsBrowserTest, OperaGetsHttpsLinesAndTheUsersNssDatabaseIsMadeAndCleared) {
    MakeAuthority();
    std::string folder = fakes.home() + "/.opera/";
    std::filesystem::create_directories(folder);
    WriteFile(folder + "opera6.ini", "[Proxy]\r\nHTTP server\r\nX=1\r\n");
    std::string shared = fakes.home() + "/.pki/nssdb";

    Run(BrowserCommand::kSetOpera);
    EXPECT_EQ(ReadFile(folder + "opera6.ini"),
              "[Proxy]\r\nHTTP server=127.0.0.1:8123\r\nHTTPS server=127.0.0.1:8123\r\n"
              "Use HTTPS=1\r\nUse HTTP=1\r\nX=1\r\n");
    EXPECT_TRUE(Trusts(shared));
    struct stat info {};
    ASSERT_EQ(stat(shared.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    Run(BrowserCommand::kResetOpera);
    EXPECT_EQ(ReadFile(folder + "opera6.ini"), "[Proxy]\r\nHTTP server\r\nUse HTTP=0\r\nX=1\r\n");
    EXPECT_FALSE(FileExists(folder + "opera6.ini.korvanel-https"));
    EXPECT_FALSE(Trusts(shared));
}

TEST_F(HttpsBrowserTest, ProblemsWithTheCaAreLinesInTheCommandLog) {
    std::string profile = MakeFirefoxProfile();
    const std::string hanging = fakes.home() + "/hanging-certutil";
    WriteFile(hanging, "#!/bin/sh\nexec /bin/sleep 30\n");
    std::filesystem::permissions(hanging, std::filesystem::perms::owner_all);
    struct Case {
        const char* name;
        std::string certutil;
        bool authority;
        std::string said;
    };
    const Case cases[] = {
        {"no inspector open", kCertutil, false, text::kTrustNoInspector},
        {"no certutil", "/nonexistent/certutil", true, text::kTrustNoCertutil},
        // A helper that never ends is killed at the limit.
        {"certutil hangs", hanging, true, text::kTrustTimedOut},
    };
    for (const Case& c : cases) {
        if (c.authority) MakeAuthority();
        host.certutil = c.certutil;
        host.timing.certutil_limit = 300ms;
        Run(BrowserCommand::kSetFirefox);
        EXPECT_NE(StatusLog().find(std::string("Firefox") + text::kTrustAddFailed + c.said),
                  std::string::npos)
            << c.name << ": " << StatusLog();
        EXPECT_NE(ReadFile(profile + "prefs.js.korvanel-https"), "") << c.name;
    }
    EXPECT_TRUE(front.messages().empty());
}

TEST_F(HttpsBrowserTest, WithTunnelsOffTheSetSaysHttpsGoesAroundAndOffersThem) {
    std::string profile = MakeFirefoxProfile();
    {
        Hold hold(rt.locks.settings);
        rt.settings.https_tunnel = false;
    }
    fakes.Watch(profile + "user.js");
    Run(BrowserCommand::kSetFirefox);
    Run(BrowserCommand::kResetFirefox);
    EXPECT_EQ(fakes.Seen().find("127.0.0.1\");\r\nuser_pref(\"network.proxy.ssl"),
              std::string::npos);
    EXPECT_FALSE(FileExists(profile + "prefs.js.korvanel-https"));
    EXPECT_FALSE(FileExists(profile + "cert9.db"));
    // Asked once, at the set; "no" leaves the tunnels off.
    ASSERT_EQ(front.questions().size(), 1u);
    EXPECT_EQ(front.questions()[0].second, text::kHttpsAroundAsk);
    EXPECT_EQ(StatusLog().find(text::kHttpsAroundStatus),
              StatusLog().rfind(text::kHttpsAroundStatus));
    EXPECT_NE(StatusLog().find(text::kHttpsAroundStatus), std::string::npos);

    // "Yes" switches them on, and the set points the HTTPS proxy at the proxy too.
    front.AnswerYes(true);
    Run(BrowserCommand::kSetFirefox);
    {
        Hold hold(rt.locks.settings);
        EXPECT_TRUE(rt.settings.https_tunnel);
    }
    EXPECT_NE(fakes.Seen().find("user_pref(\"network.proxy.ssl\", \"127.0.0.1\")"),
              std::string::npos);
    EXPECT_NE(StatusLog().find(text::kHttpsAroundTunnelOn), std::string::npos);
    EXPECT_TRUE(front.messages().empty());
}

}  // namespace
}  // namespace korvanel
