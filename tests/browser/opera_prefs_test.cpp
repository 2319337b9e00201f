#include "browser/opera_prefs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace korvanel {
namespace {

using testing::TempDir;
using testing::WriteFile;

std::string Set(const std::string& text) {
    EditBuffer prefs(text, text.size());
    ApplyOperaSetEdits(prefs, "8080");
    return prefs.text();
}

std::string Reset(const std::string& text) {
    EditBuffer prefs(text, text.size());
    ApplyOperaResetEdits(prefs);
    return prefs.text();
}

TEST(OperaPrefsFile, FirstOfTheThreeNamesThatExists) {
    struct Case {
        const char* name;
        std::vector<std::string> files;
        std::string expected;
    };
    const Case cases[] = {
        {"opera6 before Operaprefs", {"Operaprefs.ini", "opera6.ini"}, "opera6.ini"},
        {"OperaDef6 first", {"opera6.ini", "OperaDef6.ini", "Operaprefs.ini"}, "OperaDef6.ini"},
        {"only the last", {"Operaprefs.ini", "other.ini"}, "Operaprefs.ini"},
        {"spelled otherwise", {"OPERA6.INI"}, "OPERA6.INI"},
        {"none", {"prefs.ini"}, ""},
    };
    for (const Case& c : cases) {
        TempDir dir;
        for (const std::string& file : c.files) WriteFile(dir.file(file), "x");
        EXPECT_EQ(FindOperaPrefsFile(dir.path() + "/"), c.expected) << c.name;
    }
    TempDir dir;
    std::filesystem::create_directory(dir.file("opera6.ini"));
    EXPECT_EQ(FindOperaPrefsFile(dir.path() + "/"), "") << "a folder is no file";
    EXPECT_EQ(FindOperaPrefsFile(dir.file("missing/")), "");
}

TEST(OperaPrefsEdits, SetPointsTheServerAtTheProxyAndTurnsItOn) {
    EXPECT_EQ(Set("[Proxy]\r\nHTTP server=10.0.0.1:3128\r\nUse HTTP=0\r\nX=1\r\n"),
              "[Proxy]\r\nHTTP server=127.0.0.1:8080\r\nUse HTTP=1\r\nX=1\r\n");
    EXPECT_EQ(Set("[Proxy]\r\nHTTP server\r\nX=1\r\n"),
              "[Proxy]\r\nHTTP server=127.0.0.1:8080\r\nUse HTTP=1\r\nX=1\r\n");
}

TEST(OperaPrefsEdits, NothingIsAddedWithoutAServerLine) {
    std::string text = "[Proxy]\r\nHTTPS server=x\r\n";
    EXPECT_EQ(Set(text), text);
    EXPECT_EQ(Reset(text), text);
    // A server line without a line end after it is left alone.
    EXPECT_EQ(Set("[Proxy]\r\nHTTP server=a"), "[Proxy]\r\nHTTP server=a");
}

TEST(OperaPrefsEdits, ResetEmptiesTheServerAndTurnsItOff) {
    EXPECT_EQ(Reset("[Proxy]\r\nHTTP server=127.0.0.1:8080\r\nUse HTTP=1\r\n"),
              "[Proxy]\r\nHTTP server\r\nUse HTTP=0\r\n");
    EXPECT_EQ(Reset("[Proxy]\r\nHTTP server=127.0.0.1:8080\r\n"),
              "[Proxy]\r\nHTTP server\r\nUse HTTP=0\r\n");
}

// Opera on Linux writes its preferences with LF alone: they are edited in that line end.
TEST(OperaPrefsEdits, FilesWithLfLinesAreEditedInTheirOwnLineEnd) {
    struct Case {
        const char* name;
        std::string (*edit)(const std::string&);
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"set", Set, "Opera Preferences version 2.1\n[Proxy]\nHTTP server=a:1\nUse HTTP=0\n",
         "Opera Preferences version 2.1\n[Proxy]\nHTTP server=127.0.0.1:8080\nUse HTTP=1\n"},
        {"set adds Use HTTP", Set, "[Proxy]\nHTTP server\nX=1\n",
         "[Proxy]\nHTTP server=127.0.0.1:8080\nUse HTTP=1\nX=1\n"},
        {"reset", Reset, "[Proxy]\nHTTP server=127.0.0.1:8080\nUse HTTP=1\n",
         "[Proxy]\nHTTP server\nUse HTTP=0\n"},
        {"the first line decides", Set, "[Proxy]\r\nHTTP server\nUse HTTP=0\n",
         "[Proxy]\r\nHTTP server\nUse HTTP=0\n"},
        // A longer key that starts with the same words is another setting, kept as it is.
        {"Use HTTPS is not Use HTTP", Set, "[Proxy]\nHTTP server=a:1\nUse HTTPS=0\nUse HTTP=0\n",
         "[Proxy]\nHTTP server=127.0.0.1:8080\nUse HTTPS=0\nUse HTTP=1\n"},
        {"Use HTTPS alone gains a Use HTTP", Reset, "[Proxy]\nHTTP server=x:1\nUse HTTPS=1\n",
         "[Proxy]\nHTTP server\nUse HTTP=0\nUse HTTPS=1\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.edit(c.text), c.expected) << c.name;
}

TEST(OperaPrefsEdits, HttpsLinesArePointedAtTheProxyAndGivenBack) {
    struct Case {
        const char* name;
        std::string before;
        std::string set;
        std::string reset;  // a reset of `set`, with the lines of `before` given back
    };
    const Case cases[] = {
        {"the user's own lines (LF ends): replaced, then put back",
         "[Proxy]\nHTTP server=a:1\nUse HTTP=1\nHTTPS server=b:2\nUse HTTPS=0\n",
         "[Proxy]\nHTTP server=127.0.0.1:8080\nUse HTTP=1\nHTTPS server=127.0.0.1:8080\n"
         "Use HTTPS=1\n",
         "[Proxy]\nHTTP server\nUse HTTP=0\nHTTPS server=b:2\nUse HTTPS=0\n"},
        {"no server line at all: nothing added", "[Proxy]\r\nX=1\r\n", "[Proxy]\r\nX=1\r\n",
         "[Proxy]\r\nX=1\r\n"},
    };
    for (const Case& c : cases) {
        std::string remembered = OperaHttpsLines(c.before);
        EditBuffer prefs(c.before, c.before.size());
        ApplyOperaSetEdits(prefs, "8080");
        ApplyOperaHttpsSetEdits(prefs, "8080");
        EXPECT_EQ(prefs.text(), c.set) << c.name;
        prefs = EditBuffer(prefs.text(), prefs.text().size());
        ApplyOperaResetEdits(prefs);
        ApplyOperaHttpsGiveBack(prefs, remembered);
        EXPECT_EQ(prefs.text(), c.reset) << c.name;
    }
    EXPECT_EQ(OperaHttpsLines("A\r\nHTTPS server=b:2\r\nUse HTTPS=1\r\n"),
              "HTTPS server=b:2\nUse HTTPS=1\n");
}

}  // namespace
}  // namespace korvanel
