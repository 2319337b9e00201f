// The Config dialog as a whole: every setting changed through it is in `data` and is read
// back by the next start, and the dialog closes and deletes itself with "閉じる".
#include "ui/dialogs/config_dialog.h"

#include <QtCore/QPointer>
#include <QtTest/QTest>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <memory>

#include "settings/config_file.h"
#include "texts.h"
#include "ui/pages/access_and_port_group.h"
#include "ui/pages/cookie_page.h"
#include "ui/pages/https_group.h"
#include "ui/pages/startup_and_logs_group.h"
#include "ui/pages/tag_switch_group.h"
#include "ui/support/ui_runtime.h"

using namespace korvanel;
using namespace korvanel::ui;
using korvanel::testing::Click;
using korvanel::testing::RecordingFrontEnd;
using korvanel::testing::Type;
using korvanel::testing::UiRuntime;

class ConfigDialogTest : public QObject {
    Q_OBJECT

    // Changes every control of the dialog and both cookie switches away from the defaults.
    static void changeEverything(ConfigDialog& dialog, CookiePage& cookies) {
        TagSwitchGroup& tags = *dialog.tagSwitches();
        Click(tags.removeRadio(0));
        Click(tags.removeRadio(2));
        Click(tags.removeRadio(13));
        StartupAndLogsGroup& startup = *dialog.startupAndLogsGroup();
        Click(startup.startupBox());
        Click(startup.httpRadio(kHttp10Radio));
        Click(startup.logRadio(LogRow::kAccess, 3));
        Click(startup.logRadio(LogRow::kSendHeaders, 1));
        Click(startup.logRadio(LogRow::kRecvHeaders, 2));
        Click(startup.logRadio(LogRow::kHeaderPairs, 1));
        Type(startup.checkAddressEdit(), "http://127.0.0.1:8000/dizu8d.cgi");
        Click(startup.checkAddressButton());
        AccessAndPortGroup& access = *dialog.accessAndPortGroup();
        // Accepted by the register button: a blank after "to", letters after the address.
        Type(access.rangeStartEdit(), "192.168.0.1");
        Type(access.rangeEndEdit(), " 192.168.0.50x");
        Click(access.rangeButton());
        Type(access.portEdit(), "65535");
        Click(access.portButton());
        HttpsGroup& https = *dialog.httpsGroup();
        Click(https.tunnelBox());
        Type(https.portsEdit(), "443,8443");
        Click(https.portsButton());
        Click(https.inspectBox());
        https.exceptEdit()->setPlainText("*.bank.example\nupdate.example.org");
        Click(https.exceptButton());
        Type(https.extraCaEdit(), "/etc/ssl/company-ca.pem");
        Click(https.extraCaButton());
        Click(cookies.yesRadio(CookieSwitch::kSetCookie));
        Click(cookies.yesRadio(CookieSwitch::kCookie));
    }

  private slots:
    void everySettingSavedIsReadBackByTheNextStart() {
        UiRuntime ui;
        {
            ConfigDialog dialog(ui.rt);
            CookiePage cookies(ui.rt);
            dialog.show();
            changeEverything(dialog, cookies);
        }
        for (const auto& [title, text] : ui.front.messages()) {
            QVERIFY2(title != text::kRangeInvalidTitle && title != text::kPortFailedTitle,
                     text.c_str());
        }

        RecordingFrontEnd front;
        Runtime next(front, ui.dir.path());
        QCOMPARE(ReadConfiguration(next), 1);
        const Settings& s = next.settings;
        std::string tags;
        for (const TagSwitch& row : s.tag_switches) tags += row.value.str();
        QCOMPARE(tags,
                 "1111"
                 "0000"
                 "1111" +
                     std::string(40, '0') + "1111");
        QCOMPARE(s.auto_start.str(), std::string("2"));
        QCOMPARE(s.http_version.str(), std::string("1.0"));
        QCOMPARE(s.access_log.str() + s.send_header_log.str() + s.recv_header_log.str() +
                     s.send_recv_header_log.str(),
                 std::string("3121"));
        QCOMPARE(s.checkproxyaddress.str(), std::string("http://127.0.0.1:8000/dizu8d.cgi"));
        QCOMPARE(s.localorpassive.str(), std::string("passive"));
        QCOMPARE(s.allow_user.str(), std::string("192.168.0.1to 192.168.0.50x"));
        QCOMPARE(s.port.str(), std::string("65535"));
        QCOMPARE(s.setcookie.str() + s.cookie.str(), std::string("11"));
        QVERIFY(s.https_tunnel && s.https_inspect);
        QCOMPARE(FormatTunnelPorts(s.tunnel_ports), std::string("443,8443"));
        QCOMPARE(s.inspect_except,
                 (std::vector<std::string>{"*.bank.example", "update.example.org"}));
        QCOMPARE(s.extra_ca_file, std::string("/etc/ssl/company-ca.pem"));

        // A dialog opened on the next start shows what was saved.
        ConfigDialog reopened(next);
        QVERIFY(reopened.tagSwitches()->removeRadio(13)->isChecked());
        QVERIFY(reopened.startupAndLogsGroup()->logRadio(LogRow::kAccess, 3)->isChecked());
        QVERIFY(reopened.accessAndPortGroup()->rangeRadio()->isChecked());
        QCOMPARE(reopened.accessAndPortGroup()->rangeEndEdit()->text(), QString(" 192.168.0.50x"));
        QVERIFY(reopened.httpsGroup()->inspectBox()->isChecked());
        QCOMPARE(reopened.httpsGroup()->portsEdit()->text(), QString("443,8443"));
    }

    void closeButtonClosesAndDeletesTheDialog() {
        UiRuntime ui;
        QPointer<ConfigDialog> dialog = new ConfigDialog(ui.rt);
        dialog->show();
        QVERIFY(!dialog->isModal());
        QCOMPARE(dialog->closeButton()->text(), QString::fromUtf8(text::kClose));
        Click(dialog->closeButton());
        QTRY_VERIFY(dialog.isNull());
    }
};

QTEST_MAIN(ConfigDialogTest)
#include "config_dialog_test.moc"
