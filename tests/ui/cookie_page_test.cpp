// The cookie switches: each radio stores its value at once, logs and updates its status-bar
// part; a change whose limited wait runs out is reported and changes nothing.
#include "ui/pages/cookie_page.h"

#include <QtTest/QTest>
#include <chrono>
#include <memory>

#include "texts.h"
#include "ui/support/ui_runtime.h"

using namespace korvanel;
using namespace korvanel::ui;
using korvanel::testing::Click;
using korvanel::testing::UiRuntime;

class CookiePageTest : public QObject {
    Q_OBJECT

    std::unique_ptr<UiRuntime> ui_;
    std::unique_ptr<CookiePage> page_;

    Runtime& rt() { return ui_->rt; }
    bool shows(CookieSwitch which, bool remove) {
        return page_->yesRadio(which)->isChecked() == remove &&
               page_->noRadio(which)->isChecked() == !remove;
    }

  private slots:
    void init() {
        ui_ = std::make_unique<UiRuntime>();
        page_ = std::make_unique<CookiePage>(rt());
        page_->show();
    }
    void cleanup() {
        page_.reset();
        ui_.reset();
    }

    void eachRadioStoresLogsAndShowsItsChoice() {
        struct Case {
            CookieSwitch which;
            bool remove;
            FixedText<4> Settings::*field;
            const char* line;
            int part;
            const char* bar;
            const char* saved;
        };
        const Case cases[] = {
            {CookieSwitch::kSetCookie, true, &Settings::setcookie, "受信するクッキーを削除します",
             kSetCookieStatusPart, "受信クッキー：消す", ":SET_COOKIE\r\n1\r\n"},
            {CookieSwitch::kCookie, true, &Settings::cookie, "送信ヘッダのクッキーを削除します",
             kCookieStatusPart, "送信クッキー：消す", ":COOKIE\r\n1\r\n"},
            {CookieSwitch::kSetCookie, false, &Settings::setcookie,
             "受信するクッキーを削除しません", kSetCookieStatusPart, "受信クッキー：消さない",
             ":SET_COOKIE\r\n0\r\n"},
            // Clicking the selected radio runs the change again.
            {CookieSwitch::kSetCookie, false, &Settings::setcookie,
             "受信するクッキーを削除しません", kSetCookieStatusPart, "受信クッキー：消さない",
             ":SET_COOKIE\r\n0\r\n"},
            {CookieSwitch::kCookie, false, &Settings::cookie, "送信ヘッダのクッキーを削除しません",
             kCookieStatusPart, "送信クッキー：消さない", ":COOKIE\r\n0\r\n"},
        };
        std::size_t lines = 0;
        for (const Case& c : cases) {
            Click(c.remove ? page_->yesRadio(c.which) : page_->noRadio(c.which));
            QCOMPARE((rt().settings.*c.field).str(), std::string(c.remove ? "1" : "0"));
            QVERIFY(shows(c.which, c.remove));
            QCOMPARE(ui_->statusLines().size(), ++lines);
            QCOMPARE(ui_->lastStatusLine(), std::string(c.line) + ": ");
            QCOMPARE(ui_->front.status_bar(c.part), std::string(c.bar));
            QVERIFY(ui_->data().find(c.saved) != std::string::npos);
        }
    }

    void rebuildShowsTheStoredValues() {
        {
            Hold hold(rt().locks.settings);
            rt().settings.setcookie = "1";
            rt().settings.cookie = "x";  // anything but "1" shows "いいえ"
        }
        page_->rebuild();
        QVERIFY(shows(CookieSwitch::kSetCookie, true));
        QVERIFY(shows(CookieSwitch::kCookie, false));
    }

    // The wait is the real one: the settings stay locked past it.
    void aChangeThatRunsOutOfTimeChangesNothing() {
        auto started = std::chrono::steady_clock::now();
        {
            Hold hold(rt().locks.settings);
            Click(page_->yesRadio(CookieSwitch::kSetCookie));
        }
        auto waited = std::chrono::steady_clock::now() - started;
        QVERIFY(waited >= kCookieSwitchWait);
        QCOMPARE(ui_->lastStatusLine(), std::string("TIMEOUT...:クッキーの設定に失敗しました"));
        QVERIFY(shows(CookieSwitch::kSetCookie, false));
        QCOMPARE(ui_->front.status_bar(kSetCookieStatusPart), std::string());

        // The next change waits for the late worker first; the late change was dropped.
        Click(page_->yesRadio(CookieSwitch::kCookie));
        QCOMPARE(rt().settings.setcookie.str(), std::string("0"));
        QCOMPARE(rt().settings.cookie.str(), std::string("1"));
        QVERIFY(shows(CookieSwitch::kCookie, true));
    }
};

QTEST_MAIN(CookiePageTest)
#include "cookie_page_test.moc"
