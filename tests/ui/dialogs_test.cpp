// The About and usage dialogs, the message dialog, and how the proxy-check and Config
// dialogs fit and look.
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QScrollArea>

#include "support/ui_runtime.h"
#include "texts.h"
#include "ui/dialogs/config_dialog.h"
#include "ui/dialogs/info_dialog.h"
#include "ui/dialogs/message_box.h"
#include "ui/dialogs/proxy_check_dialog.h"
#include "ui/main/theme.h"
#include "ui/pages/access_and_port_group.h"
#include "ui/pages/https_group.h"
#include "ui/widgets/skin_button.h"

using namespace korvanel;
using korvanel::ui::InfoDialog;

class DialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { ui::RegisterPictures(); }

    void usageOpensTheShippedPageAsOftenAsAskedAndStaysOpen() {
        QList<QUrl> opened;
        InfoDialog usage(InfoDialog::Kind::kUsage, nullptr, [&opened](const QUrl& url) {
            opened << url;
            return true;
        });
        usage.show();
        QTest::mouseClick(usage.openButton(), Qt::LeftButton);
        QTest::mouseClick(usage.openButton(), Qt::LeftButton);
        QCOMPARE(opened.size(), 2);
        QVERIFY(usage.isVisible());
        QVERIFY(QFileInfo::exists(opened[0].toLocalFile()));  // the page ships with the program
        QVERIFY(opened[0].toLocalFile().endsWith("doc/index.html"));
        QTest::mouseClick(usage.closeButton(), Qt::LeftButton);
        QVERIFY(!usage.isVisible());
    }

    void aboutShowsItsPictureAndNoOpenButton() {
        InfoDialog about(InfoDialog::Kind::kAbout, nullptr);
        QCOMPARE(about.windowTitle(), QString::fromUtf8(text::kAboutTitle));
        QVERIFY(about.openButton() == nullptr);
        bool picture = false;
        for (QLabel* label : about.findChildren<QLabel*>()) {
            if (!label->pixmap().isNull()) picture = true;
        }
        QVERIFY(picture);
    }

    void messageDialogFollowsTheTheme() {
        QApplication::setPalette(ui::ThemePalette(*ui::FindTheme("BLUE")));
        ui::MessageBox box("t", "line 1\r\nline 2", nullptr);
        QCOMPARE(box.palette().color(QPalette::Window), QColor(5, 40, 70));
        QCOMPARE(box.palette().color(QPalette::WindowText), QColor(181, 181, 210));
        QCOMPARE(box.text(), QString("line 1\nline 2"));
    }

    void messageDialogBreaksLinesOnlyWhereTheTextDoes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fitsTheScreen");
        QTest::newRow("one short line") << "OK" << true;
        QTest::newRow("a long Japanese line")
            << QString::fromUtf8(
                   "ユーザーエージェントは216文字以内にしてください。登録に際し"
                   "サイズを8192KB以内にしてください")
            << true;
        QTest::newRow("two lines") << "first line\r\nsecond, longer line of the text" << true;
        QTest::newRow("wider than the screen") << QString(400, QChar(0x3042)) << false;
    }
    void messageDialogBreaksLinesOnlyWhereTheTextDoes() {
        QFETCH(QString, text);
        QFETCH(bool, fitsTheScreen);
        ui::MessageBox box("t", text, nullptr);
        box.show();
        QLabel* label = nullptr;
        for (QLabel* l : box.findChildren<QLabel*>()) label = l;
        QVERIFY(label != nullptr);
        int widest = 0;
        for (const QString& line : box.text().split('\n')) {
            widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
        }
        QRect screen = box.screen()->availableGeometry();
        QVERIFY(box.frameGeometry().width() <= screen.width());
        if (fitsTheScreen) {
            QVERIFY(!label->wordWrap());
            QVERIFY2(label->contentsRect().width() >= widest,
                     qPrintable(QString("%1 < %2").arg(label->contentsRect().width()).arg(widest)));
        }
    }

    void usageButtonsStandApart() {
        InfoDialog usage(InfoDialog::Kind::kUsage, nullptr, [](const QUrl&) { return true; });
        usage.show();
        QRect close = usage.closeButton()->geometry();
        QRect open = usage.openButton()->geometry();
        QVERIFY2(open.left() - close.right() > 12,
                 qPrintable(QString("%1 pixels apart").arg(open.left() - close.right() - 1)));
    }

    void checkDialogOverAnEmptyListShowsAnEmptyBar() {
        testing::UiRuntime ui;
        ui::ProxyCheckDialog dialog(ui.rt, 0);
        dialog.setCheckProgress(0, 0);  // what the check asks for when the list is empty
        auto* bar = dialog.findChild<QProgressBar*>();
        QVERIFY(bar != nullptr);
        QVERIFY2(bar->maximum() > bar->minimum(), "a range of 0 .. 0 draws a busy bar");
        QCOMPARE(bar->value(), bar->minimum());
    }

    void configDialogFitsALowScreenAndScrolls() {
        testing::UiRuntime ui;
        ui::ConfigDialog dialog(ui.rt);
        dialog.show();
        QRect screen = dialog.screen()->availableGeometry();
        QVERIFY2(dialog.frameGeometry().height() <= screen.height() - 30,
                 qPrintable(QString("%1 on a screen %2 high")
                                .arg(dialog.frameGeometry().height())
                                .arg(screen.height())));
        QVERIFY(dialog.rect().contains(dialog.closeButton()->geometry()));
        // Every group can be scrolled into view.
        auto* scroll = dialog.findChild<QScrollArea*>();
        QVERIFY(scroll != nullptr);
        scroll->ensureWidgetVisible(dialog.accessAndPortGroup()->portEdit());
        QPoint at =
            dialog.accessAndPortGroup()->portEdit()->mapTo(scroll->viewport(), QPoint(0, 0));
        QVERIFY(scroll->viewport()->rect().contains(at));
        QAbstractButton* last = dialog.httpsGroup()->renewButton();
        scroll->ensureWidgetVisible(last);
        at = last->mapTo(scroll->viewport(), QPoint(0, 0));
        QVERIFY(scroll->viewport()->rect().contains(at));
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
