// The group "HTTPS": its switches, the ports, the hosts left uninspected and the anchors
// file, typed and clicked as a user would; refusals say why and store nothing, and a
// dialog nobody touches leaves `data` as it was.
#include "ui/pages/https_group.h"

#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <filesystem>
#include <memory>

#include "runtime/tls_files.h"
#include "settings/config_file.h"
#include "support/temp_dir.h"
#include "texts.h"
#include "ui/dialogs/config_dialog.h"
#include "ui/support/ui_runtime.h"

using namespace korvanel;
using namespace korvanel::ui;
using korvanel::testing::Click;
using korvanel::testing::ReadFile;
using korvanel::testing::Type;
using korvanel::testing::UiRuntime;

namespace {

bool Has(const std::string& data, const std::string& section) {
    return data.find(section) != std::string::npos;
}

// Answers the question box that the next click opens with the button showing `answer`.
void AnswerNextQuestion(const char* answer) {
    QTimer::singleShot(0, [answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == QString::fromUtf8(answer)) button->click();
        }
    });
}

}  // namespace

class HttpsGroupTest : public QObject {
    Q_OBJECT

    std::unique_ptr<UiRuntime> ui_;
    std::unique_ptr<HttpsGroup> group_;
    int prepared_ = 0;
    int renewed_ = 0;
    bool renew_works_ = true;

    Runtime& rt() { return ui_->rt; }
    void open() {
        AuthorityActions actions;
        actions.prepare = [this](Runtime&) { ++prepared_; };
        actions.renew = [this](Runtime&, std::string& problem) {
            ++renewed_;
            if (!renew_works_) problem = "no room left";
            return renew_works_;
        };
        group_ = std::make_unique<HttpsGroup>(rt(), actions);
        group_->show();
    }

  private slots:
    void init() {
        ui_ = std::make_unique<UiRuntime>();
        prepared_ = renewed_ = 0;
        renew_works_ = true;
    }
    void cleanup() {
        group_.reset();
        ui_.reset();
    }

    void untouchedGroupLeavesDataAsItWas() {
        WriteConfiguration(rt());
        const std::string before = ui_->data();
        open();
        QCOMPARE(group_->authorityPath()->text().toStdString(),
                 rt().PathOf(kAuthorityCertificateFile));
        QVERIFY(group_->authorityPath()->isReadOnly());
        QVERIFY2(!group_->inspectBox()->isEnabled(), "usable only with tunnels on");
        group_.reset();
        rt().front.RequestSave();
        QCOMPARE(ui_->data(), before);
        QVERIFY2(before.ends_with(":END\r\n"), "nothing after :END");
    }

    void switchesStoreAndInspectionWaitsForTunnels() {
        open();
        Click(group_->inspectBox());  // disabled: nothing happens
        QVERIFY(!rt().settings.https_inspect);

        Click(group_->tunnelBox());
        QVERIFY(rt().settings.https_tunnel);
        QVERIFY(group_->tunnelBox()->isChecked());
        QVERIFY(group_->inspectBox()->isEnabled());
        QCOMPARE(ui_->lastStatusLine(), std::string(text::kTunnelOn) + ": ");
        QVERIFY(Has(ui_->data(), ":END\r\n:HTTPS_TUNNEL\r\n1\r\n"));

        Click(group_->inspectBox());
        QVERIFY(rt().settings.https_inspect);
        QVERIFY2(prepared_ == 1, "the CA is made when inspection is switched on");
        QVERIFY(Has(ui_->data(), ":HTTPS_INSPECT\r\n1\r\n"));

        Click(group_->tunnelBox());
        QVERIFY(!rt().settings.https_tunnel);
        QVERIFY(!group_->inspectBox()->isEnabled());
        QVERIFY2(group_->inspectBox()->isChecked(), "kept for the next time tunnels are on");
        QCOMPARE(ui_->lastStatusLine(), std::string(text::kTunnelOff) + ": ");
        QVERIFY(!Has(ui_->data(), ":HTTPS_TUNNEL"));
        Click(group_->tunnelBox());
        QVERIFY2(prepared_ == 2, "tunnels back on with inspection on");
    }

    void tunnelPortsAreCheckedLikeData() {
        struct Case {
            const char* typed;
            const char* stored;  // null: refused
        };
        const Case cases[] = {
            {"443,8443", "443,8443"}, {"8443", "8443"},       {"0", nullptr}, {"443,", nullptr},
            {"65536", nullptr},       {"443, 8443", nullptr}, {"", nullptr},  {"+443", nullptr},
            {"1,65535", "1,65535"},
        };
        open();
        std::string ports = "443";
        for (const Case& c : cases) {
            Type(group_->portsEdit(), c.typed);
            std::size_t messages = ui_->front.messages().size();
            Click(group_->portsButton());
            if (c.stored) {
                ports = c.stored;
                QCOMPARE(ui_->front.messages().size(), messages);
                QCOMPARE(ui_->lastStatusLine(), std::string(text::kTunnelPortsSet) + ":" + ports);
            } else {
                QVERIFY2(ui_->lastMessage() == std::string(text::kTunnelPortsFailedTitle) + "|" +
                                                   text::kTunnelPortsRefused,
                         c.typed);
            }
            QCOMPARE(FormatTunnelPorts(rt().settings.tunnel_ports), ports);
        }
        QVERIFY(Has(ui_->data(), ":TUNNEL_PORTS\r\n1,65535\r\n"));
    }

