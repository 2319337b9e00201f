// "設定２": access control and port, clicked and typed as a user would; refusals show their
// messages and store nothing.
#include "ui/pages/access_and_port_group.h"

#include <QtTest/QTest>
#include <QtWidgets/QLineEdit>
#include <memory>

#include "texts.h"
#include "ui/support/ui_runtime.h"

using namespace korvanel;
using namespace korvanel::ui;
using korvanel::testing::Click;
using korvanel::testing::Type;
using korvanel::testing::UiRuntime;

namespace {

const std::string kPortFailed = std::string(text::kPortFailedTitle) + "|";
// Written out: the message is formed from the port rules, and must read exactly so.
constexpr const char kPortOutOfRange[] = "1025から65535の間の整数を入力してください";
const std::string kRangeRefused = std::string(text::kRangeInvalidTitle) + "|" + text::kRangeInvalid;
const std::string kRestart =
    std::string(text::kAccessControlTitle) + "|" + text::kAppliedAfterRestart;

}  // namespace

class AccessAndPortGroupTest : public QObject {
    Q_OBJECT

    std::unique_ptr<UiRuntime> ui_;
    std::unique_ptr<AccessAndPortGroup> group_;

    Runtime& rt() { return ui_->rt; }
    void open() {
        group_ = std::make_unique<AccessAndPortGroup>(rt());
        group_->show();
    }
    bool rangeShown() {
        return group_->rangeRadio()->isChecked() && !group_->localRadio()->isChecked();
    }

  private slots:
    void init() { ui_ = std::make_unique<UiRuntime>(); }
    void cleanup() {
        group_.reset();
        ui_.reset();
    }

    void portIsCheckedStoredAndShown() {
        struct Case {
            const char* typed;
            const char* stored;  // null: refused with `message`
            const char* message;
        };
        const Case cases[] = {
            {"1024", nullptr, kPortOutOfRange},
            {"1025", "1025", nullptr},
            {"65535", "65535", nullptr},
            {"65536", nullptr, kPortOutOfRange},
            {"80a1", nullptr, text::kPortNotInteger},
            {"-8080", nullptr, text::kPortNotInteger},
            {"", nullptr, kPortOutOfRange},
            {"999999999", nullptr, kPortOutOfRange},
            // Leading zeros would not fit the port field and read back as another port.
            {"000008081", "8081", nullptr},
        };
        open();
        std::string port = "8080";
        for (const Case& c : cases) {
            Type(group_->portEdit(), c.typed);
            int saves = ui_->front.saves();
            Click(group_->portButton());
            if (c.stored) {
                port = c.stored;
                QVERIFY2(ui_->lastMessage() == std::string(text::kPortChangedTitle) + "|" +
                                                   text::kAppliedAfterRestart,
                         c.typed);
                QCOMPARE(ui_->front.label(Label::kPort), port);
                QVERIFY2(ui_->data().find(":KORV_PORT\r\n" + port + "\r\n") != std::string::npos,
                         c.typed);
            } else {
                QVERIFY2(ui_->lastMessage() == kPortFailed + c.message, c.typed);
                QCOMPARE(ui_->front.saves(), saves);
            }
            QVERIFY2(rt().settings.port.str() == port, c.typed);
        }
        // The port writes no status line.
        QVERIFY(ui_->statusLines().empty());
    }

    void rangeIsCheckedWithTheAddressTest() {
        struct Case {
            const char* name;
            const char* start;
            const char* end;
            bool accepted;
        };
        const Case cases[] = {
            {"empty end", "192.168.0.1", "", false},
            {"empty start", "", "192.168.0.1", false},
            {"last number 256", "192.168.0.1", "192.168.0.256", false},
            {"three numbers", "192.168.0.1", "192.168.0", false},
            {"sixteen characters", "192.168.100.10ab", "192.168.0.1", false},
            {"letters after the fourth number", "10.0.0.1", "10.0.0.9abc", true},
            {"a blank before the end", "10.0.0.1", " 10.0.0.9", true},
            // Stored, it would split at this "to" when read back.
            {"start holding to", "10.0.0.1to", "10.0.0.9", false},
            {"plain range", "192.168.0.1", "192.168.0.50", true},
        };
        open();
        std::string stored = rt().settings.allow_user.str();
        for (const Case& c : cases) {
            Type(group_->rangeStartEdit(), c.start);
            Type(group_->rangeEndEdit(), c.end);
            Click(group_->rangeButton());
            QVERIFY2(rangeShown(), c.name);
            if (c.accepted) {
                stored = std::string(c.start) + "to" + c.end;
                QVERIFY2(ui_->lastMessage() == kRestart, c.name);
                QCOMPARE(ui_->lastStatusLine(),
                         std::string(text::kAccessControlSet) + ":" + stored);
                QCOMPARE(rt().settings.localorpassive.str(), std::string("passive"));
            } else {
                QVERIFY2(ui_->lastMessage() == kRangeRefused, c.name);
                // The edits keep their text.
                QCOMPARE(group_->rangeEndEdit()->text(), QString(c.end));
            }
            QVERIFY2(rt().settings.allow_user.str() == stored, c.name);
        }
    }

    void rangeRadioOnlyPromptsAndLocalStoresAtOnce() {
        struct Case {
            const char* start;
            const char* end;
            const char* prompt;
        };
        const Case cases[] = {
            {"192.168.0.1", "", text::kRangeEnterPrompt},
            {"192.168.0.1", "1234567890123456", text::kRangeEnterPrompt},
            {"x", "y", text::kRangeRegisterPrompt},
        };
        open();
        for (const Case& c : cases) {
            Type(group_->rangeStartEdit(), c.start);
            Type(group_->rangeEndEdit(), c.end);
            Click(group_->rangeRadio());
            QVERIFY(rangeShown());
            QCOMPARE(ui_->lastMessage(), std::string(text::kAccessControlTitle) + "|" + c.prompt);
            QCOMPARE(rt().settings.localorpassive.str(), std::string("local"));
        }
        QVERIFY(ui_->statusLines().empty());

        Click(group_->localRadio());
        QVERIFY(group_->localRadio()->isChecked() && !group_->rangeRadio()->isChecked());
        QCOMPARE(ui_->lastStatusLine(), std::string(text::kLocalOnlySet) + ": ");
        QCOMPARE(ui_->lastMessage(), kRestart);
        QVERIFY(ui_->data().find(":LOCAL_OR_PASSIVE\r\nlocal\r\n") != std::string::npos);
    }

    void opensWithTheStoredModeAndRange() {
        struct Case {
            const char* mode;
            const char* range;
            bool range_shown;
            const char* start;
            const char* end;
        };
        const Case cases[] = {
            {"local", "127.0.0.1to127.0.0.1", false, "127.0.0.1", "127.0.0.1"},
            {"passive", "10.0.0.1to10.0.0.9to", true, "10.0.0.1", "10.0.0.9to"},
            {"passive", "10.0.0.1", true, "10.0.0.1", ""},
        };
        for (const Case& c : cases) {
            {
                Hold hold(rt().locks.settings);
                rt().settings.localorpassive = c.mode;
                rt().settings.allow_user = c.range;
            }
            open();
            QCOMPARE(rangeShown(), c.range_shown);
            QCOMPARE(group_->rangeStartEdit()->text(), QString(c.start));
            QCOMPARE(group_->rangeEndEdit()->text(), QString(c.end));
            QCOMPARE(group_->portEdit()->text(), QString("8080"));
        }
    }
};

QTEST_MAIN(AccessAndPortGroupTest)
#include "access_and_port_group_test.moc"
