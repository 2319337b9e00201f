// "設定１": each control clicked as a user would, checked in Settings, the status log,
// the messages and `data`.
#include "ui/pages/startup_and_logs_group.h"

#include <QtTest/QTest>
#include <QtWidgets/QLineEdit>
#include <memory>

#include "texts.h"
#include "ui/support/ui_runtime.h"

using namespace korvanel;
using namespace korvanel::ui;
using korvanel::testing::Click;
using korvanel::testing::PressAndReleaseElsewhere;
using korvanel::testing::UiRuntime;

class StartupAndLogsGroupTest : public QObject {
    Q_OBJECT

    std::unique_ptr<UiRuntime> ui_;
    std::unique_ptr<StartupAndLogsGroup> group_;

    Runtime& rt() { return ui_->rt; }
    void open() {
        group_ = std::make_unique<StartupAndLogsGroup>(rt());
        group_->show();
    }
    // Which radio of a log row is shown selected; -1 for none, -2 for more than one.
    int shownMode(LogRow row) {
        int shown = -1;
        for (int mode = 0; mode < kLogModeCount; ++mode) {
            if (group_->logRadio(row, mode)->isChecked()) shown = shown == -1 ? mode : -2;
        }
        return shown;
    }

  private slots:
    void init() { ui_ = std::make_unique<UiRuntime>(); }
    void cleanup() {
        group_.reset();
        ui_.reset();
    }

    void opensWithTheStoredValues() {
        struct Case {
            const char* name;
            const char* auto_start;
            const char* http_version;
            const char* access_log;
            const char* address;
            bool ticked;
            int http_radio;  // -1: none
            int log_radio;
            const char* edit;
        };
        const Case cases[] = {
            {"new file", "0", "1.1", "0", "http://a.example/x.cgi", false, 0, 0,
             "http://a.example/x.cgi"},
            {"start on, 1.0, file", "2", "1.0", "1", "ab", true, 1, 1, "ab"},
            {"any other start value ticks", "x", "1.0", "2", "", true, 1, 2, "NONE"},
            {"an unknown mode shows none", "", "2.0", "7", "a", true, -1, 3, "NONE"},
        };
        for (const Case& c : cases) {
            {
                Hold hold(rt().locks.settings);
                rt().settings.auto_start = c.auto_start;
                rt().settings.http_version = c.http_version;
                rt().settings.access_log = c.access_log;
                rt().settings.checkproxyaddress = c.address;
            }
            open();
            QVERIFY2(group_->startupBox()->isChecked() == c.ticked, c.name);
            for (int i = 0; i < 2; ++i) {
                QVERIFY2(group_->httpRadio(i)->isChecked() == (i == c.http_radio), c.name);
            }
            QVERIFY2(shownMode(LogRow::kAccess) == c.log_radio, c.name);
            QVERIFY2(group_->checkAddressEdit()->text() == QString::fromUtf8(c.edit), c.name);
        }
    }

    void startupClickedTwiceStoresTwoThenZero() {
        open();
        const struct {
            const char* stored;
            bool ticked;
        } steps[] = {{"2", true}, {"0", false}};
        for (const auto& step : steps) {
            Click(group_->startupBox());
            QCOMPARE(rt().settings.auto_start.str(), std::string(step.stored));
            QCOMPARE(group_->startupBox()->isChecked(), step.ticked);
            QCOMPARE(ui_->lastStatusLine(), std::string(text::kStartupDone) + ":");
            QVERIFY(ui_->data().find(std::string(":AUTO_START\r\n") + step.stored + "\r\n") !=
                    std::string::npos);
        }
    }

