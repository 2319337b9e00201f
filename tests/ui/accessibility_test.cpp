// What a screen reader finds in the window and the Config dialog: every control has a name
// to speak, pictures are described, and the list commands answer the keyboard.
#include <QtGui/QAccessible>
#include <QtTest/QtTest>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QAbstractSpinBox>
#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QTabBar>
#include <QtWidgets/QTextEdit>

#include "settings/config_file.h"
#include "support/window_fixture.h"
#include "texts.h"
#include "ui/dialogs/config_dialog.h"
#include "ui/pages/proxy_page.h"
#include "ui/widgets/report_view.h"
#include "ui/widgets/skin_button.h"
#include "ui/widgets/themed_tabs.h"

using namespace korvanel;
using namespace korvanel::testing;

namespace {

bool IsControl(QWidget* w) {
    return qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
           qobject_cast<QAbstractItemView*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
           qobject_cast<QTextEdit*>(w) || qobject_cast<QComboBox*>(w) ||
           qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QTabBar*>(w);
}

QString NameOf(QWidget* w) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    return face ? face->text(QAccessible::Name) : QString();
}

QString DescriptionOf(QWidget* w) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    return face ? face->text(QAccessible::Description) : QString();
}

// The controls under `root` without a name, by class and position, for the failure text.
QStringList Unnamed(QWidget* root) {
    QStringList missing;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        // The table views' own scroll bars and corner button belong to the view.
        if (!IsControl(w) || w->isHidden()) continue;
        if (qobject_cast<QAbstractItemView*>(w->parentWidget())) continue;
        if (NameOf(w).trimmed().isEmpty()) {
            QWidget* window = w->window();
            missing << QString("%1 at %2")
                           .arg(w->metaObject()->className())
                           .arg(QString("%1,%2")
                                    .arg(w->mapTo(window, QPoint()).x())
                                    .arg(w->mapTo(window, QPoint()).y()));
        }
    }
    return missing;
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QAccessible::setActive(true); }

    void everyControlOfTheWindowAndTheConfigDialogHasAName() {
        WindowFixture f("", true);
        QStringList missing = Unnamed(&f.window());
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join("; ")));
        ui::ConfigDialog dialog(f.rt(), &f.window());
        dialog.show();
        missing = Unnamed(&dialog);
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join("; ")));
    }

    void pictureButtonsSayWhatTheyDo() {
        WindowFixture f("", true);
        struct Expected {
            ui::SkinButton* button;
            const char* name;
        };
        const Expected large[] = {{f.window().startButton(), "プロクシを起動"},
                                  {f.window().stopButton(), "プロクシを停止"},
                                  {f.window().trayButton(), "タスクトレイに格納"},
                                  {f.window().settingsButton(), "設定"}};
        for (const Expected& e : large) {
            QCOMPARE(NameOf(e.button), QString::fromUtf8(e.name));
            QVERIFY(!DescriptionOf(e.button).isEmpty());
        }
        // The Config dialog's register buttons: the caption, and what they register.
        ui::ConfigDialog dialog(f.rt(), &f.window());
        QStringList descriptions;
        for (auto* button : dialog.findChildren<ui::SkinButton*>()) {
            QCOMPARE(NameOf(button), QString::fromUtf8("登録"));
            descriptions << DescriptionOf(button);
        }
        QCOMPARE(descriptions.size(), 6);
        descriptions.removeDuplicates();
        QCOMPARE(descriptions.size(), 6);
    }

    void listCommandsAnswerTheKeyboard() {
        std::string data = DefaultConfigurationText();
        const std::string list = ":PROXY_LIST\r\n";
        data.insert(data.find(list) + list.size(), "0:0:0:a.example:80\r\n0:0:0:b.example:81\r\n");
        WindowFixture f(data, true);
        auto* page = qobject_cast<ui::ProxyPage*>(f.window().upperTabs()->widget(0));
        QVERIFY(page != nullptr);
        ui::ReportView* view = page->view();
        QVERIFY(!NameOf(view).isEmpty());
        view->setFocus();
        view->selectOnly(1);

        QTest::keyClick(view, Qt::Key_Return);  // as a double click: the row is put to use
        QCOMPARE(f.rt().settings.proxy.str(), std::string("b.example:81"));
        QTest::keyClick(view, Qt::Key_Enter);  // and again: no longer
        QCOMPARE(f.rt().settings.proxy.str(), std::string(""));

        QStringList items;
        QTimer::singleShot(0, [&items] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) return;
            for (QAction* action : menu->actions()) {
                if (!action->isSeparator()) items << action->text();
            }
            menu->close();
        });
        QTest::keyClick(view, Qt::Key_Menu);
        QCOMPARE(items, (QStringList{QString::fromUtf8(text::kMenuEnable),
                                     QString::fromUtf8(text::kMenuDisable),
                                     QString::fromUtf8(text::kMenuDelete)}));

        QTest::keyClick(view, Qt::Key_Delete);
        QCOMPARE(view->model()->rowCount(), 1);
        QCOMPARE(f.rt().settings.proxies.size(), 1);
    }
};

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
