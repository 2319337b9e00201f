// The tag switches: each pair switches exactly the four rows of its group, shows the stored
// state, and refuses to show a value that is neither on nor off.
#include "ui/pages/tag_switch_group.h"

#include <QtTest/QTest>
#include <QtWidgets/QLabel>
#include <memory>

#include "texts.h"
#include "ui/support/ui_runtime.h"

using namespace korvanel;
using namespace korvanel::ui;
using korvanel::testing::Click;
using korvanel::testing::UiRuntime;

class TagSwitchGroupTest : public QObject {
    Q_OBJECT

    std::unique_ptr<UiRuntime> ui_;
    std::unique_ptr<TagSwitchGroup> group_;

    Runtime& rt() { return ui_->rt; }
    void open() {
        group_ = std::make_unique<TagSwitchGroup>(rt());
        group_->show();
    }
    std::string rows() {
        std::string values;
        for (const TagSwitch& row : rt().settings.tag_switches) values += row.value.str();
        return values;
    }
    static std::string withGroup(std::string values, int group, char value) {
        values.replace(group * kTagRowsPerGroup, kTagRowsPerGroup, kTagRowsPerGroup, value);
        return values;
    }

  private slots:
    void init() { ui_ = std::make_unique<UiRuntime>(); }
    void cleanup() {
        group_.reset();
        ui_.reset();
    }

    // Every group on and off in turn: only its own four rows change, and "すべて" leaves the
    // other pairs alone.
    void eachSwitchChangesOnlyItsGroup() {
        const std::string all_off(kTagSwitchCount, '0');
        {
            Hold hold(rt().locks.settings);
            // <IMG> on before the dialog opens.
            for (int row = 20; row < 24; ++row) rt().settings.tag_switches[row].value = "1";
        }
        const std::string img_on = withGroup(all_off, 5, '1');
        open();
        for (int group = 0; group < kTagSwitchGroups; ++group) {
            if (group == 5) continue;
            const text::TagSwitchTexts& texts = text::kTagSwitchTexts[group];
            Click(group_->removeRadio(group));
            QCOMPARE(rows(), withGroup(img_on, group, '1'));
            QVERIFY(group_->removeRadio(group)->isChecked() &&
                    !group_->keepRadio(group)->isChecked());
            QCOMPARE(ui_->lastStatusLine(), std::string(texts.removed) + ": ");
            QCOMPARE(rt().settings.tag_filter_active, 1);

            Click(group_->keepRadio(group));
            QCOMPARE(rows(), img_on);
            QVERIFY(!group_->removeRadio(group)->isChecked() &&
                    group_->keepRadio(group)->isChecked());
            QCOMPARE(ui_->lastStatusLine(), std::string(texts.kept) + ": ");
            // The <IMG> pair still shows what it stores.
            QVERIFY(group_->removeRadio(5)->isChecked());
        }
        Click(group_->keepRadio(5));
        QCOMPARE(rows(), all_off);
        QCOMPARE(rt().settings.tag_filter_active, 0);
        QVERIFY(ui_->data().find(":TUG_JOB\r\n0:0:0:0:0:") != std::string::npos);
    }

    // "<A>" or "<IMG>" taken for markup would show nothing, or a picture.
    void tagLabelsShowTheirText() {
        open();
        for (int group = 0; group < kTagSwitchGroups; ++group) {
            const QLabel* label = group_->label(group);
            QCOMPARE(label->text(), QString::fromUtf8(text::kTagSwitchTexts[group].label));
            QVERIFY2(
                label->sizeHint().width() >= label->fontMetrics().horizontalAdvance(label->text()),
                text::kTagSwitchTexts[group].label);
        }
    }

    void opensWithTheFirstRowOfEachGroup() {
        {
            Hold hold(rt().locks.settings);
            rt().settings.tag_switches[8].value = "1";   // <BODY>
            rt().settings.tag_switches[13].value = "1";  // not a first row: <FONT> stays off
            rt().settings.tag_switches[52].value = "x";  // すべて: neither on nor off
        }
        open();
        QVERIFY(group_->removeRadio(2)->isChecked() && !group_->keepRadio(2)->isChecked());
        QVERIFY(!group_->removeRadio(3)->isChecked() && group_->keepRadio(3)->isChecked());
        QVERIFY(!group_->removeRadio(13)->isChecked() && !group_->keepRadio(13)->isChecked());
        auto messages = ui_->front.messages();
        QCOMPARE(messages.size(), std::size_t{1});
        QCOMPARE(messages[0].first + "|" + messages[0].second, std::string("error|エラー"));
    }
};

QTEST_MAIN(TagSwitchGroupTest)
#include "tag_switch_group_test.moc"