    void radiosStoreTheirValueAndClearOnlyTheirRow() {
        struct Case {
            LogRow row;
            int mode;
            LogMode Settings::*field;
            const char* line;
        };
        const Case cases[] = {
            {LogRow::kAccess, 3, &Settings::access_log, "アクセスログを出力しません"},
            {LogRow::kSendHeaders, 1, &Settings::send_header_log,
             "送信ヘッダのログをファイルに出力します"},
            {LogRow::kRecvHeaders, 2, &Settings::recv_header_log,
             "受信ヘッダのログをGUIとファイルに出力します"},
            {LogRow::kHeaderPairs, 3, &Settings::send_recv_header_log,
             "送受信ヘッダのログを出力しません"},
            {LogRow::kAccess, 0, &Settings::access_log, "アクセスログをGUIに出力します"},
        };
        open();
        for (const Case& c : cases) {
            Click(group_->logRadio(c.row, c.mode));
            QCOMPARE((rt().settings.*c.field).str(), std::to_string(c.mode));
            QCOMPARE(shownMode(c.row), c.mode);
            QCOMPARE(ui_->lastStatusLine(), std::string(c.line) + ": ");
        }
        // The other rows kept what they showed and stored.
        QCOMPARE(shownMode(LogRow::kSendHeaders), 1);
        QCOMPARE(rt().settings.recv_header_log.str(), std::string("2"));
        QVERIFY(ui_->data().find(":SEND_RECV_HEADER_LOG\r\n3\r\n") != std::string::npos);

        Click(group_->httpRadio(kHttp10Radio));
        QCOMPARE(rt().settings.http_version.str(), std::string("1.0"));
        QVERIFY(!group_->httpRadio(kHttp11Radio)->isChecked());
        QCOMPARE(ui_->lastStatusLine(), std::string("HTTPのバージョンをHTTP/1.0にしました: "));
        // Clicking the selected radio again keeps it selected and logs again.
        Click(group_->httpRadio(kHttp10Radio));
        QVERIFY(group_->httpRadio(kHttp10Radio)->isChecked());
        QCOMPARE(ui_->statusLines().size(), std::size_t{7});
    }

    void aReleaseAwayFromTheControlRunsNothing() {
        open();
        PressAndReleaseElsewhere(group_->logRadio(LogRow::kAccess, 3));
        PressAndReleaseElsewhere(group_->startupBox());
        PressAndReleaseElsewhere(group_->checkAddressButton());
        QCOMPARE(rt().settings.access_log.str(), std::string("0"));
        QCOMPARE(rt().settings.auto_start.str(), std::string("0"));
        QVERIFY(!group_->logRadio(LogRow::kAccess, 3)->isChecked());
        QVERIFY(!group_->startupBox()->isChecked());
        QVERIFY(ui_->statusLines().empty());
        QVERIFY(ui_->front.messages().empty());
    }

    void checkAddressIsStoredUncheckedAndConfirmed() {
        {
            Hold hold(rt().locks.settings);
            rt().settings.checkproxyaddress = "";
        }
        open();
        // Registered without editing: the shown "NONE" becomes the address.
        Click(group_->checkAddressButton());
        QCOMPARE(rt().settings.checkproxyaddress.str(), std::string("NONE"));
        QCOMPARE(ui_->lastStatusLine(), std::string(text::kCheckAddressChanged) + ":NONE");
        QCOMPARE(ui_->lastMessage(), std::string("確認|") + text::kCheckAddressChanged);

        // Japanese text longer than the edit stores is cut between characters, and reads back.
        korvanel::testing::Type(group_->checkAddressEdit(), QString(120, QChar(0x3042)));
        Click(group_->checkAddressButton());
        std::string stored = rt().settings.checkproxyaddress.str();
        QCOMPARE(stored.size(), std::size_t{249});
        QVERIFY(QString::fromUtf8(stored.data(), stored.size()) == QString(83, QChar(0x3042)));
        korvanel::testing::RecordingFrontEnd front;
        Runtime next(front, ui_->dir.path());
        QCOMPARE(ReadConfiguration(next), 1);
        QCOMPARE(next.settings.checkproxyaddress.str(), stored);
    }
};

QTEST_MAIN(StartupAndLogsGroupTest)
#include "startup_and_logs_group_test.moc"