    void uninspectedHostsAreCheckedLikeData() {
        struct Case {
            const char* name;
            std::string typed;
            std::vector<std::string> stored;  // empty with `refused`: the old list stays
            const char* refused;
        };
        std::string many;
        for (int i = 0; i <= 200; ++i) many += "h" + std::to_string(i) + ".example\n";
        const Case cases[] = {
            {"two lines, blanks and CR dropped",
             "*.bank.example\r\n\r\n  update.example.org \n",
             {"*.bank.example", "update.example.org"},
             nullptr},
            {"not a host", "ok.example\nbad host!\n", {}, "ホスト名ではありません: bad host!"},
            {"wildcard inside", "a.*.example", {}, "ホスト名ではありません: a.*.example"},
            {"201 patterns", many, {}, text::kInspectExceptTooMany},
            {"emptied", "", {}, nullptr},
        };
        open();
        std::vector<std::string> expected;
        for (const Case& c : cases) {
            group_->exceptEdit()->setPlainText(QString::fromStdString(c.typed));
            Click(group_->exceptButton());
            if (c.refused) {
                QVERIFY2(ui_->lastMessage() ==
                             std::string(text::kInspectExceptFailedTitle) + "|" + c.refused,
                         c.name);
            } else {
                expected = c.stored;
            }
            QVERIFY2(rt().settings.inspect_except == expected, c.name);
            if (!c.refused && expected.size() == 2) {
                QVERIFY(Has(ui_->data(),
                            ":INSPECT_EXCEPT\r\n*.bank.example\r\nupdate.example.org\r\n"));
                QCOMPARE(group_->exceptEdit()->toPlainText(),
                         QString("*.bank.example\nupdate.example.org"));
            }
        }
        QVERIFY(!Has(ui_->data(), ":INSPECT_EXCEPT"));
    }

    void extraAnchorsFileIsStoredAndCleared() {
        open();
        Type(group_->extraCaEdit(), "/etc/ssl/company-ca.pem");
        Click(group_->extraCaButton());
        QCOMPARE(rt().settings.extra_ca_file, std::string("/etc/ssl/company-ca.pem"));
        QVERIFY(Has(ui_->data(), ":EXTRA_CA_FILE\r\n/etc/ssl/company-ca.pem\r\n"));

        group_->extraCaEdit()->setText(QString(5000, 'a'));
        Click(group_->extraCaButton());
        QCOMPARE(ui_->lastMessage(),
                 std::string(text::kExtraCaFailedTitle) + "|" + text::kExtraCaRefused);
        QCOMPARE(rt().settings.extra_ca_file, std::string("/etc/ssl/company-ca.pem"));

        group_->extraCaEdit()->clear();
        Click(group_->extraCaButton());
        QVERIFY(rt().settings.extra_ca_file.empty());
        QVERIFY(!Has(ui_->data(), ":EXTRA_CA_FILE"));
    }

    void newAuthorityIsAskedForAndItsFailureShown() {
        open();
        AnswerNextQuestion(text::kCookieNo);
        Click(group_->renewButton());
        QCOMPARE(renewed_, 0);

        AnswerNextQuestion(text::kCookieYes);
        Click(group_->renewButton());
        QCOMPARE(renewed_, 1);
        QVERIFY(ui_->front.messages().empty());

        renew_works_ = false;
        AnswerNextQuestion(text::kCookieYes);
        Click(group_->renewButton());
        QCOMPARE(renewed_, 2);
        QCOMPARE(ui_->lastMessage(), std::string(text::kAuthorityTitle) + "|" +
                                         text::kAuthorityRenewFailed + "no room left");
    }

    // The dialog's group with the real inspection side: the CA is made when inspection is
    // switched on and made anew on request, its key for the user only.
    void theDialogMakesTheCaAndMakesItAnew() {
        ConfigDialog dialog(rt());
        HttpsGroup& https = *dialog.httpsGroup();
        const std::string certificate = rt().PathOf(kAuthorityCertificateFile);
        Click(https.tunnelBox());
        Click(https.inspectBox());
        const std::string first = ReadFile(certificate);
        QVERIFY(first.find("BEGIN CERTIFICATE") != std::string::npos);
        QCOMPARE(std::filesystem::status(rt().PathOf(kAuthorityKeyFile)).permissions() &
                     std::filesystem::perms::all,
                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

        AnswerNextQuestion(text::kCookieYes);
        Click(https.renewButton());
        QVERIFY(ReadFile(certificate) != first);
        QVERIFY(ui_->front.messages().empty());
    }
};

QTEST_MAIN(HttpsGroupTest)
#include "https_group_test.moc"
