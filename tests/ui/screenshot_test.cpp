// The real window on a real X server (Xvfb): a screenshot of it in every theme, kept in
// build/screenshots/ for the README, and a check that its Japanese texts are drawn with real
// glyphs. A missing CJK font draws every such character as the same empty box, so two
// different characters would give the same pixels.
#include <QtGui/QGuiApplication>
#include <QtGui/QPainter>
#include <QtGui/QScreen>
#include <QtTest/QtTest>
#include <QtWidgets/QLabel>
#include <set>

#include "settings/config_file.h"
#include "support/window_fixture.h"
#include "texts.h"
#include "ui/dialogs/config_dialog.h"
#include "ui/dialogs/proxy_check_dialog.h"
#include "ui/main/log_pane.h"
#include "ui/pages/proxy_page.h"
#include "ui/widgets/skin_button.h"
#include "ui/widgets/themed_tabs.h"

using namespace korvanel;
using namespace korvanel::testing;

namespace {

QImage DrawCharacter(const QFont& font, QChar c) {
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(image.rect(), Qt::AlignCenter, QString(c));
    return image;
}

QString ScreenshotDir() {
    return QStringLiteral(KORVANEL_BINARY_DIR "/screenshots");
}

bool SaveScreen(QWidget& window, const QString& name) {
    QTest::qWait(300);
    QImage shot = window.screen()->grabWindow(0).toImage();
    return shot.save(ScreenshotDir() + "/" + name + ".png");
}

// A data with a few upstream proxies, checked and not, one of them in use, and a User-Agent.
std::string DataWithLists() {
    std::string data = DefaultConfigurationText();
    auto put = [&data](const std::string& section, const std::string& rows) {
        auto at = data.find(section + "\r\n");
        data.insert(at + section.size() + 2, rows);
    };
    put(":PROXY_LIST",
        "120:9:1:proxy-a.example.net:3128\r\n35:6:0:10.0.0.8:8080\r\n"
        "0:3:0:dead.example.org:8000\r\n0:0:0:new.example.com:80\r\n"
        "210:1:0:old.example.com:8888\r\n");
    return data;
}

}  // namespace

class ScreenshotTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QVERIFY2(QGuiApplication::platformName() == "xcb", "run under Xvfb (xvfb-run)");
        QDir().mkpath(ScreenshotDir());
    }

    void japaneseCharactersHaveGlyphsOfTheirOwn() {
        WindowFixture f;
        const QString texts = QString::fromUtf8(text::kProxyPageCaption) + text::kPaneHeaderPairs +
                              text::kCaptionBlocked + text::kStatusBarNoUserAgent +
                              text::kBrowserSetMenu;
        std::set<QByteArray> seen;
        std::set<QChar> characters;
        for (QChar c : texts) {
            if (c.unicode() < 0x3000 || !characters.insert(c).second) continue;
            QImage glyph = DrawCharacter(f.window().font(), c);
            QByteArray pixels(reinterpret_cast<const char*>(glyph.constBits()),
                              glyph.sizeInBytes());
            QVERIFY2(seen.insert(pixels).second,
                     qPrintable(QString("'%1' looks like another character").arg(c)));
        }
        QVERIFY(characters.size() > 20);
    }

    // The README's pictures: a list page, the Config dialog and a proxy check.
    void pagesAndDialogsOnScreen() {
        WindowFixture f(DataWithLists(), true);
        ui::MainWindow& w = f.window();
        w.move(0, 0);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(SaveScreen(w, "proxy_page"));

        QTest::mouseClick(w.settingsButton(), Qt::LeftButton);
        auto* config = w.findChild<ui::ConfigDialog*>();
        QVERIFY(config);
        config->move(180, 20);
        QVERIFY(QTest::qWaitForWindowExposed(config));
        QVERIFY(SaveScreen(w, "config_dialog"));
        config->close();

        bool shot = false;
        QTimer::singleShot(500, [&] {
            auto* dialog = qobject_cast<ui::ProxyCheckDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            shot = SaveScreen(w, "proxy_check");
            dialog->requestClose();
        });
        auto* page = qobject_cast<ui::ProxyPage*>(w.upperTabs()->widget(0));
        QVERIFY(page);
        page->openProxyCheck();
        QVERIFY(shot);
    }

    void everyThemeOnScreen_data() {
        QTest::addColumn<QString>("theme");
        for (const char* name : {"DEFAULT", "BLACK", "WHITE", "BLUE", "GREEN"}) {
            QTest::newRow(name) << name;
        }
    }
    void everyThemeOnScreen() {
        QFETCH(QString, theme);
        WindowFixture f;
        ui::MainWindow& w = f.window();
        w.move(0, 0);
        w.applyTheme(theme.toStdString());
        QTest::mouseClick(w.startButton(), Qt::LeftButton);
        w.lowerTabs()->setCurrentIndex(4);  // the command log, with the start line
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::qWait(400);
        QImage shot =
            w.screen()
                ->grabWindow(0, 0, 0, w.frameGeometry().width(), w.frameGeometry().height())
                .toImage();
        QVERIFY(shot.save(ScreenshotDir() + "/main_window_" + theme.toLower() + ".png"));
        // The command area shows the theme's background.
        QColor background = shot.pixelColor(w.clientArea()->mapTo(&w, QPoint(400, 3)) +
                                            QPoint(0, w.clientArea()->y() - w.clientArea()->y()));
        QCOMPARE(background, w.theme().background);
    }
};

QTEST_MAIN(ScreenshotTest)
#include "screenshot_test.moc"
