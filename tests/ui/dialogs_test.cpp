// The About and usage dialogs, and the message dialog's look.
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

#include "texts.h"
#include "ui/info_dialog.h"
#include "ui/message_box.h"
#include "ui/skin_button.h"
#include "ui/theme.h"

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
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
