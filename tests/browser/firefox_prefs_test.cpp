#include "browser/firefox_prefs.h"

#include <gtest/gtest.h>

#include <string>

namespace korvanel {
namespace {

constexpr const char kCookie[] = "user_pref(\"network.cookie.prefs\", 1);\r\n";
constexpr const char kNext[] = "user_pref(\"zzz.next\", true);\r\n";
constexpr const char kHost[] = "user_pref(\"network.proxy.http\", \"10.0.0.1\");\r\n";
constexpr const char kPort[] = "user_pref(\"network.proxy.http_port\", 3128);\r\n";
constexpr const char kType[] = "user_pref(\"network.proxy.type\", 4);\r\n";
constexpr const char kNewHost[] = "user_pref(\"network.proxy.http\", \"127.0.0.1\");\r\n";
constexpr const char kNewPort[] = "user_pref(\"network.proxy.http_port\",8080);\r\n";
constexpr const char kManual[] = "user_pref(\"network.proxy.type\",1);\r\n";
constexpr const char kDirect[] = "user_pref(\"network.proxy.type\",0);\r\n";
constexpr const char kHostCleared[] = "user_pref(\"network.proxy.http\", \"\");\r\n";
constexpr const char kPortCleared[] = "user_pref(\"network.proxy.http_port\",0);\r\n";

EditBuffer Prefs(const std::string& text) {
    return EditBuffer(text, text.size());
}

std::string Set(const std::string& text, const char* port = "8080") {
    EditBuffer prefs = Prefs(text);
    ApplyFirefoxSetEdits(prefs, port);
    return prefs.text();
}

std::string Reset(const std::string& text) {
    EditBuffer prefs = Prefs(text);
    ApplyFirefoxResetEdits(prefs);
    return prefs.text();
}

TEST(FirefoxPrefEdits, PrimitivesNeedAPrefAfterTheMatch) {
    std::string text = std::string(kCookie) + kNext;
    EditBuffer prefs = Prefs(text);
    EXPECT_TRUE(ReplacePref(prefs, "user_pref(\"network.cookie.prefs\"", "X;\r\n"));
    EXPECT_EQ(prefs.text(), std::string("X;\r\n") + kNext);

    // The last pref has no pref after it: it is left alone, and nothing is inserted after it.
    prefs = Prefs(text);
    EXPECT_FALSE(ReplacePref(prefs, "user_pref(\"zzz.next\"", "X"));
    EXPECT_FALSE(RemovePref(prefs, "user_pref(\"zzz.next\""));
    EXPECT_FALSE(InsertPrefAfter(prefs, "user_pref(\"zzz.next\"", "X"));
    EXPECT_FALSE(InsertPrefAfter(prefs, "user_pref(\"missing\"", "X"));
    EXPECT_EQ(prefs.text(), text);

    EXPECT_TRUE(InsertPrefAfter(prefs, "user_pref(\"network.cookie.prefs\"", "X;\r\n"));
    EXPECT_EQ(prefs.text(), std::string(kCookie) + "X;\r\n" + kNext);
    EXPECT_TRUE(RemovePref(prefs, "X;"));
    EXPECT_EQ(prefs.text(), text);
}

TEST(FirefoxPrefEdits, SetInsertsHostPortAndTypeAfterTheAnchor) {
    std::string head = "// Mozilla User Preferences\r\n\r\n";
    EXPECT_EQ(Set(head + kCookie + kNext), head + kCookie + kNewHost + kNewPort + kManual + kNext);
}

TEST(FirefoxPrefEdits, SetReplacesExistingLinesInPlace) {
    std::string text = std::string(kCookie) + kHost + kPort + kType + kNext;
    EXPECT_EQ(Set(text, "3"), std::string(kCookie) + kNewHost +
                                  "user_pref(\"network.proxy.http_port\",3);\r\n" + kManual +
                                  kNext);
}

// Today's prefs.js has no cookie anchor, or none at all; a line that is the last pref cannot
// be replaced in place. The lines then go at the end, where the last one counts.
TEST(FirefoxPrefEdits, SetAppendsWhatItCouldNotPlace) {
    const std::string lines = std::string(kNewHost) + kNewPort + kManual;
    EXPECT_EQ(Set(std::string(kNext) + kNext), std::string(kNext) + kNext + lines);
    EXPECT_EQ(Set(""), lines);
    EXPECT_EQ(Set("user_pref(\"a\", 1);"), "user_pref(\"a\", 1);\r\n" + lines);
    // The type pref last: replaced nowhere, so a manual type line follows it.
    EXPECT_EQ(Set(std::string(kCookie) + kNext + kType),
              std::string(kCookie) + kNewHost + kNewPort + kNext + kType + kManual);
}

TEST(FirefoxPrefEdits, ResetGivesHostAndPortFirefoxsDefaultsAndSwitchesToDirect) {
    EXPECT_EQ(Reset(std::string(kCookie) + kHost + kPort + kType + kNext),
              std::string(kCookie) + kHostCleared + kPortCleared + kDirect + kNext);
    // No type pref: a direct type line goes after the anchor; without one, at the end.
    EXPECT_EQ(Reset(std::string(kCookie) + kNext), std::string(kCookie) + kDirect + kNext);
    EXPECT_EQ(Reset(kNext), std::string(kNext) + kDirect);
    // A host pref that is the last pref stays, and the default after it counts.
    EXPECT_EQ(Reset(std::string(kCookie) + kType + kHost),
              std::string(kCookie) + kDirect + kHost + kHostCleared);
}

TEST(FirefoxPrefEdits, GrowthBeyondTheEditRoomIsCut) {
    std::string text = std::string(kCookie) + kNext;
    EditBuffer prefs(text, text.size());
    std::string big(kEditRoom * 2, 'x');
    InsertPrefAfter(prefs, "user_pref(\"network.cookie.prefs\"", big);
    EXPECT_EQ(prefs.text().size(), text.size() + kEditRoom - 1);
    EXPECT_EQ(prefs.text().substr(0, sizeof kCookie - 1), kCookie);
}

constexpr const char kSsl[] = "user_pref(\"network.proxy.ssl\", \"10.0.0.2\");\n";
constexpr const char kSslPort[] = "user_pref(\"network.proxy.ssl_port\", 3129);\n";
constexpr const char kNewSsl[] = "user_pref(\"network.proxy.ssl\", \"127.0.0.1\");\r\n";
constexpr const char kNewSslPort[] = "user_pref(\"network.proxy.ssl_port\",8080);\r\n";
constexpr const char kSslCleared[] = "user_pref(\"network.proxy.ssl\", \"\");\r\n";
constexpr const char kSslPortCleared[] = "user_pref(\"network.proxy.ssl_port\",0);\r\n";

TEST(FirefoxPrefEdits, HttpsProxyIsPointedAtTheProxyAndGivenBack) {
    struct Case {
        const char* name;
        std::string before;  // prefs.js when set runs
        std::string set;     // the user.js of set
        std::string reset;   // the user.js of a reset on that, given back
    };
    const std::string http = std::string(kNewHost) + kNewPort;
    const Case cases[] = {
        {"no HTTPS proxy: inserted after the HTTP port, then cleared", std::string(kCookie) + kNext,
         std::string(kCookie) + http + kNewSsl + kNewSslPort + kManual + kNext,
         std::string(kCookie) + kHostCleared + kPortCleared + kSslCleared + kSslPortCleared +
             kDirect + kNext},
    };
    for (const Case& c : cases) {
        std::string remembered = FirefoxHttpsLines(c.before);
        EditBuffer prefs = Prefs(c.before);
        ApplyFirefoxSetEdits(prefs, "8080");
        ApplyFirefoxHttpsSetEdits(prefs, "8080");
        EXPECT_EQ(prefs.text(), c.set) << c.name;

        // Firefox keeps what user.js said in prefs.js; reset edits that.
        prefs = Prefs(prefs.text());
        ApplyFirefoxResetEdits(prefs);
        ApplyFirefoxHttpsGiveBack(prefs, remembered);
        EXPECT_EQ(prefs.text(), c.reset) << c.name;
    }
    // Firefox's own LF lines, in either order: the host line first.
    EXPECT_EQ(FirefoxHttpsLines(std::string(kCookie) + kSslPort + kSsl + kNext),
              std::string(kSsl) + kSslPort);
    EXPECT_EQ(FirefoxHttpsLines(kCookie), "");
}

TEST(FirefoxPrefEdits, GivingBackNothingLeavesPrefsWithoutHttpsLinesAlone) {
    std::string text = std::string(kCookie) + kType + kNext;
    EditBuffer prefs = Prefs(text);
    ApplyFirefoxHttpsGiveBack(prefs, "");
    EXPECT_EQ(prefs.text(), text);
}

}  // namespace
}  // namespace korvanel
